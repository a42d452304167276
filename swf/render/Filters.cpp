#include "swf/render/Filters.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

constexpr int MaxBlurRadius = 255;

// A box `width` pixels wide, centred on a pixel: `full` whole pixels on each
// side of the centre, and past them one pixel on each side of which the box
// covers only a part. Weights are in 1/256 of a pixel.
struct BoxTaps {
    int full = 0;     // whole pixels on each side
    int edge = 0;     // weight of each partly covered end pixel
    long total = 256; // the box's whole weight

    static BoxTaps of(double width)
    {
        BoxTaps taps;
        const long w = std::lround(std::clamp(width, 1.0, 2.0 * MaxBlurRadius + 1) * 256);
        taps.full = int((w - 256) / 512);
        taps.edge = int((w - 256 * (2 * taps.full + 1)) / 2);
        taps.total = 256 * (2 * taps.full + 1) + 2 * taps.edge;
        return taps;
    }
    bool blurs() const { return full > 0 || edge > 0; }
};

// One pass of a running-sum box blur over a line of premultiplied pixels;
// each result is cut down to a whole value, as the reference does.
void blurLine(QRgb* line, int count, int stride, const BoxTaps& taps, std::vector<QRgb>& scratch)
{
    if (!taps.blurs() || count <= 1)
        return;
    scratch.resize(std::size_t(count));
    for (int i = 0; i < count; ++i)
        scratch[std::size_t(i)] = line[qsizetype(i) * stride];
    const int radius = taps.full;
    long sa = 0, sr = 0, sg = 0, sb = 0;
    auto add = [&](int i, int sign) {
        if (i < 0 || i >= count)
            return; // outside the layer counts as transparent
        QRgb p = scratch[std::size_t(i)];
        sa += sign * long(qAlpha(p));
        sr += sign * long(qRed(p));
        sg += sign * long(qGreen(p));
        sb += sign * long(qBlue(p));
    };
    auto at = [&](int i) { return i < 0 || i >= count ? QRgb(0) : scratch[std::size_t(i)]; };
    for (int i = -radius; i <= radius; ++i)
        add(i, 1);
    for (int i = 0; i < count; ++i) {
        const QRgb l = at(i - radius - 1), r = at(i + radius + 1);
        auto channel = [&](long sum, int el, int er) { return int((256 * sum + taps.edge * long(el + er)) / taps.total); };
        line[qsizetype(i) * stride] = qRgba(channel(sr, qRed(l), qRed(r)), channel(sg, qGreen(l), qGreen(r)),
            channel(sb, qBlue(l), qBlue(r)), channel(sa, qAlpha(l), qAlpha(r)));
        add(i - radius, -1);
        add(i + radius + 1, 1);
    }
}

void shadowOrGlow(QImage& layer, const Filter& f, double scale, bool glow)
{
    // The object's alpha, coloured, blurred and moved, goes under (or, inner, inside) the object.
    QImage shadow(layer.size(), QImage::Format_ARGB32_Premultiplied);
    const double strength = std::clamp(f.strength, 0.0, 255.0);
    const QRgb color = qRgb(f.color.r, f.color.g, f.color.b);
    for (int y = 0; y < layer.height(); ++y) {
        auto src = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
        auto dst = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        for (int x = 0; x < layer.width(); ++x) {
            int a = f.inner ? 255 - qAlpha(src[x]) : qAlpha(src[x]);
            dst[x] = qPremultiply(qRgba(qRed(color), qGreen(color), qBlue(color), a));
        }
    }
    boxBlur(shadow, f.blurX * scale, f.blurY * scale, std::max(1, f.passes));
    // Strength and the colour's alpha scale the blurred coverage.
    const double gain = strength * f.color.a / 255.0;
    for (int y = 0; y < shadow.height(); ++y) {
        auto line = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        for (int x = 0; x < shadow.width(); ++x) {
            int a = std::min(255, int(qAlpha(line[x]) * gain));
            line[x] = qPremultiply(qRgba(qRed(color), qGreen(color), qBlue(color), a));
        }
    }
    double dx = glow ? 0 : std::cos(f.angle) * f.distance * scale;
    double dy = glow ? 0 : std::sin(f.angle) * f.distance * scale;
    if (!f.inner && !f.knockout) {
        // The shadow goes under the object: drawn behind it on the layer
        // itself, the same sums as the object over the shadow, without a
        // third image.
        QPainter p(&layer);
        p.setCompositionMode(QPainter::CompositionMode_DestinationOver);
        p.drawImage(QPointF(dx, dy), shadow);
        return;
    }
    QImage out(layer.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    if (f.inner) {
        p.drawImage(0, 0, layer);
        p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        p.drawImage(QPointF(dx, dy), shadow);
        if (f.knockout) {
            p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
            p.drawImage(0, 0, layer);
        }
    } else {
        p.drawImage(QPointF(dx, dy), shadow);
        p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        p.drawImage(0, 0, layer);
    }
    p.end();
    layer = out;
}

void colorMatrix(QImage& layer, const std::vector<float>& m)
{
    if (m.size() != 20)
        return;
    for (int y = 0; y < layer.height(); ++y) {
        auto line = reinterpret_cast<QRgb*>(layer.scanLine(y));
        for (int x = 0; x < layer.width(); ++x) {
            QRgb p = qUnpremultiply(line[x]);
            double in[4] = { double(qRed(p)), double(qGreen(p)), double(qBlue(p)), double(qAlpha(p)) };
            int out[4];
            for (int row = 0; row < 4; ++row) {
                const float* r = &m[std::size_t(row) * 5];
                double v = r[0] * in[0] + r[1] * in[1] + r[2] * in[2] + r[3] * in[3] + r[4];
                out[row] = std::clamp(int(std::lround(v)), 0, 255);
            }
            line[x] = qPremultiply(qRgba(out[0], out[1], out[2], out[3]));
        }
    }
}

} // namespace

bool hasDrawableFilter(const std::vector<Filter>& filters)
{
    return std::any_of(filters.begin(), filters.end(), [](const Filter& f) { return f.type == 0 || f.type == 1 || f.type == 2 || f.type == 6; });
}

void boxBlur(QImage& image, double width, double height, int passes)
{
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // A box of width w covers w pixels: whole ones in the middle, parts of
    // one at each end when (w - 1) / 2 is not whole.
    const BoxTaps rx = BoxTaps::of(width);
    const BoxTaps ry = BoxTaps::of(height);
    passes = std::clamp(passes, 1, 15);
    std::vector<QRgb> scratch;
    const int stride = int(image.bytesPerLine() / 4);
    auto bits = reinterpret_cast<QRgb*>(image.bits());
    // Every horizontal pass first, then every vertical one: each pass cuts
    // its results down, so the order shows at the corners.
    if (rx.blurs()) {
        for (int pass = 0; pass < passes; ++pass) {
            for (int y = 0; y < image.height(); ++y)
                blurLine(bits + qsizetype(y) * stride, image.width(), 1, rx, scratch);
        }
    }
    if (ry.blurs()) {
        for (int pass = 0; pass < passes; ++pass) {
            for (int x = 0; x < image.width(); ++x)
                blurLine(bits + x, image.height(), stride, ry, scratch);
        }
    }
}

void applyFilters(QImage& layer, const std::vector<Filter>& filters, double scale)
{
    for (const Filter& f : filters) {
        switch (f.type) {
        case 0:
            shadowOrGlow(layer, f, scale, false);
            break;
        case 1:
            boxBlur(layer, f.blurX * scale, f.blurY * scale, std::max(1, f.passes));
            break;
        case 2:
            shadowOrGlow(layer, f, scale, true);
            break;
        case 6:
            colorMatrix(layer, f.colorMatrix);
            break;
        default:
            break;
        }
    }
}

} // namespace swf
