#pragma once

// What drawing keeps between frames: morph shapes built at a given ratio and
// bitmaps with a colour transform applied. Bounded, so a long-running movie
// cannot grow it without end.

#include "swf/format/Records.h"
#include "swf/movie/Shapes.h"

#include <QHash>
#include <QImage>

#include <vector>

namespace swf {

class RenderCache {
public:
    const std::vector<ShapeLayer>& morphLayers(const MorphDef& morph, int ratio);
    const QImage& tintedBitmap(const BitmapDef& bitmap, const ColorTransform& cx);
    void clear();

private:
    static constexpr int MaxMorphEntries = 512;
    static constexpr qint64 MaxTintedPixels = 64ll * 1024 * 1024;

    QHash<quint64, std::vector<ShapeLayer>> m_morphs;
    QHash<QByteArray, QImage> m_tinted;
    qint64 m_tintedPixels = 0;
};

// A copy of `image` (premultiplied) with the colour transform applied to each pixel.
QImage applyColorTransform(const QImage& image, const ColorTransform& cx);

} // namespace swf
