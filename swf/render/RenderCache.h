#pragma once

// What drawing keeps between frames: morph shapes built at a given ratio,
// bitmaps with a colour transform applied, and gradients' colour tables
// under a colour transform. Bounded, so a long-running movie cannot grow it
// without end.

#include "swf/format/Records.h"
#include "swf/movie/Shapes.h"

#include "swf/render/ColorMath.h"

#include <QHash>
#include <QImage>

#include <array>
#include <functional>
#include <vector>

namespace swf {

// A gradient's colours under one colour transform, as every draw of it reads
// them: the table, the same premultiplied, and the one-row strips a linear
// gradient is tiled from (built on first use).
struct GradientColors {
    GradientTable straight {};
    std::array<QRgb, 256> premultiplied {};
    QImage strips[3]; // by spread: pad (with its padding), reflect, repeat
    QByteArray key;   // what the cache found it by

    GradientColors() = default;
    GradientColors(const Gradient& gradient, const ColorTransform& cx);
    // The strip for `spread`; pad carries `padEntries` copies of each end entry.
    const QImage& strip(int spread, int padEntries);
};

class RenderCache {
public:
    const std::vector<ShapeLayer>& morphLayers(const MorphDef& morph, int ratio);
    const QImage& tintedBitmap(const BitmapDef& bitmap, const ColorTransform& cx);
    // Looked up by the gradient's content, not its address: a morph shape's
    // gradients are rebuilt at each ratio and may land where another was.
    GradientColors& gradientColors(const Gradient& gradient, const ColorTransform& cx);
    // The pixels of a radial or focal gradient over an area whose top-left
    // corner `gradientToArea` maps the gradient to the origin of, made by
    // `make` the first time. A shape drawn again at the same scale and the
    // same sub-pixel phase maps its gradient the same way and finds them.
    const QImage& gradientPixels(const FillStyle& fill, const GradientColors& colors, const QTransform& gradientToArea,
        QSize size, const std::function<QImage()>& make);
    void clear();

private:
    static constexpr int MaxMorphEntries = 512;
    static constexpr qint64 MaxTintedPixels = 64ll * 1024 * 1024;

    QHash<quint64, std::vector<ShapeLayer>> m_morphs;
    QHash<QByteArray, QImage> m_tinted;
    qint64 m_tintedPixels = 0;
    static constexpr int MaxGradientEntries = 256;
    QHash<QByteArray, GradientColors> m_gradients;
    static constexpr qint64 MaxGradientPixels = 4ll * 1024 * 1024;
    QHash<QByteArray, QImage> m_gradientPixels;
    qint64 m_gradientPixelCount = 0;
    QImage m_scratchGradient; // the last one too large to keep
};

// A copy of `image` (premultiplied) with the colour transform applied to each pixel.
QImage applyColorTransform(const QImage& image, const ColorTransform& cx);

} // namespace swf
