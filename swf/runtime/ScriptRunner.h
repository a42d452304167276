#pragma once

// Where the timeline hands scripts. The runtime knows when a frame's actions,
// a sprite's init actions or a clip event are due; it passes the action bytes
// (or the clip-action records) and the instance they belong to. Set on the Stage; none set means scripts are ignored.

#include "swf/format/Control.h"

#include <QByteArray>
#include <QPointF>

#include <cstdint>
#include <memory>
#include <vector>

namespace swf {

class DisplayObject;
class SpriteInstance;

// The events a placed instance can answer, named as the player names them.
// The first block follows the bit order of the clip-action flags.
enum class ClipEvent {
    Load,       // the instance was placed (after its first frame was built)
    EnterFrame, // once per tick, before the instance's frame advances
    Unload,     // the instance is about to leave the display list
    MouseMove,  // the pointer moved anywhere on the stage
    MouseDown,
    MouseUp,
    KeyDown,    // any key went down
    KeyUp,
    Data,       // variables or a movie finished loading into the clip
    Initialize, // before the instance's constructor runs
    Construct,  // the instance's class constructor runs
    // Pointer transitions of an instance that acts as a button.
    Press,
    Release,
    ReleaseOutside,
    RollOver,
    RollOut,
    DragOver,
    DragOut,
    KeyPress,   // a particular key (its button key code travels with it)
};

// The clip-action flag bit of an event in the 32-bit form of version 6 and later.
std::uint32_t clipEventFlag(ClipEvent event);

class ScriptRunner {
public:
    virtual ~ScriptRunner() = default;

    // The DoAction blocks of a frame, called in file order as the frame's
    // tags are applied. `timeline` is the root or the sprite instance.
    virtual void runFrameActions(SpriteInstance& timeline, const QByteArray& actions) = 0;

    // A DoInitAction body (sprite id already read off the front), run once per
    // movie, before the frame's ordinary actions.
    virtual void runInitActions(SpriteInstance& timeline, std::uint16_t spriteId, const QByteArray& actions) = 0;

    // An event for an instance; `clipActions` is the clip-action records of
    // its PlaceObject2/3 (may be empty: handlers set by scripts answer too).
    virtual void clipEvent(DisplayObject& instance, ClipEvent event, const std::vector<ClipAction>& clipActions) { }

    // A new instance entered a display list (before its first frame is built):
    // the chance to give it its registered class.
    virtual void instancePlaced(DisplayObject& instance) { }

    // A button's action block whose condition (a pointer transition or a key
    // press) just happened. It runs in the button's timeline, `timeline`.
    virtual void buttonAction(DisplayObject& button, SpriteInstance& timeline, const QByteArray& actions) { }

    // A button or a clip acting as one moved between pointer states.
    virtual void buttonEvent(DisplayObject& instance, ClipEvent event) { }
    // True when a sprite takes the pointer the way a button does (a script
    // gave it onPress, onRelease, ... or its clip actions answer pointer
    // events); for a button, false once a script set its enabled to false.
    // By default buttons take the pointer and clips do not.
    virtual bool actsAsButton(const DisplayObject& instance);
    // Whether the pointer turns into a hand over this button-like instance.
    virtual bool wantsHandCursor(const DisplayObject& instance) { return true; }

    // Mouse and keyboard reaching the whole movie: listeners and clip events.
    // Key codes are the player's virtual key codes (65 = 'A', 37 = left ...);
    // `buttonKey` is the key's button key code (for keyPress clip actions), 0 if none.
    virtual void mouseEvent(ClipEvent event) { }
    // Where the pointer is, in stage pixels, before any event it causes.
    virtual void pointerAt(QPointF stagePixels) { }
    // The clip a script named as this clip's hit area (its hitArea property), or null.
    virtual DisplayObject* hitAreaOf(const DisplayObject& clip) { return nullptr; }
    virtual void mouseWheel(int delta) { }
    virtual void keyEvent(ClipEvent event, int keyCode, int ascii, int buttonKey) { }

    // The instance is leaving the display list: forget any reference to it.
    virtual void instanceRemoved(DisplayObject& instance) { }

    // A removed instance, off every display list, whose unload work was just
    // queued. Its scripts still see it as it stood (its path, its parent, its
    // frame) until that work has run, so the runner may keep it alive until
    // then; it must call forgetTree on it before letting it go. By default
    // it goes at once.
    virtual void instanceLeaving(std::unique_ptr<DisplayObject> instance);
    // instanceRemoved for the instance and everything in it, innermost first.
    void forgetTree(DisplayObject& instance);

    // The whole stage is about to be thrown away and rebuilt (stepping back
    // replays the movie from its start): forget every instance at once.
    virtual void stageRestarting() { }
};

} // namespace swf
