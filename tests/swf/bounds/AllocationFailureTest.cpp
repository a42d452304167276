// Memory refused, by the movie's budget or by the system, never leaves the
// engine: not from a thread of its own, not through an entry point, and
// what is left afterwards still plays, draws and closes.

#include "support/HostileMovies.h"
#include "support/TestSupport.h"

#include "swf/Playback.h"
#include "swf/avm1/stage/StageScripts.h"
#include "swf/avm1/vm/Interpreter.h"
#include "swf/render/SerialFills.h"

#include <QImage>
#include <QStringList>
#include <QThread>

#include <gtest/gtest.h>

#include <new>

namespace {

using swf::avm1::test::Asm;

TEST(AllocationFailure, WhatDrawingOnAPoolThreadThrowsComesBackToTheCaller)
{
    // Drawing an image runs on a thread of the global pool; a failed
    // allocation there used to end the program.
    QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
    QThread* ranOn = nullptr;
    EXPECT_THROW(swf::runWithSerialFills(&image,
                     [&] {
                         ranOn = QThread::currentThread();
                         throw std::bad_alloc();
                     }),
        std::bad_alloc);
    EXPECT_NE(ranOn, nullptr);
    // The pool is none the worse: the next drawing runs and returns.
    bool ran = false;
    swf::runWithSerialFills(&image, [&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(AllocationFailure, AFewKilobytesStopTheScriptsAndLeaveAMovieThatPlays)
{
    // Frame 1: list = []; while (true) list.push(new Object()); trace("after").
    // Frame 2 traces "frame 2". With 4 kB allowed the loop is stopped within
    // a few dozen objects (160 bytes each and more), at once, while the
    // movie opens.
    Asm a;
    a.push({ "list", 0, "Array" }).op(0x40).setVariable();
    Asm always;
    always.push({ true });
    Asm body;
    body.push({ 0, "Object" }).op(0x40).push({ 1, "list" }).getVariable().push({ "push" }).callMethod().pop();
    a.raw(hostile::whileLoop(always, body).bytes());
    a.push({ "after" }).trace().end();
    swfw::Movie movie(6, 40, 30, 30);
    movie.setBackgroundColor({ 0, 0, 255, 255 });
    movie.doAction(a.bytes());
    movie.showFrame();
    Asm second;
    second.push({ "frame 2" }).trace().end();
    movie.doAction(second.bytes());
    movie.showFrame();

    QStringList traces;
    QStringList faults;
    swf::PlaybackOptions options;
    options.trace = [&](const QString& line) { traces << line; };
    options.fault = [&](const QString& what) { faults << what; };
    options.limits.memoryBytes = 4 * 1024;
    auto opened = swf::Playback::fromBytes(movie.bytes(), options);
    ASSERT_TRUE(opened.ok()) << opened.error().detail.toStdString();
    std::unique_ptr<swf::Playback> playback = opened.release();

    // The note says which limit stopped it; the movie itself did not fail.
    ASSERT_EQ(faults.size(), 1) << faults.join('\n').toStdString();
    EXPECT_TRUE(faults[0].startsWith(QLatin1String("memory budget spent"))) << faults[0].toStdString();
    EXPECT_FALSE(playback->failure());
    const swf::avm1::Interpreter& vm = playback->scripts()->interpreter();
    EXPECT_TRUE(vm.scriptsHalted());
    EXPECT_EQ(vm.currentTarget(), nullptr); // no script is left half run
    const std::uint64_t steps = vm.actionsExecuted();
    EXPECT_LT(steps, 4096u / 160 * 12);

    // It plays on, draws its background and goes back to frame 1 by itself,
    // with no script run again and no further note.
    playback->nextFrame();
    EXPECT_EQ(playback->currentFrame(), 2);
    playback->nextFrame();
    EXPECT_EQ(playback->currentFrame(), 1);
    const QImage image = testing_support::renderStage(*playback);
    EXPECT_EQ(image.pixel(20, 15), qRgb(0, 0, 255));
    playback->gotoFrame(2);
    EXPECT_EQ(playback->currentFrame(), 2);
    EXPECT_TRUE(traces.isEmpty()) << traces.join('\n').toStdString();
    EXPECT_EQ(vm.actionsExecuted(), steps);
    EXPECT_EQ(faults.size(), 1);
    EXPECT_FALSE(playback->failure());
}

} // namespace
