#include "support/ScriptSandbox.h"

#include "swf/Playback.h"
#include "swf/io/ByteWriter.h"
#include "swf/avm1/stage/StageScripts.h"

namespace swf::avm1 {

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
    PlaybackOptions playbackOptions;
    playbackOptions.limits.actionsPerBlock = options.budget;
    playbackOptions.limits.actionsPerFrame = options.budget * 4;
    playbackOptions.limits.maxCallDepth = options.maxCallDepth;
    playbackOptions.trace = [&run](const QString& line) { run.trace.push_back(line); };
    playbackOptions.fault = [&run](const QString& what) { run.faults.push_back(what); };
    auto opened = Playback::fromBytes(movieWithActions(actions, options.version, options.secondFrame), playbackOptions);
    if (!opened)
        return run;
    run.loaded = true;
    Playback& playback = *opened.value();
    for (int i = 1; i < options.frames && !playback.quitRequested(); ++i)
        playback.nextFrame();
    run.quit = playback.quitRequested();
    run.actions = playback.scripts()->interpreter().actionsExecuted();
    return run;
}

} // namespace swf::avm1
