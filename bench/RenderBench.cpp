// Render and load figures for the engine.
//
//   vantrel-bench-render                every movie of the corpus's anim/ folder
//   vantrel-bench-render --visual       the same, then the ten heaviest visual cases
//   vantrel-bench-render MOVIE...       those movies
//   vantrel-bench-render --series       drawing cost against the number of objects
//   vantrel-bench-render --series-one rects|curved|moving N   one row of it
//   vantrel-bench-render --load MOVIE   load time and peak memory of one movie
//   vantrel-bench-render --check [MOVIE...]  partial repaints against whole frames
//
// Each movie plays 600 frames (or its whole root timeline when longer, up to
// 1500) with its scripts running on the player's clock, at 550x400, 1100x800
// and 2200x1600, and every frame's drawing is timed on its own: the figures are
// the mean and the slowest frame in milliseconds, and how many times faster
// than real time the mean frame is drawn. "full" draws every frame whole;
// "changed" draws as the player does, only the area the frame changed (nothing
// when nothing changed). Beside them, measured in the same run, the floor:
// filling a premultiplied image of that size and converting it as a window
// shows it, which no drawing can go below.

#include "swf/Playback.h"
#include "tools/swfwriter/Movie.h"
#include "tools/swfwriter/Shape.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A run is this many frames, or the whole root timeline when longer, cut at
// MaxFramesPerRun so that one movie cannot take the whole run.
constexpr int FramesPerRun = 600;
constexpr int MaxFramesPerRun = 1500;
constexpr int HeaviestVisualCases = 10;

swf::PlaybackOptions quietOptions()
{
    swf::PlaybackOptions options;
    options.fault = [](const QString&) { };
    return options;
}

QTransform showAll(const QRectF& stage, const QSize& target)
{
    double scale = std::min(target.width() / stage.width(), target.height() / stage.height());
    return QTransform(scale, 0, 0, scale, (target.width() - stage.width() * scale) / 2 - stage.left() * scale,
        (target.height() - stage.height() * scale) / 2 - stage.top() * scale);
}

struct Timing {
    double meanMs = -1;
    double maxMs = -1;
    int frames = 0;
};

enum class Draw { Full, Changed };

Timing summary(const std::vector<double>& times)
{
    Timing t;
    if (times.empty())
        return t;
    t.frames = int(times.size());
    double sum = 0;
    for (double ms : times)
        sum += ms;
    t.meanMs = sum / t.frames;
    t.maxMs = *std::max_element(times.begin(), times.end());
    return t;
}

// Milliseconds to draw each frame of one run at `size`; empty when the movie
// cannot be drawn. Frames advance on the player's clock (frame n at n / rate
// seconds), so that scripts reading getTimer see what they would in the player.
std::vector<double> runOnce(const QString& path, const QSize& size, int frames, Draw draw)
{
    auto opened = swf::Playback::open(path, quietOptions());
    if (!opened)
        return {};
    auto& playback = *opened.value();
    QRectF stage = playback.stageRect();
    if (stage.width() <= 0 || stage.height() <= 0)
        return {};
    playback.setViewSize(size);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    const QTransform transform = showAll(stage, size);
    const double frameMs = 1000.0 / std::max(playback.frameRate(), 0.01);
    std::vector<double> times;
    times.reserve(std::size_t(frames));
    QElapsedTimer timer;
    for (int f = 0; f < frames; ++f) {
        if (f > 0)
            playback.nextFrame(f * frameMs);
        timer.start();
        if (draw == Draw::Full) {
            QPainter painter(&image);
            playback.render(painter, transform);
        } else if (const QRegion area = playback.changedArea(transform, size); !area.isEmpty()) {
            QPainter painter(&image);
            painter.setClipRegion(area);
            painter.fillRect(area.boundingRect(), playback.backgroundColor());
            playback.render(painter, transform);
        }
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return times;
}

Timing timeRun(const QString& path, const QSize& size, int frames, Draw draw)
{
    return summary(runOnce(path, size, frames, draw));
}

// Filling a premultiplied image and converting it to the window's opaque
// format, as showing a frame costs at the least: milliseconds, the best of 20.
double fillAndShowMs(const QSize& size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QImage shown(size, QImage::Format_RGB32);
    double best = 1e9;
    QElapsedTimer timer;
    for (int i = 0; i < 20; ++i) {
        timer.start();
        image.fill(QColor(i, 128, 255 - i));
        QPainter painter(&shown);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, image);
        painter.end();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

int runLength(const QString& path)
{
    auto opened = swf::Playback::open(path, quietOptions());
    if (!opened)
        return 0;
    return std::clamp(std::max(opened.value()->frameCount(), FramesPerRun), 1, MaxFramesPerRun);
}

QString nameOf(const QString& path)
{
    // Corpus cases are all called test.swf: their folder names them.
    QFileInfo info(path);
    return info.fileName() == QLatin1String("test.swf") ? info.dir().dirName() : info.fileName();
}

QStringList corpusMovies(const QString& folder)
{
    QStringList movies;
    QDirIterator it(QStringLiteral(VANTREL_CORPUS_DIR "/") + folder, { QStringLiteral("test.swf") }, QDir::Files,
        QDirIterator::Subdirectories);
    while (it.hasNext())
        movies << it.next();
    movies.sort();
    return movies;
}

// The visual cases whose runs take the longest to draw at the smaller size.
QStringList heaviestVisualCases()
{
    std::vector<std::pair<double, QString>> costs;
    for (const QString& path : corpusMovies(QStringLiteral("visual"))) {
        const int frames = runLength(path);
        const std::vector<double> times = runOnce(path, QSize(550, 400), std::min(frames, 100), Draw::Full);
        double total = 0;
        for (double ms : times)
            total += ms;
        costs.emplace_back(times.empty() ? 0 : total / double(times.size()), path);
    }
    std::sort(costs.begin(), costs.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QStringList heaviest;
    for (std::size_t i = 0; i < costs.size() && i < std::size_t(HeaviestVisualCases); ++i)
        heaviest << costs[i].second;
    return heaviest;
}

int loadFigures(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    swf::PlaybackOptions options = quietOptions();
    options.scripts = false;
    auto opened = swf::Playback::open(path, options);
    double ms = timer.nsecsElapsed() / 1e6;
    if (!opened) {
        std::fprintf(stderr, "cannot load %s: %s\n", qPrintable(path), qPrintable(opened.error().detail));
        return 1;
    }
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("load %s: %.1f ms, %lld bytes on disk, peak resident %.1f MiB\n", qPrintable(QFileInfo(path).fileName()), ms,
        QFileInfo(path).size(), usage.ru_maxrss / 1024.0);
    return 0;
}

// CPU time of the whole process (every thread), in milliseconds: on a
// loaded machine it moves far less than the wall clock.
double processCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// A movie of `count` objects on a 550x400 stage, laid out in a grid: plain
// rectangles, or shapes of four curves filled with a radial gradient; with
// `moving`, each object is a clip holding the shape and every frame moves all
// of them (two frames, the second shifting each by a few pixels).
QByteArray seriesMovie(int count, bool curvedGradient, bool moving)
{
    swfw::Movie movie(8, 550, 400, 24);
    movie.setBackgroundColor({ 255, 255, 255, 255 });
    swfw::Shape shape;
    if (curvedGradient) {
        const int fill = shape.addFillStyle(swfw::FillStyle::radial(swfw::FillStyle::gradientBox(0, 0, 400, 400),
            { { 0, { 255, 0, 0, 255 } }, { 128, { 0, 128, 255, 200 } }, { 255, { 0, 0, 0, 255 } } }));
        shape.fill1(fill).moveTo(200, 0).curveTo(400, 0, 400, 200).curveTo(400, 400, 200, 400).curveTo(0, 400, 0, 200)
            .curveTo(0, 0, 200, 0);
    } else {
        const int fill = shape.addFillStyle(swfw::FillStyle::solid({ 0, 90, 200, 255 }));
        shape.fill1(fill).rect(0, 0, 300, 200);
    }
    movie.defineShape(1, shape, 3);
    std::uint16_t placed = 1;
    if (moving) {
        swfw::Sprite clip;
        clip.placeObject2(swfw::Placement::place(1, 1));
        clip.showFrame();
        movie.defineSprite(2, clip);
        placed = 2;
    }
    const int columns = std::max(1, int(std::ceil(std::sqrt(count * 550.0 / 400.0))));
    auto at = [&](int i, int shift) {
        return swfw::Matrix::translate(swfw::px((i % columns) * 530.0 / columns + shift),
            swfw::px((i / columns) * 380.0 / std::max(1, (count + columns - 1) / columns) + shift));
    };
    for (int i = 0; i < count; ++i)
        movie.placeObject2(swfw::Placement::place(std::uint16_t(i + 1), placed, at(i, 0)));
    movie.showFrame();
    if (moving) {
        for (int i = 0; i < count; ++i) {
            swfw::Placement move = swfw::Placement::modify(std::uint16_t(i + 1));
            move.matrix = at(i, 3);
            movie.placeObject2(move);
        }
        movie.showFrame();
    }
    return movie.bytes();
}

// Mean milliseconds of one frame (advance and draw) over `frames` frames at
// 550x400, filled on one thread as the player fills (serialFills) or as the
// painter chooses.
double seriesFrameMs(const QByteArray& bytes, int frames, bool serialFills = true, double* cpuMs = nullptr)
{
    swf::PlaybackOptions options = quietOptions();
    options.serialFills = serialFills;
    auto opened = swf::Playback::fromBytes(bytes, options);
    if (!opened)
        return -1;
    auto& playback = *opened.value();
    QImage image(QSize(550, 400), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> times;
    QElapsedTimer timer;
    double cpuStart = 0;
    for (int f = 0; f < frames + 1; ++f) {
        if (f == 1)
            cpuStart = processCpuMs();
        timer.start();
        if (f > 0)
            playback.nextFrame();
        QPainter painter(&image);
        playback.render(painter, QTransform());
        painter.end();
        if (f > 0) // the first frame also builds the shapes' paths
            times.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (cpuMs)
        *cpuMs = (processCpuMs() - cpuStart) / frames;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Plays each movie's run twice side by side, one drawn whole every frame and
// one repainted only where changedArea says, and counts the frames on which
// the two pictures differ (they must not). Prints figures; returns 1 on any.
int checkChanges(const QStringList& movies, const QSize& size)
{
    int bad = 0;
    for (const QString& path : movies) {
        auto a = swf::Playback::open(path, quietOptions());
        auto b = swf::Playback::open(path, quietOptions());
        if (!a || !b)
            continue;
        auto& full = *a.value();
        auto& partial = *b.value();
        full.setViewSize(size);
        partial.setViewSize(size);
        const QTransform transform = showAll(full.stageRect(), size);
        const double frameMs = 1000.0 / std::max(full.frameRate(), 0.01);
        QImage kept(size, QImage::Format_ARGB32_Premultiplied);
        int differing = 0, repainted = 0;
        const int frames = runLength(path);
        for (int f = 0; f < frames; ++f) {
            if (f > 0) {
                full.nextFrame(f * frameMs);
                partial.nextFrame(f * frameMs);
            }
            QImage whole(size, QImage::Format_ARGB32_Premultiplied);
            whole.fill(full.backgroundColor());
            {
                QPainter painter(&whole);
                full.render(painter, transform);
            }
            if (const QRegion area = partial.changedArea(transform, size); !area.isEmpty()) {
                ++repainted;
                QPainter painter(&kept);
                painter.setClipRegion(area);
                painter.fillRect(kept.rect(), partial.backgroundColor());
                partial.render(painter, transform);
            }
            if (kept != whole)
                ++differing;
        }
        std::printf("%-40s %5d frames, %5d repainted, %5d differ\n", qPrintable(nameOf(path).right(40)), frames, repainted,
            differing);
        std::fflush(stdout);
        bad += differing;
    }
    return bad > 0 ? 1 : 0;
}

int series()
{
    std::printf("drawing cost against object count at 550x400 (median frame, advance included,\n"
                "filled on one thread as the player fills; \"pool\" as the painter chooses; the cpu columns are\n"
                "the mean CPU time of the whole process per frame, steadier than the wall clock on a loaded machine)\n");
    std::printf("%8s | %10s %8s | %10s %8s %8s | %10s %8s %8s | %10s\n", "N", "rects ms", "us each", "curved ms", "us each",
        "cpu us", "moving ms", "fps", "cpu fps", "curved pool");
    for (int n : { 10, 100, 1000, 10000 }) {
        const int frames = n >= 10000 ? 10 : 40;
        const double rects = seriesFrameMs(seriesMovie(n, false, false), frames);
        double curvedCpu = 0, movingCpu = 0;
        const double curved = seriesFrameMs(seriesMovie(n, true, false), frames, true, &curvedCpu);
        const double moving = seriesFrameMs(seriesMovie(n, false, true), frames, true, &movingCpu);
        const double curvedPool = seriesFrameMs(seriesMovie(n, true, false), frames, false);
        std::printf("%8d | %10.3f %8.2f | %10.3f %8.2f %8.2f | %10.3f %8.1f %8.1f | %10.3f\n", n, rects, rects * 1000 / n, curved,
            curved * 1000 / n, curvedCpu * 1000 / n, moving, 1000 / moving, 1000 / movingCpu, curvedPool);
        std::fflush(stdout);
    }
    return 0;
}

// One row of the series, one kind of object (rects, curved, moving), for
// profiling a single case.
int seriesOne(const QString& kind, int n)
{
    const bool curved = kind == QLatin1String("curved");
    const bool moving = kind == QLatin1String("moving");
    if (n <= 0 || (!curved && !moving && kind != QLatin1String("rects"))) {
        std::fprintf(stderr, "--series-one rects|curved|moving N\n");
        return 2;
    }
    const int frames = n >= 10000 ? 20 : 100;
    double cpu = 0;
    const double ms = seriesFrameMs(seriesMovie(n, curved, moving), frames, true, &cpu);
    std::printf("%s %d: wall %.3f ms a frame (median), %.2f us each, %.1f fps; cpu %.3f ms a frame (mean), %.2f us each, "
                "%.1f fps\n",
        qPrintable(kind), n, ms, ms * 1000 / n, 1000 / ms, cpu, cpu * 1000 / n, 1000 / cpu);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == QLatin1String("--load"))
        return loadFigures(args[1]);
    if (args == QStringList { QStringLiteral("--series") })
        return series();
    if (args.size() == 3 && args[0] == QLatin1String("--series-one"))
        return seriesOne(args[1], args[2].toInt());
    if (!args.isEmpty() && args[0] == QLatin1String("--check"))
        return checkChanges(args.size() > 1 ? args.mid(1) : corpusMovies(QStringLiteral("anim")), QSize(550, 400));

    QStringList movies = args;
    if (movies.isEmpty() || movies == QStringList { QStringLiteral("--visual") })
        movies = corpusMovies(QStringLiteral("anim")) + (movies.isEmpty() ? QStringList() : heaviestVisualCases());
    const QSize sizes[] = { QSize(550, 400), QSize(1100, 800), QSize(2200, 1600) };
    std::printf("floor (fill and show):");
    for (const QSize& size : sizes)
        std::printf("  %dx%d %.3f ms", size.width(), size.height(), fillAndShowMs(size));
    std::printf("\n%-40s %6s %6s %5s | %9s %9s %9s %7s | %9s %7s\n", "movie", "frames", "fps", "size", "full mean",
        "full max", "floor", "x real", "chg mean", "x real");
    for (const QString& path : movies) {
        auto opened = swf::Playback::open(path, quietOptions());
        if (!opened) {
            std::printf("%-40s cannot be read\n", qPrintable(nameOf(path)));
            continue;
        }
        const double fps = opened.value()->frameRate();
        const int frames = runLength(path);
        for (const QSize& size : sizes) {
            const Timing full = timeRun(path, size, frames, Draw::Full);
            const double floorMs = fillAndShowMs(size);
            const Timing changed = timeRun(path, size, frames, Draw::Changed);
            const double frameMs = 1000.0 / std::max(fps, 0.01);
            std::printf("%-40s %6d %6.1f %5d | %9.3f %9.3f %9.3f %7.1f | %9.3f %7.1f\n", qPrintable(nameOf(path).right(40)),
                full.frames, fps, size.width(), full.meanMs, full.maxMs, floorMs, frameMs / std::max(full.meanMs, 1e-6),
                changed.meanMs, frameMs / std::max(changed.meanMs, 1e-6));
            std::fflush(stdout);
        }
    }
    return 0;
}
