// vantrel-render over movies ffmpeg writes with video: the PNG of a frame
// against ffmpeg's decode of the same picture, going back through a script,
// and the sound of a movie that has video as well.

#include "support/AudioTestSupport.h"
#include "VideoFixtures.h"

#include <QFile>
#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

using namespace videotest;

namespace {

#ifdef VANTREL_RENDER

constexpr double MinPsnr = 30;

QImage renderFrame(const QString& movie, int frame)
{
    const QString png = audiotest::tempPath(QStringLiteral("render-%1.png").arg(frame));
    QProcess p;
    p.start(QStringLiteral(VANTREL_RENDER), { movie, "--frame", QString::number(frame), "--out", png });
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        ADD_FAILURE() << "vantrel-render failed: " << p.readAllStandardError().toStdString();
        return {};
    }
    return QImage(png);
}

// Frame 1, a middle frame and the last of a movie whose frame f shows
// picture f - 1, then the same movie with one more frame whose script goes
// back to frame 3 and stops there: gotoAndStop(3) is GotoFrame 2
// (0-based), Stop, End. Each picture against ffmpeg's decode.
void checkFramesAndGoingBack(const QString& path, const std::vector<QImage>& reference, int w, int h)
{
    const int frames = int(reference.size());
    for (int frame : { 1, frames / 2, frames })
        EXPECT_GE(psnr(renderFrame(path, frame), reference[std::size_t(frame - 1)]), MinPsnr) << "frame " << frame;

    QByteArray tags;
    for (const auto& t : audiotest::readMovieTags(audiotest::readFile(path))) {
        if (t.code != 0)
            tags += tag(t.code, t.body);
    }
    tags += tag(12, QByteArray::fromHex("81" "0200" "0200" "07" "00")) + tag(1, {});
    const QString back = path + QStringLiteral("-back.swf");
    QFile out(back);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(movie(tags, frames + 1, w, h));
    out.close();
    EXPECT_GE(psnr(renderFrame(back, frames + 1), reference[2]), MinPsnr) << "frame 3 reached by going back";
}

// ffmpeg places packet n with ratio n + 1 on the frame that carries it: the
// ratio names a packet still to come, so each frame shows the newest packet
// it has, packet n on frame n + 1. Sorenson H.263 and screen video, as
// ffmpeg writes them into movies.
TEST(VideoRender, FfmpegMovieFramesMatchFfmpegDecode)
{
    if (!audiotest::haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    for (const char* codec : { "flv1", "flashsv" }) {
        SCOPED_TRACE(codec);
        const QString path = audiotest::tempPath(QStringLiteral("render-%1.swf").arg(codec));
        ASSERT_TRUE(encodeTestPattern(codec, 320, 240, 2, path));
        const auto reference = ffmpegFrames(path, 320, 240);
        ASSERT_EQ(reference.size(), 24u);
        checkFramesAndGoingBack(path, reference, 320, 240);
    }
}

// Screen video 2: ffmpeg writes it only into FLV; our writer puts its
// packets into a movie, one a frame.
TEST(VideoRender, ScreenVideo2MovieMatchesFfmpegDecode)
{
    if (!audiotest::haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const QString flv = audiotest::tempPath("render-flashsv2.flv");
    if (!encodeTestPattern("flashsv2", 160, 120, 2, flv))
        GTEST_SKIP() << "this ffmpeg cannot write screen video 2";
    const auto reference = ffmpegFrames(flv, 160, 120);
    const auto packets = flvVideoPackets(audiotest::readFile(flv));
    ASSERT_EQ(reference.size(), 24u);
    ASSERT_EQ(packets.size(), 24u);
    StreamSpec spec;
    spec.codec = 6;
    spec.width = 160;
    spec.height = 120;
    const QString path = audiotest::tempPath("render-flashsv2.swf");
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(videoMovie(spec, packets));
    out.close();
    checkFramesAndGoingBack(path, reference, 160, 120);
}

// A movie with video and MP3 stream sound: the picture still follows the
// frames and the sound matches ffmpeg's decode once it has started.
TEST(VideoRender, VideoWithMp3StreamSound)
{
    if (!audiotest::haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const QString path = audiotest::tempPath("render-av.swf");
    if (!audiotest::runFfmpeg({ "-f", "lavfi", "-i", "testsrc=size=160x120:rate=12", "-f", "lavfi", "-i", "sine=frequency=440:duration=3",
            "-c:v", "flv", "-c:a", "libmp3lame", "-ar", "44100", "-ac", "1", "-t", "2", "-f", "swf", path }))
        GTEST_SKIP() << "this ffmpeg cannot write MP3 stream sound into a movie";
    const auto pictures = ffmpegFrames(path, 160, 120);
    ASSERT_GE(pictures.size(), 12u);
    EXPECT_GE(psnr(renderFrame(path, 12), pictures[11]), MinPsnr);

    const QString wav = audiotest::tempPath("render-av.wav");
    QProcess p;
    p.start(QStringLiteral(VANTREL_RENDER), { path, "--frame", "20", "--audio", wav });
    ASSERT_TRUE(p.waitForFinished(120000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
    const QByteArray w = audiotest::readFile(wav);
    ASSERT_GT(w.size(), 44);
    const auto all = audiotest::samplesFromS16le(w.mid(44));
    std::vector<std::int16_t> ours; // left channel
    for (std::size_t i = 0; i < all.size(); i += 2)
        ours.push_back(all[i]);
    auto reference = audiotest::runFfmpeg({ "-i", path, "-vn", "-f", "s16le", "-ac", "1", "-ar", "44100", "-" });
    ASSERT_TRUE(reference);
    const auto ref = audiotest::samplesFromS16le(*reference);
    // The sound may start up to one frame (3675 samples) late; find by how much.
    const std::size_t probe = 4 * 3675;
    ASSERT_GT(ours.size(), probe + 2000);
    std::size_t late = 0;
    int best = 1 << 30;
    for (std::size_t d = 0; d <= 3675; ++d) {
        std::vector<std::int16_t> window(ours.begin() + std::ptrdiff_t(probe), ours.begin() + std::ptrdiff_t(probe + 2000));
        const int m = audiotest::compareSamples(ref, window, probe - d).maxAbs;
        if (m < best) {
            best = m;
            late = d;
        }
    }
    EXPECT_LE(best, 2) << "sound " << late << " samples late";
}

#endif

} // namespace
