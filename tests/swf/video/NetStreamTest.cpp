// NetStream over FLV files ffmpeg writes beside a movie: the status codes a
// script hears, onMetaData, the stream's time across seeks and pauses, and
// the picture an attached Video shows against ffmpeg's decode of the file.

#include "support/Assembler.h"
#include "support/AudioTestSupport.h"
#include "VideoFixtures.h"

#include "swf/Playback.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace videotest;
using swf::avm1::test::Asm;

namespace {

// The value of a dotted path ("ns.time") on the stack.
void pushPath(Asm& a, const QString& path)
{
    const QStringList parts = path.split(QLatin1Char('.'));
    a.push({ parts[0] }).getVariable();
    for (qsizetype i = 1; i < parts.size(); ++i)
        a.push({ parts[i] }).getMember();
}

// trace() of the items joined: an item starting with '$' is a path, the
// others are literal text.
Asm& traceJoin(Asm& a, std::initializer_list<const char*> items)
{
    bool first = true;
    for (const char* item : items) {
        if (item[0] == '$')
            pushPath(a, QString::fromLatin1(item + 1));
        else
            a.push({ item });
        if (!first)
            a.add2();
        first = false;
    }
    return a.trace();
}

// object.method(args...), its result dropped.
Asm& callOn(Asm& a, const char* object, const char* method, std::vector<Asm::Item> args = {})
{
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        a.push({ *it });
    a.push({ int(args.size()) });
    pushPath(a, QString::fromLatin1(object));
    return a.push({ method }).callMethod().pop();
}

// name = new Class(arg variable, when given)
Asm& construct(Asm& a, const char* name, const char* className, const char* argVariable = nullptr)
{
    a.push({ name });
    if (argVariable)
        a.push({ argVariable }).getVariable();
    a.push({ argVariable ? 1 : 0, className }).op(0x40); // NewObject
    return a.setVariable();
}

// object.handler = function (param) { trace(items...) }
Asm& traceHandler(Asm& a, const char* object, const char* handler, const char* param, std::initializer_list<const char*> items)
{
    Asm body;
    traceJoin(body, items);
    pushPath(a, QString::fromLatin1(object));
    a.push({ handler }).function("", { param }, body);
    return a.setMember();
}

QByteArray doAction(const Asm& a)
{
    return tag(12, a.bytes() + QByteArray(1, '\0'));
}

// PlaceObject2 of video stream `id` at depth 1 under the name "video".
QByteArray placeNamedVideo(std::uint16_t id)
{
    QByteArray b;
    putU8(b, 0x22); // name | character
    putU16(b, 1);
    putU16(b, id);
    b.append("video");
    b.append('\0');
    return tag(26, b);
}

// A movie of `frames` frames at 12 fps with a named video at depth 1 and
// the given actions on some of its frames; the last frame stops.
QByteArray scriptedMovie(int w, int h, int frames, std::map<int, Asm> actions)
{
    StreamSpec spec;
    spec.width = w;
    spec.height = h;
    QByteArray tags = defineVideoStream(spec, 0) + placeNamedVideo(spec.id);
    actions[frames].op(0x07); // Stop
    for (int f = 1; f <= frames; ++f) {
        if (actions.count(f))
            tags += doAction(actions[f]);
        tags += tag(1, {});
    }
    return movie(tags, frames, w, h);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

struct MovieRun {
    std::unique_ptr<swf::Playback> playback;
    QStringList trace;
};

MovieRun open(const QString& path)
{
    MovieRun run;
    swf::PlaybackOptions options;
    auto* lines = &run.trace;
    options.trace = [lines](const QString& line) { lines->append(line); };
    auto opened = swf::Playback::open(path, options);
    EXPECT_TRUE(opened.ok());
    if (opened.ok())
        run.playback = std::move(opened.value());
    return run;
}

QImage stageImage(swf::Playback& playback, int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    playback.render(painter, QTransform());
    return image;
}

// Stage frame f shows the stream at (f - 3) / 12 s: the file arrives on
// frame 2, its buffer fills on frame 3, then each frame moves it on by
// 1/12 s. At 4 pictures a second that is picture (f - 3) / 3; the frames
// checked lie inside a picture's time, never on its edge.
int pictureAtStageFrame(int f) { return (f - 3) / 3; }

class NetStreamFlv : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!audiotest::haveFfmpeg())
            GTEST_SKIP() << "ffmpeg is not installed";
        ASSERT_TRUE(m_dir.isValid());
    }
    // 3 s of ffmpeg's test pattern at 4 fps, a key frame every 4 pictures.
    bool makeFlv(const QString& name, const QStringList& codec)
    {
        QStringList args { "-f", "lavfi", "-i", "testsrc=size=160x120:rate=4", "-t", "3" };
        args += codec;
        args += { "-g", "4", m_dir.filePath(name) };
        return audiotest::runFfmpeg(args).has_value();
    }
    QTemporaryDir m_dir;
};

// The whole life of a stream: start, metadata, full buffer, pictures in
// step with the stage clock, a seek to the key frame before the time asked
// for, a seek past the end, pause and resume, the end, close; and streams
// whose file is missing or outside the movie's folder.
TEST_F(NetStreamFlv, StatusCodesTimeAndPictures)
{
    ASSERT_TRUE(makeFlv("clip.flv", { "-c:v", "flv" }));
    const auto reference = ffmpegFrames(m_dir.filePath("clip.flv"), 160, 120);
    ASSERT_EQ(reference.size(), 12u);

    std::map<int, Asm> actions;
    Asm& setup = actions[1];
    construct(setup, "nc", "NetConnection");
    callOn(setup, "nc", "connect", { swf::avm1::test::Null {} });
    construct(setup, "ns", "NetStream", "nc");
    traceHandler(setup, "ns", "onStatus", "info", { "$info.code", " ", "$info.level", " ", "$ns.time" });
    traceHandler(setup, "ns", "onMetaData", "m", { "meta ", "$m.duration", " ", "$m.width", " ", "$m.height" });
    // video.attachVideo(ns): the stream itself, not its name.
    setup.push({ "ns" }).getVariable().push({ 1 });
    pushPath(setup, "video");
    setup.push({ "attachVideo" }).callMethod().pop();
    traceJoin(setup, { "before ", "$ns.time", " ", "$ns.bytesTotal", " ", "$video.width" });
    callOn(setup, "ns", "play", { "clip.flv" });
    construct(setup, "missing", "NetStream", "nc");
    traceHandler(setup, "missing", "onStatus", "info", { "missing ", "$info.code", " ", "$info.level" });
    callOn(setup, "missing", "play", { "nothing-here.flv" });
    construct(setup, "outside", "NetStream", "nc");
    traceHandler(setup, "outside", "onStatus", "info", { "outside ", "$info.code", " ", "$info.level" });
    callOn(setup, "outside", "play", { "../clip.flv" });
    traceJoin(actions[5], { "size ", "$video.width", "x", "$video.height", " bytes ", "$ns.bytesLoaded" });
    callOn(actions[10], "ns", "seek", { 1.6 });
    callOn(actions[13], "ns", "seek", { 100.0 });
    callOn(actions[14], "ns", "pause");
    traceJoin(actions[15], { "paused ", "$ns.time" });
    callOn(actions[16], "ns", "pause", { true }); // already paused: no second notice
    traceJoin(actions[20], { "paused ", "$ns.time" });
    callOn(actions[21], "ns", "pause", { false });
    traceJoin(actions[44], { "ended ", "$ns.time" });
    callOn(actions[45], "ns", "close");
    traceJoin(actions[45], { "closed ", "$ns.time", " ", "$ns.bytesTotal" });

    const QString path = m_dir.filePath("netstream.swf");
    ASSERT_TRUE(writeFile(path, scriptedMovie(160, 120, 46, std::move(actions))));
    // A file of that name one folder up: the movie may not reach it.
    QFile::copy(m_dir.filePath("clip.flv"), QDir(m_dir.path()).absoluteFilePath("../clip.flv"));

    MovieRun run = open(path);
    ASSERT_TRUE(run.playback);
    std::map<int, QImage> shown;
    for (int f = 2; f <= 46; ++f) {
        run.playback->nextFrame();
        if (f == 8 || f == 12 || f == 20)
            shown[f] = stageImage(*run.playback, 160, 120);
    }
    QFile::remove(QDir(m_dir.path()).absoluteFilePath("../clip.flv"));

    const qint64 size = QFileInfo(m_dir.filePath("clip.flv")).size();
    const QStringList expected {
        "before 0 0 0",
        "NetStream.Play.Start status 0",
        "meta 3 160 120",
        "missing NetStream.Play.StreamNotFound error",
        "outside NetStream.Play.StreamNotFound error",
        "NetStream.Buffer.Full status 0",
        QStringLiteral("size 160x120 bytes %1").arg(size),
        "NetStream.Seek.Notify status 1",
    };
    ASSERT_GE(run.trace.size(), expected.size() + 7) << run.trace.join('\n').toStdString();
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(run.trace[i], expected[i]) << "line " << i << "\n" << run.trace.join('\n').toStdString();
    EXPECT_TRUE(run.trace.value(expected.size()).startsWith("NetStream.Seek.InvalidTime error"));
    // Paused: the time stands still from frame 15 to frame 20.
    const QStringList paused = run.trace.filter(QStringLiteral("paused "));
    ASSERT_EQ(paused.size(), 2);
    EXPECT_EQ(paused[0], paused[1]);
    // Pausing and resuming are each told once, on the frame after the call:
    // the notice comes before frame 15's trace, the resume after frame 20's.
    const qsizetype pause = run.trace.indexOf(QStringLiteral("NetStream.Pause.Notify status ") + paused[0].mid(7));
    ASSERT_GE(pause, 0) << run.trace.join('\n').toStdString();
    EXPECT_EQ(run.trace.value(pause + 1), paused[0]);
    EXPECT_EQ(run.trace.filter(QStringLiteral("ause.Notify")).size(), 2); // Pause and Unpause
    const qsizetype resume = run.trace.indexOf(QRegularExpression(QStringLiteral("^NetStream\\.Unpause\\.Notify status .*")));
    EXPECT_EQ(resume, run.trace.lastIndexOf(paused[1]) + 1) << run.trace.join('\n').toStdString();
    // The end: the buffer is flushed, the stream stops at its last picture's
    // time and its buffer reads empty; close resets it and tells nothing.
    const qsizetype stop = run.trace.indexOf(QStringLiteral("NetStream.Play.Stop status 2.75"));
    ASSERT_GE(stop, 1) << run.trace.join('\n').toStdString();
    EXPECT_EQ(run.trace.value(stop - 1), QStringLiteral("NetStream.Buffer.Flush status 2.75"));
    EXPECT_EQ(run.trace.filter(QStringLiteral("NetStream.Buffer.Flush")).size(), 1);
    EXPECT_EQ(run.trace.value(stop + 1), QStringLiteral("NetStream.Buffer.Empty status 2.75"));
    EXPECT_EQ(run.trace.value(stop + 2), QStringLiteral("ended 2.75"));
    EXPECT_EQ(run.trace.value(stop + 3), QStringLiteral("closed 0 0"));

    // Frame 8 plays on from the start; frame 12 and 20 stand after the seek
    // to 1 s (picture 4): frame 12 a little past it, frame 20 paused there.
    EXPECT_GE(psnr(shown[8], reference[std::size_t(pictureAtStageFrame(8))]), 30) << "frame 8";
    EXPECT_GE(psnr(shown[12], reference[4]), 30) << "frame 12, after the seek";
    EXPECT_GE(psnr(shown[20], reference[5]), 30) << "frame 20, paused";
}

// A movie that plays `flv` on an attached video from its first frame and
// stops on frame `frames`, with more actions on some frames.
QByteArray playingMovie(const char* flv, int frames, std::map<int, Asm> actions = {})
{
    Asm& setup = actions[1];
    construct(setup, "nc", "NetConnection");
    callOn(setup, "nc", "connect", { swf::avm1::test::Null {} });
    construct(setup, "ns", "NetStream", "nc");
    setup.push({ "ns" }).getVariable().push({ 1 });
    pushPath(setup, "video");
    setup.push({ "attachVideo" }).callMethod().pop();
    callOn(setup, "ns", "play", { flv });
    return scriptedMovie(160, 120, frames, std::move(actions));
}

// H.264 in FLV: the decoder takes its configuration from the file's first
// video tag, and the pictures match ffmpeg's.
TEST_F(NetStreamFlv, H264PicturesMatchFfmpeg)
{
    if (!makeFlv("h264.flv", { "-c:v", "libx264", "-pix_fmt", "yuv420p", "-bf", "0", "-preset", "ultrafast" }))
        GTEST_SKIP() << "this ffmpeg cannot write H.264";
    const auto reference = ffmpegFrames(m_dir.filePath("h264.flv"), 160, 120);
    ASSERT_EQ(reference.size(), 12u);
    const QString path = m_dir.filePath("h264.swf");
    ASSERT_TRUE(writeFile(path, playingMovie("h264.flv", 40)));
    MovieRun run = open(path);
    ASSERT_TRUE(run.playback);
    for (int f = 2; f <= 26; ++f) {
        run.playback->nextFrame();
        if (f == 8 || f == 20 || f == 26)
            EXPECT_GE(psnr(stageImage(*run.playback, 160, 120), reference[std::size_t(pictureAtStageFrame(f))]), 30) << "frame " << f;
    }
}

// The Video object's own properties: smoothing and deblocking as the
// stream declares them until a script sets them, the picture's size, and
// clear(), which shows nothing until the stream's next picture.
TEST_F(NetStreamFlv, VideoObjectPropertiesAndClear)
{
    ASSERT_TRUE(makeFlv("clip.flv", { "-c:v", "flv" }));
    std::map<int, Asm> actions;
    traceJoin(actions[5], { "$video.smoothing", " ", "$video.deblocking", " ", "$video.width", "x", "$video.height" });
    actions[6].push({ "video" }).getVariable().push({ "smoothing", true }).setMember();
    actions[6].push({ "video" }).getVariable().push({ "deblocking", 2 }).setMember();
    actions[6].push({ "video" }).getVariable().push({ "width", 5 }).setMember(); // read-only
    traceJoin(actions[6], { "$video.smoothing", " ", "$video.deblocking", " ", "$video.width" });
    callOn(actions[10], "video", "clear");
    const QString path = m_dir.filePath("props.swf");
    ASSERT_TRUE(writeFile(path, playingMovie("clip.flv", 20, std::move(actions))));
    MovieRun run = open(path);
    ASSERT_TRUE(run.playback);
    auto white = [](const QImage& image) {
        for (int y = 0; y < image.height(); y += 7)
            for (int x = 0; x < image.width(); x += 7)
                if (image.pixel(x, y) != qRgb(255, 255, 255))
                    return false;
        return true;
    };
    for (int f = 2; f <= 13; ++f) {
        run.playback->nextFrame();
        if (f == 9)
            EXPECT_FALSE(white(stageImage(*run.playback, 160, 120))) << "the stream's picture";
        if (f == 10)
            EXPECT_TRUE(white(stageImage(*run.playback, 160, 120))) << "cleared";
        if (f == 13) // picture 3 is due from frame 12 on
            EXPECT_FALSE(white(stageImage(*run.playback, 160, 120))) << "the next picture after clear";
    }
    EXPECT_EQ(run.trace, QStringList({ "false 0 160x120", "true 2 160" }));
}

#ifdef VANTREL_RENDER

// The sound of an FLV plays through the movie's mixer from the moment the
// stream starts moving, whatever its codec (MP3 joined into one sound, ADPCM
// and AAC decoded whole): vantrel-render's --audio matches ffmpeg's decode
// of the file's sound, and the picture at the end is the one due then.
TEST_F(NetStreamFlv, SoundInStepWithThePictures)
{
    for (const char* codec : { "libmp3lame", "adpcm_swf", "aac" }) {
        SCOPED_TRACE(codec);
        const QString flv = m_dir.filePath(QStringLiteral("av-%1.flv").arg(codec));
        if (!audiotest::runFfmpeg({ "-f", "lavfi", "-i", "testsrc=size=160x120:rate=4", "-f", "lavfi", "-i", "sine=frequency=440:duration=4",
                "-t", "3", "-c:v", "flv", "-g", "4", "-c:a", codec, "-ar", "44100", "-ac", "1", flv })) {
            ADD_FAILURE() << "this ffmpeg cannot write " << codec;
            continue;
        }
        const QString path = m_dir.filePath(QStringLiteral("av-%1.swf").arg(codec));
        ASSERT_TRUE(writeFile(path, playingMovie(QFileInfo(flv).fileName().toUtf8().constData(), 30)));

        const QString wav = m_dir.filePath("av.wav");
        QProcess p;
        p.start(QStringLiteral(VANTREL_RENDER), { path, "--frame", "24", "--audio", wav });
        ASSERT_TRUE(p.waitForFinished(120000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
        const QByteArray w = audiotest::readFile(wav);
        ASSERT_GT(w.size(), 44);
        const auto all = audiotest::samplesFromS16le(w.mid(44));
        std::vector<std::int16_t> ours; // left channel
        for (std::size_t i = 0; i < all.size(); i += 2)
            ours.push_back(all[i]);
        auto decoded = audiotest::runFfmpeg({ "-i", flv, "-vn", "-f", "s16le", "-ac", "1", "-ar", "44100", "-" });
        ASSERT_TRUE(decoded);
        const auto ref = audiotest::samplesFromS16le(*decoded);
        // The stream starts moving on frame 3: its sound starts two frames
        // (2 × 3675 samples) into the output, give or take one frame.
        const std::size_t start = 2 * 3675;
        const std::size_t probe = start + 6 * 3675;
        ASSERT_GT(ours.size(), probe + 2000);
        int best = 1 << 30;
        std::size_t late = 0;
        for (std::size_t d = 0; d <= 2 * 3675; ++d) {
            std::vector<std::int16_t> window(ours.begin() + std::ptrdiff_t(probe), ours.begin() + std::ptrdiff_t(probe + 2000));
            const int m = audiotest::compareSamples(ref, window, probe - start + 3675 - d).maxAbs;
            if (m < best) {
                best = m;
                late = d;
            }
        }
        EXPECT_LE(best, 2) << "offset " << late;
        // Before the stream moves the movie is silent.
        for (std::size_t i = 0; i < 3675; ++i)
            ASSERT_EQ(ours[i], 0) << "sample " << i;

        const QString png = m_dir.filePath("av.png");
        QProcess r;
        r.start(QStringLiteral(VANTREL_RENDER), { path, "--frame", "25", "--out", png });
        ASSERT_TRUE(r.waitForFinished(120000) && r.exitCode() == 0) << r.readAllStandardError().toStdString();
        const auto pictures = ffmpegFrames(flv, 160, 120);
        ASSERT_EQ(pictures.size(), 12u);
        EXPECT_GE(psnr(QImage(png), pictures[std::size_t(pictureAtStageFrame(25))]), 30);
    }
}

#endif

} // namespace
