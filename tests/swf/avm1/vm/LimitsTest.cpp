// Runaway scripts: each is stopped, reported, and the movie goes on.

#include "support/Assembler.h"

#include "support/ScriptSandbox.h"

#include <gtest/gtest.h>

using namespace swf::avm1;
using namespace swf::avm1::test;

TEST(Limits, EndlessLoopIsStoppedAndTheMovieGoesOn)
{
    // Frame 1: trace("start"); while (true) {}   Frame 2: trace("frame 2")
    Asm code;
    code.push({ "start" }).trace().jump(-5).end();
    SandboxOptions options;
    options.budget = 100000;
    options.frames = 4;
    options.secondFrame = Asm().push({ "frame 2" }).trace().end().bytes();
    SandboxRun run = runInSandbox(code.bytes(), options);
    EXPECT_EQ(run.trace, QStringList({ "start", "frame 2", "start", "frame 2" }));
    ASSERT_EQ(run.faults.size(), 2);
    EXPECT_TRUE(run.faults[0].contains(QLatin1String("budget")));
    EXPECT_LE(run.actions, 2u * 100001u + 10);
}

TEST(Limits, DeepRecursionIsStopped)
{
    // function f() { f(); }  f(); trace("after") is not reached, the fault is reported once.
    Asm body;
    body.push({ 0, "f" }).callFunction().pop();
    Asm code;
    code.function("f", {}, body).push({ 0, "f" }).callFunction().pop().push({ "after" }).trace().end();
    SandboxRun run = runInSandbox(code.bytes());
    EXPECT_TRUE(run.trace.isEmpty());
    ASSERT_EQ(run.faults.size(), 1);
    EXPECT_TRUE(run.faults[0].contains(QLatin1String("nested too deeply")));
}

TEST(Limits, BadConstantIndexAbortsOnlyItsBlock)
{
    Asm code;
    code.push({ "before" }).trace().constants({ "a" }).pushConstant(3).trace().push({ "not reached" }).trace().end();
    SandboxOptions options;
    options.frames = 2;
    options.secondFrame = Asm().push({ "next" }).trace().end().bytes();
    SandboxRun run = runInSandbox(code.bytes(), options);
    EXPECT_EQ(run.trace, QStringList({ "before", "next" }));
    ASSERT_EQ(run.faults.size(), 1);
    EXPECT_TRUE(run.faults[0].contains(QLatin1String("outside the pool")));
}

TEST(Limits, EmptyStackPopsGiveUndefinedAndHugeCountsAllocateNothing)
{
    Asm lenient;
    lenient.trace().end(); // trace() of nothing
    SandboxRun run = runInSandbox(lenient.bytes());
    EXPECT_EQ(run.trace, QStringList({ "undefined" }));
    EXPECT_TRUE(run.faults.isEmpty());

    // InitArray of a billion values, then a call claiming four billion
    // arguments: neither sizes anything by its count, and the block goes on.
    Asm hostile;
    hostile.push({ 1000000000 }).op(0x42).trace()
        .push({ 4294967295.0, "f" }).callFunction().trace()
        .push({ "still running" }).trace().end();
    run = runInSandbox(hostile.bytes());
    EXPECT_EQ(run.trace, QStringList({ "undefined", "undefined", "still running" }));
    EXPECT_TRUE(run.faults.isEmpty());
}

TEST(Limits, FscommandQuitEndsTheRun)
{
    Asm code;
    code.push({ "FSCommand:quit", "" }).record(0x9A, QByteArray(1, 0)).push({ "traced" }).trace().end();
    SandboxOptions options;
    options.frames = 5;
    SandboxRun run = runInSandbox(code.bytes(), options);
    EXPECT_TRUE(run.quit);
    EXPECT_EQ(run.trace, QStringList({ "traced" }));
}
