#pragma once

// Bitmap fills, shared by shapes from the movie and by what scripts draw:
// the one check that a placing matrix can be used, and the one routine that
// lays a bitmap over a path.

#include "swf/format/Shape.h"

#include <QImage>
#include <QTransform>

class QPainter;
class QPainterPath;

namespace swf {

struct ColorTransform;
class ScriptBitmapInstance;

// Whether `t` can be undone. A matrix that squashes the plane flat, or holds
// a value that is not finite, places nothing: what it draws is not seen.
bool invertible(const QTransform& t);

// What a fill without repeat shows outside the bitmap.
enum class BitmapEdges {
    Clip,    // nothing: the image once, only where the path is
    Stretch, // the bitmap's outermost pixels, continued outwards (script fills)
    // The image one of its pixels further right and down, its top row and left
    // column repeated over the strips it leaves (clipped fills of old movies).
    ShiftedOn,
};

// Fills `path` (twips, drawn with `transform`) with `image` placed by
// `fill.matrix` (bitmap pixels to twips), smoothed when the fill asks for it
// and the painter antialiases. A repeating fill tiles the image; otherwise
// `edges` decides. A fill whose matrix is not invertible draws nothing.
void drawBitmapFill(QPainter& painter, const QPainterPath& path, const FillStyle& fill, const QImage& image,
    const QTransform& transform, BitmapEdges edges);

// As drawBitmapFill, the path's edges covered in sixteenths as every fill's
// are (see CoverageFill.h) when the painter antialiases.
void drawBitmapCovered(QPainter& painter, const QPainterPath& path, const FillStyle& fill, const QImage& image,
    const QTransform& transform, BitmapEdges edges);

// The image a non-repeating fill samples over `area` (bitmap pixel
// coordinates): the bitmap with its outermost pixels continued outwards.
// The result's top-left pixel stands for `area.topLeft()`.
QImage clampedBitmap(const QImage& image, const QRect& area);

// A script bitmap shown in a clip: one twentieth of its pixels per twip, from
// the object's origin, through `cx`; interpolated only when it was attached
// with smoothing and the painter antialiases.
void drawScriptBitmap(QPainter& painter, const ScriptBitmapInstance& bitmap, const QTransform& transform, const ColorTransform& cx);

} // namespace swf
