// How the stage finds the handlers it calls on clips each frame (onEnterFrame,
// onUnload, ...): on the clip or its prototypes, by the name rules of the
// movie's version, whether or not the clip's script object is made yet.

#include "support/EventMovies.h"

using namespace events_test;

namespace {

// `target`[`member`] = function () { trace(`text`); }
Asm setTracer(const char* target, const char* member, const char* text)
{
    Asm a;
    a.push({ target }).getVariable().push({ member })
        .function("", {}, Asm().push({ text }).trace().end())
        .setMember();
    return a;
}

// MovieClip.prototype[`member`] = function () { trace(`text`); }
Asm setPrototypeTracer(const char* member, const char* text)
{
    Asm a;
    a.push({ "MovieClip" }).getVariable().push({ "prototype" }).getMember().push({ member })
        .function("", {}, Asm().push({ text }).trace().end())
        .setMember();
    return a;
}

// _root.createEmptyMovieClip(`name`, `depth`)
Asm makeClip(const char* name, int depth)
{
    Asm a;
    a.push({ depth, name, 2, "_root" }).getVariable().push({ "createEmptyMovieClip" }).callMethod().pop();
    return a;
}

// A movie of `version` whose frame 1 runs `frame1` and stops on frame 2.
QByteArray twoFrames(int version, const Asm& frame1)
{
    swfw::Movie movie = baseMovie(version);
    Asm actions = frame1;
    movie.doAction(actions.end().bytes());
    movie.showFrame();
    movie.doAction(Asm().op(0x07).end().bytes()); // Stop
    movie.showFrame();
    return movie.bytes();
}

} // namespace

TEST(ClipHandlers, EnterFrameHandlerNamesFollowTheCaseRulesOfTheVersion)
{
    // A handler stored under another case is the same name up to version 6
    // and a different one from version 7. The prototype's, written exactly,
    // answers in both; the clip's own comes first.
    Asm frame1;
    frame1.raw(makeClip("a", 1).bytes()).raw(makeClip("b", 2).bytes());
    frame1.raw(setTracer("a", "ONENTERFRAME", "a upper").bytes());
    frame1.raw(setPrototypeTracer("onEnterFrame", "proto").bytes());
    Player six(twoFrames(6, frame1));
    ASSERT_TRUE(six.ok());
    six.take();
    six.frames(1);
    // Children tick newest first (b, then a), then the root, a clip too.
    EXPECT_EQ(six.take(), QStringList({ "proto", "a upper", "proto" }));

    Player seven(twoFrames(7, frame1));
    ASSERT_TRUE(seven.ok());
    seven.take();
    seven.frames(1);
    EXPECT_EQ(seven.take(), QStringList({ "proto", "proto", "proto" }));
}

TEST(ClipHandlers, UnloadHandlerOfThePrototypeRunsForEachRemovedClip)
{
    // Two clips, one with its own onUnload; the prototype's answers the
    // other. Both are removed by a script on frame 2.
    Asm frame1;
    frame1.raw(makeClip("a", 1).bytes()).raw(makeClip("b", 2).bytes());
    frame1.raw(setTracer("b", "onUnload", "b own").bytes());
    frame1.raw(setPrototypeTracer("onUnload", "proto").bytes());
    swfw::Movie movie = baseMovie(6);
    movie.doAction(frame1.end().bytes());
    movie.showFrame();
    Asm frame2;
    for (const char* name : { "a", "b" })
        frame2.push({ 0, name }).getVariable().push({ "removeMovieClip" }).callMethod().pop();
    frame2.push({ "removed" }).trace().op(0x07); // Stop
    movie.doAction(frame2.end().bytes());
    movie.showFrame();
    Player player(movie.bytes());
    ASSERT_TRUE(player.ok());
    player.take();
    player.frames(1);
    EXPECT_EQ(player.take(), QStringList({ "removed", "proto", "b own" }));
    // Gone: nothing more hears a frame.
    player.frames(2);
    EXPECT_EQ(player.take(), QStringList());
}
