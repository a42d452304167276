// Clips made, moved and removed by scripts, their bounds and hits, and masks
// set by scripts or nested clip depths, on movies our own writer builds.

#include "support/TestSupport.h"

#include "swf/runtime/Bounds.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/StageScripts.h"
#include "support/Assembler.h"

using namespace testing_support;
using swf::avm1::test::Asm;

namespace {

constexpr int Offset = swf::SpriteInstance::ScriptDepthOffset;

// Shape 1: red 100x50 px. Shape 2: blue 100x100 px. Shape 6: green 100x100 px.
// Sprite 3 holds shape 1 at depth 1; sprite 4 holds sprite 3 turned a quarter
// turn and moved 50 px right; sprite 5 has three frames of shape 2.
swfw::Movie baseMovie(int version = 8)
{
    swfw::Movie movie(version, 200, 200, 12);
    movie.defineShape(1, rectShape(Red, 0, 0, 2000, 1000), 3);
    movie.defineShape(2, rectShape(Blue, 0, 0, 2000, 2000), 3);
    movie.defineShape(6, rectShape(Green, 0, 0, 2000, 2000), 3);
    swfw::Sprite inner;
    inner.placeObject2(swfw::Placement::place(1, 1));
    inner.showFrame();
    movie.defineSprite(3, inner);
    swfw::Sprite turned;
    turned.placeObject2(swfw::Placement::place(1, 3, swfw::Matrix::rotate(90, 1000, 0)));
    turned.showFrame();
    movie.defineSprite(4, turned);
    swfw::Sprite threeFrames;
    threeFrames.placeObject2(swfw::Placement::place(1, 2));
    threeFrames.showFrame();
    threeFrames.showFrame();
    threeFrames.showFrame();
    movie.defineSprite(5, threeFrames);
    return movie;
}

swfw::Placement named(uint16_t depth, uint16_t id, const char* name, const swfw::Matrix& m = {})
{
    auto p = swfw::Placement::place(depth, id, m);
    p.name = QByteArray(name);
    return p;
}

QRgb pixel(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

} // namespace

TEST(DynamicClips, SwappedInstanceIsLeftAloneByTheTimeline)
{
    auto movie = baseMovie();
    movie.placeObject2(named(1, 3, "a"));
    movie.showFrame();
    auto move = swfw::Placement::modify(1);
    move.matrix = swfw::Matrix::translate(400, 0);
    movie.placeObject2(move);
    movie.showFrame();
    movie.removeObject2(1);
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    swf::SpriteInstance& root = playback->stage().root();
    swf::DisplayObject* a = root.childAt(1);
    ASSERT_TRUE(a);
    EXPECT_FALSE(a->isScriptOwned());

    ASSERT_TRUE(root.swapChildDepths(1, Offset + 10));
    EXPECT_EQ(root.childAt(1), nullptr);
    EXPECT_EQ(root.childAt(Offset + 10), a);
    EXPECT_EQ(a->depth(), Offset + 10);
    EXPECT_TRUE(a->isScriptOwned());

    playback->nextFrame(); // the timeline moves depth 1: nothing there now
    EXPECT_EQ(a->matrix().tx, 0);
    playback->nextFrame(); // and removes depth 1
    EXPECT_EQ(root.childAt(Offset + 10), a);

    // Trading places with an occupied depth moves both.
    swf::SpriteInstance* empty = root.createEmptyChild(QStringLiteral("e"), Offset + 11);
    ASSERT_TRUE(empty);
    ASSERT_TRUE(root.swapChildDepths(Offset + 10, Offset + 11));
    EXPECT_EQ(root.childAt(Offset + 10), empty);
    EXPECT_EQ(root.childAt(Offset + 11), a);
    EXPECT_EQ(empty->depth(), Offset + 10);
    EXPECT_FALSE(root.swapChildDepths(Offset + 50, Offset + 51)); // nothing to move
}

TEST(DynamicClips, TimelineMovesOnlyWhatItPlaced)
{
    auto movie = baseMovie();
    movie.placeObject2(named(1, 3, "a"));
    movie.showFrame();
    auto move = swfw::Placement::modify(1);
    move.matrix = swfw::Matrix::translate(400, 0);
    movie.placeObject2(move);
    movie.removeObject2(2);
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    swf::SpriteInstance& root = playback->stage().root();
    // A duplicate at a timeline depth belongs to scripts all the same.
    swf::DisplayObject* copy = root.duplicateChild(*root.childAt(1), QStringLiteral("copy"), 2);
    ASSERT_TRUE(copy);
    playback->nextFrame();
    EXPECT_EQ(root.childAt(1)->matrix().tx, 400);
    EXPECT_EQ(root.childAt(2), copy) << "RemoveObject2 took a clip the timeline never placed";
    EXPECT_EQ(copy->matrix().tx, 0);
}

TEST(DynamicClips, BackwardGotoKeepsScriptDepthsAndRebuildsTimelineDepths)
{
    auto movie = baseMovie();
    movie.placeObject2(named(1, 3, "a"));
    movie.showFrame();
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    swf::SpriteInstance& root = playback->stage().root();
    playback->nextFrame();
    swf::DisplayObject* a = root.childAt(1);
    ASSERT_TRUE(root.createEmptyChild(QStringLiteral("kept"), Offset + 1));
    ASSERT_TRUE(root.duplicateChild(*a, QStringLiteral("low"), 5));

    root.gotoFrame(1, false);
    EXPECT_EQ(root.childAt(1), a) << "the timeline's own instance stays across the rebuild";
    ASSERT_TRUE(root.childAt(Offset + 1));
    EXPECT_EQ(root.childAt(Offset + 1)->name(), QStringLiteral("kept"));
    EXPECT_EQ(root.childAt(5), nullptr);
}

TEST(DynamicClips, DuplicateCopiesPlacementAndStartsAtFrameOne)
{
    auto movie = baseMovie();
    auto place = named(1, 5, "src", swfw::Matrix::translate(200, 300));
    swfw::CxForm cx;
    cx.mulR = 0.5;
    cx.addB = 40;
    place.cxform = cx;
    movie.placeObject2(place);
    movie.showFrame();
    movie.showFrame();
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    swf::SpriteInstance& root = playback->stage().root();
    playback->nextFrame();
    playback->nextFrame();
    auto* src = root.childAt(1)->asSprite();
    ASSERT_TRUE(src);
    ASSERT_EQ(src->currentFrame(), 3);

    auto* copy = root.duplicateChild(*src, QStringLiteral("copy"), Offset + 2);
    ASSERT_TRUE(copy && copy->asSprite());
    EXPECT_EQ(copy->matrix(), src->matrix());
    EXPECT_EQ(copy->colorTransform(), src->colorTransform());
    EXPECT_EQ(copy->asSprite()->currentFrame(), 1);
    EXPECT_EQ(copy->name(), QStringLiteral("copy"));
    EXPECT_TRUE(copy->isScriptOwned());

    // Duplicating onto the source's own depth replaces the source.
    auto* over = root.duplicateChild(*copy, QStringLiteral("over"), Offset + 2);
    ASSERT_TRUE(over);
    EXPECT_EQ(root.childAt(Offset + 2), over);
    EXPECT_EQ(root.childByName(QStringLiteral("copy")), nullptr);
    // Only a child of this sprite can be copied into it.
    EXPECT_EQ(over->asSprite()->duplicateChild(*src, QStringLiteral("x"), Offset), nullptr);
}

TEST(DynamicClips, AttachTakesSpritesOnlyAndReplacesTheDepth)
{
    auto movie = baseMovie();
    movie.placeObject2(swfw::Placement::place(1, 3)); // unnamed sprite
    movie.placeObject2(swfw::Placement::place(2, 1)); // unnamed shape
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    swf::SpriteInstance& root = playback->stage().root();
    EXPECT_EQ(root.childAt(1)->name(), QStringLiteral("instance1"));
    EXPECT_TRUE(root.childAt(2)->name().isEmpty()) << "shapes have no script name";

    EXPECT_EQ(root.attachSprite(1, QStringLiteral("shape"), Offset), nullptr);
    EXPECT_EQ(root.attachSprite(999, QStringLiteral("none"), Offset), nullptr);
    auto* x = root.attachSprite(3, QStringLiteral("x"), Offset);
    ASSERT_TRUE(x);
    EXPECT_EQ(x->currentFrame(), 1);
    EXPECT_EQ(x->displayList().size(), 1u);
    auto* y = root.attachSprite(3, QStringLiteral("y"), Offset);
    ASSERT_TRUE(y);
    EXPECT_EQ(root.childAt(Offset), y);
    EXPECT_EQ(root.childByName(QStringLiteral("x")), nullptr);
}

TEST(Bounds, NestedTurnedAndScaledSprites)
{
    auto movie = baseMovie();
    movie.placeObject2(named(1, 4, "outer", swfw::Matrix::scale(2, 2)));
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    swf::SpriteInstance& root = playback->stage().root();
    swf::DisplayObject* outer = root.childAt(1);
    ASSERT_TRUE(outer && outer->asSprite());
    swf::DisplayObject* inner = outer->asSprite()->childAt(1);
    ASSERT_TRUE(inner && inner->asSprite());

    QRectF box;
    ASSERT_TRUE(swf::localBounds(*inner, box));
    EXPECT_EQ(box, QRectF(0, 0, 2000, 1000));
    // A quarter turn swaps the sides; the turn's origin sits 1000 twips right.
    ASSERT_TRUE(swf::localBounds(*outer, box));
    EXPECT_NEAR(box.left(), 0, 0.01);
    EXPECT_NEAR(box.right(), 1000, 0.01);
    EXPECT_NEAR(box.top(), 0, 0.01);
    EXPECT_NEAR(box.bottom(), 2000, 0.01);
    ASSERT_TRUE(swf::boundsThrough(*outer, outer->matrix().toQTransform(), box));
    EXPECT_NEAR(box.width(), 2000, 0.01);
    EXPECT_NEAR(box.height(), 4000, 0.01);

    QPointF corner = swf::worldTransform(*inner).map(QPointF(2000, 1000));
    EXPECT_NEAR(corner.x(), 0, 0.01);
    EXPECT_NEAR(corner.y(), 4000, 0.01);

    // Inside the turned red shape, then beside it, then inside its box but past a hole-free edge.
    EXPECT_TRUE(swf::hitsShape(*outer, QPointF(1000, 2000)));
    EXPECT_FALSE(swf::hitsShape(*outer, QPointF(2500, 100)));
    EXPECT_FALSE(swf::hitsShape(*outer, QPointF(-10, 100)));

    swf::SpriteInstance* empty = root.createEmptyChild(QStringLiteral("empty"), Offset);
    ASSERT_TRUE(empty);
    EXPECT_FALSE(swf::localBounds(*empty, box)) << "an empty clip covers nothing";
    EXPECT_FALSE(swf::hitsShape(*empty, QPointF(0, 0)));
}

TEST(Masks, ScriptMaskHidesOutsideAndIsNotDrawn)
{
    auto movie = baseMovie();
    movie.placeObject2(named(1, 5, "content"));
    auto maskPlace = named(2, 3, "mask", swfw::Matrix::translate(0, 1000));
    maskPlace.clipDepth = 3; // a clip-depth mask first; setMask ends that role
    movie.placeObject2(maskPlace);
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    swf::SpriteInstance& root = playback->stage().root();
    swf::DisplayObject* content = root.childAt(1);
    swf::DisplayObject* mask = root.childAt(2);
    content->setScriptMask(mask);
    EXPECT_EQ(mask->clipDepth(), 0);
    EXPECT_EQ(mask->maskedObject(), content);

    QImage image = renderStage(*playback);
    EXPECT_EQ(pixel(image, 50, 25), 0xFFFFFFu) << "above the mask: hidden";
    EXPECT_EQ(pixel(image, 50, 75), 0x0000FFu) << "under the mask: content shows";
    EXPECT_EQ(pixel(image, 150, 75), 0xFFFFFFu) << "the red mask itself is not drawn";

    // A mask serves one object: taking it for another frees the first.
    swf::DisplayObject* other = root.createEmptyChild(QStringLiteral("other"), Offset);
    other->setScriptMask(mask);
    EXPECT_EQ(content->scriptMask(), nullptr);
    EXPECT_EQ(mask->maskedObject(), other);
    content->setScriptMask(mask);

    root.removeChild(2);
    EXPECT_EQ(content->scriptMask(), nullptr) << "the pairing ends with the mask";
    EXPECT_EQ(other->scriptMask(), nullptr);
    image = renderStage(*playback);
    EXPECT_EQ(pixel(image, 50, 25), 0x0000FFu);
}

TEST(Masks, NestedClipDepthMasksCutEachOther)
{
    // Mask a (0..100 px square) covers depth 2 only; there mask b (from 50,25)
    // covers up to depth 4, where the green square (from 25,50) sits. The green
    // shows where both masks are, a's range notwithstanding.
    auto movie = baseMovie();
    auto a = swfw::Placement::place(1, 2);
    a.clipDepth = 2;
    movie.placeObject2(a);
    auto b = swfw::Placement::place(2, 2, swfw::Matrix::translate(1000, 500));
    b.clipDepth = 4;
    movie.placeObject2(b);
    movie.placeObject2(swfw::Placement::place(4, 6, swfw::Matrix::translate(500, 1000)));
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    QImage image = renderStage(*playback);
    EXPECT_EQ(pixel(image, 75, 75), 0x00FF00u) << "inside both masks";
    EXPECT_EQ(pixel(image, 110, 75), 0xFFFFFFu) << "inside b only";
    EXPECT_EQ(pixel(image, 30, 75), 0xFFFFFFu) << "inside a only";
    EXPECT_EQ(pixel(image, 10, 10), 0xFFFFFFu) << "the masks themselves are not drawn";
}

TEST(Masks, ScrollRectShowsItsWindowAtTheOrigin)
{
    auto movie = baseMovie();
    movie.placeObject2(named(1, 5, "content", swfw::Matrix::translate(1000, 1000)));
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    swf::DisplayObject* content = playback->stage().root().childAt(1);
    QImage image = renderStage(*playback);
    ASSERT_EQ(pixel(image, 140, 140), 0x0000FFu);
    // A 50x30 px window from (20,20) of the blue square: it shows at 50..100, 50..80.
    content->setScrollRect(QRectF(400, 400, 1000, 600));
    image = renderStage(*playback);
    EXPECT_EQ(pixel(image, 60, 60), 0x0000FFu);
    EXPECT_EQ(pixel(image, 95, 75), 0x0000FFu);
    EXPECT_EQ(pixel(image, 110, 60), 0xFFFFFFu) << "right of the window";
    EXPECT_EQ(pixel(image, 60, 90), 0xFFFFFFu) << "below the window";
    content->setScrollRect(std::nullopt);
    image = renderStage(*playback);
    EXPECT_EQ(pixel(image, 140, 140), 0x0000FFu);
}

TEST(ScriptClips, AttachMeasureAndFollowReferencesByPath)
{
    auto movie = baseMovie();
    QByteArray exports;
    exports.append(char(1)).append(char(0));  // one export
    exports.append(char(3)).append(char(0));  // sprite 3
    exports.append("sym").append(char(0));    // as "sym"
    movie.tag(56, exports);
    Asm s;
    s.push({ 5, "m", "sym", 3, "attachMovie" }).callFunction().pop();
    s.push({ "m" }).getVariable().push({ "_width" }).getMember().trace();                 // 100
    s.push({ "m" }).getVariable().push({ "_width", 50 }).setMember();
    s.push({ "m" }).getVariable().push({ "_xscale" }).getMember().trace();                // 50
    s.push({ "r", "m" }).getVariable().setVariable();
    s.push({ 0, "m" }).getVariable().push({ "removeMovieClip" }).callMethod().pop();
    s.push({ "r" }).getVariable().push({ "_name" }).getMember().trace();                  // undefined
    s.push({ 7, "m", "sym", 3, "attachMovie" }).callFunction().pop();
    s.push({ 0, "r" }).getVariable().push({ "getDepth" }).callMethod().trace();           // 7: r finds the new m
    s.push({ 0, "_root" }).getVariable().push({ "getNextHighestDepth" }).callMethod().trace(); // 8
    s.push({ "m" }).getVariable().push({ "_x", 10 }).setMember();
    s.push({ "_root" }).getVariable().push({ 1, "m" }).getVariable().push({ "getBounds" }).callMethod();
    s.push({ "xMax" }).getMember().trace();                                               // 110
    s.push({ true, 25, 50, 3, "m" }).getVariable().push({ "hitTest" }).callMethod().trace(); // true
    s.push({ true, 75, 50, 3, "m" }).getVariable().push({ "hitTest" }).callMethod().trace(); // false
    s.push({ "p", "x", 5, "y", 5, 2 }).op(0x43).setVariable();
    s.push({ "p" }).getVariable().push({ 1, "m" }).getVariable().push({ "localToGlobal" }).callMethod().pop();
    s.push({ "p" }).getVariable().push({ "x" }).getMember().trace();                      // 15
    s.push({ -16383, 1, "m" }).getVariable().push({ "getInstanceAtDepth" }).callMethod();
    s.push({ "_name" }).getMember().trace();                                              // m: a shape answers with its clip
    s.end();
    movie.doAction(s.bytes());
    movie.showFrame();

    QStringList lines;
    swf::PlaybackOptions options;
    options.trace = [&lines](const QString& line) { lines << line; };
    ASSERT_TRUE(load(movie.bytes(), options));
    EXPECT_EQ(lines.join(QLatin1Char('|')), QStringLiteral("100|50|undefined|7|8|110|true|false|15|m"));
}
