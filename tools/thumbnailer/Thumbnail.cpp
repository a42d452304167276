#include "Thumbnail.h"

#include "swf/Playback.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace thumbnailer {

namespace {

// Frames are judged on a small picture: cheap, and a line or two of text on a
// blank stage does not count as a picture.
constexpr int kProbeSize = 96;

// The frame cap keeps a movie with an absurd frame rate from being probed for ever.
constexpr int kMaxProbedFrames = 240;

QTransform fitInSquare(const QRectF& stage, int size)
{
    const double scale = size / std::max(stage.width(), stage.height());
    const double dx = (size - stage.width() * scale) / 2 - stage.left() * scale;
    const double dy = (size - stage.height() * scale) / 2 - stage.top() * scale;
    return QTransform(scale, 0, 0, scale, dx, dy);
}

QImage probe(const swf::Playback& movie)
{
    const QRectF stage = movie.stageRect();
    const double scale = kProbeSize / std::max(stage.width(), stage.height());
    const QSize size(std::max(1, int(std::lround(stage.width() * scale))), std::max(1, int(std::lround(stage.height() * scale))));
    QImage image(size, QImage::Format_RGB32);
    image.fill(movie.backgroundColor());
    QPainter painter(&image);
    movie.render(painter, QTransform(scale, 0, 0, scale, -stage.left() * scale, -stage.top() * scale));
    return image;
}

} // namespace

QString inputPath(const QString& argument)
{
    if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(argument);
        if (!url.isValid() || !(url.host().isEmpty() || url.host() == QLatin1String("localhost")))
            return {};
        return url.path(QUrl::FullyDecoded);
    }
    // Any other scheme (sftp:, smb:, ...) is not a file we can read.
    const int colon = argument.indexOf(QLatin1Char(':'));
    const int slash = argument.indexOf(QLatin1Char('/'));
    if (colon > 1 && (slash < 0 || colon < slash) && argument.mid(colon + 1, 2) == QLatin1String("//"))
        return {};
    return argument;
}

double contentShare(const QImage& image, QColor background)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const QRgb bg = background.rgb();
    qint64 differing = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb p = line[x];
            const int d = std::abs(qRed(p) - qRed(bg)) + std::abs(qGreen(p) - qGreen(bg)) + std::abs(qBlue(p) - qBlue(bg));
            if (d > 24)
                ++differing;
        }
    }
    const qint64 total = qint64(rgb.width()) * rgb.height();
    return total > 0 ? double(differing) / double(total) : 0.0;
}

int showRepresentativeFrame(swf::Playback& movie, qint64 deadlineMs)
{
    QElapsedTimer clock;
    clock.start();
    const int lastFrame = std::min({ movie.frameCount(), kMaxProbedFrames,
        std::max(1, int(std::ceil(kLookAheadSeconds * movie.frameRate()))) });
    int bestFrame = movie.currentFrame();
    double bestShare = -1;
    for (int step = 1;; ++step) {
        const double share = contentShare(probe(movie), movie.backgroundColor());
        if (share >= kEnoughContent)
            return movie.currentFrame();
        if (share > bestShare) {
            bestShare = share;
            bestFrame = movie.currentFrame();
        }
        if (step >= lastFrame || clock.elapsed() >= deadlineMs)
            break;
        movie.nextFrame();
    }
    if (movie.currentFrame() != bestFrame)
        movie.gotoFrame(bestFrame);
    return movie.currentFrame();
}

QImage drawFrame(const swf::Playback& movie, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QRectF stage = movie.stageRect();
    if (stage.width() <= 0 || stage.height() <= 0)
        return image;
    const QTransform toImage = fitInSquare(stage, size);
    QPainter painter(&image);
    // The stage's rectangle only: the movie's background and what it draws.
    const QRect stageArea = toImage.mapRect(stage).toAlignedRect().intersected(image.rect());
    painter.setClipRect(stageArea);
    painter.fillRect(stageArea, movie.backgroundColor());
    movie.render(painter, toImage);
    return image;
}

} // namespace thumbnailer
