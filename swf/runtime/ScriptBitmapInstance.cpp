#include "swf/runtime/ScriptBitmapInstance.h"

#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"

namespace swf {

ScriptBitmapInstance* SpriteInstance::attachBitmapChild(std::shared_ptr<const BitmapPixels> pixels, bool smoothing, int depth)
{
    if (!pixels || !stage().canCreateInstance())
        return nullptr;
    removeChild(depth);
    auto child = std::make_unique<ScriptBitmapInstance>(stage(), this, std::move(pixels), smoothing, depth);
    child->setPlacedFrame(0);
    ScriptBitmapInstance* bitmap = child.get();
    insertChild(std::move(child), nullptr);
    return childAt(depth) == bitmap ? bitmap : nullptr;
}

} // namespace swf
