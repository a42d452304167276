// The objects a movie finds on the stage beside its clips: Stage.align,
// Key as a broadcaster, ContextMenu, the flash packages by movie version and
// the equality of flash.geom objects.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// Stage.align = value; trace(Stage.align)
S alignReadsBack(const char* value)
{
    return std::move(S().setMember("Stage", "align", S().value(value)).member("Stage", { "align" }).trace());
}

// G = flash.geom.<className>; r = new G(1, 2, 3, 4); q = <makeQ>; trace(r.equals(q))
S equalsAfter(const char* className, const S& makeQ)
{
    S s;
    s.assign("G", S().member("flash", { "geom", className }))
        .assign("r", S().construct("G", { 1, 2, 3, 4 }))
        .then(makeQ)
        .var("q")
        .methodWith("r", "equals", 1)
        .trace();
    return s;
}

} // namespace

TEST(StageObjects, AlignKeepsEachKnownEdgeOnceInOrder)
{
    runRows({
        { "one edge", 8, alignReadsBack("R"), { "R" } },
        { "reordered", 8, alignReadsBack("BT"), { "TB" } },
        { "repeated", 8, alignReadsBack("RLR"), { "LR" } },
        { "all four, lower case", 8, alignReadsBack("tlrb"), { "LTRB" } },
        // Letters it does not know are dropped, the known ones kept in any case.
        { "noise", 6, alignReadsBack("xRmoviesBq"), { "RB" } },
        { "nothing known", 5, alignReadsBack("xyz"), { "" } },
    });
}

TEST(StageObjects, KeyIsAFixedBroadcaster)
{
    // o = {}; o.onKeyDown = function (code) { trace(code); }; Key.addListener(o);
    // Key.broadcastMessage("onKeyDown", 65)
    S hears = S().assign("o", S().object({}));
    hears.setMember("o", "onKeyDown", S().function("", { "code" }, S().var("code").trace()))
        .var("o")
        .methodWith("Key", "addListener", 1)
        .trace()
        .member("Key", { "_listeners", "length" })
        .trace()
        .method("Key", "broadcastMessage", { "onKeyDown", 65 })
        .trace();
    runRows({
        { "broadcast", 8, hears, { "true", "1", "65", "true" } },
        // Its members stay: a delete fails and the method is still there.
        { "fixed", 8, S().remove("Key", "isDown").trace().member("Key", { "isDown" }).typeOf().trace(), { "false", "function" } },
        { "accessibility", 8, S().method("Key", "isAccessible").trace(), { "false" } },
    });
}

TEST(StageObjects, FlashPackagesCameWithVersionEight)
{
    S probe = S().var("flash").typeOf().trace();
    runRows({
        { "version 7", 7, probe, { "undefined" } },
        { "version 8", 8, probe, { "object" } },
    });
}

TEST(StageObjects, GeomEqualityWantsTheSameClassAndEqualMembers)
{
    runRows({
        { "same members", 8, equalsAfter("Rectangle", S().assign("q", S().construct("G", { 1, 2, 3, 4 }))), { "true" } },
        { "one member off", 8, equalsAfter("Rectangle", S().assign("q", S().construct("G", { 1, 2, 3, 4.5 }))), { "false" } },
        // The same members on an object of no class are not equal.
        { "plain object", 8, equalsAfter("Rectangle", S().assign("q", S().object({ { "x", 1 }, { "y", 2 }, { "width", 3 }, { "height", 4 } }))), { "false" } },
        // Members compare with ==: a string "1" equals the number 1.
        { "point, string member", 8, equalsAfter("Point", S().assign("q", S().construct("G", { "1", 2 }))), { "true" } },
    });
}

TEST(StageObjects, ContextMenuCopiesShareTheBuiltInItems)
{
    // m = new ContextMenu(); c = m.copy(); c.builtInItems.zoom = false; trace(m.builtInItems.zoom)
    S s = S().assign("m", S().construct("ContextMenu"));
    s.assign("c", S().method("m", "copy"))
        .assign("items", S().member("c", { "builtInItems" }))
        .setMember("items", "zoom", S().value(false))
        .member("m", { "builtInItems", "zoom" })
        .trace()
        .member("m", { "builtInItems", "save" })
        .trace()
        .member("c", { "customItems", "length" })
        .trace();
    S item = S().assign("i", S().construct("ContextMenuItem", { "Hi" }));
    item.member("i", { "enabled" }).trace().member("i", { "separatorBefore" }).trace();
    item.assign("j", S().method("i", "copy")).member("j", { "caption" }).trace();
    runRows({
        { "menu copy", 8, s, { "false", "true", "0" } },
        { "item defaults and copy", 8, item, { "true", "false", "Hi" } },
    });
}

TEST(StageObjects, TimersDueInOneFrameRunInTheOrderTheyFellDue)
{
    // a = setTimeout(late, 60); setTimeout(clearA, 20): at 12 frames a second
    // both fall due before the second frame. clearA fell due first, so `late`
    // never runs, although it was set first.
    S s;
    s.function("late", {}, S().value("late").trace())
        .function("clearA", {}, S().var("a").callWith("clearTimeout", 1).pop().value("cleared").trace())
        .assign("a", S().value(60).var("late").callWith("setTimeout", 2))
        .value(20).var("clearA").callWith("setTimeout", 2).pop()
        .value(10).var("late").callWith("setTimeout", 2).pop();
    SandboxOptions options;
    options.frames = 3;
    SandboxRun run = runInSandbox(s.program(), options);
    ASSERT_TRUE(run.loaded);
    EXPECT_EQ(run.trace, QStringList({ "late", "cleared" })) << "the 10 ms timer, then the 20 ms one; the cleared 60 ms one never";
}

TEST(StageObjects, DuplicateActionTakesADisplayListDepth)
{
    // createEmptyMovieClip("foo", 10); duplicateMovieClip(foo, "foo2", 40):
    // the compiled action carries 40 + 16384, the method takes 60 as it is.
    Asm a;
    a.push({ 10, "foo", 2, "this" }).getVariable().push({ "createEmptyMovieClip" }).callMethod().pop();
    a.push({ "foo", "foo2", 40 + 16384 }).op(0x24); // CloneSprite
    a.push({ 0, "foo2" }).getVariable().push({ "getDepth" }).callMethod().trace();
    a.push({ 60, "foo3", 2, "foo" }).getVariable().push({ "duplicateMovieClip" }).callMethod().pop();
    a.push({ 0, "foo3" }).getVariable().push({ "getDepth" }).callMethod().trace();
    a.end();
    SandboxRun run = runInSandbox(a.bytes());
    ASSERT_TRUE(run.loaded);
    EXPECT_EQ(run.trace, QStringList({ "40", "60" }));
}
