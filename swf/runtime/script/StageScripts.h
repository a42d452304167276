#pragma once

// The script machine wired to a stage: runs the frame, init and clip-event
// actions the timelines hand over, gives scripts MovieClip objects over the
// sprite instances, and collects trace output and fscommands.

#include "swf/runtime/ScriptRunner.h"
#include "swf/runtime/script/Interpreter.h"

#include <QHash>
#include <QSet>

#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>

namespace swf {

class Stage;

namespace script {

class SpriteClip;

class StageScripts : public ScriptRunner, public ScriptHost {
public:
    explicit StageScripts(Stage& stage);
    ~StageScripts() override;

    Interpreter& interpreter() { return *m_vm; }
    void setTraceSink(std::function<void(const QString&)> sink) { m_traceSink = std::move(sink); }
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
    void clipEvent(DisplayObject& instance, ClipEvent event, const QByteArray& clipActions) override;
    void instanceRemoved(DisplayObject& instance) override;

    // ScriptHost
    void trace(const QString& line) override;
    void scriptFault(const QString& what) override;
    void fscommand(const QString& command, const QString& args) override;
    double timeMs() override { return m_nowMs; }
    ClipObject* level(int n) override;

    // The script object of a sprite instance (created on first use).
    SpriteClip* clipFor(SpriteInstance& sprite);
    Stage& stage() { return m_stage; }

private:
    struct Pending {
        std::shared_ptr<const Block> block;
        SpriteInstance* timeline;
    };
    std::shared_ptr<const Block> decode(const QByteArray& actions);
    void enqueue(SpriteInstance& timeline, const QByteArray& actions);
    void drain();
    void installMovieClip();
    void installStageObjects();

    Stage& m_stage;
    std::unique_ptr<Interpreter> m_vm;
    std::function<void(const QString&)> m_traceSink;
    std::unordered_map<const DisplayObject*, SpriteClip*> m_clips;
    QSet<const DisplayObject*> m_clipsAlive; // sprite instances the stage has shown us and not removed
    QHash<QByteArray, std::shared_ptr<const Block>> m_decoded;
    std::deque<Pending> m_queue;
    bool m_draining = false;
    bool m_quit = false;
    double m_nowMs = 0;
    int m_faults = 0;
};

} // namespace script
} // namespace swf
