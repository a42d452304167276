#include "support/EventMovies.h"
#include "swf/format/TagCodes.h"
#include "support/TestSupport.h"

#include "swf/runtime/SoundSink.h"
#include "swf/runtime/ScriptRunner.h"
#include "swf/runtime/Stage.h"

using namespace testing_support;
using swf::DisplayObject;
using swf::SpriteInstance;

namespace {

swfw::Movie baseMovie()
{
    swfw::Movie movie(8, 100, 100, 12);
    movie.defineShape(1, rectShape(Red, 0, 0, 200, 200), 3);
    movie.defineShape(2, rectShape(Blue, 0, 0, 200, 200), 3);
    return movie;
}

// Everything a frame shows, as text: depth, character, matrix and, for sprites, their frame and contents.
QString describe(const SpriteInstance& sprite)
{
    QString out = QStringLiteral("[f%1").arg(sprite.currentFrame());
    for (const auto& [depth, child] : sprite.displayList()) {
        const auto& m = child->matrix();
        out += QStringLiteral(" %1:%2@%3,%4").arg(depth).arg(child->characterId()).arg(m.tx).arg(m.ty);
        if (auto inner = child->asSprite())
            out += describe(*inner);
    }
    return out + "]";
}

} // namespace

TEST(Timeline, PlaceMoveReplaceAndRemove)
{
    auto movie = baseMovie();
    movie.placeObject2(swfw::Placement::place(1, 1, swfw::Matrix::translate(20, 40)));
    movie.placeObject2(swfw::Placement::place(2, 2));
    movie.showFrame();
    auto move = swfw::Placement::modify(1);
    move.matrix = swfw::Matrix::translate(60, 80);
    movie.placeObject2(move);
    movie.removeObject2(2);
    movie.showFrame();
    auto replace = swfw::Placement::modify(1);
    replace.characterId = 2;
    movie.placeObject2(replace);
    movie.placeObject2(swfw::Placement::place(1, 1)); // occupied depth: ignored
    movie.showFrame();

    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    auto& root = p->stage().root();
    EXPECT_EQ(describe(root), "[f1 1:1@20,40 2:2@0,0]");
    p->nextFrame();
    EXPECT_EQ(describe(root), "[f2 1:1@60,80]");
    p->nextFrame();
    // The replacement keeps the old matrix.
    EXPECT_EQ(describe(root), "[f3 1:2@60,80]");
    p->nextFrame();
    EXPECT_EQ(describe(root), "[f1 1:1@20,40 2:2@0,0]");
}

TEST(Timeline, ButtonsNeitherReplaceNorAreReplacedByAMove)
{
    // Depth 1 starts as shape 1 and is moved onto button 3; depth 2 starts
    // as button 3 and is moved onto shape 2; depth 4 moves shape 1 onto
    // shape 2, which does swap.
    auto movie = baseMovie();
    movie.tag(swf::TagDefineButton2, events_test::defineButton2(3, 1, {}));
    movie.placeObject2(swfw::Placement::place(1, 1));
    movie.placeObject2(swfw::Placement::place(2, 3));
    movie.placeObject2(swfw::Placement::place(4, 1));
    movie.showFrame();
    for (auto [depth, id] : { std::pair { 1, 3 }, { 2, 2 }, { 4, 2 } }) {
        auto replace = swfw::Placement::modify(uint16_t(depth));
        replace.characterId = uint16_t(id);
        replace.matrix = swfw::Matrix::translate(10, 10);
        movie.placeObject2(replace);
    }
    movie.showFrame();

    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    p->nextFrame();
    // The characters stay, but the move still places them.
    EXPECT_EQ(describe(p->stage().root()), "[f2 1:1@10,10 2:3@10,10 4:2@10,10]");
}

TEST(Timeline, LoopingKeepsInstancesPlacedInTheFirstFrame)
{
    swfw::Sprite inner;
    for (int i = 0; i < 5; ++i)
        inner.showFrame();
    auto movie = baseMovie();
    movie.defineSprite(3, inner);
    movie.placeObject2(swfw::Placement::place(1, 3));
    movie.showFrame();
    movie.placeObject2(swfw::Placement::place(2, 1));
    movie.showFrame();

    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    auto& root = p->stage().root();
    DisplayObject* sprite = root.childAt(1);
    ASSERT_TRUE(sprite && sprite->asSprite());
    p->nextFrame();
    p->nextFrame(); // loops to frame 1
    EXPECT_EQ(p->currentFrame(), 1);
    EXPECT_EQ(root.childAt(1), sprite);        // still the same instance...
    EXPECT_EQ(sprite->asSprite()->currentFrame(), 3); // ...which kept playing
    EXPECT_EQ(root.childAt(2), nullptr);       // placed in frame 2, gone again
}

TEST(Timeline, PreviousFrameRecreatesNestedStateExactly)
{
    swfw::Sprite inner;
    for (int f = 0; f < 4; ++f) {
        if (f == 0)
            inner.placeObject2(swfw::Placement::place(1, 1));
        auto step = swfw::Placement::modify(1);
        step.matrix = swfw::Matrix::translate(100 * f, 0);
        inner.placeObject2(step);
        inner.showFrame();
    }
    auto movie = baseMovie();
    movie.defineSprite(3, inner);
    movie.placeObject2(swfw::Placement::place(1, 3));
    movie.showFrame();
    movie.placeObject2(swfw::Placement::place(2, 2, swfw::Matrix::translate(5, 5)));
    movie.showFrame();
    movie.removeObject2(1);
    movie.showFrame();
    movie.showFrame();

    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    QStringList seen;
    for (int i = 0; i < 4; ++i) {
        seen << describe(p->stage().root());
        p->nextFrame();
    }
    p->gotoFrame(4);
    for (int frame = 4; frame > 1; --frame) {
        ASSERT_EQ(p->currentFrame(), frame);
        EXPECT_EQ(describe(p->stage().root()), seen[frame - 1]) << "frame " << frame;
        p->previousFrame();
    }
    EXPECT_EQ(describe(p->stage().root()), seen[0]);
    p->previousFrame(); // no-op on frame 1
    EXPECT_EQ(p->currentFrame(), 1);
    p->gotoFrame(3);
    EXPECT_EQ(describe(p->stage().root()), seen[2]);
}

TEST(Timeline, SelfNestingSpriteStopsAtTheCap)
{
    swfw::Sprite inner;
    inner.placeObject2(swfw::Placement::place(1, 3)); // the sprite places itself
    inner.showFrame();
    auto movie = baseMovie();
    movie.defineSprite(3, inner);
    movie.placeObject2(swfw::Placement::place(1, 3));
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    int depth = 0;
    const DisplayObject* at = p->stage().root().childAt(1);
    while (at && at->asSprite()) {
        ++depth;
        at = at->asSprite()->childAt(1);
    }
    EXPECT_GT(depth, 1);
    EXPECT_LT(depth, p->stage().limits().maxNesting);
    renderStage(*p); // draws without recursing forever
}

namespace {

struct RecordingSink : swf::SoundSink {
    QStringList events;
    void defineSound(const QByteArray& body) override { events << QStringLiteral("define %1").arg(body.size()); }
    void controlTag(std::uintptr_t timeline, int tagCode, const QByteArray&, int frame) override
    {
        events << QStringLiteral("tag %1 frame %2%3").arg(tagCode).arg(frame).arg(timeline == root ? " root" : "");
    }
    void timelineRemoved(std::uintptr_t) override { events << "removed"; }
    void stopAll() override { }
    std::uintptr_t root = 0;
};

struct RecordingRunner : swf::ScriptRunner {
    QStringList calls;
    void runFrameActions(SpriteInstance& timeline, const QByteArray& actions) override
    {
        // Display-list changes of the frame are already made when actions run.
        calls << QStringLiteral("frame %1 children %2 bytes %3")
                     .arg(timeline.currentFrame())
                     .arg(timeline.displayList().size())
                     .arg(actions.size());
    }
    void runInitActions(SpriteInstance&, std::uint16_t spriteId, const QByteArray& actions) override
    {
        calls << QStringLiteral("init %1 bytes %2").arg(spriteId).arg(actions.size());
    }
};

} // namespace

TEST(Timeline, SoundAndScriptTagsReachTheirSinks)
{
    swfw::Sprite inner;
    inner.startSound(7);
    inner.showFrame();
    inner.showFrame();
    auto movie = baseMovie();
    movie.defineSound(7, 3, 0, true, false, 4, QByteArray(8, '\0'));
    movie.defineSprite(3, inner);
    movie.placeObject2(swfw::Placement::place(1, 3));
    movie.showFrame();
    movie.placeObject2(swfw::Placement::place(2, 1));
    movie.doAction(QByteArray("\x07\x00", 2)); // stop, end
    movie.tag(59, QByteArray("\x03\x00\x00", 3)); // DoInitAction for sprite 3: one end byte
    movie.startSound(7);
    movie.showFrame();
    movie.removeObject2(1);
    movie.showFrame();

    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    RecordingSink sink;
    sink.root = reinterpret_cast<std::uintptr_t>(&p->stage().root());
    RecordingRunner runner;
    p->setSoundSink(&sink);
    p->setScriptRunner(&runner);
    ASSERT_FALSE(sink.events.isEmpty());
    EXPECT_TRUE(sink.events.first().startsWith("define")); // handed over at attach time
    p->nextFrame(); // root frame 2: StartSound on the root; the sprite's frame 2 is silent
    p->nextFrame(); // root frame 3: sprite removed
    p->nextFrame(); // loop: the sprite is back and sounds in its first frame
    // Children advance before their parent: in root frame 3 the sprite loops
    // to its sounding first frame just before the root removes it.
    EXPECT_EQ(sink.events.mid(1), (QStringList { "tag 15 frame 2 root", "tag 15 frame 1", "removed", "tag 15 frame 1" }));
    EXPECT_EQ(runner.calls, (QStringList { "init 3 bytes 1", "frame 2 children 2 bytes 2" }));
}

TEST(Timeline, ChildrenMovedInAndOutOfDepthOrderLandWhereTheirTagsSay)
{
    // Frame 1 places depths 1..12; frame 2 moves them from the top down, then
    // removes every third and places another shape at depth 5 of nothing;
    // frame 3 moves the survivors in depth order. Looking children up in
    // either order, and after the list changed, finds the right one.
    auto movie = baseMovie();
    constexpr int Count = 12;
    for (int d = 1; d <= Count; ++d)
        movie.placeObject2(swfw::Placement::place(std::uint16_t(d), 1, swfw::Matrix::translate(d, 0)));
    movie.showFrame();
    for (int d = Count; d >= 1; --d) {
        auto move = swfw::Placement::modify(std::uint16_t(d));
        move.matrix = swfw::Matrix::translate(d, 1);
        movie.placeObject2(move);
    }
    for (int d = 3; d <= Count; d += 3)
        movie.removeObject2(std::uint16_t(d));
    movie.showFrame();
    for (int d = 1; d <= Count; ++d) {
        auto move = swfw::Placement::modify(std::uint16_t(d));
        move.matrix = swfw::Matrix::translate(d, 2);
        movie.placeObject2(move);
    }
    movie.showFrame();

    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    auto& root = p->stage().root();
    const auto expect = [&](int frame) {
        for (int d = Count; d >= 1; --d) {
            const DisplayObject* child = root.childAt(d);
            const bool removed = frame > 1 && d % 3 == 0;
            ASSERT_EQ(child == nullptr, removed) << "frame " << frame << " depth " << d;
            if (!child)
                continue;
            EXPECT_EQ(child->depth(), d);
            EXPECT_EQ(child->matrix().tx, d);
            EXPECT_EQ(child->matrix().ty, frame - 1);
        }
    };
    for (int loop = 0; loop < 2; ++loop) { // the second time round comes back by a rewind
        for (int frame = 1; frame <= 3; ++frame) {
            expect(frame);
            p->nextFrame();
        }
    }
}
