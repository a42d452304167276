#pragma once

// Draws what scripts drew into a clip (swf/runtime/Drawing): its fills in
// order, then its lines, under the clip's matrix and colour transform.

#include "swf/format/Records.h"

#include <QImage>
#include <QTransform>

class QPainter;
class QPainterPath;

namespace swf {

class Drawing;
class Renderer;
struct BitmapPixels;
struct FillStyle;

void drawDrawing(QPainter& painter, const Drawing& drawing, const QTransform& transform, const ColorTransform& cx,
    Renderer& renderer);

// Fills `path` (twips, drawn with `transform`) with a script bitmap placed by
// `fill.matrix` (bitmap pixels to twips). Without repeat the bitmap's edge
// pixels stretch out over the rest of the path, as the player does.
void drawScriptBitmapFill(QPainter& painter, const QPainterPath& path, const FillStyle& fill, const BitmapPixels& bitmap,
    const QTransform& transform, const ColorTransform& cx);

// The image a non-repeating fill samples over `area` (bitmap pixel
// coordinates): the bitmap with its outermost pixels continued outwards.
// The result's top-left pixel stands for `area.topLeft()`.
QImage clampedBitmap(const QImage& image, const QRect& area);

} // namespace swf
