#pragma once

// The drawing port the stage offers to scripts: a script that asks for a
// display object as pixels (BitmapData.draw) reaches the renderer through
// this, so the script machine never depends on the renderer itself.

#include "swf/format/Records.h"

#include <QRect>
#include <QTransform>

class QImage;

namespace swf {

class DisplayObject;

class DisplayRasterizer {
public:
    virtual ~DisplayRasterizer() = default;

    // Draws `object` with its children, masks and filters, as the stage
    // draws it, over what `target` holds. `objectToPixels` maps the object's
    // own space in twips (its own matrix not applied) to pixels of `target`;
    // `cx` tints the whole object; nothing lands outside `clip` (pixels of
    // `target`). Without `smoothing` bitmaps are sampled nearest-pixel.
    virtual void rasterize(const DisplayObject& object, QImage& target, const QTransform& objectToPixels,
        const ColorTransform& cx, const QRect& clip, bool smoothing) = 0;
};

} // namespace swf
