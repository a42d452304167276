// The script heap between frames: the collector runs as the heap grows, so a
// movie that makes and drops objects every frame stays near its live size.

#include "swf/Playback.h"
#include "swf/avm1/stage/StageScripts.h"
#include "swf/avm1/vm/Interpreter.h"
#include "support/Assembler.h"
#include "tools/swfwriter/Movie.h"

#include <gtest/gtest.h>

using swf::avm1::test::Asm;

namespace {

constexpr int ObjectsPerFrame = 1000;
constexpr int Frames = 40;

// Every frame makes ObjectsPerFrame empty objects and keeps none of them.
QByteArray litteringMovie()
{
    Asm actions;
    for (int i = 0; i < ObjectsPerFrame; ++i)
        actions.push({ 0 }).op(0x43).pop(); // new Object() by an empty initialiser, dropped
    actions.end();
    swfw::Movie movie(8, 100, 100, 12);
    for (int f = 0; f < Frames; ++f) {
        movie.doAction(actions.bytes());
        movie.showFrame();
    }
    return movie.bytes();
}

} // namespace

TEST(CollectorPacing, GarbageMadeEveryFrameStaysBounded)
{
    swf::PlaybackOptions options;
    auto opened = swf::Playback::fromBytes(litteringMovie(), options);
    ASSERT_TRUE(opened.ok());
    auto playback = opened.release();
    ASSERT_NE(playback->scripts(), nullptr);
    const swf::avm1::Interpreter& vm = playback->scripts()->interpreter();
    const std::size_t start = vm.heapSize(); // the built-in objects, and frame 1's litter
    std::size_t most = start;
    for (int f = 2; f <= Frames; ++f) {
        playback->nextFrame();
        most = std::max(most, vm.heapSize());
    }
    // 40,000 objects were made in all. Between frames the heap never holds
    // more than what lived before plus the collector's allowance: at most
    // 4,096 fresh objects or half the live heap, whichever is more.
    EXPECT_LT(most, start + std::max<std::size_t>(4096, start / 2) + ObjectsPerFrame);
    EXPECT_GT(most, start + 2 * ObjectsPerFrame); // it did let some litter pile up first
}
