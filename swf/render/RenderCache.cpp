#include "swf/render/RenderCache.h"

#include "swf/render/ColorMath.h"

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

void RenderCache::clear()
{
    m_morphs.clear();
    m_tinted.clear();
    m_tintedPixels = 0;
}

QImage applyColorTransform(const QImage& image, const ColorTransform& cx)
{
    return tintImage(image, cx);
}

} // namespace swf
