#include "swf/runtime/ScriptRunner.h"

#include "swf/runtime/DisplayObject.h"
#include "swf/runtime/ButtonInstance.h"
#include "swf/runtime/SpriteInstance.h"

namespace swf {

std::uint32_t clipEventFlag(ClipEvent event)
{
    // Read little-endian, the first byte holds load .. keyUp, the second data
    // .. dragOver, the third dragOut, keyPress and construct.
    switch (event) {
    case ClipEvent::Load: return 0x00001;
    case ClipEvent::EnterFrame: return 0x00002;
    case ClipEvent::Unload: return 0x00004;
    case ClipEvent::MouseMove: return 0x00008;
    case ClipEvent::MouseDown: return 0x00010;
    case ClipEvent::MouseUp: return 0x00020;
    case ClipEvent::KeyDown: return 0x00040;
    case ClipEvent::KeyUp: return 0x00080;
    case ClipEvent::Data: return 0x00100;
    case ClipEvent::Initialize: return 0x00200;
    case ClipEvent::Press: return 0x00400;
    case ClipEvent::Release: return 0x00800;
    case ClipEvent::ReleaseOutside: return 0x01000;
    case ClipEvent::RollOver: return 0x02000;
    case ClipEvent::RollOut: return 0x04000;
    case ClipEvent::DragOver: return 0x08000;
    case ClipEvent::DragOut: return 0x10000;
    case ClipEvent::KeyPress: return 0x20000;
    case ClipEvent::Construct: return 0x40000;
    }
    return 0;
}

void ScriptRunner::instanceLeaving(std::unique_ptr<DisplayObject> instance)
{
    forgetTree(*instance);
}

void ScriptRunner::forgetTree(DisplayObject& instance)
{
    if (auto sprite = instance.asSprite()) {
        for (const auto& [depth, child] : sprite->displayList())
            forgetTree(*child);
    }
    if (auto button = dynamic_cast<ButtonInstance*>(&instance)) {
        for (const auto& [depth, part] : button->parts())
            forgetTree(*part);
        for (const auto& [depth, part] : button->hitParts())
            forgetTree(*part);
    }
    instanceRemoved(instance);
}

bool ScriptRunner::actsAsButton(const DisplayObject& instance)
{
    return !instance.asSprite();
}

} // namespace swf
