// Render and load figures for the engine.
//
//   vantrel-bench-render                every movie of the corpus's anim/ folder and the ten
//                                      heaviest visual cases
//   vantrel-bench-render MOVIE...       those movies
//   vantrel-bench-render --load MOVIE   load time and peak memory of one movie
//
// Each movie plays a whole run with its scripts, at 550x400 and at 1100x800,
// and every frame's drawing is timed on its own: the figures are the mean and
// the slowest frame in milliseconds. A run is the movie's frames once through,
// or as far as its corpus case captures, whichever is longer. The run is made
// twice and each frame keeps its faster time, which takes out most of the
// noise of a shared machine but keeps the cost of a frame that is slow the
// first time it is drawn (caches are per movie, and each run opens it anew).

#include "swf/Playback.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

// A long movie is cut here, so that one movie cannot take the whole run.
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

// The last capture of a corpus case next to the movie, 0 when there is none.
int lastCapture(const QString& moviePath)
{
    QFile file(QFileInfo(moviePath).dir().filePath(QStringLiteral("case.json")));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    int last = 0;
    for (const QJsonValue& capture : QJsonDocument::fromJson(file.readAll()).object().value("captures").toArray())
        last = std::max(last, capture.toObject().value("after").toInt());
    return last;
}

struct Timing {
    double meanMs = -1;
    double maxMs = -1;
    int frames = 0;
};

// Milliseconds to draw each frame of one run at `size`; empty when the movie cannot be drawn.
std::vector<double> runOnce(const QString& path, const QSize& size, int frames)
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
    std::vector<double> times;
    times.reserve(std::size_t(frames));
    QElapsedTimer timer;
    for (int f = 0; f < frames; ++f) {
        if (f > 0)
            playback.nextFrame();
        timer.start();
        QPainter painter(&image);
        playback.render(painter, transform);
        painter.end();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return times;
}

Timing timeRun(const QString& path, const QSize& size, int frames)
{
    std::vector<double> best = runOnce(path, size, frames);
    const std::vector<double> again = runOnce(path, size, frames);
    if (best.empty() || again.size() != best.size())
        return {};
    for (std::size_t i = 0; i < best.size(); ++i)
        best[i] = std::min(best[i], again[i]);
    Timing t;
    t.frames = int(best.size());
    double sum = 0;
    for (double ms : best)
        sum += ms;
    t.meanMs = sum / t.frames;
    t.maxMs = *std::max_element(best.begin(), best.end());
    return t;
}

int runLength(const QString& path)
{
    auto opened = swf::Playback::open(path, quietOptions());
    if (!opened)
        return 0;
    return std::clamp(std::max(opened.value()->frameCount(), lastCapture(path)), 1, MaxFramesPerRun);
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
        const std::vector<double> times = runOnce(path, QSize(550, 400), frames);
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
    if (movies.isEmpty())
        movies = corpusMovies(QStringLiteral("anim")) + heaviestVisualCases();
    std::printf("%-46s %6s %8s | %10s %10s | %10s %10s\n", "movie", "frames", "rate fps", "550 mean", "550 max", "1100 mean",
        "1100 max");
    for (const QString& path : movies) {
        auto opened = swf::Playback::open(path, quietOptions());
        if (!opened) {
            std::printf("%-46s cannot be read\n", qPrintable(nameOf(path)));
            continue;
        }
        const double fps = opened.value()->frameRate();
        const int frames = runLength(path);
        const Timing small = timeRun(path, QSize(550, 400), frames);
        const Timing large = timeRun(path, QSize(1100, 800), frames);
        std::printf("%-46s %6d %8.1f | %10.3f %10.3f | %10.3f %10.3f\n", qPrintable(nameOf(path)), small.frames, fps,
            small.meanMs, small.maxMs, large.meanMs, large.maxMs);
        std::fflush(stdout);
    }
    return 0;
}
