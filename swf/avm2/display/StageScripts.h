#pragma once

// The ActionScript 3 machine bound to a stage: the bytecode of DoABC tags is
// loaded as the root timeline reaches it, SymbolClass names the document
// class (built over the root) and the classes of sprites, and the frame
// scripts registered with addFrameScript run as their timelines enter a frame.

#include "swf/avm2/vm/Machine.h"
#include "swf/runtime/ScriptRunner.h"

#include <QHash>

#include <functional>
#include <memory>

namespace swf {
class Stage;
}

namespace swf::avm2 {

class StageScripts final : public ScriptRunner {
public:
    explicit StageScripts(Stage& stage);
    ~StageScripts() override;

    Machine& machine() { return *m_machine; }
    void setTraceSink(std::function<void(const QString&)> sink) { m_machine->setTraceSink(std::move(sink)); }
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

    // The script object of a display object, null when none was made.
    Object* objectFor(DisplayObject* display) const { return m_objects.value(display, nullptr); }

private:
    void installDisplayClasses();
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
};

} // namespace swf::avm2
