// FLV demuxing and its script data from hand-built bytes, and an FLV that
// ffmpeg writes decoded packet by packet against ffmpeg's own decode.

#include "swf/video/FlvReader.h"
#include "swf/video/VideoDecoder.h"

#include "VideoFixtures.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace swf;

namespace {

void putBE(QByteArray& b, std::uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        b.append(char((v >> (8 * i)) & 0xff));
}

QByteArray flvHeader(int flags)
{
    QByteArray b("FLV");
    b.append(char(1));     // version 1
    b.append(char(flags)); // 0x04 audio, 0x01 video
    putBE(b, 9, 4);        // header size
    putBE(b, 0, 4);        // size of the tag before the first: none
    return b;
}

QByteArray flvTag(int type, std::uint32_t timeMs, const QByteArray& body)
{
    QByteArray b;
    b.append(char(type));
    putBE(b, std::uint32_t(body.size()), 3);
    putBE(b, timeMs & 0xffffff, 3);
    b.append(char(timeMs >> 24)); // the time's high byte
    putBE(b, 0, 3);               // stream id
    b += body;
    putBE(b, std::uint32_t(11 + body.size()), 4);
    return b;
}

QByteArray amfString(const QByteArray& s)
{
    QByteArray b;
    putBE(b, std::uint32_t(s.size()), 2);
    return b + s;
}

QByteArray amfNumber(double d)
{
    QByteArray b(1, '\0');
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    putBE(b, std::uint32_t(bits >> 32), 4);
    putBE(b, std::uint32_t(bits), 4);
    return b;
}

TEST(Flv, HeaderAndTagsOfEachKind)
{
    QByteArray file = flvHeader(0x05);
    // onMetaData: string marker 2, the name, then an associative array (8)
    // of two members: duration 2.5 and a nested object { live: false }.
    QByteArray meta;
    meta.append(char(2)) += amfString("onMetaData");
    meta.append(char(8));
    putBE(meta, 2, 4);
    meta += amfString("duration") + amfNumber(2.5);
    meta += amfString("extra");
    meta.append(char(3)) += amfString("live");
    meta.append(char(1)).append(char(0));
    meta += amfString("").append(char(9));  // end of the nested object
    meta += amfString("").append(char(9));  // end of the array
    file += flvTag(18, 0, meta);
    file += flvTag(9, 0, QByteArray::fromHex("12" "abcd"));     // key frame (1), H.263 (2)
    file += flvTag(8, 0, QByteArray::fromHex("2e" "0102"));     // audio format byte 0x2e, two bytes
    file += flvTag(9, 0x01000050, QByteArray::fromHex("22" "ef")); // inter frame at 16777296 ms
    file += flvTag(9, 100, QByteArray::fromHex("52" "00"));    // a command frame: no picture

    auto flv = readFlv(file);
    ASSERT_TRUE(flv.ok());
    const FlvFile& f = flv.value();
    EXPECT_TRUE(f.declaresAudio);
    EXPECT_TRUE(f.declaresVideo);
    EXPECT_FALSE(f.truncated);
    ASSERT_EQ(f.video.size(), 2u);
    EXPECT_TRUE(f.video[0].key);
    EXPECT_EQ(f.video[0].codec, VideoCodec::H263);
    EXPECT_EQ(f.video[0].data, QByteArray::fromHex("abcd"));
    EXPECT_FALSE(f.video[1].key);
    EXPECT_EQ(f.video[1].timeMs, 0x01000050);
    ASSERT_EQ(f.audio.size(), 1u);
    EXPECT_EQ(f.audio[0].format, 0x2e);
    EXPECT_EQ(f.audio[0].data, QByteArray::fromHex("0102"));
    ASSERT_EQ(f.scripts.size(), 1u);
    EXPECT_EQ(f.scripts[0].name, "onMetaData");
    const AmfValue& value = f.scripts[0].value;
    ASSERT_EQ(value.memberNames.size(), 2u);
    ASSERT_NE(value.member("duration"), nullptr);
    EXPECT_EQ(value.member("duration")->number, 2.5);
    const AmfValue* extra = value.member("extra");
    ASSERT_NE(extra, nullptr);
    ASSERT_NE(extra->member("live"), nullptr);
    EXPECT_EQ(extra->member("live")->type, AmfValue::Type::Boolean);
    EXPECT_EQ(extra->member("live")->number, 0);
}

TEST(Flv, Vp6AndH264LoseTheirFlvOnlyBytes)
{
    QByteArray file = flvHeader(0x01);
    file += flvTag(9, 0, QByteArray::fromHex("14" "31" "0102"));           // VP6 key frame, crop byte 0x31
    file += flvTag(9, 40, QByteArray::fromHex("17" "00" "000000" "0142")); // H.264 configuration
    file += flvTag(9, 40, QByteArray::fromHex("17" "01" "000000" "00000001" "65")); // H.264 picture
    file += flvTag(9, 80, QByteArray::fromHex("17" "02" "000000"));         // end of sequence
    auto flv = readFlv(file);
    ASSERT_TRUE(flv.ok());
    ASSERT_EQ(flv.value().video.size(), 2u);
    EXPECT_EQ(flv.value().video[0].codec, VideoCodec::Vp6);
    EXPECT_EQ(flv.value().video[0].data, QByteArray::fromHex("0102"));
    EXPECT_EQ(flv.value().video[1].codec, VideoCodec::H264);
    EXPECT_EQ(flv.value().video[1].data, QByteArray::fromHex("0000000165"));
    // The configuration record replaced the crop byte as what the decoder needs first.
    EXPECT_EQ(flv.value().videoExtraData, QByteArray::fromHex("0142"));
}

TEST(Flv, DamageEndsTheFileOrRefusesIt)
{
    EXPECT_FALSE(readFlv("FLX\x01\x05\x00\x00\x00\x09").ok());
    EXPECT_FALSE(readFlv("FLV").ok());
    QByteArray badHeader = flvHeader(1);
    badHeader[8] = char(200); // header size 200 in a 13-byte file
    EXPECT_FALSE(readFlv(badHeader).ok());

    // A tag that declares more than is left ends the file; the tags before it stay.
    QByteArray cut = flvHeader(0x01) + flvTag(9, 0, QByteArray::fromHex("12ab"));
    QByteArray last = flvTag(9, 40, QByteArray(100, '\x22'));
    cut += last.left(40);
    auto flv = readFlv(cut);
    ASSERT_TRUE(flv.ok());
    EXPECT_TRUE(flv.value().truncated);
    EXPECT_EQ(flv.value().video.size(), 1u);
}

TEST(Flv, ScriptValuesAreBounded)
{
    // Objects nested 100 deep: past the depth limit the value is refused, not overflowed.
    QByteArray deep;
    for (int i = 0; i < 100; ++i)
        deep.append(char(3)) += amfString("a");
    std::size_t pos = 0;
    EXPECT_FALSE(readAmf0(deep, pos).ok());
    // A strict array claiming four billion items, with none there.
    QByteArray huge(1, char(10));
    putBE(huge, 0xffffffffu, 4);
    pos = 0;
    EXPECT_FALSE(readAmf0(huge, pos).ok());
    // A string longer than the data.
    QByteArray longString(1, char(2));
    putBE(longString, 500, 2);
    pos = 0;
    EXPECT_FALSE(readAmf0(longString, pos).ok());
    // Strict array of a number and a string, then a date.
    QByteArray list(1, char(10));
    putBE(list, 2, 4);
    list += amfNumber(-1);
    list.append(char(2)) += amfString("x");
    list.append(char(11)) += amfNumber(86400000).mid(1);
    putBE(list, 0, 2);
    pos = 0;
    auto value = readAmf0(list, pos);
    ASSERT_TRUE(value.ok());
    ASSERT_EQ(value.value().items.size(), 2u);
    EXPECT_EQ(value.value().items[0].number, -1);
    EXPECT_EQ(value.value().items[1].string, "x");
    auto date = readAmf0(list, pos);
    ASSERT_TRUE(date.ok());
    EXPECT_EQ(date.value().type, AmfValue::Type::Date);
    EXPECT_EQ(date.value().number, 86400000);
    EXPECT_EQ(pos, std::size_t(list.size()));
}

// H.263 and H.264 in FLV, as ffmpeg writes them, decoded against ffmpeg.
TEST(Flv, FfmpegFilesDecodeLikeFfmpeg)
{
    if (!audiotest::haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    for (const QString& codec : { QStringLiteral("flv1"), QStringLiteral("libx264") }) {
        const QString path = audiotest::tempPath(QStringLiteral("flv-%1.flv").arg(codec));
        QStringList args { "-f", "lavfi", "-i", "testsrc=size=160x120:rate=12", "-t", "1", "-c:v", codec };
        if (codec == "libx264")
            args += { "-bf", "0", "-pix_fmt", "yuv420p" }; // pictures in showing order
        if (!audiotest::runFfmpeg(args + QStringList { path })) {
            ADD_FAILURE() << "ffmpeg could not write " << codec.toStdString();
            continue;
        }
        auto flv = readFlv(audiotest::readFile(path));
        ASSERT_TRUE(flv.ok());
        const auto reference = videotest::ffmpegFrames(path, 160, 120);
        ASSERT_EQ(flv.value().video.size(), reference.size()) << codec.toStdString();
        ASSERT_FALSE(reference.empty());
        auto decoder = VideoDecoder::create(flv.value().video[0].codec, 0, nullptr, flv.value().videoExtraData);
        ASSERT_TRUE(decoder);
        for (std::size_t i = 0; i < reference.size(); ++i) {
            const FlvVideoPacket& packet = flv.value().video[i];
            const QImage picture = decoder->decode(packet.data, packet.key);
            EXPECT_GE(videotest::psnr(picture, reference[i]), 30) << codec.toStdString() << " picture " << i;
        }
    }
}

} // namespace

namespace {

// Found by fuzz_video: an FLV whose H.263 packet header asks for a picture
// wider than a movie's stream may declare (within libavcodec's pixel cap).
// Such a picture is not shown, like a stream declaring that size.
TEST(Flv, PictureWiderThanTheLimitIsNotShown)
{
    QFile file(QStringLiteral(VANTREL_FUZZ_REGRESSIONS "/video-flv-frame-wider-than-limit.bin"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray input = file.readAll().mid(1); // the first byte chose the FLV reading
    auto flv = readFlv(input);
    ASSERT_TRUE(flv.ok());
    ASSERT_FALSE(flv.value().video.empty());
    bool wide = false;
    for (const FlvVideoPacket& packet : flv.value().video) {
        auto decoder = VideoDecoder::create(packet.codec, 0, nullptr, flv.value().videoExtraData);
        if (!decoder)
            continue;
        const QImage picture = decoder->decode(packet.data, packet.key);
        wide = wide || picture.width() > MaxVideoWidth || picture.height() > MaxVideoHeight;
    }
    EXPECT_FALSE(wide);
}

} // namespace
