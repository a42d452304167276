// Fill and line styles as the painter's brushes and pens: solid colours,
// gradients looked up in their 256-entry table, bitmap fills, and stroke
// widths as the movie's scaling flags ask for them.

#include "swf/render/Renderer.h"
#include "swf/render/PaintStyles.h"

#include "swf/render/BitmapFill.h"
#include "swf/render/ColorMath.h"
#include "swf/render/GradientFill.h"
#include "swf/render/RenderCache.h"
#include "swf/runtime/Stage.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

// Edges of the square every gradient is defined on, in gradient space.
constexpr double GradientHalf = 16384;

// The gradient's 256-entry colour table as stops. The reference looks a
// position t (0 to 1 across the gradient) up at entry t * 255 cut down, so
// entries 0 to 254 each hold over 1/255 of the gradient and the last entry
// shows only at its end and in the padding past it. Each entry steps to the
// next, so the painter shows the table's colours as a lookup would, not
// blends between them.
QGradientStops gradientStops(const Gradient& gradient, const ColorTransform& cx)
{
    QGradientStops stops;
    if (gradient.stops.empty())
        return stops;
    const GradientTable table = gradientTable(gradient, cx);
    stops.reserve(512);
    for (int i = 0; i < 256; ++i) {
        const QColor color = QColor::fromRgba(table[std::size_t(i)]);
        stops.append({ i / 256.0, color });
        stops.append({ (i + 1) / 256.0 - 1e-6, color });
    }
    return stops;
}

// The reference samples a gradient at each pixel's top-left corner where the
// painter samples at its centre: moving the gradient half a device pixel
// right and down makes the centres see what the corners would.
QTransform cornerSampling(const QTransform& objectToDevice)
{
    if (!objectToDevice.isInvertible())
        return QTransform();
    return objectToDevice * QTransform::fromTranslate(0.5, 0.5) * objectToDevice.inverted();
}

} // namespace

bool Renderer::makeBrush(const FillStyle& fill, const ColorTransform& cx, const QTransform& transform, QBrush& brush)
{
    switch (fill.type) {
    case FillStyle::Type::Solid:
        brush = QBrush(tint(cx, fill.color.toQColor()));
        return true;
    case FillStyle::Type::Linear:
    case FillStyle::Type::Radial:
    case FillStyle::Type::Focal: {
        QGradientStops stops = gradientStops(fill.gradient, cx);
        if (stops.isEmpty())
            return false;
        QTransform matrix = fill.matrix.toQTransform();
        if (!invertible(matrix)) {
            // A gradient squeezed to nothing shows its last colour.
            brush = QBrush(stops.back().second);
            return true;
        }
        QGradient::Spread spread = fill.gradient.spread == 1 ? QGradient::ReflectSpread
            : fill.gradient.spread == 2                      ? QGradient::RepeatSpread
                                                             : QGradient::PadSpread;
        if (fill.type == FillStyle::Type::Linear) {
            QLinearGradient g(-GradientHalf, 0, GradientHalf, 0);
            g.setStops(stops);
            g.setSpread(spread);
            brush = QBrush(g);
        } else {
            double focal = fill.type == FillStyle::Type::Focal ? fill.gradient.focalPoint * GradientHalf : 0;
            QRadialGradient g(QPointF(0, 0), GradientHalf, QPointF(focal, 0));
            g.setStops(stops);
            g.setSpread(spread);
            brush = QBrush(g);
        }
        brush.setTransform(matrix * cornerSampling(transform));
        return true;
    }
    case FillStyle::Type::Bitmap: {
        const auto* bitmap = m_stage.movie().characterAs<BitmapDef>(fill.bitmapId, CharacterKind::Bitmap);
        if (!bitmap || bitmap->image.isNull())
            return false;
        brush = QBrush(cx.isIdentity() ? bitmap->image : m_cache.tintedBitmap(*bitmap, cx));
        brush.setTransform(fill.matrix.toQTransform());
        return true;
    }
    }
    return false;
}

void Renderer::drawBitmapFill(QPainter& painter, const QPainterPath& path, const FillStyle& fill, const QTransform& transform,
    const ColorTransform& cx)
{
    const auto* bitmap = m_stage.movie().characterAs<BitmapDef>(fill.bitmapId, CharacterKind::Bitmap);
    if (!bitmap || bitmap->image.isNull())
        return;
    const QImage& image = cx.isIdentity() ? bitmap->image : m_cache.tintedBitmap(*bitmap, cx);
    if (!fill.repeat && m_stage.movie().version() <= 6) {
        // Movies of version 6 and earlier see a clipped bitmap one of its
        // pixels further right and down, its edge pixels continued over what
        // it no longer covers.
        drawBitmapCovered(painter, path, fill, image, transform, BitmapEdges::ShiftedOn);
        return;
    }
    // Clipped: the image once, only where the shape is.
    drawBitmapCovered(painter, path, fill, image, transform, BitmapEdges::Clip);
}

bool Renderer::makePen(const LineStyle& line, const ColorTransform& cx, const QTransform& transform, QPen& pen)
{
    QBrush brush;
    if (line.hasFill) {
        if (!makeBrush(line.fill, cx, transform, brush))
            return false;
    } else {
        brush = QBrush(tint(cx, line.color.toQColor()));
    }
    pen = QPen(brush, line.width);
    pen.setCapStyle(capStyle(line.startCap));
    pen.setJoinStyle(joinStyle(line.join));
    pen.setMiterLimit(std::max(1.0, line.miterLimit));
    // How many device pixels one twip spans along each axis.
    const double axisX = std::hypot(transform.m11(), transform.m12());
    const double axisY = std::hypot(transform.m21(), transform.m22());
    const double strokeScale = line.noHScale && line.noVScale ? 1 / 20.0
        : line.noHScale                                       ? axisY
        : line.noVScale                                       ? axisX
                                                              : (axisX + axisY) / 2;
    const double devicePixels = line.width * strokeScale;
    if (devicePixels < 1 || line.width <= 1) {
        // Hairlines (0 or 1 twip) are one pixel wide at any scale, and strokes
        // thinner than a pixel still show one pixel wide.
        pen.setCosmetic(true);
        pen.setWidthF(1);
    } else if (line.noHScale || line.noVScale) {
        pen.setCosmetic(true);
        pen.setWidthF(devicePixels);
    }
    return true;
}

} // namespace swf
