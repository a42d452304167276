#include "swf/render/FocusRect.h"

#include "swf/render/CoverageFill.h"
#include "swf/runtime/Bounds.h"
#include "swf/runtime/DisplayObject.h"
#include "swf/runtime/Stage.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace swf {

void drawFocusRect(QPainter& painter, const Stage& stage, const QTransform& twipsToDevice)
{
    const DisplayObject* object = stage.focusRectObject();
    if (!object || !object->isVisible())
        return;
    QRectF bounds;
    if (!boundsThrough(*object, worldTransform(*object) * twipsToDevice, bounds) || bounds.isEmpty())
        return;
    // Three stage pixels, at whatever size the stage is shown.
    const double band = 3 * std::sqrt(std::abs(twipsToDevice.determinant())) * 20;
    QPainterPath frame;
    frame.setFillRule(Qt::OddEvenFill);
    frame.addRect(bounds);
    if (bounds.width() > 2 * band && bounds.height() > 2 * band)
        frame.addRect(bounds.adjusted(band, band, -band, -band));
    painter.save();
    painter.setTransform(QTransform());
    painter.setRenderHint(QPainter::Antialiasing);
    fillCovered(painter, frame, QColor(255, 255, 0));
    painter.restore();
}

} // namespace swf
