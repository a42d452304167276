#include "swf/render/RenderCache.h"

#include "swf/render/ColorMath.h"

#include <algorithm>
#include <cstring>

namespace swf {

const std::vector<ShapeLayer>& RenderCache::morphLayers(const MorphDef& morph, int ratio)
{
    quint64 key = (quint64(morph.id) << 32) | quint32(ratio);
    auto it = m_morphs.find(key);
    if (it != m_morphs.end())
        return *it;
    if (m_morphs.size() >= MaxMorphEntries)
        m_morphs.clear();
    return *m_morphs.insert(key, morph.layersAt(ratio));
}

const QImage& RenderCache::tintedBitmap(const BitmapDef& bitmap, const ColorTransform& cx)
{
    QByteArray key(sizeof(quint16) + 8 * sizeof(double), Qt::Uninitialized);
    double values[8] = { cx.rMul, cx.gMul, cx.bMul, cx.aMul, cx.rAdd, cx.gAdd, cx.bAdd, cx.aAdd };
    std::memcpy(key.data(), &bitmap.id, sizeof(quint16));
    std::memcpy(key.data() + sizeof(quint16), values, sizeof values);
    auto it = m_tinted.find(key);
    if (it != m_tinted.end())
        return *it;
    qint64 pixels = qint64(bitmap.image.width()) * bitmap.image.height();
    if (m_tintedPixels + pixels > MaxTintedPixels) {
        m_tinted.clear();
        m_tintedPixels = 0;
    }
    m_tintedPixels += pixels;
    return *m_tinted.insert(key, applyColorTransform(bitmap.image, cx));
}

GradientColors::GradientColors(const Gradient& gradient, const ColorTransform& cx)
    : straight(gradientTable(gradient, cx))
{
    for (std::size_t i = 0; i < straight.size(); ++i)
        premultiplied[i] = qPremultiply(straight[i]);
}

const QImage& GradientColors::strip(int spread, int padEntries)
{
    spread = std::clamp(spread, 0, 2);
    QImage& strip = strips[spread];
    const int pad = spread == 0 ? padEntries : 0;
    const int width = spread == 0 ? 255 + 2 * pad : spread == 1 ? 510 : 255;
    if (strip.width() == width)
        return strip;
    strip = QImage(width, 1, QImage::Format_ARGB32_Premultiplied);
    if (strip.isNull())
        return strip;
    auto line = reinterpret_cast<QRgb*>(strip.scanLine(0));
    for (int c = 0; c < width; ++c) {
        const int u = c - pad; // the table entry this pixel stands for, before spreading
        const int entry = u < 0 ? 0 : u < 255 ? u : spread == 1 ? std::max(0, 509 - u) : 255;
        line[c] = premultiplied[std::size_t(entry)];
    }
    return strip;
}

GradientColors& RenderCache::gradientColors(const Gradient& gradient, const ColorTransform& cx)
{
    // The key holds everything the table is made of: interpolation, each
    // stop, and the colour transform.
    const double values[8] = { cx.rMul, cx.gMul, cx.bMul, cx.aMul, cx.rAdd, cx.gAdd, cx.bAdd, cx.aAdd };
    QByteArray key;
    key.reserve(int(sizeof values) + 1 + int(gradient.stops.size()) * 5);
    key.append(reinterpret_cast<const char*>(values), sizeof values);
    key.append(char(gradient.interpolation));
    for (const GradientStop& stop : gradient.stops) {
        const char bytes[5] = { char(stop.ratio), char(stop.color.r), char(stop.color.g), char(stop.color.b), char(stop.color.a) };
        key.append(bytes, sizeof bytes);
    }
    auto it = m_gradients.find(key);
    if (it != m_gradients.end())
        return *it;
    if (m_gradients.size() >= MaxGradientEntries)
        m_gradients.clear();
    GradientColors& colors = *m_gradients.insert(key, GradientColors(gradient, cx));
    colors.key = key;
    return colors;
}

const QImage& RenderCache::gradientPixels(const FillStyle& fill, const GradientColors& colors, const QTransform& gradientToArea,
    QSize size, const std::function<QImage()>& make)
{
    // The exact bits of the mapping: a mapping that differs in the last
    // place may pick another entry at a step's edge, so it is another image.
    const double values[10] = { gradientToArea.m11(), gradientToArea.m12(), gradientToArea.m21(), gradientToArea.m22(),
        gradientToArea.dx(), gradientToArea.dy(), fill.gradient.focalPoint, double(fill.gradient.spread), double(int(fill.type)),
        double(size.width()) * 65536 + size.height() };
    QByteArray key = colors.key;
    key.append(reinterpret_cast<const char*>(values), sizeof values);
    auto it = m_gradientPixels.find(key);
    if (it != m_gradientPixels.end())
        return *it;
    const qint64 pixels = qint64(size.width()) * size.height();
    if (m_gradientPixelCount + pixels > MaxGradientPixels) {
        m_gradientPixels.clear();
        m_gradientPixelCount = 0;
    }
    QImage image = make();
    if (pixels > MaxGradientPixels / 4) { // too large to keep: one frame's use
        m_scratchGradient = std::move(image);
        return m_scratchGradient;
    }
    m_gradientPixelCount += pixels;
    return *m_gradientPixels.insert(key, std::move(image));
}

void RenderCache::clear()
{
    m_gradients.clear();
    m_gradientPixels.clear();
    m_gradientPixelCount = 0;
    m_scratchGradient = QImage();
    m_morphs.clear();
    m_tinted.clear();
    m_tintedPixels = 0;
}

QImage applyColorTransform(const QImage& image, const ColorTransform& cx)
{
    return tintImage(image, cx);
}

} // namespace swf
