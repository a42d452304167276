#pragma once

// The renderer behind the stage's drawing port: draws one display object
// into a script's pixels the way the stage draws it.

#include "swf/runtime/DisplayRasterizer.h"

namespace swf {

class Stage;
class RenderCache;

class ObjectRasterizer final : public DisplayRasterizer {
public:
    ObjectRasterizer(const Stage& stage, RenderCache& cache) : m_stage(stage), m_cache(cache) { }

    void rasterize(const DisplayObject& object, QImage& target, const QTransform& objectToPixels,
        const ColorTransform& cx, const QRect& clip, bool smoothing) override;

private:
    const Stage& m_stage;
    RenderCache& m_cache;
};

} // namespace swf
