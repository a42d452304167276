#include "swf/render/DrawingRenderer.h"

#include "swf/render/RenderCache.h"
#include "swf/render/Renderer.h"
#include "swf/runtime/Drawing.h"

#include <QPainter>

#include <cmath>

namespace swf {

namespace {

// The largest stretch of edge pixels built for one non-repeating fill.
constexpr qint64 MaxClampedPixels = 16ll * 1024 * 1024;

bool invertible(const QTransform& t)
{
    double det = t.m11() * t.m22() - t.m12() * t.m21();
    return std::isfinite(det) && std::abs(det) > 1e-12;
}

} // namespace

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

void drawScriptBitmapFill(QPainter& painter, const QPainterPath& path, const FillStyle& fill, const BitmapPixels& bitmap,
    const QTransform& transform, const ColorTransform& cx)
{
    if (bitmap.disposed || bitmap.image.isNull())
        return;
    const QTransform matrix = fill.matrix.toQTransform();
    if (!invertible(matrix))
        return;
    const QImage image = cx.isIdentity() ? bitmap.image : applyColorTransform(bitmap.image, cx);
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
    // Without repeat, the area outside the bitmap takes its nearest edge pixel.
    const QRectF inBitmap = matrix.inverted().mapRect(path.boundingRect());
    const QRect area = inBitmap.toAlignedRect().adjusted(-1, -1, 1, 1);
    QImage clamped = clampedBitmap(image, area);
    painter.setClipPath(path, Qt::IntersectClip);
    painter.setTransform(matrix * transform);
    if (clamped.isNull()) {
        painter.drawImage(0, 0, image); // too large to stretch: the bitmap alone
    } else {
        painter.drawImage(area.topLeft(), clamped);
    }
    painter.restore();
}

void drawDrawing(QPainter& painter, const Drawing& drawing, const QTransform& transform, const ColorTransform& cx,
    Renderer& renderer)
{
    if (drawing.isEmpty() || !invertible(transform))
        return;
    painter.save();
    painter.setTransform(transform);
    painter.setPen(Qt::NoPen);
    for (const Drawing::FillPart& part : drawing.fills()) {
        const FillStyle& style = part.fill.style;
        if (style.type == FillStyle::Type::Bitmap) {
            if (part.fill.bitmap)
                drawScriptBitmapFill(painter, part.path, style, *part.fill.bitmap, transform, cx);
            continue;
        }
        QBrush brush;
        if (renderer.makeBrush(style, cx, brush))
            painter.fillPath(part.path, brush);
    }
    for (const Drawing::LinePart& part : drawing.lines()) {
        QPen pen;
        if (!renderer.makePen(part.style, cx, transform, pen))
            continue;
        painter.strokePath(part.path, pen);
    }
    painter.restore();
}

} // namespace swf
