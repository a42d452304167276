// Where scripts may put clips and where they stay: the depth ranges of
// creation and swapDepths, the depth a removed clip waits at for its unload
// handler, what a rewind keeps, and the bounds of what a clip draws.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// createEmptyMovieClip("a", 1); a.swapDepths(to); trace(a.getDepth())
S swappedTo(double to)
{
    S s;
    s.call("createEmptyMovieClip", { "a", 1 }).pop();
    s.method("a", "swapDepths", { to }).pop();
    s.method("a", "getDepth").trace();
    return s;
}

// createEmptyMovieClip("c", depth); trace(c); trace(c.getDepth())
S createdAt(int depth)
{
    S s;
    s.call("createEmptyMovieClip", { "c", depth }).pop();
    s.var("c").trace();
    s.method("c", "getDepth").trace();
    return s;
}

// a = createEmptyMovieClip("a", depth); a.onUnload = function () { trace(this.getDepth()); };
// a.removeMovieClip(); trace("removed")
S removedAt(int depth)
{
    S s;
    s.assign("a", S().call("createEmptyMovieClip", { "a", depth }));
    s.setMember("a", "onUnload", S().function("", {}, S().method("this", "getDepth").trace()));
    s.method("a", "removeMovieClip").pop();
    s.value("removed").trace();
    return s;
}

// createEmptyMovieClip("a", 1) drawn with lineStyle(width) from (0,0) to `to`;
// b = a.getBounds(a); trace each edge
S drawnBounds(int width, std::pair<int, int> to)
{
    S s;
    s.call("createEmptyMovieClip", { "a", 1 }).pop();
    s.method("a", "lineStyle", { width }).pop();
    s.method("a", "moveTo", { 0, 0 }).pop();
    s.method("a", "lineTo", { to.first, to.second }).pop();
    s.assign("b", S().var("a").methodWith("a", "getBounds", 1));
    for (const char* edge : { "xMin", "xMax", "yMin", "yMax" })
        s.member("b", { edge }).trace();
    return s;
}

} // namespace

TEST(ClipDepths, SwapDepthsReachesFarAboveTheCreationLimit)
{
    runRows({
        { "just above creation's highest", 7, swappedTo(1048576), { "1048576" } },
        { "the highest", 7, swappedTo(2130690044), { "2130690044" } },
        { "one past the highest is ignored", 7, swappedTo(2130690045), { "1" } },
        { "the lowest timeline depth", 7, swappedTo(-16384), { "-16384" } },
        { "below the timeline is ignored", 7, swappedTo(-16385), { "1" } },
    });
}

TEST(ClipDepths, ClipsMayBeMadeBelowTheTimelineDepths)
{
    runRows({
        { "one below", 7, createdAt(-16385), { "_level0.c", "-16385" } },
        { "far below", 7, createdAt(-1000000), { "_level0.c", "-1000000" } },
        // Creation stops where swapDepths does not.
        { "above the highest", 7, createdAt(1048576), { "undefined", "undefined" } },
    });
}

TEST(ClipDepths, ARemovedClipWaitsForItsUnloadBelowEveryDepth)
{
    // Script depth d waits at -32769 - d while its onUnload runs, after the frame's script.
    runRows({
        { "depth 0", 7, removedAt(0), { "removed", "-32769" } },
        { "depth 1000", 7, removedAt(1000), { "removed", "-33769" } },
        // Timeline depths are out of removeMovieClip's reach: nothing unloads.
        { "timeline depth", 7, removedAt(-16384), { "removed" } },
    });
}

TEST(ClipDepths, ARewindKeepsScriptClipsAboveAndBelowTheTimeline)
{
    // Frame 1: if (done) { trace(low); trace(mid); trace(high); }
    //          else { done = true; createEmptyMovieClip at -16385, -1 and 0 }
    // Frame 2 is empty; the third frame shown is frame 1 again, after a rewind.
    Asm create;
    create.push({ "done", true }).setVariable();
    for (auto [name, depth] : { std::pair { "low", -16385 }, { "mid", -1 }, { "high", 0 } })
        create.push({ depth, name, 2, "createEmptyMovieClip" }).callFunction().pop();
    Asm report;
    for (const char* name : { "low", "mid", "high" })
        report.push({ name }).getVariable().trace();
    constexpr int JumpSize = 5; // the Jump record over the report
    Asm a;
    a.push({ "done" }).getVariable().branchIf(int16_t(create.bytes().size() + JumpSize));
    a.raw(create.bytes()).jump(int16_t(report.bytes().size()));
    a.raw(report.bytes()).end();
    SandboxOptions options;
    options.version = 7;
    options.frames = 3;
    options.secondFrame = Asm().end().bytes();
    SandboxRun run = runInSandbox(a.bytes(), options);
    ASSERT_TRUE(run.loaded);
    // The clip at a timeline depth went with the rebuild of frame 1.
    EXPECT_EQ(run.trace, QStringList({ "_level0.low", "undefined", "_level0.high" }));
}

TEST(ClipDepths, DrawnLinesCountWithTheirWholeThickness)
{
    runRows({
        { "horizontal", 7, drawnBounds(4, { 100, 0 }), { "-4", "104", "-4", "4" } },
        { "diagonal", 7, drawnBounds(2, { 30, 50 }), { "-2", "32", "-2", "52" } },
        // A hairline adds nothing.
        { "hairline", 7, drawnBounds(0, { 10, 20 }), { "0", "10", "0", "20" } },
    });
}

TEST(ClipDepths, BoundsComeAsABareObject)
{
    // b = this.getBounds(); trace(typeof b.hasOwnProperty); trace(b.xMin)
    S s;
    s.assign("b", S().method("this", "getBounds"));
    s.member("b", { "hasOwnProperty" }).typeOf().trace();
    s.member("b", { "xMin" }).trace();
    // An empty clip answers with the far corner of the twip range.
    runRows({ { "empty root", 7, s, { "undefined", "6710886.35" } } });
}
