#include "swf/format/Sound.h"
#include "swf/format/TagCodes.h"

#include "support/AudioTestSupport.h"

#include <gtest/gtest.h>

using namespace swf;
using namespace audiotest;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

} // namespace

TEST(SoundRecords, DefineSoundFormatByte)
{
    const QByteArray body = bytes({
        0x07, 0x00,             // sound id 7
        0x1b,                   // ADPCM (1), 22 kHz (2), 16-bit, stereo
        0x10, 0x27, 0x00, 0x00, // 10000 samples
        0xaa, 0xbb,             // data
    });
    auto r = readDefineSound(body);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().soundId, 7);
    EXPECT_EQ(r.value().format.codec, SoundCodec::Adpcm);
    EXPECT_EQ(r.value().format.rate, 22050);
    EXPECT_TRUE(r.value().format.sixteenBit);
    EXPECT_TRUE(r.value().format.stereo);
    EXPECT_EQ(r.value().sampleCount, 10000u);
    EXPECT_EQ(r.value().data, bytes({ 0xaa, 0xbb }));

    // Nellymoser 8k and Speex decide their own rate and are always mono.
    EXPECT_EQ(soundFormatFromByte(0x5f).rate, 8000);
    EXPECT_FALSE(soundFormatFromByte(0x5f).stereo);
    EXPECT_EQ(soundFormatFromByte(0x4f).rate, 16000);
    EXPECT_EQ(soundFormatFromByte(0xb2).rate, 16000);
    EXPECT_EQ(soundFormatFromByte(0x02).rate, 5512.5);
    EXPECT_FALSE(soundFormatFromByte(0x72).isKnownCodec());

    // Cut anywhere inside the fixed fields: an error, not a read past the end.
    for (int len = 0; len < 7; ++len) {
        auto cut = readDefineSound(body.left(len));
        ASSERT_FALSE(cut.ok()) << len;
        EXPECT_EQ(cut.error().kind, ErrorKind::Truncated);
    }
}

TEST(SoundRecords, StartSoundWithEverySoundInfoField)
{
    const QByteArray body = bytes({
        0x03, 0x00,             // sound id 3
        0x3f,                   // sync stop, no multiple, envelope, loops, out point, in point
        0x10, 0x00, 0x00, 0x00, // in point 16
        0x00, 0x01, 0x00, 0x00, // out point 256
        0x05, 0x00,             // 5 loops
        0x02,                   // two envelope points
        0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, // at 0: left 32768, right 0
        0x44, 0xac, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, // at 44100: left 0, right 32768
    });
    auto r = readStartSound(body, TagStartSound);
    ASSERT_TRUE(r.ok()) << r.error().detail.toStdString();
    const SoundInfo& i = r.value().info;
    EXPECT_EQ(r.value().soundId, 3);
    EXPECT_TRUE(i.syncStop);
    EXPECT_TRUE(i.noMultiple);
    EXPECT_EQ(i.inPoint, 16u);
    EXPECT_EQ(i.outPoint, 256u);
    EXPECT_EQ(i.loopCount, 5);
    ASSERT_EQ(i.envelope.size(), 2u);
    EXPECT_EQ(i.envelope[1].pos44, 44100u);
    EXPECT_EQ(i.envelope[0].leftLevel, 32768);
    EXPECT_EQ(i.envelope[1].rightLevel, 32768);

    // An envelope that claims more points than the record holds.
    QByteArray lying = body.left(14);
    lying[13] = char(200);
    EXPECT_FALSE(readStartSound(lying, TagStartSound).ok());

    // A zero loop count still plays once; no flags at all is a plain start.
    auto zeroLoops = readStartSound(bytes({ 0x01, 0x00, 0x04, 0x00, 0x00 }), TagStartSound);
    ASSERT_TRUE(zeroLoops.ok());
    EXPECT_EQ(zeroLoops.value().info.loopCount, 1);
    auto plain = readStartSound(bytes({ 0x01, 0x00, 0x00 }), TagStartSound);
    ASSERT_TRUE(plain.ok());
    EXPECT_FALSE(plain.value().info.hasInPoint);
    EXPECT_TRUE(plain.value().info.envelope.empty());
}

TEST(SoundRecords, StartSound2ByClassName)
{
    const QByteArray body = QByteArray("Boom") + bytes({ 0x00, 0x10 }); // name, NUL, no multiple
    auto r = readStartSound(body, TagStartSound2);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().className, QStringLiteral("Boom"));
    EXPECT_TRUE(r.value().info.noMultiple);
    EXPECT_FALSE(readStartSound(QByteArray("Boom"), TagStartSound2).ok()); // no terminator
}

TEST(SoundRecords, StreamHeadAndBlocks)
{
    const QByteArray mp3Head = bytes({
        0x0f,       // playback 44 kHz, 16-bit, stereo
        0x2e,       // MP3, 44 kHz, 16-bit, mono
        0x3a, 0x11, // 4410 samples per frame
        0x40, 0x02, // latency seek 576
    });
    auto h = readSoundStreamHead(mp3Head);
    ASSERT_TRUE(h.ok());
    EXPECT_EQ(h.value().stream.codec, SoundCodec::Mp3);
    EXPECT_FALSE(h.value().stream.stereo);
    EXPECT_TRUE(h.value().playback.stereo);
    EXPECT_EQ(h.value().samplesPerFrame, 4410);
    EXPECT_EQ(h.value().latencySeek, 576);
    // Without the optional seek the head still reads.
    auto noSeek = readSoundStreamHead(mp3Head.left(4));
    ASSERT_TRUE(noSeek.ok());
    EXPECT_EQ(noSeek.value().latencySeek, 0);
    EXPECT_FALSE(readSoundStreamHead(mp3Head.left(3)).ok());

    auto block = readSoundStreamBlock(bytes({ 0x80, 0x04, 0xff, 0xff, 0x12 }), SoundCodec::Mp3);
    ASSERT_TRUE(block.ok());
    EXPECT_EQ(block.value().sampleCount, 1152);
    EXPECT_EQ(block.value().seekSamples, -1);
    EXPECT_EQ(block.value().data, bytes({ 0x12 }));
    EXPECT_FALSE(readSoundStreamBlock(bytes({ 0x80, 0x04, 0xff }), SoundCodec::Mp3).ok());
    // Other codecs carry bare data.
    auto raw = readSoundStreamBlock(bytes({ 0x80, 0x04 }), SoundCodec::Adpcm);
    ASSERT_TRUE(raw.ok());
    EXPECT_EQ(raw.value().data.size(), 2);
}

TEST(SoundRecords, ButtonSounds)
{
    const QByteArray body = bytes({
        0x09, 0x00,       // button 9
        0x00, 0x00,       // over-up to idle: none
        0x04, 0x00, 0x00, // idle to over-up: sound 4, plain
        0x05, 0x00, 0x20, // over-up to over-down: sound 5, sync stop
        0x00, 0x00,       // over-down to over-up: none
    });
    auto r = readDefineButtonSound(body);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().buttonId, 9);
    EXPECT_EQ(r.value().soundId[0], 0);
    EXPECT_EQ(r.value().soundId[1], 4);
    EXPECT_EQ(r.value().soundId[2], 5);
    EXPECT_TRUE(r.value().info[2].syncStop);
    EXPECT_FALSE(readDefineButtonSound(body.left(9)).ok());
}
