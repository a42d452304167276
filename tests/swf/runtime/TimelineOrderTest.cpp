// The order in which frame actions, clip events and handlers run as the
// timelines advance, jump and loop.

#include "support/EventMovies.h"

using namespace events_test;

namespace {

// Sprite 2: three frames, each tracing "child N".
swfw::Sprite tracingSprite(int frames)
{
    swfw::Sprite sprite;
    for (int f = 1; f <= frames; ++f) {
        sprite.doAction(traceBlock(qPrintable(QStringLiteral("child %1").arg(f))));
        sprite.showFrame();
    }
    return sprite;
}

} // namespace

TEST(TimelineOrder, FirstFrameFollowsTagOrderLaterFramesRunChildrenFirst)
{
    swfw::Movie movie = baseMovie();
    movie.defineSprite(2, tracingSprite(3));
    movie.doAction(traceBlock("root 1"));
    placeNamed(movie, 1, 2, "kid");
    movie.showFrame();
    movie.doAction(traceBlock("root 2"));
    movie.showFrame();
    movie.doAction(traceBlock("root 3"));
    movie.showFrame();
    Player player(movie.bytes());
    ASSERT_TRUE(player.ok());
    // Frame 1: the parent's block stands before the placement, so it runs first.
    EXPECT_EQ(player.take(), QStringList({ "root 1", "child 1" }));
    // Afterwards a child that was already there runs ahead of its parent.
    player.frames(1);
    EXPECT_EQ(player.take(), QStringList({ "child 2", "root 2" }));
    player.frames(1);
    EXPECT_EQ(player.take(), QStringList({ "child 3", "root 3" }));
    // The root loops and keeps the clip it placed in frame 1: no new "child 1"
    // from a fresh instance, the old one loops on its own.
    player.frames(1);
    EXPECT_EQ(player.take(), QStringList({ "child 1", "root 1" }));
}

TEST(TimelineOrder, LoadEventRunsWhereThePlacementStandsAmongTheFrameActions)
{
    swfw::Movie movie = baseMovie();
    swfw::Sprite empty;
    empty.showFrame();
    movie.defineSprite(2, empty);
    placeNamed(movie, 1, 2, "before", 0, 0, { { 0x01, traceBlock("load before") } });
    movie.doAction(traceBlock("frame"));
    placeNamed(movie, 2, 2, "after", 0, 0, { { 0x01, traceBlock("load after") } });
    movie.showFrame();
    Player player(movie.bytes());
    ASSERT_TRUE(player.ok());
    EXPECT_EQ(player.take(), QStringList({ "load before", "frame", "load after" }));
}

TEST(TimelineOrder, ClipEventsAndHandlersSetByScripts)
{
    // Frame 1 sets onLoad, onEnterFrame and onUnload on the clip it places;
    // frame 3 removes it. Clip actions answer each event ahead of the handler.
    swfw::Movie movie = baseMovie();
    swfw::Sprite empty;
    empty.showFrame();
    movie.defineSprite(2, empty);
    auto handler = [](const char* event) {
        return Asm().push({ "kid" }).getVariable().push({ event })
            .function("", {}, Asm().push({ event }).trace().end())
            .setMember();
    };
    Asm frame1;
    frame1.raw(handler("onLoad").bytes()).raw(handler("onEnterFrame").bytes()).raw(handler("onUnload").bytes()).end();
    movie.doAction(frame1.bytes());
    placeNamed(movie, 1, 2, "kid", 0, 0,
        { { 0x01, traceBlock("load") }, { 0x02, traceBlock("enterFrame") }, { 0x04, traceBlock("unload") } });
    movie.showFrame();
    movie.showFrame();
    movie.removeObject2(1);
    movie.showFrame();
    Player player(movie.bytes());
    ASSERT_TRUE(player.ok());
    EXPECT_EQ(player.take(), QStringList({ "load", "onLoad" }));
    player.frames(1);
    EXPECT_EQ(player.take(), QStringList({ "enterFrame", "onEnterFrame" }));
    // Removed by its parent's frame before its enterFrame could run: only the unload.
    player.frames(1);
    EXPECT_EQ(player.take(), QStringList({ "unload", "onUnload" }));
}

TEST(TimelineOrder, GotoRunsTheTargetFrameAndKeepsWhatItStillHolds)
{
    // Frame 1 jumps to frame 3 past a frame that places a tracing clip; frame
    // 4 jumps back to frame 2, where that clip stands already.
    swfw::Movie movie = baseMovie();
    movie.defineSprite(2, tracingSprite(1));
    movie.doAction(Asm().push({ "goto 3" }).trace().record(0x81, QByteArray("\x02\x00", 2)).op(0x06).end().bytes());
    movie.showFrame();
    placeNamed(movie, 1, 2, "kid");
    movie.doAction(traceBlock("frame 2"));
    movie.showFrame();
    movie.doAction(traceBlock("frame 3"));
    movie.showFrame();
    movie.doAction(Asm().push({ "back to 2" }).trace().record(0x81, QByteArray("\x01\x00", 2)).end().bytes());
    movie.showFrame();
    Player player(movie.bytes());
    ASSERT_TRUE(player.ok());
    // The skipped frame's clip is built (its first frame runs), the skipped frame's actions are not.
    EXPECT_EQ(player.take(), QStringList({ "goto 3", "child 1", "frame 3" }));
    player.frames(1);
    EXPECT_EQ(player.take(), QStringList({ "back to 2", "frame 2" }));
    // The goto stopped the movie on frame 2.
    player.frames(2);
    EXPECT_EQ(player.take(), QStringList());
    EXPECT_EQ(player.playback().currentFrame(), 2);
}

TEST(TimelineOrder, InitActionsAndRegisteredClassComeBeforeFrameActions)
{
    // Sprite 2 is exported as "Widget"; an init action registers a class for
    // it whose constructor and prototype onLoad trace.
    swfw::Movie movie = baseMovie();
    swfw::Sprite empty;
    empty.showFrame();
    movie.defineSprite(2, empty);
    QByteArray exports;
    u16(exports, 1);
    u16(exports, 2);
    exports.append("Widget");
    exports.append('\0');
    movie.tag(56, exports);
    Asm init;
    init.push({ "Widget" })
        .function("", {}, Asm().push({ "construct" }).trace().end())
        .setVariable()
        .push({ "Widget" }).getVariable().push({ "prototype" }).getMember()
        .push({ "onLoad" }).function("", {}, Asm().push({ "proto onLoad" }).trace().end()).setMember()
        .push({ "Widget" }).getVariable().push({ "Widget" }).push({ 2 }).push({ "Object" }).getVariable()
        .push({ "registerClass" }).callMethod().pop()
        .end();
    QByteArray initTag;
    u16(initTag, 2);
    initTag.append(init.bytes());
    movie.doAction(traceBlock("frame"));
    placeNamed(movie, 1, 2, "w");
    movie.tag(59, initTag);
    movie.showFrame();
    Player player(movie.bytes());
    ASSERT_TRUE(player.ok());
    EXPECT_EQ(player.take(), QStringList({ "construct", "frame", "proto onLoad" }));
}

TEST(TimelineOrder, UnloadWorkSeesTheRemovedClipWhereItStood)
{
    // Frame 2 removes "first" and places "second" at the same depth. The
    // unload actions of "first" run after the placement, yet inside them
    // `this` is still "first" under the root and the root is reachable.
    swfw::Movie movie = baseMovie();
    swfw::Sprite empty;
    empty.showFrame();
    movie.defineSprite(2, empty);
    // trace(_root._currentframe + ": unload " + this)
    const QByteArray unload = Asm()
                                  .push({ "_root" }).getVariable().push({ "_currentframe" }).getMember()
                                  .push({ ": unload " }).add2()
                                  .push({ "this" }).getVariable().add2()
                                  .trace().end().bytes();
    placeNamed(movie, 1, 2, "first", 0, 0, { { 0x04, unload } });
    movie.showFrame();
    movie.removeObject2(1);
    placeNamed(movie, 1, 2, "second", 0, 0, { { 0x01, traceBlock("load second") }, { 0x04, unload } });
    movie.showFrame();
    movie.showFrame();
    Player player(movie.bytes());
    ASSERT_TRUE(player.ok());
    EXPECT_EQ(player.take(), QStringList());
    player.frames(1);
    EXPECT_EQ(player.take(), QStringList({ "2: unload _level0.first", "load second" }));
    // Once its unload work has run the old clip is gone: "second" stays alone.
    player.frames(1);
    EXPECT_EQ(player.take(), QStringList());
}

// Children tick newest first, and among those born on the same tick the
// deepest first: a clip placed later at a lower depth runs ahead of older
// ones above it, whatever order the display list holds them in.
TEST(TimelineOrder, ChildrenTickNewestFirstThenDeepestFirst)
{
    swfw::Movie movie = baseMovie();
    swfw::Sprite named; // two frames, each tracing the clip's own name
    for (int f = 0; f < 2; ++f) {
        named.doAction(Asm().push({ "_name" }).getVariable().trace().end().bytes());
        named.showFrame();
    }
    movie.defineSprite(2, named);
    placeNamed(movie, 5, 2, "low");
    placeNamed(movie, 7, 2, "a");
    placeNamed(movie, 8, 2, "b");
    movie.showFrame();
    placeNamed(movie, 1, 2, "high"); // born one tick later, below the others
    movie.showFrame();
    placeNamed(movie, 3, 2, "mid"); // born later still, between them
    movie.showFrame();
    for (int f = 0; f < 3; ++f)
        movie.showFrame();
    Player player(movie.bytes());
    ASSERT_TRUE(player.ok());
    EXPECT_EQ(player.take(), QStringList({ "low", "a", "b" }));
    player.frames(1); // same birth: deepest first; the newcomer shows its first frame
    EXPECT_EQ(player.take(), QStringList({ "b", "a", "low", "high" }));
    player.frames(1);
    EXPECT_EQ(player.take(), QStringList({ "high", "b", "a", "low", "mid" }));
    player.frames(1);
    EXPECT_EQ(player.take(), QStringList({ "mid", "high", "b", "a", "low" }));
    // Nobody born since: the same order again.
    player.frames(1);
    EXPECT_EQ(player.take(), QStringList({ "mid", "high", "b", "a", "low" }));
}
