#include "support/ScriptSandbox.h"

#include "swf/Playback.h"
#include "swf/io/ByteWriter.h"
#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/StageScripts.h"

namespace swf::avm1 {

namespace {

class SandboxScripts : public StageScripts {
public:
    SandboxScripts(Stage& stage, SandboxRun& run) : StageScripts(stage), m_run(run) { }
    void scriptFault(const QString& what) override { m_run.faults.push_back(what); }

private:
    SandboxRun& m_run;
};

} // namespace

QByteArray movieWithActions(const QByteArray& actions, int version, const QByteArray& secondFrame)
{
    QByteArray m;
    m.append("FWS", 3);
    m.append(char(version));
    putU32(m, 0);             // file length, patched below
    m.append(char(0x00));     // stage rectangle with 0-bit fields
    putU16(m, 12 << 8);       // 12 frames a second
    putU16(m, secondFrame.isEmpty() ? 1 : 2); // frame count
    for (const QByteArray* frame : { &actions, &secondFrame }) {
        if (frame == &secondFrame && secondFrame.isEmpty())
            break;
        putU16(m, (12 << 6) | 0x3F); // DoAction, long length form
        putU32(m, uint32_t(frame->size()));
        m.append(*frame);
        putU16(m, 1 << 6);           // ShowFrame
    }
    putU16(m, 0);             // End
    uint32_t length = uint32_t(m.size());
    for (int i = 0; i < 4; ++i)
        m[4 + i] = char((length >> (8 * i)) & 0xFF);
    return m;
}

SandboxRun runInSandbox(const QByteArray& actions, const SandboxOptions& options)
{
    SandboxRun run;
    auto playback = Playback::fromBytes(movieWithActions(actions, options.version, options.secondFrame));
    if (!playback)
        return run;
    run.loaded = true;
    Stage& stage = playback.value()->stage();
    SandboxScripts scripts(stage, run);
    scripts.interpreter().setActionBudget(options.budget);
    scripts.interpreter().setFrameBudget(options.budget * 4);
    scripts.interpreter().setMaxCallDepth(options.maxCallDepth);
    scripts.setTraceSink([&run](const QString& line) { run.trace.push_back(line); });
    stage.setScriptRunner(&scripts);
    stage.restart();
    scripts.flush();
    const double frameMs = 1000.0 / playback.value()->frameRate();
    for (int i = 1; i < options.frames && !scripts.quitRequested(); ++i) {
        stage.tick();
        scripts.afterTick(i * frameMs);
    }
    run.quit = scripts.quitRequested();
    run.actions = scripts.interpreter().actionsExecuted();
    stage.setScriptRunner(nullptr);
    return run;
}

} // namespace swf::avm1
