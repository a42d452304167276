// Render and load figures for the engine.
//
//   vantrel-bench-render [MOVIE...]     render time per frame at 550x400 and 1100x800
//                                      (no movies: every visual corpus case, the five heaviest listed)
//   vantrel-bench-render --load MOVIE   load time and peak memory of one movie
//
// Each movie plays its first frames once to warm the caches, then the same
// frames are drawn again and timed; the figure is the mean per frame.

#include "swf/Playback.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

// The benchmarks time loading and drawing, without the script machine.
swf::PlaybackOptions drawingOnly()
{
    swf::PlaybackOptions options;
    options.scripts = false;
    return options;
}

constexpr int FramesPerMovie = 30;

QTransform showAll(const QRectF& stage, const QSize& target)
{
    double scale = std::min(target.width() / stage.width(), target.height() / stage.height());
    return QTransform(scale, 0, 0, scale, (target.width() - stage.width() * scale) / 2 - stage.left() * scale,
        (target.height() - stage.height() * scale) / 2 - stage.top() * scale);
}

// Mean milliseconds to draw one frame at `size`, over the movie's first frames.
double renderMs(const QString& path, const QSize& size)
{
    auto opened = swf::Playback::open(path, drawingOnly());
    if (!opened)
        return -1;
    auto& playback = *opened.value();
    QRectF stage = playback.stageRect();
    if (stage.width() <= 0 || stage.height() <= 0)
        return -1;
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QTransform transform = showAll(stage, size);
    int frames = std::min(FramesPerMovie, playback.frameCount());
    auto drawAll = [&] {
        playback.gotoFrame(1);
        for (int f = 0; f < frames; ++f) {
            QPainter painter(&image);
            playback.render(painter, transform);
            painter.end();
            playback.nextFrame();
        }
    };
    drawAll(); // warm-up: morph and bitmap caches fill
    QElapsedTimer timer;
    timer.start();
    drawAll();
    return timer.nsecsElapsed() / 1e6 / frames;
}

int loadFigures(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    auto opened = swf::Playback::open(path, drawingOnly());
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

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == QLatin1String("--load"))
        return loadFigures(args[1]);

    QStringList movies = args;
    bool corpus = movies.isEmpty();
    if (corpus) {
        QDirIterator it(QStringLiteral(VANTREL_CORPUS_DIR "/visual"), { QStringLiteral("test.swf") }, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            movies << it.next();
        movies.sort();
    }
    struct Row {
        QString name;
        double small, large, fps;
    };
    std::vector<Row> rows;
    for (const QString& path : movies) {
        auto opened = swf::Playback::open(path, drawingOnly());
        if (!opened)
            continue;
        double fps = opened.value()->frameRate();
        // Corpus cases are all called test.swf: their folder names them.
        QFileInfo info(path);
        QString name = info.fileName() == QLatin1String("test.swf") ? info.dir().dirName() : info.fileName();
        rows.push_back({ name, renderMs(path, QSize(550, 400)), renderMs(path, QSize(1100, 800)), fps });
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.small > b.small; });
    if (corpus && rows.size() > 5)
        rows.resize(5);
    std::printf("%-50s %12s %12s %10s %14s\n", "movie", "550x400 ms", "1100x800 ms", "rate fps", "headroom x");
    for (const Row& row : rows) {
        double budget = 1000.0 / row.fps;
        std::printf("%-50s %12.2f %12.2f %10.1f %14.1f\n", qPrintable(row.name), row.small, row.large, row.fps,
            row.small > 0 ? budget / row.small : 0.0);
    }
    return 0;
}
