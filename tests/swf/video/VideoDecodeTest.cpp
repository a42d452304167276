// Embedded video decoded and drawn on the stage, compared with ffmpeg's own
// decode of the same packets: stepping forward, going back (which decodes
// again from the key frame before the target) and the codecs ffmpeg can
// write here. VP6, which ffmpeg cannot encode, goes through the same decoder
// with a key frame built by hand.

#include "swf/Playback.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"
#include "swf/runtime/VideoInstance.h"
#include "swf/video/FlvPlayback.h"
#include "swf/video/VideoDecoder.h"

#include "support/TestSupport.h"
#include "VideoFixtures.h"

#include <QThread>

#include <gtest/gtest.h>

using namespace swf;
using namespace videotest;

namespace {

constexpr double MinPsnr = 30;

#define REQUIRE_FFMPEG()                                                                   \
    if (!audiotest::haveFfmpeg())                                                          \
    GTEST_SKIP() << "ffmpeg is not installed: no independent decoder to compare with"

const VideoInstance* videoAtDepth1(Playback& playback)
{
    return dynamic_cast<const VideoInstance*>(playback.stage().root().childAt(1));
}

QImage stageImage(Playback& playback)
{
    return testing_support::renderStage(playback).convertToFormat(QImage::Format_RGB888);
}

struct Encoded {
    std::vector<QByteArray> packets;
    std::vector<QImage> reference; // ffmpeg's decode, one per packet
};

// Test pattern encoded by ffmpeg with `codec` into a file of `extension`
// (swf or flv), its packets and ffmpeg's decode of that file.
std::optional<Encoded> encode(const QString& codec, const QString& extension, int w, int h, double seconds)
{
    const QString path = audiotest::tempPath(QStringLiteral("pattern-%1-%2x%3.%4").arg(codec).arg(w).arg(h).arg(extension));
    if (!encodeTestPattern(codec, w, h, seconds, path))
        return std::nullopt;
    const QByteArray bytes = audiotest::readFile(path);
    Encoded e;
    e.packets = extension == "swf" ? moviePackets(bytes) : flvVideoPackets(bytes);
    e.reference = ffmpegFrames(path, w, h);
    if (e.packets.empty() || e.packets.size() != e.reference.size())
        return std::nullopt;
    return e;
}

// Plays the packets as a movie (packet i on frame i + 1) and checks the
// first, a middle and the last frame, then a frame reached by going back.
void checkAgainstReference(int codec, const Encoded& e, int w, int h)
{
    StreamSpec spec;
    spec.codec = codec;
    spec.width = w;
    spec.height = h;
    auto playback = testing_support::load(videoMovie(spec, e.packets));
    ASSERT_TRUE(playback);
    const int count = int(e.packets.size());
    const int middle = count / 2;
    for (int frame = 1; frame <= count; ++frame) {
        if (frame > 1)
            playback->nextFrame();
        if (frame == 1 || frame == middle || frame == count) {
            EXPECT_GE(psnr(stageImage(*playback), e.reference[std::size_t(frame - 1)]), MinPsnr) << "frame " << frame;
        }
    }
    playback->gotoFrame(3);
    EXPECT_GE(psnr(stageImage(*playback), e.reference[2]), MinPsnr) << "back to frame 3";
    playback->gotoFrame(middle + 1);
    EXPECT_GE(psnr(stageImage(*playback), e.reference[std::size_t(middle)]), MinPsnr) << "forward again";
}

TEST(VideoDecode, SorensonH263MatchesFfmpeg)
{
    REQUIRE_FFMPEG();
    auto e = encode("flv1", "swf", 320, 240, 2);
    ASSERT_TRUE(e) << "ffmpeg could not write H.263 into a movie";
    checkAgainstReference(2, *e, 320, 240);
}

TEST(VideoDecode, ScreenVideoMatchesFfmpeg)
{
    REQUIRE_FFMPEG();
    auto e = encode("flashsv", "swf", 160, 120, 1);
    ASSERT_TRUE(e) << "ffmpeg could not write screen video into a movie";
    checkAgainstReference(3, *e, 160, 120);
}

TEST(VideoDecode, ScreenVideo2MatchesFfmpeg)
{
    REQUIRE_FFMPEG();
    // ffmpeg writes this codec only into FLV; the packets are the same in a movie.
    auto e = encode("flashsv2", "flv", 160, 120, 1);
    if (!e)
        GTEST_SKIP() << "this ffmpeg cannot write screen video 2";
    checkAgainstReference(6, *e, 160, 120);
}

TEST(VideoDecode, GoingBackDecodesFromTheKeyFrameBefore)
{
    REQUIRE_FFMPEG();
    // A key frame every 5 pictures: frames 0, 5, 10, 15, 20.
    const QString path = audiotest::tempPath("gop5.swf");
    ASSERT_TRUE(audiotest::runFfmpeg({ "-f", "lavfi", "-i", "testsrc=size=160x120:rate=12", "-t", "2", "-c:v", "flv1", "-g", "5", path }));
    const QByteArray bytes = audiotest::readFile(path);
    const auto packets = moviePackets(bytes);
    ASSERT_EQ(packets.size(), 24u);
    StreamSpec spec;
    spec.width = 160;
    spec.height = 120;
    auto playback = testing_support::load(videoMovie(spec, packets));
    ASSERT_TRUE(playback);
    QImage forward;
    for (int frame = 1; frame <= 20; ++frame) {
        if (frame > 1)
            playback->nextFrame();
        forward = stageImage(*playback); // drawn each frame, as the player does
    }
    EXPECT_EQ(videoAtDepth1(*playback)->packetsDecoded(), 20); // each step decodes one packet
    playback->gotoFrame(13); // packet 12: its key frame is 10, so 10, 11, 12
    const QImage back = stageImage(*playback);
    const VideoInstance* video = videoAtDepth1(*playback);
    ASSERT_NE(video, nullptr);
    const int before = video->packetsDecoded();
    playback->gotoFrame(20);
    stageImage(*playback);
    // Forward from 12 to 19 crosses key frame 15: decoding restarts there (15..19).
    EXPECT_EQ(videoAtDepth1(*playback)->packetsDecoded() - before, 5);
    EXPECT_GE(psnr(stageImage(*playback), forward), 45); // the same picture as on the first pass
    const auto reference = ffmpegFrames(path, 160, 120);
    ASSERT_EQ(reference.size(), 24u);
    EXPECT_GE(psnr(back, reference[12]), MinPsnr);
}

// In the player the worker decodes a movie's video ahead. A jump (a goto,
// the player's step back) still shows exactly its frame, and playing on
// shows the frames due once the worker has them.
TEST(VideoDecode, DecodingAheadShowsExactFramesOnJumps)
{
    REQUIRE_FFMPEG();
    const QString path = audiotest::tempPath("gop5-ahead.swf");
    ASSERT_TRUE(audiotest::runFfmpeg({ "-f", "lavfi", "-i", "testsrc=size=160x120:rate=12", "-t", "2", "-c:v", "flv1", "-g", "5", path }));
    const auto packets = moviePackets(audiotest::readFile(path));
    const auto reference = ffmpegFrames(path, 160, 120);
    ASSERT_EQ(packets.size(), 24u);
    ASSERT_EQ(reference.size(), 24u);
    StreamSpec spec;
    spec.width = 160;
    spec.height = 120;
    swf::PlaybackOptions options = testing_support::timelineOnly();
    options.decodeVideoAhead = true;
    auto playback = testing_support::load(videoMovie(spec, packets), options);
    ASSERT_TRUE(playback);
    EXPECT_GE(psnr(stageImage(*playback), reference[0]), MinPsnr) << "frame 1";
    playback->gotoFrame(13);
    EXPECT_GE(psnr(stageImage(*playback), reference[12]), MinPsnr) << "goto 13";
    playback->previousFrame();
    EXPECT_GE(psnr(stageImage(*playback), reference[11]), MinPsnr) << "back to 12";
    playback->gotoFrame(22);
    EXPECT_GE(psnr(stageImage(*playback), reference[21]), MinPsnr) << "forward past a key frame";
    // Playing on: the next frame's picture comes from the worker, at once
    // or on a later draw of the same frame.
    playback->nextFrame();
    double best = 0;
    for (int tries = 0; tries < 1000 && best < MinPsnr; ++tries) {
        best = psnr(stageImage(*playback), reference[22]);
        if (best < MinPsnr)
            QThread::msleep(10);
    }
    EXPECT_GE(best, MinPsnr) << "played on to 23";
    playback.reset();
    swf::setVideoDecodeAhead(false); // the setting is the process's: leave it as the other tests expect
}

// A VP6 key frame by hand: quantizer 20, version 6 with the advanced
// profile (so no coefficient offset), 2 × 2 macroblocks coded and shown,
// then range-coded data that is all zeros. The picture is 32 × 32 pixels of
// one flat colour.
QByteArray vp6KeyFrame()
{
    QByteArray frame(200, '\0');
    frame[0] = char(20 << 1);           // intra, quantizer 20, no separated coefficients
    frame[1] = char(6 << 3 | 3 << 1);   // version 6, advanced profile, not interlaced
    frame[2] = 2;                       // macroblock rows coded
    frame[3] = 2;                       // macroblock columns coded
    frame[4] = 2;                       // rows shown
    frame[5] = 2;                       // columns shown
    return frame;
}

TEST(VideoDecode, Vp6HandMadeKeyFrame)
{
    auto decoder = VideoDecoder::create(VideoCodec::Vp6);
    ASSERT_TRUE(decoder) << "libavcodec has no VP6 decoder";
    const QByteArray key = vp6KeyFrame();
    EXPECT_TRUE(isVideoKeyFrame(VideoCodec::Vp6, key));
    const QImage picture = decoder->decode(key, true);
    ASSERT_EQ(picture.size(), QSize(32, 32));
    // One flat, opaque colour over the whole picture.
    const QRgb first = picture.pixel(0, 0);
    EXPECT_EQ(qAlpha(first), 255);
    EXPECT_EQ(picture.pixel(31, 31), first);
    EXPECT_EQ(picture.pixel(17, 5), first);
}

TEST(VideoDecode, Vp6AlphaTakesItsAlphaFromTheSecondPicture)
{
    // The same frame twice: as colour and as the alpha plane, after the
    // 24-bit offset to the alpha data. The alpha plane is then the colour
    // picture's luma; the shown pixels are premultiplied by it.
    const QByteArray key = vp6KeyFrame();
    QByteArray packet;
    packet.append(char(0)).append(char(0)).append(char(key.size()));
    packet += key + key;
    auto colour = VideoDecoder::create(VideoCodec::Vp6);
    auto withAlpha = VideoDecoder::create(VideoCodec::Vp6Alpha);
    ASSERT_TRUE(colour && withAlpha);
    EXPECT_TRUE(isVideoKeyFrame(VideoCodec::Vp6Alpha, packet));
    const QImage opaque = colour->decode(key, true);
    const QImage blended = withAlpha->decode(packet, true);
    ASSERT_EQ(blended.size(), QSize(32, 32));
    const int alpha = qAlpha(blended.pixel(3, 3));
    EXPECT_GT(alpha, 0);
    EXPECT_LT(alpha, 255);
    // Premultiplied: each channel is the opaque decoder's scaled by alpha.
    const QRgb shown = blended.pixel(3, 3);
    const QRgb plain = opaque.pixel(3, 3);
    EXPECT_NEAR(qRed(shown), qRed(plain) * alpha / 255, 2);
    EXPECT_NEAR(qGreen(shown), qGreen(plain) * alpha / 255, 2);
    EXPECT_NEAR(qBlue(shown), qBlue(plain) * alpha / 255, 2);
}

TEST(VideoDecode, DamagedPacketsGiveNoPictureAndTheDecoderGoesOn)
{
    for (VideoCodec codec : { VideoCodec::H263, VideoCodec::ScreenVideo, VideoCodec::ScreenVideo2, VideoCodec::Vp6, VideoCodec::Vp6Alpha }) {
        auto decoder = VideoDecoder::create(codec);
        ASSERT_TRUE(decoder) << int(codec);
        EXPECT_TRUE(decoder->decode(QByteArray::fromHex("ffffffff0000"), true).isNull()) << int(codec);
        EXPECT_TRUE(decoder->decode({}, true).isNull());
    }
    auto vp6 = VideoDecoder::create(VideoCodec::Vp6);
    vp6->decode(QByteArray(3, '\x7f'), true);
    EXPECT_EQ(vp6->decode(vp6KeyFrame(), true).size(), QSize(32, 32));
}

TEST(VideoDecode, UnknownCodecDrawsNothing)
{
    QString why;
    EXPECT_FALSE(VideoDecoder::create(VideoCodec::None, 0, &why));
    EXPECT_FALSE(why.isEmpty());
    StreamSpec spec;
    spec.codec = 9;
    spec.width = 16;
    spec.height = 16;
    auto playback = testing_support::load(videoMovie(spec, { QByteArray(8, '\0') }));
    ASSERT_TRUE(playback);
    const QImage image = testing_support::renderStage(*playback);
    EXPECT_EQ(image.pixel(8, 8), QColor(Qt::white).rgb()); // the background only
}

} // namespace
