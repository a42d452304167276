#include "swf/render/VideoDrawing.h"

#include "swf/render/RenderCache.h"
#include "swf/runtime/VideoInstance.h"

#include <QPainter>

namespace swf {

void drawVideo(QPainter& painter, const VideoInstance& video, const QTransform& transform, const ColorTransform& cx)
{
    const QImage& picture = video.currentFrame();
    const QRectF box = video.bounds();
    if (picture.isNull() || box.isEmpty())
        return;
    painter.save();
    painter.setTransform(transform);
    // Without smoothing the player shows each video pixel as a hard square.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, video.smoothing());
    const QRectF source(0, 0, picture.width(), picture.height());
    if (cx.isIdentity())
        painter.drawImage(box, picture, source);
    else
        painter.drawImage(box, applyColorTransform(picture, cx), source);
    painter.restore();
}

} // namespace swf
