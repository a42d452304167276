#include "swf/render/GradientFill.h"

#include "swf/render/CoverageFill.h"
#include "swf/render/RenderCache.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>

namespace swf {

namespace {

// Edges of the square every gradient is defined on, in gradient space.
constexpr double GradientHalf = 16384;

// The position across a focal gradient: the ray from the focal point through
// (x, y) meets the rim at distance L; the position is the point's distance
// from the focal point over L.
double focalPosition(double x, double y, double focal)
{
    const double dx = x - focal;
    const double dy = y;
    const double dd = dx * dx + dy * dy;
    if (dd <= 0)
        return 0;
    const double fd = focal * dx;
    const double c = focal * focal - 1; // below zero: the focal point lies inside the rim
    const double s = (-fd + std::sqrt(std::max(0.0, fd * fd - dd * c))) / dd;
    return s > 0 ? 1 / s : 1;
}

// A linear gradient changes along one axis alone: the painter tiles a one-row
// strip of the table's entries over the path, sampling it at pixel centres
// without smoothing. Entry i spans the strip's pixel i, 1/255 of the
// gradient; moving the strip half a device pixel right and down makes the
// centres see what the pixel corners would. A pad strip always carries its
// whole padding, so that one strip serves every draw of the gradient. False
// when the path reaches further past the gradient than the padding does.
bool fillLinear(QPainter& painter, const QPainterPath& devicePath, const FillStyle& fill, GradientColors& colors,
    const QTransform& gradientToDevice, const QRect& area)
{
    const int spread = fill.gradient.spread;
    int pad = 0;
    if (spread == 0) {
        bool ok = false;
        const QTransform toGradient = gradientToDevice.inverted(&ok);
        if (!ok)
            return false;
        const QRectF reach = toGradient.mapRect(QRectF(area.adjusted(-1, -1, 1, 1)));
        const double lowest = (reach.left() / GradientHalf + 1) / 2, highest = (reach.right() / GradientHalf + 1) / 2;
        const double beyond = std::max({ 0.0, -lowest, highest - 1 }) * 255 + 2;
        if (!(beyond <= GradientPadEntries))
            return false;
        pad = GradientPadEntries;
    }
    const QImage& strip = colors.strip(spread, GradientPadEntries);
    if (strip.isNull())
        return false;
    // Strip pixels to gradient space: pixel c starts at position (c - pad) / 255.
    const double step = 2 * GradientHalf / 255;
    const QTransform stripToGradient(step, 0, 0, 2 * GradientHalf, -GradientHalf - pad * step, 0);
    QBrush brush(strip);
    brush.setTransform(stripToGradient * gradientToDevice * QTransform::fromTranslate(0.5, 0.5));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    fillCovered(painter, devicePath, brush);
    return true;
}

QImage gradientPixels(const FillStyle& fill, const std::array<QRgb, 256>& colors, const QTransform& gradientToDevice,
    const QRect& area);

} // namespace

// The entry for position t under pad, reflect (1) or repeat (2). Entries 0
// to 254 each span 1/255 of the gradient; the last shows at its end and in
// the padding past it. A position that is not a number reads entry 0.
inline int spreadIndex(double t, int spread)
{
    if (spread == 2) { // repeat
        t -= std::floor(t);
    } else if (spread == 1) { // reflect
        t = std::abs(t);
        t -= 2 * std::floor(t / 2);
        if (t > 1)
            t = 2 - t;
    }
    if (!(t > 0))
        return 0;
    if (t >= 1)
        return 255;
    return int(t * 255);
}

int gradientIndex(double t, int spread)
{
    return spreadIndex(t, spread);
}

QImage gradientImage(const FillStyle& fill, const GradientTable& table, const QTransform& gradientToDevice, const QRect& area)
{
    std::array<QRgb, 256> colors;
    for (std::size_t i = 0; i < colors.size(); ++i)
        colors[i] = qPremultiply(table[i]);
    return gradientPixels(fill, colors, gradientToDevice, area);
}

namespace {

QImage gradientPixels(const FillStyle& fill, const std::array<QRgb, 256>& colors, const QTransform& gradientToDevice,
    const QRect& area)
{
    bool invertible = false;
    const QTransform toGradient = gradientToDevice.inverted(&invertible);
    if (!invertible || area.isEmpty())
        return QImage();
    QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    const int spread = fill.gradient.spread;
    const double focal = fill.type == FillStyle::Type::Focal ? std::clamp(fill.gradient.focalPoint, -0.998, 0.998) : 0;
    // Gradient space in units of the half-square: one step right on the
    // device moves the position by a fixed amount.
    const double ax = toGradient.m11() / GradientHalf, ay = toGradient.m12() / GradientHalf;
    for (int y = 0; y < area.height(); ++y) {
        auto line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const QPointF start = toGradient.map(QPointF(area.x(), area.y() + y));
        double gx = start.x() / GradientHalf;
        double gy = start.y() / GradientHalf;
        const int n = area.width();
        switch (fill.type) {
        case FillStyle::Type::Linear: {
            double t = (gx + 1) / 2;
            const double dt = ax / 2;
            for (int x = 0; x < n; ++x, t += dt)
                line[x] = colors[std::size_t(spreadIndex(t, spread))];
            break;
        }
        case FillStyle::Type::Focal:
            for (int x = 0; x < n; ++x, gx += ax, gy += ay)
                line[x] = colors[std::size_t(spreadIndex(focalPosition(gx, gy, focal), spread))];
            break;
        default:
            for (int x = 0; x < n; ++x, gx += ax, gy += ay)
                line[x] = colors[std::size_t(spreadIndex(std::sqrt(gx * gx + gy * gy), spread))];
            break;
        }
    }
    return image;
}

} // namespace

void fillGradientPath(QPainter& painter, const QPainterPath& path, const FillStyle& fill, const ColorTransform& cx,
    const QTransform& transform, RenderCache* cache)
{
    if (fill.gradient.stops.empty())
        return;
    std::optional<GradientColors> fresh;
    if (!cache)
        fresh.emplace(fill.gradient, cx);
    GradientColors& colors = cache ? cache->gradientColors(fill.gradient, cx) : *fresh;
    const QTransform matrix = fill.matrix.toQTransform();
    const QPainterPath devicePath = transform.map(path);
    QRect area = devicePath.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
    if (const QPaintDevice* device = painter.device())
        area &= QRect(0, 0, device->width(), device->height());
    if (area.isEmpty())
        return;
    painter.save();
    painter.setTransform(QTransform());
    if (!matrix.isInvertible()) {
        // A gradient squeezed to nothing shows its last colour.
        fillCovered(painter, devicePath, QColor::fromRgba(colors.straight[255]));
    } else if (fill.type == FillStyle::Type::Linear && fillLinear(painter, devicePath, fill, colors, matrix * transform, area)) {
        // drawn by the painter from a strip of the table
    } else {
        // The pixels are worked out with the area's corner at the origin, so
        // that a shape moved by whole pixels maps its gradient the same way.
        const QTransform gradientToArea = matrix * transform * QTransform::fromTranslate(-area.x(), -area.y());
        const QRect local(QPoint(0, 0), area.size());
        const auto make = [&] { return gradientPixels(fill, colors.premultiplied, gradientToArea, local); };
        const QImage image = cache ? cache->gradientPixels(fill, colors, gradientToArea, area.size(), make) : make();
        QBrush brush(image);
        brush.setTransform(QTransform::fromTranslate(area.x(), area.y()));
        fillCovered(painter, devicePath, brush);
    }
    painter.restore();
}

} // namespace swf
