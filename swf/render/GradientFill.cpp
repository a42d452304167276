#include "swf/render/GradientFill.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

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

} // namespace

int gradientIndex(double t, int spread)
{
    if (!std::isfinite(t))
        return 255;
    if (spread == 2) { // repeat
        t -= std::floor(t);
    } else if (spread == 1) { // reflect
        t = std::fmod(std::abs(t), 2.0);
        if (t > 1)
            t = 2 - t;
    }
    // Entries 0 to 254 each span 1/255 of the gradient; the last shows at its
    // end and in the padding past it.
    return std::clamp(int(std::floor(t * 255)), 0, 255);
}

QImage gradientImage(const FillStyle& fill, const GradientTable& table, const QTransform& gradientToDevice, const QRect& area)
{
    bool invertible = false;
    const QTransform toGradient = gradientToDevice.inverted(&invertible);
    if (!invertible || area.isEmpty())
        return QImage();
    std::array<QRgb, 256> colors;
    for (std::size_t i = 0; i < colors.size(); ++i)
        colors[i] = qPremultiply(table[i]);
    QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    const int spread = fill.gradient.spread;
    const double focal = fill.type == FillStyle::Type::Focal ? std::clamp(fill.gradient.focalPoint, -0.998, 0.998) : 0;
    // Gradient space in units of the half-square: one step right on the device
    // moves the position by a fixed amount.
    const double ax = toGradient.m11() / GradientHalf, ay = toGradient.m12() / GradientHalf;
    for (int y = 0; y < area.height(); ++y) {
        auto line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const QPointF start = toGradient.map(QPointF(area.x(), area.y() + y));
        double gx = start.x() / GradientHalf;
        double gy = start.y() / GradientHalf;
        for (int x = 0; x < area.width(); ++x) {
            double t;
            switch (fill.type) {
            case FillStyle::Type::Linear: t = (gx + 1) / 2; break;
            case FillStyle::Type::Focal: t = focalPosition(gx, gy, focal); break;
            default: t = std::sqrt(gx * gx + gy * gy); break;
            }
            line[x] = colors[std::size_t(gradientIndex(t, spread))];
            gx += ax;
            gy += ay;
        }
    }
    return image;
}

void fillGradientPath(QPainter& painter, const QPainterPath& path, const FillStyle& fill, const ColorTransform& cx,
    const QTransform& transform)
{
    if (fill.gradient.stops.empty())
        return;
    const GradientTable table = gradientTable(fill.gradient, cx);
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
        painter.fillPath(devicePath, QColor::fromRgba(table[255]));
    } else {
        const QImage image = gradientImage(fill, table, matrix * transform, area);
        QBrush brush(image);
        brush.setTransform(QTransform::fromTranslate(area.x(), area.y()));
        painter.fillPath(devicePath, brush);
    }
    painter.restore();
}

} // namespace swf
