// The display list as ActionScript 3 sees it: objects made by scripts, moved
// between containers by index with their added/removed events, their
// geometry, labels, and timers. Each movie is a document class whose
// constructor runs the code under test; the expected traces are worked out
// from the rules, not captured.

#include "Avm2TestSupport.h"
#include "swf/Playback.h"

#include <gtest/gtest.h>

#include <functional>

using namespace avm2test;

namespace {

struct Names {
    std::uint32_t sprite, point, timer, addChild, addChildAt, removeChild, getChildAt, getChildIndex, numChildren, parent,
        name, addEventListener, type, x, y, scaleX, localToGlobal, currentLabel, currentFrame, gotoAndStop, currentLabels,
        length, start, currentCount, stage, root;
};

// A movie whose root is `class Main extends MovieClip`; its constructor runs
// `body` after super(). `listener` is method index of function(e) { trace(e.type) }
// and `counter` of function(e) { trace(e.target.currentCount) }.
QByteArray documentMovie(const std::function<void(AbcWriter&, Code&, const Names&, std::uint32_t listener, std::uint32_t counter)>& body,
    const std::function<void(swfw::Movie&)>& timeline = {}, int frames = 1)
{
    AbcWriter w;
    Tracer t(w);
    std::uint32_t display = w.ns(0x16, QStringLiteral("flash.display"));
    std::uint32_t movieClip = w.qname(display, QStringLiteral("MovieClip"));
    std::uint32_t main = w.publicName(QStringLiteral("Main"));
    auto pub = [&](const char* s) { return w.publicName(QLatin1String(s)); };
    Names n { w.qname(display, QStringLiteral("Sprite")), w.qname(w.ns(0x16, QStringLiteral("flash.geom")), QStringLiteral("Point")),
        w.qname(w.ns(0x16, QStringLiteral("flash.utils")), QStringLiteral("Timer")), pub("addChild"), pub("addChildAt"),
        pub("removeChild"), pub("getChildAt"), pub("getChildIndex"), pub("numChildren"), pub("parent"), pub("name"),
        pub("addEventListener"), pub("type"), pub("x"), pub("y"), pub("scaleX"), pub("localToGlobal"), pub("currentLabel"),
        pub("currentFrame"), pub("gotoAndStop"), pub("currentLabels"), pub("length"), pub("start"), pub("currentCount"),
        pub("stage"), pub("root") };

    std::uint32_t listener = w.method(1);
    Code lc;
    t.begin(lc);
    lc.op(Op::GetLocal, 1).op(Op::GetProperty, n.type);
    t.end(lc);
    lc.op(Op::ReturnVoid);
    w.body(listener, lc, 3, 2, 0, 1);
    std::uint32_t counter = w.method(1);
    Code cc2;
    t.begin(cc2);
    cc2.op(Op::GetLocal, 1).op(Op::GetProperty, pub("target")).op(Op::GetProperty, n.currentCount);
    t.end(cc2);
    cc2.op(Op::ReturnVoid);
    w.body(counter, cc2, 3, 2, 0, 1);

    std::uint32_t iinit = w.method();
    Code ic;
    ic.op(Op::GetLocal0).op(Op::PushScope).op(Op::GetLocal0).op(Op::ConstructSuper, 0);
    body(w, ic, n, listener, counter);
    ic.op(Op::ReturnVoid);
    w.body(iinit, ic, 10, 8, 0, 1);
    std::uint32_t cinit = w.method();
    Code cc;
    cc.op(Op::ReturnVoid);
    w.body(cinit, cc, 1, 1, 0, 1);
    w.classDef(main, movieClip, iinit, cinit, {}, {}, 0);

    std::uint32_t init = w.method();
    Code sc;
    sc.op(Op::GetLocal0).op(Op::PushScope).op(Op::GetLocal0).op(Op::GetLex, movieClip).op(Op::NewClass, 0);
    sc.op(Op::InitProperty, main).op(Op::ReturnVoid);
    w.body(init, sc, 3, 1, 0, 2);
    w.script(init, { abcw::Trait::classTrait(main, 0, 1) });

    swfw::Movie movie(10, 100, 100, 10);
    movie.fileAttributes(0x08); // ActionScript 3
    QByteArray doAbc(4, '\0'); // flags: run at once
    doAbc.append("test\0", 5);
    doAbc.append(w.finish());
    movie.tag(82, doAbc, true);
    QByteArray symbols;
    symbols.append(char(1)).append(char(0)); // one binding
    symbols.append(char(0)).append(char(0)); // character 0: the root
    symbols.append("Main").append('\0');
    movie.tag(76, symbols);
    if (timeline) {
        timeline(movie);
    } else {
        for (int i = 0; i < frames; ++i)
            movie.showFrame();
    }
    return movie.bytes();
}

QStringList run(const QByteArray& movie, int ticks = 0)
{
    QStringList trace;
    swf::PlaybackOptions options;
    options.trace = [&](const QString& line) { trace << line; };
    auto playback = swf::Playback::fromBytes(movie, options);
    EXPECT_TRUE(playback.ok());
    if (!playback.ok())
        return {};
    for (int i = 0; i < ticks; ++i)
        playback.value()->nextFrame();
    return trace;
}

// new Sprite() into local `reg`.
void newSprite(Code& c, const Names& n, std::uint32_t reg)
{
    c.op(Op::FindPropStrict, n.sprite).op(Op::ConstructProp, n.sprite, 0).op(Op::SetLocal, reg);
}

} // namespace

// Children by index: addChildAt puts a child before the one at that index,
// removeChild leaves it whole but parentless, and bad indexes and strangers
// fail with the player's errors.
TEST(DisplayList, ChildrenMoveByIndex)
{
    auto movie = documentMovie([](AbcWriter& w, Code& c, const Names& n, std::uint32_t, std::uint32_t) {
        Tracer t(w);
        newSprite(c, n, 1);
        newSprite(c, n, 2);
        c.op(Op::GetLocal0).op(Op::GetLocal, 1).op(Op::CallPropVoid, n.addChild, 1);
        c.op(Op::GetLocal0).op(Op::GetLocal, 2).op(Op::PushByte, 0).op(Op::CallPropVoid, n.addChildAt, 2);
        t.begin(c); // 1: a went up one place
        c.op(Op::GetLocal0).op(Op::GetLocal, 1).op(Op::CallProperty, n.getChildIndex, 1);
        t.end(c);
        t.begin(c); // true
        c.op(Op::GetLocal0).op(Op::PushByte, 0).op(Op::CallProperty, n.getChildAt, 1).op(Op::GetLocal, 2).op(Op::StrictEquals);
        t.end(c);
        t.begin(c); // true
        c.op(Op::GetLocal, 1).op(Op::GetProperty, n.parent).op(Op::GetLocal0).op(Op::StrictEquals);
        t.end(c);
        c.op(Op::GetLocal0).op(Op::GetLocal, 1).op(Op::CallPropVoid, n.removeChild, 1);
        t.begin(c); // null
        c.op(Op::GetLocal, 1).op(Op::GetProperty, n.parent);
        t.end(c);
        t.begin(c); // 1
        c.op(Op::GetLocal0).op(Op::GetProperty, n.numChildren);
        t.end(c);
        // Back in at the end: the same object again.
        c.op(Op::GetLocal0).op(Op::GetLocal, 1).op(Op::CallPropVoid, n.addChild, 1);
        t.begin(c); // true
        c.op(Op::GetLocal0).op(Op::PushByte, 1).op(Op::CallProperty, n.getChildAt, 1).op(Op::GetLocal, 1).op(Op::StrictEquals);
        t.end(c);
        c.op(Op::GetLocal0).op(Op::GetLocal, 1).op(Op::PushByte, 3).op(Op::CallPropVoid, n.addChildAt, 2);
    });
    EXPECT_EQ(run(movie), (QStringList { "1", "true", "true", "null", "1", "true",
                              "RangeError: Error #2006: The supplied index is out of bounds.\n\tat Main()" }));
}

TEST(DisplayList, RemovingAStrangerOrNullFails)
{
    auto stranger = documentMovie([](AbcWriter&, Code& c, const Names& n, std::uint32_t, std::uint32_t) {
        newSprite(c, n, 1);
        c.op(Op::GetLocal0).op(Op::GetLocal, 1).op(Op::CallPropVoid, n.removeChild, 1);
    });
    EXPECT_EQ(run(stranger), QStringList { "ArgumentError: Error #2025: The supplied DisplayObject must be a child of the caller.\n\tat Main()" });
    auto null = documentMovie([](AbcWriter&, Code& c, const Names& n, std::uint32_t, std::uint32_t) {
        c.op(Op::GetLocal0).op(Op::PushNull).op(Op::CallPropVoid, n.addChild, 1);
    });
    EXPECT_EQ(run(null), QStringList { "TypeError: Error #2007: Parameter child must be non-null.\n\tat Main()" });
    auto ownChild = documentMovie([](AbcWriter&, Code& c, const Names& n, std::uint32_t, std::uint32_t) {
        newSprite(c, n, 1);
        c.op(Op::GetLocal0).op(Op::GetLocal, 1).op(Op::CallPropVoid, n.addChild, 1);
        c.op(Op::GetLocal, 1).op(Op::GetLocal0).op(Op::CallPropVoid, n.addChild, 1);
    });
    EXPECT_EQ(run(ownChild), QStringList { "ArgumentError: Error #2150: An object cannot be added as a child to one of it's "
                                           "children (or children's children, etc.).\n\tat Main()" });
}

// A child joining a container on the stage hears added, then addedToStage;
// leaving, removed, then removedFromStage. Its own child hears the stage
// events too: they are sent through the whole tree.
TEST(DisplayList, AddedAndRemovedEventsInOrder)
{
    auto movie = documentMovie([](AbcWriter& w, Code& c, const Names& n, std::uint32_t listener, std::uint32_t) {
        Tracer t(w);
        newSprite(c, n, 1);
        newSprite(c, n, 2);
        c.op(Op::GetLocal, 1).op(Op::GetLocal, 2).op(Op::CallPropVoid, n.addChild, 1); // inner sits in outer, off stage
        for (const char* type : { "added", "addedToStage", "removed", "removedFromStage" }) {
            c.op(Op::GetLocal, 1).op(Op::PushString, w.string(QLatin1String(type))).op(Op::NewFunction, listener);
            c.op(Op::CallPropVoid, n.addEventListener, 2);
        }
        for (const char* type : { "addedToStage", "removedFromStage" }) {
            c.op(Op::GetLocal, 2).op(Op::PushString, w.string(QLatin1String(type))).op(Op::NewFunction, listener);
            c.op(Op::CallPropVoid, n.addEventListener, 2);
        }
        t.begin(c);
        c.op(Op::PushString, w.string(QStringLiteral("add")));
        t.end(c);
        c.op(Op::GetLocal0).op(Op::GetLocal, 1).op(Op::CallPropVoid, n.addChild, 1);
        t.begin(c); // on the stage now: its stage is the root's
        c.op(Op::GetLocal, 2).op(Op::GetProperty, n.stage).op(Op::GetLocal0).op(Op::GetProperty, n.stage).op(Op::StrictEquals);
        t.end(c);
        t.begin(c);
        c.op(Op::PushString, w.string(QStringLiteral("remove")));
        t.end(c);
        c.op(Op::GetLocal0).op(Op::GetLocal, 1).op(Op::CallPropVoid, n.removeChild, 1);
        t.begin(c); // off the stage: no stage
        c.op(Op::GetLocal, 2).op(Op::GetProperty, n.stage);
        t.end(c);
    });
    EXPECT_EQ(run(movie), (QStringList { "add", "added", "addedToStage", "addedToStage", "true", "remove", "removed",
                              "removedFromStage", "removedFromStage", "null" }));
}

// x and y in pixels over whole twips; localToGlobal applies the object's
// matrix: (5, 5) in a sprite at (10, 20) scaled 2 across is (20, 25).
TEST(DisplayList, PositionAndCoordinateConversion)
{
    auto movie = documentMovie([](AbcWriter& w, Code& c, const Names& n, std::uint32_t, std::uint32_t) {
        Tracer t(w);
        newSprite(c, n, 1);
        c.op(Op::GetLocal0).op(Op::GetLocal, 1).op(Op::CallPropVoid, n.addChild, 1);
        c.op(Op::GetLocal, 1).op(Op::PushDouble, w.number(10.26)).op(Op::SetProperty, n.x);
        t.begin(c); // 10.25: 205.2 twips keep 205
        c.op(Op::GetLocal, 1).op(Op::GetProperty, n.x);
        t.end(c);
        c.op(Op::GetLocal, 1).op(Op::PushByte, 10).op(Op::SetProperty, n.x);
        c.op(Op::GetLocal, 1).op(Op::PushByte, 20).op(Op::SetProperty, n.y);
        c.op(Op::GetLocal, 1).op(Op::PushByte, 2).op(Op::SetProperty, n.scaleX);
        t.begin(c);
        c.op(Op::GetLocal, 1).op(Op::FindPropStrict, n.point).op(Op::PushByte, 5).op(Op::PushByte, 5).op(Op::ConstructProp, n.point, 2);
        c.op(Op::CallProperty, n.localToGlobal, 1);
        t.end(c);
    });
    EXPECT_EQ(run(movie), (QStringList { "10.25", "(x=20, y=25)" }));
}

// Labels "a" on frame 1 and "b" on frame 3: frame 2 is still under "a";
// a missing label is an ArgumentError naming the scene.
TEST(DisplayList, LabelsAndGotoByLabel)
{
    auto movie = documentMovie(
        [](AbcWriter& w, Code& c, const Names& n, std::uint32_t, std::uint32_t) {
            Tracer t(w);
            c.op(Op::GetLocal0).op(Op::PushByte, 2).op(Op::CallPropVoid, n.gotoAndStop, 1);
            t.begin(c);
            c.op(Op::GetLocal0).op(Op::GetProperty, n.currentLabel);
            t.end(c);
            c.op(Op::GetLocal0).op(Op::PushString, w.string(QStringLiteral("b"))).op(Op::CallPropVoid, n.gotoAndStop, 1);
            t.begin(c);
            c.op(Op::GetLocal0).op(Op::GetProperty, n.currentFrame);
            t.end(c);
            t.begin(c);
            c.op(Op::GetLocal0).op(Op::GetProperty, n.currentLabels).op(Op::GetProperty, n.length);
            t.end(c);
            c.op(Op::GetLocal0).op(Op::PushString, w.string(QStringLiteral("zz"))).op(Op::CallPropVoid, n.gotoAndStop, 1);
        },
        [](swfw::Movie& movie) {
            movie.frameLabel("a");
            movie.showFrame();
            movie.showFrame();
            movie.frameLabel("b");
            movie.showFrame();
        });
    EXPECT_EQ(run(movie), (QStringList { "a", "3", "2", "ArgumentError: Error #2109: Frame label zz not found in scene Scene 1.\n\tat Main()" }));
}

// A timer of 50 ms at 10 frames a second is due every frame once started;
// with a repeat count of 2 it fires twice, then timerComplete, then no more.
TEST(DisplayList, TimerFiresOnTheMovieClock)
{
    auto movie = documentMovie([](AbcWriter& w, Code& c, const Names& n, std::uint32_t listener, std::uint32_t counter) {
        c.op(Op::FindPropStrict, n.timer).op(Op::PushByte, 50).op(Op::PushByte, 2).op(Op::ConstructProp, n.timer, 2).op(Op::SetLocal, 1);
        c.op(Op::GetLocal, 1).op(Op::PushString, w.string(QStringLiteral("timer"))).op(Op::NewFunction, counter);
        c.op(Op::CallPropVoid, n.addEventListener, 2);
        c.op(Op::GetLocal, 1).op(Op::PushString, w.string(QStringLiteral("timerComplete"))).op(Op::NewFunction, listener);
        c.op(Op::CallPropVoid, n.addEventListener, 2);
        c.op(Op::GetLocal, 1).op(Op::CallPropVoid, n.start, 0);
    }, {}, 2);
    EXPECT_EQ(run(movie, 5), (QStringList { "1", "2", "timerComplete" }));
    auto negative = documentMovie([](AbcWriter& w, Code& c, const Names& n, std::uint32_t, std::uint32_t) {
        c.op(Op::FindPropStrict, n.timer).op(Op::PushDouble, w.number(-1));
        c.op(Op::ConstructProp, n.timer, 1).op(Op::Pop);
    });
    EXPECT_EQ(run(negative), QStringList { "RangeError: Error #2066: The Timer delay specified is out of range.\n\tat Main()" });
}

// What scripts read back of what they set: a rotation of 450 is 90, and
// -120 stays -120 (not a value rebuilt from the matrix); a sprite made by a
// script is named like timeline instances; only objects on the stage have
// the movie's LoaderInfo; DisplayObject itself cannot be made.
TEST(DisplayList, ReadBackNamesLoaderInfoAndAbstractClasses)
{
    auto movie = documentMovie([](AbcWriter& w, Code& c, const Names& n, std::uint32_t, std::uint32_t) {
        Tracer t(w);
        std::uint32_t rotation = w.publicName(QStringLiteral("rotation"));
        std::uint32_t loaderInfo = w.publicName(QStringLiteral("loaderInfo"));
        std::uint32_t swfVersion = w.publicName(QStringLiteral("swfVersion"));
        std::uint32_t displayObject = w.qname(w.ns(0x16, QStringLiteral("flash.display")), QStringLiteral("DisplayObject"));
        newSprite(c, n, 1);
        t.begin(c);
        c.op(Op::GetLocal, 1).op(Op::GetProperty, n.name);
        t.end(c);
        c.op(Op::GetLocal, 1).op(Op::PushShort, 450).op(Op::SetProperty, rotation);
        t.begin(c);
        c.op(Op::GetLocal, 1).op(Op::GetProperty, rotation);
        t.end(c);
        c.op(Op::GetLocal, 1).op(Op::PushDouble, w.number(-120)).op(Op::SetProperty, rotation);
        t.begin(c);
        c.op(Op::GetLocal, 1).op(Op::GetProperty, rotation);
        t.end(c);
        t.begin(c);
        c.op(Op::GetLocal, 1).op(Op::GetProperty, loaderInfo);
        t.end(c);
        t.begin(c);
        c.op(Op::GetLocal0).op(Op::GetProperty, loaderInfo).op(Op::GetProperty, swfVersion);
        t.end(c);
        c.op(Op::FindPropStrict, displayObject).op(Op::ConstructProp, displayObject, 0).op(Op::Pop);
    });
    EXPECT_EQ(run(movie), (QStringList { "instance1", "90", "-120", "null", "10",
                              "ArgumentError: Error #2012: DisplayObject$ class cannot be instantiated.\n\tat Main()" }));
}

// A numeric frame is cut to 32 bits with saturation, made 0-based with
// 32-bit wrap-around, then kept inside the clip (3 frames here):
// 2^31 saturates to the last frame; -2^31 wraps to the top when one is
// taken off; -2^31 + 1 stays low, so frame 1; 2^32 + 2 saturates rather
// than wrapping to 2; "3 " is a number written out, not a label.
TEST(DisplayList, NumericFramesSaturateThenWrap)
{
    auto movie = documentMovie(
        [](AbcWriter& w, Code& c, const Names& n, std::uint32_t, std::uint32_t) {
            Tracer t(w);
            auto goTo = [&](double frame) {
                c.op(Op::GetLocal0).op(Op::PushDouble, w.number(frame)).op(Op::CallPropVoid, n.gotoAndStop, 1);
                t.begin(c);
                c.op(Op::GetLocal0).op(Op::GetProperty, n.currentFrame);
                t.end(c);
            };
            goTo(2147483648.0);
            goTo(2);
            goTo(-2147483648.0);
            goTo(2);
            goTo(-2147483647.0);
            goTo(4294967298.0);
            goTo(2);
            c.op(Op::GetLocal0).op(Op::PushString, w.string(QStringLiteral("3 "))).op(Op::CallPropVoid, n.gotoAndStop, 1);
            t.begin(c);
            c.op(Op::GetLocal0).op(Op::GetProperty, n.currentFrame);
            t.end(c);
        },
        {}, 3);
    EXPECT_EQ(run(movie), (QStringList { "3", "2", "3", "2", "1", "3", "2", "3" }));
}
