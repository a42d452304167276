// A timeline with many clips keeps its ticking order between ticks and
// finds the handlers its clips answer with: the order and the rewind rules
// must hold for a long child list as for a short one, and a handler must be
// found wherever a script puts it (on the clip, on a prototype, by another
// case of its name, through a relinked prototype or as an accessor).

#include "support/HostileMovies.h"

#include "swf/Playback.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

using swf::avm1::test::Asm;

struct ClipsRun {
    std::unique_ptr<swf::Playback> playback;
    QStringList traces;
    QStringList faults;

    explicit ClipsRun(const QByteArray& bytes)
    {
        swf::PlaybackOptions options;
        options.trace = [this](const QString& line) { traces << line; };
        options.fault = [this](const QString& what) { faults << what; };
        auto opened = swf::Playback::fromBytes(bytes, options);
        EXPECT_TRUE(opened.ok());
        if (opened.ok())
            playback = opened.release();
    }
    void frames(int n)
    {
        for (int i = 0; i < n; ++i)
            playback->nextFrame();
    }
};

// _root.createEmptyMovieClip(name, depth)
Asm& makeClip(Asm& a, const QByteArray& name, int depth)
{
    return a.push({ depth, name.constData(), 2, "_root" }).getVariable().push({ "createEmptyMovieClip" }).callMethod().pop();
}

// function () { trace(this._name); }
Asm traceName()
{
    Asm body;
    body.push({ "this" }).getVariable().push({ "_name" }).getMember().trace().end();
    return body;
}

// _root[clip][member] = the value `value` pushes.
Asm& setOn(Asm& a, const QByteArray& clip, const char* member, const Asm& value)
{
    a.push({ "_root" }).getVariable().push({ clip.constData() }).getMember().push({ member });
    return a.raw(value.bytes()).setMember();
}

Asm functionValue(const Asm& body)
{
    Asm f;
    f.function("", {}, body);
    return f;
}

QStringList names(const char* prefix, std::initializer_list<int> numbers)
{
    QStringList out;
    for (int n : numbers)
        out << QString::fromLatin1(prefix) + QString::number(n);
    return out;
}

TEST(ManyClips, ALongListTicksNewestFirstThenFromTheTopDepthDown)
{
    // Frame 1 makes c0..c11 at depths 0..11, each tracing its name on
    // enterFrame. Frame 2 removes c5 and makes n at depth 5: from the next
    // tick on, n (the newest) comes first and c5 is gone.
    swfw::Movie movie(8, 400, 300, 30);
    Asm first;
    for (int k = 0; k < 12; ++k) {
        const QByteArray name = "c" + QByteArray::number(k);
        makeClip(first, name, k);
        setOn(first, name, "onEnterFrame", functionValue(traceName()));
    }
    movie.doAction(first.end().bytes());
    movie.showFrame();
    Asm second;
    second.push({ 0, "_root" }).getVariable().push({ "c5" }).getMember().push({ "removeMovieClip" }).callMethod().pop();
    makeClip(second, "n", 5);
    setOn(second, "n", "onEnterFrame", functionValue(traceName()));
    movie.doAction(second.end().bytes());
    movie.showFrame();
    movie.doAction(Asm().op(0x07).end().bytes()); // stop
    movie.showFrame();
    ClipsRun run(movie.bytes());
    ASSERT_TRUE(run.playback);
    run.frames(3);
    const QStringList all = names("c", { 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0 });
    const QStringList after = QStringList { "n" } + names("c", { 11, 10, 9, 8, 7, 6, 4, 3, 2, 1, 0 });
    EXPECT_EQ(run.traces, all + after + after);
}

TEST(ManyClips, ARewindOfALongListDropsOnlyWhatScriptsLeftAtTimelineDepths)
{
    // Frame 1 (once) makes c0..c9 at script depths and t below them, at a
    // depth of the timeline's; frame 2 traces what stands. Going back to
    // frame 1 removes t and keeps the rest.
    swfw::Movie movie(8, 400, 300, 30);
    Asm once;
    once.push({ "made", 1 }).setVariable();
    for (int k = 0; k < 10; ++k)
        makeClip(once, "c" + QByteArray::number(k), k);
    makeClip(once, "t", -100);
    Asm first;
    first.push({ "made" }).getVariable().op(0x12).op(0x12); // made is set: skip
    first.branchIf(int16_t(once.bytes().size())).raw(once.bytes());
    movie.doAction(first.end().bytes());
    movie.showFrame();
    Asm second;
    second.push({ "_root" }).getVariable().push({ "t" }).getMember().op(0x44).trace(); // typeof
    second.push({ "_root" }).getVariable().push({ "c3" }).getMember().push({ "_name" }).getMember().trace();
    second.push({ "_root" }).getVariable().push({ "c9" }).getMember().push({ "_name" }).getMember().trace();
    movie.doAction(second.end().bytes());
    movie.showFrame();
    ClipsRun run(movie.bytes());
    ASSERT_TRUE(run.playback);
    run.frames(3);
    EXPECT_EQ(run.traces, (QStringList { "movieclip", "c3", "c9", "undefined", "c3", "c9" }));
}

TEST(ManyClips, HandlersAreFoundWhereverAScriptPutsThem)
{
    // Ten clips c0..c9. c0's prototype is relinked to an object holding an
    // onEnterFrame; c1 gets one as an accessor (addProperty) whose getter
    // gives the function; c2 gets one only after the first tick; the rest
    // have none. The clips tick from the top depth down.
    swfw::Movie movie(8, 400, 300, 30);
    Asm first;
    for (int k = 0; k < 10; ++k)
        makeClip(first, "c" + QByteArray::number(k), k);
    first.push({ "f" }).raw(functionValue(traceName()).bytes()).setVariable();
    first.push({ "p", 0, "Object" }).op(0x40).setVariable(); // p = new Object()
    first.push({ "p" }).getVariable().push({ "onEnterFrame", "f" }).getVariable().setMember();
    first.push({ "_root" }).getVariable().push({ "c0" }).getMember().push({ "__proto__", "p" }).getVariable().setMember();
    Asm getter;
    getter.push({ "f" }).getVariable().op(0x3E).end(); // return f
    first.push({ swf::avm1::test::Null {} });
    first.raw(functionValue(getter).bytes()).push({ "onEnterFrame", 3, "_root" }).getVariable().push({ "c1" }).getMember();
    first.push({ "addProperty" }).callMethod().pop();
    movie.doAction(first.end().bytes());
    movie.showFrame();
    Asm second;
    setOn(second, "c2", "onEnterFrame", Asm().push({ "f" }).getVariable());
    second.op(0x07); // stop
    movie.doAction(second.end().bytes());
    movie.showFrame();
    ClipsRun run(movie.bytes());
    ASSERT_TRUE(run.playback);
    run.frames(3);
    EXPECT_EQ(run.traces, (QStringList { "c1", "c0", "c2", "c1", "c0", "c2", "c1", "c0" }));
}

TEST(ManyClips, AHandlerNamedInAnotherCaseAnswersInOldMovies)
{
    // A version 6 movie ignores the case of names: ONENTERFRAME set on
    // MovieClip.prototype after ten clips exist is every clip's
    // onEnterFrame, the root's too. Each call adds one to n; frame 2 traces n
    // after each tick.
    Asm first;
    for (int k = 0; k < 10; ++k)
        makeClip(first, "c" + QByteArray::number(k), k);
    first.push({ "n", 0 }).setVariable();
    Asm count;
    count.push({ "_root" }).getVariable().push({ "n", "_root" }).getVariable().push({ "n" }).getMember().push({ 1 }).add2().setMember().end();
    first.push({ "MovieClip" }).getVariable().push({ "prototype" }).getMember().push({ "ONENTERFRAME" });
    first.raw(functionValue(count).bytes()).setMember();
    swfw::Movie movie = hostile::scriptMovie(first, 1);
    movie.doAction(Asm().push({ "n" }).getVariable().trace().end().bytes());
    movie.showFrame();
    movie.doAction(Asm().record(0x81, QByteArray("\x01\x00", 2)).op(0x06).end().bytes()); // gotoAndPlay(2)
    movie.showFrame();
    ClipsRun run(movie.bytes());
    ASSERT_TRUE(run.playback);
    run.frames(4);
    EXPECT_EQ(run.traces, (QStringList { "11", "22", "33", "44" }));
}

} // namespace
