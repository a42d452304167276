#pragma once

// The yellow rectangle that marks the clip or button holding the focus.

#include <QTransform>

class QPainter;

namespace swf {

class Stage;

// Draws the focus rectangle of `stage`'s focused object, if any, over what is
// drawn: a band three pixels wide just inside the box round the object's
// bounds. `twipsToDevice` maps the root's twips to the device.
void drawFocusRect(QPainter& painter, const Stage& stage, const QTransform& twipsToDevice);

} // namespace swf
