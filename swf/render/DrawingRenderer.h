#pragma once

// Draws what scripts drew into a clip (swf/runtime/Drawing): its fills in
// order, then its lines, under the clip's matrix and colour transform.

#include "swf/format/Records.h"

#include <QTransform>

class QPainter;

namespace swf {

class Drawing;
class Renderer;

void drawDrawing(QPainter& painter, const Drawing& drawing, const QTransform& transform, const ColorTransform& cx,
    Renderer& renderer);

} // namespace swf
