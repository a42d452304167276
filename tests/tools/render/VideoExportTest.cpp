// vantrel-render --video: the container, codecs, frame rate, frame count and
// duration that ffprobe reads back, the first picture against the PNG the
// same tool draws for frame 1, the default length of a movie, and the
// options that go with --video.

#include "RenderOptions.h"
#include "VideoExport.h"

#include "tools/swfwriter/Movie.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int kTwips = 20;

// 24 frames at 12 a second on a 160 x 120 dark blue stage: a red square that
// moves right 4 pixels a frame, and a one-second tone started on frame 1.
QByteArray testMovie()
{
    swfw::Movie m(8, 160, 120, 12);
    m.setBackgroundColor({ 0, 0, 96, 255 });
    swfw::Shape square;
    square.fill0(square.addFillStyle(swfw::FillStyle::solid({ 255, 0, 0, 255 })));
    square.rect(0, 0, 40 * kTwips, 40 * kTwips);
    m.defineShape(1, square, 1);
    const int samples = 5512;
    QByteArray pcm(samples, char(0));
    for (int i = 0; i < samples; ++i)
        pcm[i] = char((i / 6) % 2 ? 0xc0 : 0x40);
    m.defineSound(2, 0, 0, false, false, quint32(samples), pcm);
    m.startSound(2);
    for (int frame = 0; frame < 24; ++frame) {
        if (frame > 0)
            m.removeObject2(1);
        m.placeObject(1, 1, swfw::Matrix::translate((10 + 4 * frame) * kTwips, 40 * kTwips));
        m.showFrame();
    }
    return m.bytes();
}

struct Output {
    int exitCode = -1;
    QByteArray out, err;
};

Output run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(300000);
    Output o;
    o.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    o.out = process.readAllStandardOutput();
    o.err = process.readAllStandardError();
    return o;
}

QJsonArray probeStreams(const QString& file)
{
    const Output o = run(QStringLiteral(FFPROBE), { "-v", "error", "-count_frames", "-show_streams", "-show_format", "-of", "json", file });
    EXPECT_EQ(o.exitCode, 0) << o.err.constData();
    return QJsonDocument::fromJson(o.out).object().value("streams").toArray();
}

QJsonObject stream(const QJsonArray& streams, const char* type)
{
    for (const auto& s : streams) {
        if (s.toObject().value("codec_type").toString() == QLatin1String(type))
            return s.toObject();
    }
    return {};
}

double seconds(const QJsonObject& s)
{
    return s.value("duration").toString().toDouble();
}

class VideoExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_movie = m_dir.filePath("movie.swf");
        QFile f(m_movie);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(testMovie());
    }

    Output exportTo(const QString& name, const QStringList& extra = {})
    {
        QStringList args { m_movie, "--video", m_dir.filePath(name) };
        return run(QStringLiteral(VANTREL_RENDER), args + extra);
    }

    QTemporaryDir m_dir;
    QString m_movie;
};

} // namespace

TEST_F(VideoExport, Mp4HoldsOneLoopOfH264AndAac)
{
    const Output o = exportTo("out.mp4");
    ASSERT_EQ(o.exitCode, 0) << o.err.constData();
    // The progress line ends at the last frame.
    EXPECT_TRUE(o.err.contains("frame 24 of 24 (100%)")) << o.err.constData();
    const auto streams = probeStreams(m_dir.filePath("out.mp4"));
    const auto video = stream(streams, "video");
    const auto audio = stream(streams, "audio");
    EXPECT_EQ(video.value("codec_name").toString(), "h264");
    EXPECT_EQ(video.value("r_frame_rate").toString(), "12/1");
    EXPECT_EQ(video.value("nb_read_frames").toString(), "24");
    EXPECT_EQ(video.value("width").toInt(), 160);
    EXPECT_EQ(video.value("height").toInt(), 120);
    // 24 frames at 12 a second: two seconds, within one frame.
    EXPECT_NEAR(seconds(video), 2.0, 1.0 / 12);
    EXPECT_EQ(audio.value("codec_name").toString(), "aac");
    EXPECT_EQ(audio.value("channels").toInt(), 2);
    EXPECT_NEAR(seconds(audio), 2.0, 1.0 / 12 + 1024.0 / 44100);
}

TEST_F(VideoExport, WebmIsVp9AndOpusAndGifIsPicturesOnly)
{
    Output o = exportTo("out.webm", { "--frames", "6" });
    ASSERT_EQ(o.exitCode, 0) << o.err.constData();
    auto streams = probeStreams(m_dir.filePath("out.webm"));
    EXPECT_EQ(stream(streams, "video").value("codec_name").toString(), "vp9");
    EXPECT_EQ(stream(streams, "video").value("nb_read_frames").toString(), "6");
    EXPECT_EQ(stream(streams, "audio").value("codec_name").toString(), "opus");

    o = exportTo("out.gif", { "--size", "80x60" });
    ASSERT_EQ(o.exitCode, 0) << o.err.constData();
    streams = probeStreams(m_dir.filePath("out.gif"));
    ASSERT_EQ(streams.size(), 1);
    EXPECT_EQ(stream(streams, "video").value("codec_name").toString(), "gif");
    EXPECT_EQ(stream(streams, "video").value("nb_read_frames").toString(), "24");
    EXPECT_EQ(stream(streams, "video").value("width").toInt(), 80);
}

TEST_F(VideoExport, FirstPictureMatchesTheRenderedFirstFrame)
{
    ASSERT_EQ(exportTo("out.mp4", { "--size", "320x240", "--frames", "3" }).exitCode, 0);
    const QString rendered = m_dir.filePath("frame1.png");
    ASSERT_EQ(run(QStringLiteral(VANTREL_RENDER), { m_movie, "--frame", "1", "--size", "320x240", "--out", rendered }).exitCode, 0);
    const QString decoded = m_dir.filePath("decoded1.png");
    const Output d = run(QStringLiteral(FFMPEG), { "-v", "error", "-i", m_dir.filePath("out.mp4"), "-frames:v", "1", "-y", decoded });
    ASSERT_EQ(d.exitCode, 0) << d.err.constData();
    const QImage a = QImage(rendered).convertToFormat(QImage::Format_RGB32);
    const QImage b = QImage(decoded).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(a.size(), b.size());
    double squared = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int d : { qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q) })
                squared += double(d) * d;
        }
    }
    const double mse = squared / (3.0 * a.width() * a.height());
    const double psnr = mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99;
    // Lossy 4:2:0 video of flat colours: well above 30 dB when the pictures agree;
    // a frame late (the square 4 pixels off) or a wrong colour falls far below.
    EXPECT_GT(psnr, 32.0);
}

TEST_F(VideoExport, UnknownContainerIsRefusedWithItsReason)
{
    const Output o = exportTo("out.avi");
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_TRUE(o.err.contains(".mp4, .webm or .gif")) << o.err.constData();
    EXPECT_FALSE(QFile::exists(m_dir.filePath("out.avi")));
}

TEST(VideoExportLength, OneLoopOfTheTimelineAtMostTenMinutes)
{
    EXPECT_EQ(defaultVideoFrames(24, 12), 24);
    EXPECT_EQ(defaultVideoFrames(1, 30), 1);
    EXPECT_EQ(defaultVideoFrames(16000, 24), 14400); // 10 minutes at 24 frames a second
    EXPECT_EQ(defaultVideoFrames(65535, 0.5), 300);
}

TEST(VideoExportOptions, FramesGoWithVideoAndVideoGoesAlone)
{
    QString error;
    auto options = parseRenderOptions({ "m.swf", "--video", "o.mp4", "--frames", "10", "--size", "64x48" }, error);
    ASSERT_TRUE(options) << qPrintable(error);
    EXPECT_EQ(options->videoOut, "o.mp4");
    EXPECT_EQ(options->videoFrames, 10);
    EXPECT_FALSE(parseRenderOptions({ "m.swf", "--out", "a.png", "--frames", "10" }, error));
    EXPECT_FALSE(parseRenderOptions({ "m.swf", "--video", "o.mp4", "--out", "a.png" }, error));
    EXPECT_FALSE(parseRenderOptions({ "m.swf", "--video", "o.mp4", "--frames", "0" }, error));
}

TEST(RenderOptions, HelpPrintsTheUsageAndSucceeds)
{
    // --help needs no movie and wins over anything else on the line, even a bad option.
    QString error;
    auto options = parseRenderOptions({ "--bogus", "-h" }, error);
    ASSERT_FALSE(options) << "an unknown option before --help is still an error";
    options = parseRenderOptions({ "m.swf", "--frame", "3", "--help" }, error);
    ASSERT_TRUE(options) << qPrintable(error);
    EXPECT_TRUE(options->help);
    options = parseRenderOptions({ "m.swf", "--frame", "3", "--trace" }, error);
    ASSERT_TRUE(options) << qPrintable(error);
    EXPECT_FALSE(options->help);

    const Output o = run(QStringLiteral(VANTREL_RENDER), { "--help" });
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_TRUE(o.out.startsWith("usage: vantrel-render MOVIE")) << o.out.constData();
    EXPECT_TRUE(o.err.isEmpty()) << o.err.constData();
    // Without a movie it is still a usage error on stderr.
    const Output bare = run(QStringLiteral(VANTREL_RENDER), {});
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_TRUE(bare.err.contains("usage: vantrel-render MOVIE"));
}
