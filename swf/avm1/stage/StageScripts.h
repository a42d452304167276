#pragma once

// The script machine wired to a stage: runs the frame, init and clip-event
// actions the timelines hand over, gives scripts MovieClip objects over the
// sprite instances, and collects trace output and fscommands.
//
// The files of this room that bind script classes follow the one naming
// scheme of builtins/ and stage/: XxxClass.cpp binds one class (MovieClip,
// Color, Accessibility), XxxClasses.cpp a family of small ones (flash.geom,
// flash.filters, Key/Mouse/Stage); each method is a named function listed
// in a NativeMethod table. The rest (the objects behind clips, buttons, text
// fields and sounds, and the event queue) are named after what they are.

#include "swf/runtime/ScriptRunner.h"
#include "swf/avm1/vm/Interpreter.h"

#include <QHash>
#include <QRectF>
#include <QSet>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>

namespace swf {

class Stage;

namespace avm1 {

class SpriteClip;
class SoundScripts;
class TextFieldScripts;

// Makes `on` a broadcaster as AsBroadcaster.initialize would (a hidden
// _listeners array, addListener, removeListener, broadcastMessage), with
// `flags` on each of them.
void makeBroadcaster(Interpreter& vm, Object* on, uint8_t flags);

class StageScripts : public ScriptRunner, public ScriptHost {
public:
    explicit StageScripts(Stage& stage);
    ~StageScripts() override;

    Interpreter& interpreter() { return *m_vm; }
    // The stage side an interpreter made by a StageScripts runs for (its host):
    // how the named functions bound to script classes reach the stage.
    static StageScripts& of(Interpreter& vm) { return *static_cast<StageScripts*>(vm.host()); }
    void setTraceSink(std::function<void(const QString&)> sink) { m_traceSink = std::move(sink); }
    // A handler's name as scripts write it, and lowered as the property keys
    // of objects that ignore case are: looked up in either form, whichever
    // the object keeps, without building the lowered one on each look-up.
    struct HandlerName {
        explicit HandlerName(const QString& name)
            : exact(name), lower(name.toLower()), onName(lower.startsWith(QLatin1String("on")))
        {
        }
        QString exact;
        QString lower;
        // Begins with "on": objects that never held such a name are passed
        // over (Object::mayHoldHandler).
        bool onName;
    };

    // fscommand("quit") was seen: a render run should end.
    bool quitRequested() const { return m_quit; }
    // Runs the actions the stage has handed over since the last call, in the
    // player's order. Call after building the first frame.
    void flush();
    // Call once per frame of the stage clock (after Stage::tick); flushes too.
    void afterTick(double nowMs);

    // ScriptRunner
    void runFrameActions(SpriteInstance& timeline, const QByteArray& actions) override;
    void runInitActions(SpriteInstance& timeline, std::uint16_t spriteId, const QByteArray& actions) override;
    void clipEvent(DisplayObject& instance, ClipEvent event, const std::vector<ClipAction>& clipActions) override;
    void instancePlaced(DisplayObject& instance) override;
    void buttonAction(DisplayObject& button, SpriteInstance& timeline, const QByteArray& actions) override;
    void buttonEvent(DisplayObject& instance, ClipEvent event) override;
    bool actsAsButton(const DisplayObject& sprite) override;
    bool wantsHandCursor(const DisplayObject& instance) override;
    void mouseEvent(ClipEvent event) override;
    void pointerAt(QPointF stagePixels) override;
    DisplayObject* hitAreaOf(const DisplayObject& clip) override;
    void mouseWheel(int delta) override;
    void keyEvent(ClipEvent event, int keyCode, int ascii, int buttonKey) override;
    void instanceRemoved(DisplayObject& instance) override;
    void instanceLeaving(std::unique_ptr<DisplayObject> instance) override;
    void stageRestarting() override;

    // ScriptHost
    void trace(const QString& line) override;
    void scriptFault(const QString& what) override;
    void fscommand(const QString& command, const QString& args) override;
    double timeMs() override { return m_nowMs; }
    ClipObject* level(int n) override;

    // The script object of a sprite instance (created on first use).
    SpriteClip* clipFor(SpriteInstance& sprite);
    // The script object of a sprite or a button instance, made on first use;
    // null for other instances.
    Object* objectFor(DisplayObject& instance);
    // The script object of a sprite or button instance if one was made, else null.
    Object* existingObjectOf(const DisplayObject& instance) const;

    // The keyboard as the Key object reports it (InputClasses.cpp).
    bool keyIsDown(int keyCode) const { return m_keysDown.contains(keyCode); }
    bool keyIsToggled(int keyCode) const { return m_keysToggled.contains(keyCode); }
    int lastKeyCode() const { return m_lastKeyCode; }
    int lastKeyAscii() const { return m_lastAscii; }
    // The size the movie is shown at, in pixels; Stage listeners hear of changes.
    void setViewSize(double width, double height);
    // Mouse.hide() was called (and no Mouse.show() since): the player hides its pointer.
    bool mouseHidden() const { return m_mouseHidden; }
    void setMouseHidden(bool hidden) { m_mouseHidden = hidden; }
    // Stage.width or Stage.height: the movie's size, or the view's when the movie does not scale.
    double stageSize(bool width);
    // The pointer in stage pixels, and in an instance's own space (in pixels: _xmouse, _ymouse).
    QPointF mousePosition() const { return m_mouse; }
    QPointF mouseIn(const DisplayObject& instance) const;
    // startDrag/stopDrag: one clip at a time follows the pointer, keeping its
    // offset from it (or centred on it), inside an optional rectangle of its
    // parent's space (pixels).
    void startDrag(SpriteInstance& sprite, bool lockCenter, const double* constraint);
    void stopDrag() { m_dragged = nullptr; }
    const SpriteInstance* dragged() const { return m_dragged; }
    Stage& stage() { return m_stage; }
    // TextField and Sound objects (TextFieldScripts.cpp, SoundScripts.cpp).
    TextFieldScripts& textFields() { return *m_textFields; }
    SoundScripts& sounds() { return *m_sounds; }

private:
    // Work the stage hands over runs in three bands: init actions and
    // initialize events first, then class constructors, then frame actions,
    // events and handlers, each band in the order things happened.
    enum Band { InitBand, ConstructBand, NormalBand, BandCount };
    struct Pending {
        std::shared_ptr<const Block> block; // a block to run, or
        QString method;                     // a handler to call by name, or
        Value function;                     // a function to call
        DisplayObject* instance = nullptr;  // on this instance while it is on stage,
        Object* object = nullptr;           // or on this object
        std::vector<Value> args;
        bool construct = false;             // gives a placed instance its registered class
        const HandlerName* handler = nullptr; // the method's name, when a clip event's
    };
    // Actions decoded once per movie version; without one, the first movie's.
    std::shared_ptr<const Block> decode(const QByteArray& actions, int version = 0);
    // The version of the movie `object` belongs to: the nearest loaded movie
    // among it and its parents, else the first movie.
    int versionOf(const DisplayObject* object) const;
    void enqueue(SpriteInstance& timeline, const QByteArray& actions, Band band = NormalBand);
    void push(Band band, Pending pending);
    void runPending(Pending& pending);
    void drain();
    // Lets go of the removed instances whose unload work has run.
    void releaseLeaving();
    void installMovieClip();
    void installStageObjects();
    void installInputObjects();
    bool noScale(Interpreter& vm);
    // Queues the clip-action blocks of `instance` that answer `wanted` (and,
    // for a key press, `keyCode`), on `object` when given (an unloading clip).
    void queueClipActions(DisplayObject& instance, Object* object, std::uint32_t wanted, int keyCode, Band band);
    bool hasClipAction(const std::vector<ClipAction>& clipActions, std::uint32_t wanted) const;
    // True when the instance's script object (made or not) would find `name`.
    bool mayHaveHandler(DisplayObject& instance, const QString& name);
    bool mayHaveHandler(DisplayObject& instance, const HandlerName& name);
    // True when `o` or its prototypes hold `name` as a function or a getter
    // (as Interpreter::findProperty would find it), each object asked with
    // the key it keeps.
    bool holdsHandler(Object* o, const HandlerName& name) const;
    void queueHandler(DisplayObject& instance, const HandlerName& name);
    void broadcast(Object* source, const QString& name, std::vector<Value> args = {});
    Object* registeredClassFor(std::uint16_t characterId);
    // Every sprite on stage, parents before children (for mouse and key clip events).
    std::vector<DisplayObject*> allInstances();

    Stage& m_stage;
    std::unique_ptr<Interpreter> m_vm;
    std::function<void(const QString&)> m_traceSink;
    // Each clip is also the script peer of its instance (under m_serial),
    // set and cleared with its entry here.
    std::unordered_map<const DisplayObject*, SpriteClip*> m_clips;
    const std::uint64_t m_serial;
    QSet<const DisplayObject*> m_clipsAlive; // sprite instances the stage has shown us and not removed
    QHash<QByteArray, std::shared_ptr<const Block>> m_decoded;
    // Blocks of loaded movies whose version differs from the first movie's, by version.
    std::map<int, QHash<QByteArray, std::shared_ptr<const Block>>> m_decodedOther;
    std::deque<Pending> m_queues[BandCount];
    // How many queued entries name each instance, so that a removal scans
    // the queues only when it has work there: a script making thousands of
    // clips in one go must not pay for all the others at each replacement.
    QHash<const DisplayObject*, int> m_queuedFor;
    std::unordered_map<const DisplayObject*, Object*> m_buttons; // Button objects by instance
    QSet<int> m_keysDown;
    QSet<int> m_keysToggled;
    int m_lastKeyCode = 0;
    int m_lastAscii = 0;
    Object* m_keyObject = nullptr;
    Object* m_mouseObject = nullptr;
    Object* m_stageObject = nullptr;
    double m_viewWidth = 0;
    double m_viewHeight = 0;
    bool m_mouseHidden = false;
    QPointF m_mouse;
    SpriteInstance* m_dragged = nullptr;
    QPointF m_dragOffset;
    std::optional<QRectF> m_dragBounds;
    void followDrag();
    bool m_draining = false;
    // Instances whose unload work is queued and not yet run: these are kept
    // when they leave (see instanceLeaving).
    QSet<const DisplayObject*> m_unloadQueued;
    // Removed instances kept until the queued unload work has run, oldest first.
    std::vector<std::unique_ptr<DisplayObject>> m_leaving;
    bool m_quit = false;
    double m_nowMs = 0;
    int m_faults = 0;
    std::unique_ptr<TextFieldScripts> m_textFields;
    std::unique_ptr<SoundScripts> m_sounds;
};

} // namespace avm1
} // namespace swf
