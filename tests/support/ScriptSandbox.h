#pragma once

// Runs an action block inside a minimal one-frame movie on a real stage: the
// way the fuzzer, the regression tests and the benchmark drive the script
// machine without a movie file.

#include <QByteArray>
#include <QStringList>

#include <cstdint>

namespace swf::avm1 {

struct SandboxRun {
    QStringList trace;      // trace() lines in order
    QStringList faults;     // blocks aborted, with the reason
    bool loaded = false;    // the movie around the block loaded
    bool quit = false;      // fscommand("quit") was called
    uint64_t actions = 0;   // actions executed
};

struct SandboxOptions {
    int version = 8;
    int frames = 1;                       // frames shown, the first included
    uint64_t budget = uint64_t(1) << 22;  // actions per block before it is stopped
    int maxCallDepth = 256;
    QByteArray secondFrame;               // actions of a second frame, if any
};

// A movie whose first frame's DoAction is `actions`; with `secondFrame`, a
// second frame carries those actions.
QByteArray movieWithActions(const QByteArray& actions, int version, const QByteArray& secondFrame = {});
SandboxRun runInSandbox(const QByteArray& actions, const SandboxOptions& options = {});

} // namespace swf::avm1
