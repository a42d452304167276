#include "swf/render/BlendModes.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

namespace swf {

namespace {

// Invert is a difference with white as far as the layer covers:
// d(1 - a) + a(1 - d) is both, in premultiplied terms.
QImage whiteOf(const QImage& layer)
{
    QImage white(layer.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < layer.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
        QRgb* out = reinterpret_cast<QRgb*>(white.scanLine(y));
        for (int x = 0; x < layer.width(); ++x) {
            const unsigned a = qAlpha(in[x]);
            out[x] = qRgba(int(a), int(a), int(a), int(a));
        }
    }
    return white;
}

} // namespace

QImage* writableImageOf(QPainter& painter)
{
    QPaintDevice* device = painter.device();
    if (!device || device->devType() != QInternal::Image || painter.hasClipping())
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    if (image->format() != QImage::Format_ARGB32_Premultiplied && image->format() != QImage::Format_RGB32)
        return nullptr;
    return image->isDetached() ? image : nullptr;
}

void compositeAlphaByCoverage(QImage& target, const QImage& layer, const QImage& coverage, QPoint origin)
{
    const QRect area = QRect(origin, layer.size()) & target.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const QRgb* src = reinterpret_cast<const QRgb*>(layer.constScanLine(y - origin.y())) - origin.x();
        const QRgb* cov = reinterpret_cast<const QRgb*>(coverage.constScanLine(y - origin.y())) - origin.x();
        QRgb* dst = reinterpret_cast<QRgb*>(target.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            const int c = qAlpha(cov[x]);
            if (c == 0)
                continue;
            // Below the covered share the object's alpha stands; beside it, what was there.
            const unsigned keep = unsigned(std::clamp(255 - c + int(qAlpha(src[x])), 0, 255));
            const QRgb d = dst[x];
            const auto scaled = [keep](unsigned v) { return int((v * keep + 127) / 255); };
            dst[x] = qRgba(scaled(qRed(d)), scaled(qGreen(d)), scaled(qBlue(d)), scaled(qAlpha(d)));
        }
    }
}

void compositeOwnBlend(QImage& target, const QImage& layer, QPoint origin, int blendMode)
{
    const QRect area = QRect(origin, layer.size()) & target.rect();
    const bool opaqueTarget = target.format() == QImage::Format_RGB32;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const QRgb* src = reinterpret_cast<const QRgb*>(layer.constScanLine(y - origin.y())) - origin.x();
        QRgb* dst = reinterpret_cast<QRgb*>(target.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb s = src[x];
            const int sa = qAlpha(s);
            if (sa == 0)
                continue;
            const QRgb d = dst[x];
            const int da = opaqueTarget ? 255 : qAlpha(d);
            // Source over for the alpha: what the layer covers becomes opaque as far as it covers.
            const int a = sa + da - (sa * da + 127) / 255;
            int r, g, b;
            if (blendMode == BlendSubtract) {
                r = std::max(0, qRed(d) - qRed(s));
                g = std::max(0, qGreen(d) - qGreen(s));
                b = std::max(0, qBlue(d) - qBlue(s));
            } else {
                // d(1 - sa) + sa(da - d): the part below the layer turned to its negative.
                const auto inv = [&](int dc) { return (dc * (255 - sa) + sa * (da - dc) + 127) / 255; };
                r = inv(qRed(d));
                g = inv(qGreen(d));
                b = inv(qBlue(d));
            }
            dst[x] = qRgba(std::min(r, a), std::min(g, a), std::min(b, a), opaqueTarget ? 255 : a);
        }
    }
}

void compositeOwnBlend(QPainter& painter, const QImage& layer, QPoint origin, int blendMode)
{
    if (QImage* target = writableImageOf(painter)) {
        compositeOwnBlend(*target, layer, origin, blendMode);
        return;
    }
    // A window: the painter's difference does invert exactly, and comes
    // nearest to subtract where the layer is darker than what lies below.
    painter.save();
    painter.setTransform(QTransform());
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.drawImage(origin, blendMode == BlendInvert ? whiteOf(layer) : layer);
    painter.restore();
}

} // namespace swf
