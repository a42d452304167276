#pragma once

// Where the timeline hands scripts. The runtime knows when a frame's actions,
// a sprite's init actions or a clip event are due; it passes the raw bytes and
// the instance they belong to. Set on the Stage; none set means scripts are ignored.

#include <QByteArray>

#include <cstdint>

namespace swf {

class DisplayObject;
class SpriteInstance;

enum class ClipEvent {
    Load,       // the instance was placed (after its first frame was built)
    EnterFrame, // once per tick, before the instance's frame advances
    Unload,     // the instance is about to leave the display list
};

class ScriptRunner {
public:
    virtual ~ScriptRunner() = default;

    // The DoAction blocks of a frame, called after that frame's display-list
    // changes, once per block in file order. `timeline` is the root or the sprite instance.
    virtual void runFrameActions(SpriteInstance& timeline, const QByteArray& actions) = 0;

    // A DoInitAction body (sprite id already read off the front), run once per
    // movie, before the frame's ordinary actions.
    virtual void runInitActions(SpriteInstance& timeline, std::uint16_t spriteId, const QByteArray& actions) = 0;

    // A clip event for an instance placed with clip actions; `clipActions` is
    // the raw clip-action records of its PlaceObject2/3.
    virtual void clipEvent(DisplayObject& instance, ClipEvent event, const QByteArray& clipActions) { }

    // A button's action block whose condition (a pointer transition or a key
    // press) just happened. It runs in the button's timeline, `timeline`.
    virtual void buttonAction(DisplayObject& button, SpriteInstance& timeline, const QByteArray& actions) { }

    // The instance is leaving the display list: forget any reference to it.
    virtual void instanceRemoved(DisplayObject& instance) { }
};

} // namespace swf
