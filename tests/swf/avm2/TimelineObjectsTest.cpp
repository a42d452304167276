// Timeline instances of an AS3 movie as script objects: a named child is in
// its parent's variable before the parent's constructor runs, and the
// container's child accessors see the display list in depth order.

#include "Avm2TestSupport.h"
#include "swf/Playback.h"

#include <gtest/gtest.h>

using namespace avm2test;

namespace {

// Root frame 1 holds two empty sprites: "kid" at depth 1 and an unnamed one at
// depth 2. class Main extends MovieClip { public var kid; } traces in its
// constructor: kid.name, numChildren, getChildAt(0) == kid, getChildAt(5).
QByteArray childrenMovie()
{
    AbcWriter w;
    Tracer t(w);
    std::uint32_t display = w.ns(0x16, QStringLiteral("flash.display"));
    std::uint32_t movieClip = w.qname(display, QStringLiteral("MovieClip"));
    std::uint32_t main = w.publicName(QStringLiteral("Main"));
    std::uint32_t kid = w.publicName(QStringLiteral("kid"));
    std::uint32_t name = w.publicName(QStringLiteral("name"));
    std::uint32_t numChildren = w.publicName(QStringLiteral("numChildren"));
    std::uint32_t getChildAt = w.publicName(QStringLiteral("getChildAt"));

    std::uint32_t iinit = w.method();
    Code ic;
    ic.op(Op::GetLocal0).op(Op::PushScope);
    t.begin(ic);
    ic.op(Op::GetLocal0).op(Op::GetProperty, kid).op(Op::GetProperty, name);
    t.end(ic);
    ic.op(Op::GetLocal0).op(Op::ConstructSuper, 0);
    t.begin(ic);
    ic.op(Op::GetLocal0).op(Op::GetProperty, numChildren);
    t.end(ic);
    t.begin(ic);
    ic.op(Op::GetLocal0).op(Op::PushByte, 0).op(Op::CallProperty, getChildAt, 1).op(Op::GetLocal0).op(Op::GetProperty, kid).op(Op::StrictEquals);
    t.end(ic);
    t.begin(ic);
    ic.op(Op::GetLocal0).op(Op::PushByte, 5).op(Op::CallProperty, getChildAt, 1);
    t.end(ic);
    ic.op(Op::ReturnVoid);
    w.body(iinit, ic, 6, 1, 0, 1);
    std::uint32_t cinit = w.method();
    Code cc;
    cc.op(Op::ReturnVoid);
    w.body(cinit, cc, 1, 1, 0, 1);
    w.classDef(main, movieClip, iinit, cinit, { abcw::Trait::slot(kid) }, {}, 0);

    std::uint32_t init = w.method();
    Code sc;
    sc.op(Op::GetLocal0).op(Op::PushScope).op(Op::GetLocal0).op(Op::GetLex, movieClip).op(Op::NewClass, 0);
    sc.op(Op::InitProperty, main).op(Op::ReturnVoid);
    w.body(init, sc, 3, 1, 0, 2);
    w.script(init, { abcw::Trait::classTrait(main, 0, 1) });

    swfw::Movie movie(10, 100, 100, 24);
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
    swfw::Sprite empty;
    empty.showFrame();
    movie.defineSprite(1, empty);
    swfw::Placement named;
    named.depth = 1;
    named.characterId = 1;
    named.name = QByteArray("kid");
    movie.placeObject2(named);
    swfw::Placement unnamed;
    unnamed.depth = 2;
    unnamed.characterId = 1;
    movie.placeObject2(unnamed);
    movie.showFrame();
    return movie.bytes();
}

} // namespace

TEST(TimelineObjects, NamedChildIsSetBeforeTheParentConstructs)
{
    QStringList trace;
    swf::PlaybackOptions options;
    options.trace = [&](const QString& line) { trace << line; };
    auto playback = swf::Playback::fromBytes(childrenMovie(), options);
    ASSERT_TRUE(playback.ok()) << playback.error().detail.toStdString();
    playback.value()->nextFrame();
    EXPECT_EQ(trace, (QStringList { "kid", "2", "true", "RangeError: Error #2006: The supplied index is out of bounds.\n\tat Main()" }));
}
