// ActionScript 3 movies through Playback: the document class bound by
// SymbolClass is built over the root, and frame scripts run as frames are entered.

#include "Avm2TestSupport.h"
#include "swf/Playback.h"

#include <gtest/gtest.h>

using namespace avm2test;

namespace {

// class Main extends MovieClip, whose constructor traces, registers
// frame1/frame2 as the scripts of frames 1 and 2; frame2 stops the timeline.
QByteArray documentClassMovie(int frames)
{
    AbcWriter w;
    Tracer t(w);
    std::uint32_t display = w.ns(0x16, QStringLiteral("flash.display"));
    std::uint32_t movieClip = w.qname(display, QStringLiteral("MovieClip"));
    std::uint32_t main = w.publicName(QStringLiteral("Main"));
    std::uint32_t frame1 = w.publicName(QStringLiteral("frame1"));
    std::uint32_t frame2 = w.publicName(QStringLiteral("frame2"));
    std::uint32_t addFrameScript = w.publicName(QStringLiteral("addFrameScript"));
    std::uint32_t currentFrame = w.publicName(QStringLiteral("currentFrame"));
    std::uint32_t stop = w.publicName(QStringLiteral("stop"));

    auto traceFrame = [&](Code& c) {
        t.begin(c);
        c.op(Op::PushString, w.string(QStringLiteral("frame "))).op(Op::GetLocal0).op(Op::GetProperty, currentFrame).op(Op::Add);
        t.end(c);
    };
    std::uint32_t f1 = w.method();
    Code c1;
    c1.op(Op::GetLocal0).op(Op::PushScope);
    traceFrame(c1);
    c1.op(Op::ReturnVoid);
    w.body(f1, c1, 4, 1, 0, 1);
    std::uint32_t f2 = w.method();
    Code c2;
    c2.op(Op::GetLocal0).op(Op::PushScope);
    traceFrame(c2);
    c2.op(Op::GetLocal0).op(Op::CallPropVoid, stop, 0).op(Op::ReturnVoid);
    w.body(f2, c2, 4, 1, 0, 1);

    std::uint32_t iinit = w.method();
    Code ic;
    ic.op(Op::GetLocal0).op(Op::PushScope).op(Op::GetLocal0).op(Op::ConstructSuper, 0);
    t.begin(ic);
    ic.op(Op::PushString, w.string(QStringLiteral("constructed")));
    t.end(ic);
    ic.op(Op::GetLocal0).op(Op::PushByte, 0).op(Op::GetLocal0).op(Op::GetProperty, frame1);
    ic.op(Op::PushByte, 1).op(Op::GetLocal0).op(Op::GetProperty, frame2);
    ic.op(Op::CallPropVoid, addFrameScript, 4).op(Op::ReturnVoid);
    w.body(iinit, ic, 6, 1, 0, 1);
    std::uint32_t cinit = w.method();
    Code cc;
    cc.op(Op::ReturnVoid);
    w.body(cinit, cc, 1, 1, 0, 1);
    w.classDef(main, movieClip, iinit, cinit, { abcw::Trait::method(frame1, f1), abcw::Trait::method(frame2, f2) }, {}, 0);

    std::uint32_t init = w.method();
    Code sc;
    sc.op(Op::GetLocal0).op(Op::PushScope).op(Op::GetLocal0).op(Op::GetLex, movieClip).op(Op::NewClass, 0);
    sc.op(Op::InitProperty, main).op(Op::ReturnVoid);
    w.body(init, sc, 3, 1, 0, 2);
    w.script(init, { abcw::Trait::classTrait(main, 0, 1) });
    return w.movie(QStringLiteral("Main"), frames);
}

} // namespace

TEST(StageScripts, DocumentClassAndFrameScriptsRunInOrder)
{
    QStringList trace;
    swf::PlaybackOptions options;
    options.trace = [&](const QString& line) { trace << line; };
    auto playback = swf::Playback::fromBytes(documentClassMovie(3), options);
    ASSERT_TRUE(playback.ok()) << playback.error().detail.toStdString();
    for (int i = 0; i < 4; ++i)
        playback.value()->nextFrame();
    // Frame 2's script stopped the timeline: frame 3 is never reached.
    EXPECT_EQ(trace, (QStringList { QStringLiteral("constructed"), QStringLiteral("frame 1"), QStringLiteral("frame 2") }));
    EXPECT_EQ(playback.value()->currentFrame(), 2);
}

TEST(StageScripts, MovieWithoutTheFlagKeepsTheFirstMachine)
{
    // The same bytecode without the ActionScript 3 flag is not run at all.
    QByteArray bytes = documentClassMovie(1);
    // FileAttributes: code 69, length 4 (header bytes 0x44 0x11), then its flags.
    const int flags = int(bytes.indexOf(QByteArray("\x44\x11", 2))) + 2;
    ASSERT_GT(flags, 2);
    ASSERT_EQ(std::uint8_t(bytes[flags]), 0x08);
    bytes[flags] = 0;
    QStringList trace;
    swf::PlaybackOptions options;
    options.trace = [&](const QString& line) { trace << line; };
    auto playback = swf::Playback::fromBytes(bytes, options);
    ASSERT_TRUE(playback.ok());
    playback.value()->nextFrame();
    EXPECT_TRUE(trace.isEmpty());
}
