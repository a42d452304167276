#pragma once

// The ActionScript 3 machine bound to a stage: the bytecode of DoABC tags is
// loaded as the root timeline reaches it, SymbolClass names the document
// class (built over the root) and the classes of sprites, and the frame
// scripts registered with addFrameScript run as their timelines enter a frame.

#include "swf/avm2/vm/Machine.h"
#include "swf/runtime/ScriptRunner.h"

#include <QHash>
#include <QSet>

#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>

namespace swf {
class Stage;
struct BitmapDef;
}

namespace swf::avm2 {

// Fields a native class keeps on its objects under names no script can spell
// (a leading space), out of for-in walks.
inline void hiddenSet(Object* o, const QString& key, const Value& value)
{
    o->dynamicSet(key, value);
    o->dontEnum().insert(key, true);
}
inline Value hiddenGet(const Object* o, const QString& key, const Value& fallback)
{
    const Value* v = o ? o->dynamicGet(key) : nullptr;
    return v ? *v : fallback;
}

class StageScripts final : public ScriptRunner {
public:
    explicit StageScripts(Stage& stage);
    ~StageScripts() override;

    Machine& machine() { return *m_machine; }
    // The player's log ends a line at a lone carriage return as at a line
    // feed (text fields hand out their paragraphs ended with one).
    void setTraceSink(std::function<void(const QString&)> sink)
    {
        m_machine->setTraceSink([sink = std::move(sink)](const QString& line) {
            if (!line.contains(QLatin1Char('\r'))) {
                sink(line);
                return;
            }
            QString out = line;
            out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
            sink(out);
        });
    }
    void setFaultSink(std::function<void(const QString&)> sink) { m_machine->setFaultSink(std::move(sink)); }

    // After frame 1 is built and after each tick: load what the root reached,
    // make the document object, run the frame scripts now due.
    void afterFrame();

    // Bytecode and class bindings reach the machine through afterFrame; the
    // first machine's action blocks are not for this one.
    void runFrameActions(SpriteInstance&, const QByteArray&) override { }
    void runInitActions(SpriteInstance&, std::uint16_t, const QByteArray&) override { }
    void instanceRemoved(DisplayObject& instance) override;
    // Every placed instance gets a script object once the classes of its frame are loaded.
    void instancePlaced(DisplayObject& instance) override;
    void stageRestarting() override;
    // An instance the timeline took out stays whole while scripts may hold it.
    void instanceLeaving(std::unique_ptr<DisplayObject> instance) override;

    // The script object of a display object, null when none was made.
    Object* objectFor(DisplayObject* display) const { return m_objects.value(display, nullptr); }

    // The Stage object: parent of the root, top of every on-stage path.
    Object* stageObject() const { return m_stageObject; }

private:
    void installDisplayClasses();
    void installDisplayObjectMembers(ClassObject* displayObject);   // DisplayObjectMembers.cpp
    void installContainerMembers(ClassObject* container);           // ContainerMembers.cpp
    void installMovieClipMembers(ClassObject* movieClip);           // MovieClipMembers.cpp
    void installStageClass();                                       // StageClass.cpp
    void installTimerClass();                                       // TimerClass.cpp
    void installIntervalFunctions();                                // TimerClass.cpp
    void installLoaderInfoClass();                                  // LoaderInfoClass.cpp
    void installBitmapDataClass();                                  // BitmapDataClass.cpp
    void installBitmapDataTransfers(ClassObject* bitmapData);       // BitmapTransfers.cpp
    void installBitmapClass();                                      // BitmapClass.cpp
    void installTextFieldMembers(ClassObject* textField);           // TextFieldMembers.cpp
    std::unique_ptr<DisplayObject> makeTextField();                  // TextFieldMembers.cpp
    void installTextFormatClass();                                  // TextFormatClass.cpp
    void installTextFormatMembers(ClassObject* textField);          // TextFormatClass.cpp
    ClassObject* m_textFormatClass = nullptr;
    void installFontClass();                                        // FontClass.cpp
    // The bitmap of the movie a class (or a base of it) is bound to, if any.
    const BitmapDef* boundBitmap(ClassObject* cls);
    ClassObject* m_bitmapDataClass = nullptr;
    ClassObject* m_bitmapClass = nullptr;
    Object* rootLoaderInfo();
    void announceLoaded();
    ClassObject* m_loaderInfoClass = nullptr;
    Object* m_loaderInfo = nullptr;
    void runTimers();
    // A goto from a script builds the new frame at once: its children are
    // made and constructed, then frameConstructed, the frame scripts now
    // due, and exitFrame, before the script goes on.
    void afterGoto(Object* clip);
    int m_gotoDepth = 0;

    // Display objects made by scripts (new Sprite()) or taken off a list:
    // owned here until a container adopts them.
    void ensureDisplay(Object* object);
    DisplayObject* displayOf(const Value& v) const;
    Object* checkedDisplayArg(const Value& v, const QString& parameter);
    std::unique_ptr<DisplayObject> takeOut(DisplayObject* display);
    void keepOrphan(std::unique_ptr<DisplayObject> display);
    // Moves `child` into `parent`'s list at `index`, with its added events.
    void insertAt(Object* parent, Object* child, int index);
    // Takes `child` out of its parent's list, with its removed events.
    void removeFromParent(Object* child);
    int depthForIndex(SpriteInstance& sprite, int index);
    bool onStage(const DisplayObject* display) const;
    void dispatchSimple(Object* target, const QString& type, bool bubbles);
    void dispatchToTree(DisplayObject* display, const QString& type);
    void broadcast(const QString& type);
    void collectTree(DisplayObject* display, std::vector<Object*>& out);
    void constructOrphanTree(SpriteInstance& sprite);
    void loadFrameTags(int frame);
    void runDueFrameScripts();
    void makePlacedObjects();
    void constructTree(DisplayObject& display);
    ClassObject* classFor(const DisplayObject& display);
    Value childAt(Machine& m, const Value& self, int index);
    void runFrameScript(Object* object);
    SpriteInstance* spriteOf(Machine& m, const Value& self);

    Stage& m_stage;
    std::unique_ptr<Machine> m_machine;
    int m_framesLoaded = 0;
    QHash<std::uint16_t, QString> m_symbolClasses; // character id -> class name; 0 the root
    bool m_documentMade = false;
    std::vector<DisplayObject*> m_placed;       // waiting for a script object
    QHash<Object*, bool> m_constructed;         // objects whose constructor has run
    ClassObject* m_shapeClass = nullptr;
    ClassObject* m_buttonClass = nullptr;
    ClassObject* m_textClass = nullptr;
    QHash<DisplayObject*, Object*> m_objects;
    std::vector<Object*> m_timelines; // objects over sprites, in the order they were made
    QHash<Object*, QHash<int, Value>> m_frameScripts; // frame (from 1) -> function
    QHash<Object*, int> m_lastScriptFrame;
    std::unordered_map<DisplayObject*, std::unique_ptr<DisplayObject>> m_orphans;
    QHash<QString, std::vector<Object*>> m_frameListeners; // broadcast type -> objects, first listener first
    std::deque<DisplayObject*> m_timelineOrphans; // taken out by the timeline, oldest first
    ClassObject* m_stageClass = nullptr;
    ClassObject* m_interactiveClass = nullptr;
    ClassObject* m_morphShapeClass = nullptr;
    ClassObject* m_staticTextClass = nullptr;
    QSet<ClassObject*> m_nativeDisplayClasses;
    ClassObject* m_containerClass = nullptr;
    Object* m_stageObject = nullptr;
    int m_afterFrames = 0;
    struct TimerState {
        Object* timer = nullptr;
        double delay = 0;
        int repeatCount = 0;
        int currentCount = 0;
        bool running = false;
        double nextMs = 0;
        // setInterval and setTimeout: the function called, with its arguments,
        // instead of an event sent; `id` is what clearInterval takes.
        Value callback;
        std::vector<Value> arguments;
        std::uint32_t id = 0;
    };
    std::uint32_t m_lastIntervalId = 0;
    std::vector<std::shared_ptr<TimerState>> m_timers;
    double clockMs() const;
};

} // namespace swf::avm2
