#include "swf/render/BitmapFill.h"

#include "swf/render/CoverageFill.h"
#include "swf/render/RenderCache.h"
#include "swf/runtime/ScriptBitmapInstance.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace swf {

namespace {

// The largest stretch of edge pixels built for one non-repeating fill.
constexpr qint64 MaxClampedPixels = 16ll * 1024 * 1024;

} // namespace

bool invertible(const QTransform& t)
{
    const double det = t.m11() * t.m22() - t.m12() * t.m21();
    return std::isfinite(det) && std::abs(det) > 1e-12;
}

void drawBitmapFill(QPainter& painter, const QPainterPath& path, const FillStyle& fill, const QImage& image,
    const QTransform& transform, BitmapEdges edges)
{
    const QTransform matrix = fill.matrix.toQTransform();
    if (image.isNull() || !invertible(matrix))
        return;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, fill.smooth && painter.testRenderHint(QPainter::Antialiasing));
    painter.setTransform(transform);
    if (fill.repeat) {
        QBrush brush(image);
        brush.setTransform(matrix);
        painter.fillPath(path, brush);
        painter.restore();
        return;
    }
    // Pixels never come from outside the path.
    painter.setClipPath(path, Qt::IntersectClip);
    if (edges == BitmapEdges::ShiftedOn) {
        // Drawn from one pixel down and right; the strips left above and to
        // the left repeat the first row and column, the corner the first pixel.
        painter.setTransform(QTransform::fromTranslate(1, 1) * matrix * transform);
        const double w = image.width(), h = image.height();
        painter.drawImage(QPointF(0, 0), image);
        painter.drawImage(QRectF(0, -1, w, 1), image, QRectF(0, 0, w, 1));
        painter.drawImage(QRectF(-1, 0, 1, h), image, QRectF(0, 0, 1, h));
        painter.drawImage(QRectF(-1, -1, 1, 1), image, QRectF(0, 0, 1, 1));
        painter.restore();
        return;
    }
    painter.setTransform(matrix * transform);
    QImage clamped;
    QRect area;
    if (edges == BitmapEdges::Stretch) {
        area = matrix.inverted().mapRect(path.boundingRect()).toAlignedRect().adjusted(-1, -1, 1, 1);
        clamped = clampedBitmap(image, area);
    }
    if (clamped.isNull())
        painter.drawImage(0, 0, image); // clipped, or too large to stretch: the bitmap alone
    else
        painter.drawImage(area.topLeft(), clamped);
    painter.restore();
}

void drawBitmapCovered(QPainter& painter, const QPainterPath& path, const FillStyle& fill, const QImage& image,
    const QTransform& transform, BitmapEdges edges)
{
    if (!fillsCovered(painter) || !invertible(transform)) {
        drawBitmapFill(painter, path, fill, image, transform, edges);
        return;
    }
    painter.save();
    painter.setTransform(transform);
    fillCovered(painter, path, [&](QPainter& scratch, const QTransform& deviceToScratch) {
        // The bitmap over the whole scratch image; the coverage cuts it to the path.
        const QTransform toScratch = transform * deviceToScratch;
        QPainterPath box;
        box.addRect(QRectF(0, 0, scratch.device()->width(), scratch.device()->height()));
        drawBitmapFill(scratch, toScratch.inverted().map(box), fill, image, toScratch, edges);
    });
    painter.restore();
}

QImage clampedBitmap(const QImage& image, const QRect& area)
{
    if (image.isNull() || area.isEmpty() || qint64(area.width()) * area.height() > MaxClampedPixels)
        return QImage();
    QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage out(area.size(), QImage::Format_ARGB32_Premultiplied);
    const int w = source.width(), h = source.height();
    for (int y = 0; y < area.height(); ++y) {
        const int sy = std::clamp(area.y() + y, 0, h - 1);
        const auto* in = reinterpret_cast<const quint32*>(source.constScanLine(sy));
        auto* row = reinterpret_cast<quint32*>(out.scanLine(y));
        for (int x = 0; x < area.width(); ++x)
            row[x] = in[std::clamp(area.x() + x, 0, w - 1)];
    }
    return out;
}

void drawScriptBitmap(QPainter& painter, const ScriptBitmapInstance& bitmap, const QTransform& transform, const ColorTransform& cx)
{
    const QImage* image = bitmap.image();
    if (!image || !invertible(transform))
        return;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, bitmap.smoothing() && painter.testRenderHint(QPainter::Antialiasing));
    painter.setTransform(QTransform::fromScale(20, 20) * transform);
    painter.drawImage(0, 0, cx.isIdentity() ? *image : applyColorTransform(*image, cx));
    painter.restore();
}

} // namespace swf
