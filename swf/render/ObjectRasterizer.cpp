#include "swf/render/ObjectRasterizer.h"

#include "swf/render/Renderer.h"

#include <QImage>
#include <QPainter>

namespace swf {

void ObjectRasterizer::rasterize(const DisplayObject& object, QImage& target, const QTransform& objectToPixels,
    const ColorTransform& cx, const QRect& clip, bool smoothing)
{
    const QRect area = clip & target.rect();
    if (area.isEmpty() || target.isNull())
        return;
    QPainter painter(&target);
    if (!painter.isActive())
        return;
    // Edges are always anti-aliased, as on the stage; smoothing only
    // chooses how bitmaps are sampled.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smoothing);
    painter.setClipRect(area);
    Renderer renderer(m_stage, m_cache);
    renderer.renderObject(painter, object, objectToPixels, cx);
}

} // namespace swf
