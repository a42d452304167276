#pragma once

// A script bitmap shown in a clip (MovieClip.attachBitmap): no character of
// the movie, but the pixels a BitmapData object holds. The pixels are shared,
// so the clip shows every later change to them, and nothing once disposed.

#include "swf/runtime/DisplayObject.h"
#include "swf/runtime/Drawing.h"

#include <memory>

namespace swf {

class ScriptBitmapInstance : public DisplayObject {
public:
    ScriptBitmapInstance(Stage& stage, SpriteInstance* parent, std::shared_ptr<const BitmapPixels> pixels, bool smoothing, int depth)
        : DisplayObject(stage, parent, nullptr, 0, depth), m_pixels(std::move(pixels)), m_smoothing(smoothing) { }

    // The pixels to draw, or null when there is nothing to show.
    const QImage* image() const
    {
        return m_pixels && !m_pixels->disposed && !m_pixels->image.isNull() ? &m_pixels->image : nullptr;
    }
    // Scaled or turned, the pixels are interpolated only when asked for.
    bool smoothing() const { return m_smoothing; }

private:
    std::shared_ptr<const BitmapPixels> m_pixels;
    bool m_smoothing;
};

} // namespace swf
