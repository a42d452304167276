#pragma once

// Measuring display objects the way scripts see them: the rectangle an
// object covers (shapes from their definitions' bounds, sprites from their
// children, nested matrices applied one level at a time, as the player does),
// the transform from an object's own space to the stage, and point hits.

#include <QPointF>
#include <QRectF>
#include <QTransform>

namespace swf {

class DisplayObject;

// The bounds of what `object` draws, in its own space (twips, before its own
// matrix); false when it draws nothing at all.
bool localBounds(const DisplayObject& object, QRectF& bounds);

// The same rectangle carried through `transform` and boxed again.
bool boundsThrough(const DisplayObject& object, const QTransform& transform, QRectF& bounds);

// From the object's own space to the root's (stage twips): its matrix, then each parent's.
QTransform worldTransform(const DisplayObject& object);

// Whether `stagePoint` (twips, the root's space) lies on what the object
// draws: filled or stroked areas of shapes and drawings, the boxes of
// bitmaps and texts. Masks set by scripts are not consulted.
bool hitsShape(const DisplayObject& object, QPointF stagePoint);

} // namespace swf
