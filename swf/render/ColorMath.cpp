#include "swf/render/ColorMath.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace swf {

namespace {

int toFixed(double v, double scale)
{
    // Values from a movie are whole steps already; script values are cut toward zero.
    const double scaled = std::trunc(v * scale);
    return int(std::clamp(scaled, -1e7, 1e7));
}

int channel(int value, int mul, int add)
{
    return std::clamp(((value * mul) >> 8) + add, 0, 255);
}

double srgbToLinear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double linearToSrgb(double c)
{
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

struct Point {
    int ratio;
    Rgba color;
};

// The stops in the order the movie gives them, ratios as they are.
std::vector<Point> stopsOf(const Gradient& gradient)
{
    std::vector<Point> points;
    points.reserve(gradient.stops.size());
    for (const GradientStop& s : gradient.stops)
        points.push_back({ s.ratio, s.color });
    return points;
}

Rgba mix(Rgba a, Rgba b, int t, bool linearLight) // t in 0..256
{
    auto lerp = [t](int x, int y) { return (x * (256 - t) + y * t) >> 8; };
    if (!linearLight)
        return Rgba { std::uint8_t(lerp(a.r, b.r)), std::uint8_t(lerp(a.g, b.g)), std::uint8_t(lerp(a.b, b.b)), std::uint8_t(lerp(a.a, b.a)) };
    const double f = t / 256.0;
    auto lin = [f](int x, int y) {
        const double v = srgbToLinear(x / 255.0) * (1 - f) + srgbToLinear(y / 255.0) * f;
        return std::uint8_t(std::clamp(int(std::lround(linearToSrgb(v) * 255)), 0, 255));
    };
    return Rgba { lin(a.r, b.r), lin(a.g, b.g), lin(a.b, b.b), std::uint8_t(lerp(a.a, b.a)) };
}

} // namespace

FixedColorTransform::FixedColorTransform(const ColorTransform& cx)
{
    const double muls[4] = { cx.rMul, cx.gMul, cx.bMul, cx.aMul };
    const double adds[4] = { cx.rAdd, cx.gAdd, cx.bAdd, cx.aAdd };
    for (int i = 0; i < 4; ++i) {
        mul[i] = toFixed(muls[i], 256);
        add[i] = toFixed(adds[i], 1);
    }
}

bool FixedColorTransform::isIdentity() const
{
    for (int i = 0; i < 4; ++i) {
        if (mul[i] != 256 || add[i] != 0)
            return false;
    }
    return true;
}

Rgba FixedColorTransform::apply(Rgba c) const
{
    return Rgba { std::uint8_t(channel(c.r, mul[0], add[0])), std::uint8_t(channel(c.g, mul[1], add[1])),
        std::uint8_t(channel(c.b, mul[2], add[2])), std::uint8_t(channel(c.a, mul[3], add[3])) };
}

Rgba tint(const ColorTransform& cx, Rgba c)
{
    return cx.isIdentity() ? c : FixedColorTransform(cx).apply(c);
}

QColor tint(const ColorTransform& cx, const QColor& color)
{
    const Rgba in { std::uint8_t(color.red()), std::uint8_t(color.green()), std::uint8_t(color.blue()), std::uint8_t(color.alpha()) };
    return tint(cx, in).toQColor();
}

QImage tintImage(const QImage& image, const ColorTransform& cx)
{
    const FixedColorTransform fixed(cx);
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            const Rgba c = fixed.apply(Rgba { std::uint8_t(qRed(p)), std::uint8_t(qGreen(p)), std::uint8_t(qBlue(p)), std::uint8_t(qAlpha(p)) });
            line[x] = qRgba(c.r, c.g, c.b, c.a);
        }
    }
    return out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

GradientTable gradientTable(const Gradient& gradient, const ColorTransform& cx)
{
    GradientTable table {};
    const std::vector<Point> points = stopsOf(gradient);
    if (points.empty())
        return table;
    const FixedColorTransform fixed(cx);
    const bool linearLight = gradient.interpolation == 1;
    // The table walks the stops in the movie's order, passing at most one
    // stop per entry: several stops on one ratio each show alone on an entry
    // of their own, the last of them starting the blend to the next; a stop
    // whose ratio goes backwards shows alone and blends from where it stands.
    std::size_t next = 0; // the first stop not yet passed
    for (int i = 0; i < 256; ++i) {
        if (next < points.size() && points[next].ratio <= i)
            ++next;
        Rgba c;
        if (next == 0) {
            c = points.front().color;
        } else if (next == points.size()) {
            c = points.back().color;
        } else {
            const Point& a = points[next - 1];
            const Point& b = points[next];
            if (b.ratio <= a.ratio) {
                c = a.color;
            } else {
                const int t = std::clamp(((i - a.ratio + 1) * 256) / (b.ratio - a.ratio), 0, 256);
                c = mix(a.color, b.color, t, linearLight);
            }
        }
        c = fixed.apply(c);
        table[std::size_t(i)] = qRgba(c.r, c.g, c.b, c.a);
    }
    return table;
}

} // namespace swf
