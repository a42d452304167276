// Mouse and keys reaching the movie: buttons and their actions, clips that
// act as buttons, clip events, the Key and Mouse objects, and timers.

#include "support/EventMovies.h"

#include "swf/format/Button.h"
#include "swf/avm1/vm/Action.h"
#include "swf/avm1/stage/SpriteClip.h"

using namespace events_test;

namespace {

// Sets `name` on the object at `path` to a function that traces `text`
// (and, with `withArg`, its first argument).
Asm& setTracer(Asm& a, const char* path, const char* name, const char* text, bool withArg = false)
{
    Asm body;
    body.push({ text });
    if (withArg)
        body.push({ "a" }).getVariable().add2();
    body.trace().end();
    a.push({ path }).getVariable().push({ name });
    if (withArg)
        a.function("", { "a" }, body);
    else
        a.function("", {}, body);
    return a.setMember();
}

// A movie whose one frame places sprite 2 (holding the 40x40 square) as
// "clip" at (100, 100) and runs `script`; it stops there.
QByteArray clipMovie(const Asm& script, const std::vector<ClipAction>& actions = {})
{
    swfw::Movie movie = baseMovie();
    swfw::Sprite holder;
    holder.placeObject2(swfw::Placement::place(1, 1));
    holder.showFrame();
    movie.defineSprite(2, holder);
    placeNamed(movie, 1, 2, "clip", 100, 100, actions);
    movie.doAction(script.bytes());
    movie.showFrame();
    return movie.bytes();
}

} // namespace

TEST(InputEvents, ButtonActionsRunOnTheirTransitions)
{
    swfw::Movie movie = baseMovie();
    movie.tag(34, defineButton2(3, 1, {
        { swf::CondIdleToOverUp, traceBlock("over") },
        { swf::CondOverUpToOverDown, traceBlock("press") },
        { swf::CondOverDownToOverUp, traceBlock("release") },
        { swf::CondOverUpToIdle, traceBlock("out") },
        { swf::CondOutDownToIdle, traceBlock("release outside") },
        { uint16_t('k' << 9), traceBlock("key k") },
    }));
    placeNamed(movie, 1, 3, "btn", 20, 20);
    movie.doAction(Asm().op(0x07).end().bytes()); // stop
    movie.showFrame();
    Player player(movie.bytes());
    ASSERT_TRUE(player.ok());
    player.move(5, 5);
    EXPECT_FALSE(player.playback().cursorIsHand());
    player.move(30, 30);
    EXPECT_TRUE(player.playback().cursorIsHand());
    player.down(30, 30);
    player.up(30, 30);
    player.move(150, 150);
    EXPECT_EQ(player.take(), QStringList({ "over", "press", "release", "out" }));
    // Pressed, dragged off and let go outside.
    player.move(30, 30);
    player.down(30, 30);
    player.move(150, 150);
    player.up(150, 150);
    EXPECT_EQ(player.take(), QStringList({ "over", "press", "release outside" }));
    player.keyDown(Qt::Key_K, QStringLiteral("k"));
    player.keyDown(Qt::Key_J, QStringLiteral("j"));
    EXPECT_EQ(player.take(), QStringList({ "key k" }));
}

TEST(InputEvents, ClipWithButtonHandlersTakesThePointer)
{
    Asm script;
    setTracer(script, "clip", "onRollOver", "rollOver");
    setTracer(script, "clip", "onPress", "press");
    setTracer(script, "clip", "onRelease", "release");
    setTracer(script, "clip", "onRollOut", "rollOut");
    setTracer(script, "clip", "onDragOut", "dragOut");
    setTracer(script, "clip", "onDragOver", "dragOver");
    setTracer(script, "clip", "onReleaseOutside", "releaseOutside");
    script.end();
    Player player(clipMovie(script));
    ASSERT_TRUE(player.ok());
    player.move(110, 110);
    EXPECT_TRUE(player.playback().cursorIsHand());
    player.down(110, 110);
    player.move(10, 10);
    player.move(120, 120);
    player.up(120, 120);
    player.move(10, 10);
    EXPECT_EQ(player.take(), QStringList({ "rollOver", "press", "dragOut", "dragOver", "release", "rollOut" }));
    player.move(110, 110);
    player.down(110, 110);
    player.up(5, 5);
    EXPECT_EQ(player.take(), QStringList({ "rollOver", "press", "dragOut", "releaseOutside" }));
}

TEST(InputEvents, HandCursorAndEnabledAreTheScriptsToChoose)
{
    Asm script;
    setTracer(script, "clip", "onPress", "press");
    script.push({ "clip" }).getVariable().push({ "useHandCursor", false }).setMember().end();
    Player player(clipMovie(script));
    ASSERT_TRUE(player.ok());
    player.move(110, 110);
    EXPECT_FALSE(player.playback().cursorIsHand());
    player.down(110, 110);
    player.up(110, 110);
    EXPECT_EQ(player.take(), QStringList({ "press" }));

    Asm disabled;
    setTracer(disabled, "clip", "onPress", "press");
    disabled.push({ "clip" }).getVariable().push({ "enabled", false }).setMember().end();
    Player off(clipMovie(disabled));
    ASSERT_TRUE(off.ok());
    off.click(110, 110);
    EXPECT_FALSE(off.playback().cursorIsHand());
    EXPECT_EQ(off.take(), QStringList());
}

TEST(InputEvents, MouseClipEventsAndListenersHearTheWholeStage)
{
    // A listener object traces down, up, move and wheel; the clip's own
    // mouseDown clip action answers wherever the press lands.
    Asm script;
    script.push({ "l" }).push({ 0 }).push({ "Object" }).op(0x40).setVariable(); // l = new Object()
    setTracer(script, "l", "onMouseDown", "listener down");
    setTracer(script, "l", "onMouseUp", "listener up");
    setTracer(script, "l", "onMouseWheel", "wheel ", true);
    script.push({ "l" }).getVariable().push({ 1 }).push({ "Mouse" }).getVariable().push({ "addListener" }).callMethod().pop();
    script.end();
    Player player(clipMovie(script, { { 0x10, traceBlock("clip mouseDown") } }));
    ASSERT_TRUE(player.ok());
    player.down(5, 5);
    player.up(5, 5);
    player.wheel(3);
    EXPECT_EQ(player.take(), QStringList({ "clip mouseDown", "listener down", "listener up", "wheel 3" }));
}

TEST(InputEvents, KeyObjectFollowsTheKeyboard)
{
    // onKeyDown traces the code, the ascii and whether the key is down.
    Asm script;
    script.push({ "k" }).push({ 0 }).push({ "Object" }).op(0x40).setVariable();
    Asm down;
    down.push({ 0 }).push({ "Key" }).getVariable().push({ "getCode" }).callMethod()
        .push({ " " }).add2()
        .push({ 0 }).push({ "Key" }).getVariable().push({ "getAscii" }).callMethod().add2()
        .push({ " " }).add2()
        .push({ 65 }).push({ 1 }).push({ "Key" }).getVariable().push({ "isDown" }).callMethod().add2()
        .trace().end();
    script.push({ "k" }).getVariable().push({ "onKeyDown" }).function("", {}, down).setMember();
    setTracer(script, "k", "onKeyUp", "up");
    script.push({ "k" }).getVariable().push({ 1 }).push({ "Key" }).getVariable().push({ "addListener" }).callMethod().pop();
    script.end();
    Player player(clipMovie(script, { { 0x20000, traceBlock("keyPress space"), 32 } }));
    ASSERT_TRUE(player.ok());
    player.keyDown(Qt::Key_A, QStringLiteral("a"));
    EXPECT_EQ(player.take(), QStringList({ "65 97 true" }));
    player.keyUp(Qt::Key_A, QStringLiteral("a"));
    player.keyDown(Qt::Key_Left, QString());
    EXPECT_EQ(player.take(), QStringList({ "up", "37 0 false" }));
    player.keyUp(Qt::Key_Left, QString());
    player.take();
    // The clip's keyPress record answers its own key only.
    player.keyDown(Qt::Key_Space, QStringLiteral(" "));
    EXPECT_EQ(player.take(), QStringList({ "keyPress space", "32 32 false" }));
    EXPECT_TRUE(player.scripts().keyIsDown(32));
    player.keyUp(Qt::Key_Space, QStringLiteral(" "));
    EXPECT_FALSE(player.scripts().keyIsDown(32));
}

TEST(InputEvents, IntervalsAndTimeoutsFireOnTheFrameClock)
{
    // At 10 fps frame N is shown at (N - 1) * 100 ms: an interval of 250 ms
    // set in frame 1 fires on the first frames at or past 250 and 500 ms
    // (4 and 6), a 150 ms timeout once, on frame 3.
    Asm script;
    script.push({ "n" }).push({ 0 }).setVariable();
    Asm tick;
    tick.push({ "n" }).push({ "n" }).getVariable().push({ 1 }).add2().setVariable()
        .push({ "interval " }).push({ "n" }).getVariable().add2().trace().end();
    script.push({ 250 }).function("", {}, tick).push({ 2 }).push({ "setInterval" }).callFunction().pop();
    script.push({ 150 }).function("", {}, Asm().push({ "timeout" }).trace().end()).push({ 2 }).push({ "setTimeout" })
        .callFunction().pop();
    script.end();
    Player player(clipMovie(script));
    ASSERT_TRUE(player.ok());
    QStringList byFrame;
    for (int frame = 2; frame <= 8; ++frame) { // 800 ms, the third firing, is frame 9
        player.frames(1);
        for (const QString& line : player.take())
            byFrame << QStringLiteral("%1: %2").arg(frame).arg(line);
    }
    EXPECT_EQ(byFrame, QStringList({ "3: timeout", "4: interval 1", "6: interval 2" }));
}

TEST(InputEvents, ClipButtonShowsItsStateFramesAndHonoursItsHitArea)
{
    // Sprite 4: frames labelled _up, _over and _down, stopped on the first.
    swfw::Movie movie = baseMovie();
    swfw::Sprite holder;
    holder.placeObject2(swfw::Placement::place(1, 1));
    holder.showFrame();
    movie.defineSprite(2, holder);
    swfw::Sprite states;
    states.placeObject2(swfw::Placement::place(1, 1));
    states.frameLabel("_up");
    states.doAction(Asm().op(0x07).end().bytes());
    states.showFrame();
    states.frameLabel("_over");
    states.showFrame();
    states.frameLabel("_down");
    states.showFrame();
    movie.defineSprite(4, states);
    placeNamed(movie, 1, 4, "clip", 100, 100);
    placeNamed(movie, 2, 2, "area", 10, 10);
    Asm script;
    setTracer(script, "clip", "onRelease", "release");
    script.end();
    movie.doAction(script.bytes());
    movie.showFrame();
    Player player(movie.bytes());
    ASSERT_TRUE(player.ok());
    auto* clip = player.playback().stage().root().childAt(1)->asSprite();
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->currentFrame(), 1);
    player.move(110, 110);
    EXPECT_EQ(clip->currentFrame(), 2);
    player.down(110, 110);
    EXPECT_EQ(clip->currentFrame(), 3);
    player.up(110, 110);
    EXPECT_EQ(clip->currentFrame(), 2);
    player.move(190, 190);
    EXPECT_EQ(clip->currentFrame(), 1);
    EXPECT_EQ(player.take(), QStringList({ "release" }));
    // The pointer in the clip's own space, as _xmouse and _ymouse give it.
    player.move(130, 125);
    EXPECT_EQ(player.scripts().mouseIn(*clip), QPointF(30, 25));

    // With another clip as its hit area, only that clip's shape takes the pointer.
    Asm area;
    area.push({ "clip" }).getVariable().push({ "hitArea" }).push({ "area" }).getVariable().setMember().end();
    auto block = swf::avm1::decodeBlock(area.bytes(), 8);
    ASSERT_TRUE(block.ok());
    player.scripts().interpreter().run(*block.release(), player.scripts().clipFor(player.playback().stage().root()));
    player.click(110, 110);
    EXPECT_EQ(player.take(), QStringList());
    player.click(20, 20);
    EXPECT_EQ(player.take(), QStringList({ "release" }));
}

TEST(InputEvents, StageSizeFollowsTheViewOnlyWithoutScaling)
{
    // A listener traces Stage.width whenever the stage is resized.
    Asm script;
    script.push({ "s" }).push({ 0 }).push({ "Object" }).op(0x40).setVariable();
    Asm resized;
    resized.push({ "Stage" }).getVariable().push({ "width" }).getMember().trace().end();
    script.push({ "s" }).getVariable().push({ "onResize" }).function("", {}, resized).setMember();
    script.push({ "s" }).getVariable().push({ 1 }).push({ "Stage" }).getVariable().push({ "addListener" }).callMethod().pop();
    script.push({ "Stage" }).getVariable().push({ "width" }).getMember().trace();
    script.end();
    Player player(clipMovie(script));
    ASSERT_TRUE(player.ok());
    EXPECT_EQ(player.take(), QStringList({ "200" }));
    // Scaled to fit, the movie keeps its own size and hears nothing.
    player.scripts().setViewSize(300, 250);
    player.scripts().flush();
    EXPECT_EQ(player.take(), QStringList());
    auto block = swf::avm1::decodeBlock(
        Asm().push({ "Stage" }).getVariable().push({ "scaleMode", "noScale" }).setMember().end().bytes(), 8);
    ASSERT_TRUE(block.ok());
    player.scripts().interpreter().run(*block.release(), player.scripts().clipFor(player.playback().stage().root()));
    player.scripts().setViewSize(320, 240);
    player.scripts().flush();
    EXPECT_EQ(player.take(), QStringList({ "320" }));
}

TEST(InputEvents, DraggedClipFollowsThePointerInsideItsBounds)
{
    // clip.startDrag(false, 90, 90, 150, 130): the clip keeps its offset from
    // the pointer and stays inside the rectangle; stopDrag lets it go.
    Asm script;
    script.push({ 130, 150, 90, 90, false, 5 }).push({ "clip" }).getVariable().push({ "startDrag" }).callMethod().pop();
    script.end();
    Player player(clipMovie(script));
    ASSERT_TRUE(player.ok());
    auto* clip = player.playback().stage().root().childByName(QStringLiteral("clip"));
    ASSERT_NE(clip, nullptr);
    auto at = [&] { return QPointF(clip->matrix().tx / 20.0, clip->matrix().ty / 20.0); };

    player.move(10, 10); // the drag began with the pointer at (0, 0): offset (100, 100)
    EXPECT_EQ(at(), QPointF(110, 110));
    player.move(30, 25);
    EXPECT_EQ(at(), QPointF(130, 125));
    player.move(200, -50); // held inside the rectangle
    EXPECT_EQ(at(), QPointF(150, 90));

    Asm stop;
    stop.push({ 0 }).push({ "clip" }).getVariable().push({ "stopDrag" }).callMethod().pop().end();
    player.scripts().interpreter().run(*swf::avm1::decodeBlock(stop.bytes(), 8).value(),
        player.scripts().clipFor(player.playback().stage().root()));
    player.move(20, 20);
    EXPECT_EQ(at(), QPointF(150, 90));
}
