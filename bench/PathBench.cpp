// vantrel-bench-paths [MOVIE|DIR...]: the path work of real movies, to set
// the renderer's per-frame flattening budget (swf/render/PathBudget.h) well
// above it. Plays each movie (default: the corpus's visual and anim sets)
// for up to 300 frames, drawing every frame at the stage's size, and prints
// the most segments one frame flattened (a curve counts as
// PathBudget::CurveSegments), heaviest movies first, then the maximum against
// the budget.

#include "swf/Playback.h"
#include "swf/render/PathBudget.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int MaxFrames = 300;

struct Figure {
    QString movie;
    std::int64_t segments;
    int frames;
};

Figure measure(const QString& path)
{
    swf::PlaybackOptions options;
    options.fault = [](const QString&) { };
    options.trace = [](const QString&) { };
    swf::PathBudget::resetHeaviestFrame();
    auto opened = swf::Playback::open(path, options);
    if (!opened.ok())
        return { path, -1, 0 };
    auto playback = opened.release();
    const QRectF stage = playback->stageRect();
    const QSize size(std::clamp(int(stage.width()), 1, 2048), std::clamp(int(stage.height()), 1, 2048));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    const int frames = std::min(playback->frameCount() + 30, MaxFrames);
    for (int f = 0; f < frames; ++f) {
        image.fill(Qt::white);
        QPainter painter(&image);
        playback->render(painter, QTransform::fromTranslate(-stage.left(), -stage.top()));
        painter.end();
        playback->nextFrame();
    }
    return { path, swf::PathBudget::heaviestFrame(), frames };
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList roots;
    for (int i = 1; i < argc; ++i)
        roots << QString::fromLocal8Bit(argv[i]);
    if (roots.isEmpty())
        roots << QStringLiteral(VANTREL_CORPUS_DIR "/visual") << QStringLiteral(VANTREL_CORPUS_DIR "/anim");
    QStringList movies;
    for (const QString& root : roots) {
        if (QFileInfo(root).isFile()) {
            movies << root;
            continue;
        }
        QDirIterator it(root, { QStringLiteral("*.swf") }, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            movies << it.next();
    }
    movies.sort();
    std::vector<Figure> figures;
    for (const QString& movie : movies)
        figures.push_back(measure(movie));
    std::sort(figures.begin(), figures.end(), [](const Figure& a, const Figure& b) { return a.segments > b.segments; });
    std::printf("%12s %7s  %s\n", "segments", "frames", "movie (heaviest frame)");
    for (size_t i = 0; i < figures.size() && i < 15; ++i)
        std::printf("%12lld %7d  %s\n", (long long)figures[i].segments, figures[i].frames, qPrintable(figures[i].movie));
    const std::int64_t most = figures.empty() ? 0 : figures.front().segments;
    std::printf("%zu movies; heaviest frame %lld segments; budget %lld (%.0fx)\n", figures.size(), (long long)most,
        (long long)swf::PathBudget::SegmentsPerFrame, most > 0 ? double(swf::PathBudget::SegmentsPerFrame) / double(most) : 0.0);
    return 0;
}
