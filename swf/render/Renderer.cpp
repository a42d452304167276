#include "swf/render/Renderer.h"

#include "swf/runtime/Stage.h"

#include <QPainter>

namespace swf {

void Renderer::render(QPainter& painter, const QTransform& stageToDevice)
{
    painter.save();
    painter.setTransform(stageToDevice, true);
    QRectF stageRect = m_stage.movie().stageTwips().toPixels();
    painter.fillRect(stageRect, m_stage.backgroundColor());
    painter.restore();
}

} // namespace swf
