#include "support/TestSupport.h"

#include <QPainter>

using namespace testing_support;

namespace {

swfw::Movie movie100()
{
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor(White);
    return movie;
}

swfw::Placement moveTo(std::uint16_t depth, double xPx, double yPx)
{
    swfw::Placement p = swfw::Placement::modify(depth);
    p.matrix = swfw::Matrix::translate(swfw::px(xPx), swfw::px(yPx));
    return p;
}

// Red 20x20 square at depth 1 (x 10, y 10), blue 20x20 at depth 2 (x 60, y 60).
// Frame 2 moves the red one 20 px right, frame 3 changes nothing.
QByteArray twoSquares()
{
    auto movie = movie100();
    movie.defineShape(1, rectShape(Red, 0, 0, 400, 400), 1);
    movie.defineShape(2, rectShape(Blue, 0, 0, 400, 400), 1);
    movie.placeObject2(swfw::Placement::place(1, 1, swfw::Matrix::translate(swfw::px(10), swfw::px(10))));
    movie.placeObject2(swfw::Placement::place(2, 2, swfw::Matrix::translate(swfw::px(60), swfw::px(60))));
    movie.showFrame();
    movie.placeObject2(moveTo(1, 30, 10));
    movie.showFrame();
    movie.showFrame();
    return movie.bytes();
}

// Draws the frames of `bytes` twice through `view` into `size`: whole each
// frame, and repainting only the area changedArea gives into one kept image.
// Both must agree pixel for pixel on every frame.
void expectPartialEqualsFull(const QByteArray& bytes, int frames, const QTransform& view, QSize size)
{
    auto full = load(bytes);
    auto partial = load(bytes);
    ASSERT_TRUE(full && partial);
    full->setQuality(swf::Quality::High);
    partial->setQuality(swf::Quality::High);
    QImage kept(size, QImage::Format_ARGB32_Premultiplied);
    kept.fill(Qt::magenta);
    int repainted = 0;
    for (int f = 1; f <= frames; ++f) {
        if (f > 1) {
            full->nextFrame();
            partial->nextFrame();
        }
        QImage whole(size, QImage::Format_ARGB32_Premultiplied);
        whole.fill(full->backgroundColor());
        {
            QPainter painter(&whole);
            full->render(painter, view);
        }
        const QRegion area = partial->changedArea(view, size);
        if (!area.isEmpty()) {
            ++repainted;
            QPainter painter(&kept);
            painter.setClipRegion(area);
            painter.fillRect(QRect(QPoint(0, 0), size), partial->backgroundColor());
            partial->render(painter, view);
        }
        ASSERT_EQ(kept, whole) << "frame " << f;
    }
    EXPECT_GT(repainted, 1); // not a movie that never changes
}

} // namespace

TEST(FrameChanges, ReportsOnlyWhatMoved)
{
    auto p = load(twoSquares());
    ASSERT_TRUE(p);
    const QSize size(100, 100);
    // Nothing was shown yet: all of it.
    EXPECT_EQ(p->changedArea(QTransform(), size), QRegion(0, 0, 100, 100));
    // Frame 1 again, unchanged.
    EXPECT_TRUE(p->changedArea(QTransform(), size).isEmpty());
    p->nextFrame();
    const QRegion moved = p->changedArea(QTransform(), size);
    // The red square's old place (10..30) and new one (30..50), rows 10..30.
    EXPECT_TRUE(moved.contains(QRect(10, 10, 40, 20)));
    // The blue square and the empty corner stay as they were.
    EXPECT_FALSE(moved.intersects(QRect(58, 58, 24, 24)));
    EXPECT_FALSE(moved.intersects(QRect(0, 60, 40, 40)));
    p->nextFrame(); // frame 3 shows frame 2 again
    EXPECT_TRUE(p->changedArea(QTransform(), size).isEmpty());
    p->nextFrame(); // loops to frame 1: the red square goes back
    const QRegion back = p->changedArea(QTransform(), size);
    EXPECT_TRUE(back.contains(QRect(10, 10, 40, 20)));
    EXPECT_FALSE(back.intersects(QRect(58, 58, 24, 24)));
}

TEST(FrameChanges, NewViewOrQualityIsAllChanged)
{
    auto p = load(twoSquares());
    ASSERT_TRUE(p);
    p->changedArea(QTransform(), QSize(100, 100));
    EXPECT_EQ(p->changedArea(QTransform::fromScale(2, 2), QSize(100, 100)), QRegion(0, 0, 100, 100));
    EXPECT_EQ(p->changedArea(QTransform::fromScale(2, 2), QSize(200, 200)), QRegion(0, 0, 200, 200));
    p->setQuality(swf::Quality::Low);
    EXPECT_EQ(p->changedArea(QTransform::fromScale(2, 2), QSize(200, 200)), QRegion(0, 0, 200, 200));
    EXPECT_TRUE(p->changedArea(QTransform::fromScale(2, 2), QSize(200, 200)).isEmpty());
}

TEST(FrameChanges, ColourPlacementAndRemovalAreSeen)
{
    // Frame 2 tints the red square, frame 3 removes the blue one, frame 4 adds a green one.
    auto movie = movie100();
    movie.defineShape(1, rectShape(Red, 0, 0, 400, 400), 1);
    movie.defineShape(2, rectShape(Blue, 0, 0, 400, 400), 1);
    movie.defineShape(3, rectShape(Green, 0, 0, 400, 400), 1);
    movie.placeObject2(swfw::Placement::place(1, 1, swfw::Matrix::translate(swfw::px(10), swfw::px(10))));
    movie.placeObject2(swfw::Placement::place(2, 2, swfw::Matrix::translate(swfw::px(60), swfw::px(60))));
    movie.showFrame();
    swfw::Placement tint = swfw::Placement::modify(1);
    swfw::CxForm half;
    half.mulR = 0.5;
    tint.cxform = half;
    movie.placeObject2(tint);
    movie.showFrame();
    movie.removeObject2(2);
    movie.showFrame();
    movie.placeObject2(swfw::Placement::place(3, 3, swfw::Matrix::translate(swfw::px(60), swfw::px(10))));
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    const QSize size(100, 100);
    p->changedArea(QTransform(), size);
    p->nextFrame();
    QRegion area = p->changedArea(QTransform(), size);
    EXPECT_TRUE(area.contains(QRect(10, 10, 20, 20)));
    EXPECT_FALSE(area.intersects(QRect(58, 58, 24, 24)));
    p->nextFrame();
    area = p->changedArea(QTransform(), size);
    EXPECT_TRUE(area.contains(QRect(60, 60, 20, 20)));
    EXPECT_FALSE(area.intersects(QRect(8, 8, 24, 24)));
    p->nextFrame();
    area = p->changedArea(QTransform(), size);
    EXPECT_TRUE(area.contains(QRect(60, 10, 20, 20)));
    EXPECT_FALSE(area.intersects(QRect(0, 40, 100, 60)));
}

TEST(FrameChanges, PartialRepaintsEqualFullRedraws)
{
    // Moves, rotation, a clip inside a clip, a mask over a moving square and
    // a strokes-only shape, drawn anti-aliased at a scale that puts edges
    // between pixels.
    auto movie = movie100();
    movie.defineShape(1, rectShape(Red, 0, 0, 400, 400), 3);
    swfw::Shape ring;
    const int line = ring.addLineStyle(swfw::LineStyle::solid(60, Blue));
    ring.line(line).moveTo(0, 0).curveTo(300, 0, 300, 300).lineTo(0, 300).lineTo(0, 0);
    movie.defineShape(2, ring, 3);
    movie.defineShape(3, rectShape(Green, 0, 0, 600, 600), 3);
    swfw::Sprite inner;
    inner.placeObject2(swfw::Placement::place(1, 1));
    inner.placeObject2(swfw::Placement::place(2, 2, swfw::Matrix::translate(swfw::px(15), 0)));
    inner.showFrame();
    inner.placeObject2(moveTo(2, 18, 4));
    inner.showFrame();
    movie.defineSprite(4, inner);
    swfw::Placement mask = swfw::Placement::place(1, 3, swfw::Matrix::translate(swfw::px(50), swfw::px(50)));
    mask.clipDepth = 2;
    movie.placeObject2(mask);
    movie.placeObject2(swfw::Placement::place(2, 1, swfw::Matrix::translate(swfw::px(40), swfw::px(40))));
    movie.placeObject2(swfw::Placement::place(3, 4, swfw::Matrix::translate(swfw::px(5), swfw::px(5))));
    movie.placeObject2(swfw::Placement::place(4, 2, swfw::Matrix::translate(swfw::px(5), swfw::px(70))));
    movie.showFrame();
    for (int f = 1; f <= 6; ++f) {
        movie.placeObject2(moveTo(2, 40 + f * 3.3, 40 + f * 1.7)); // under the mask, half outside
        swfw::Placement turn = swfw::Placement::modify(4);
        turn.matrix = swfw::Matrix::rotate(f * 11.0, swfw::px(5 + f), swfw::px(70));
        movie.placeObject2(turn);
        if (f == 3)
            movie.placeObject2(moveTo(1, 47, 53)); // the mask itself moves
        movie.showFrame();
    }
    movie.showFrame(); // nothing moves
    expectPartialEqualsFull(movie.bytes(), 10, QTransform(1.37, 0, 0, 1.37, 3.4, 2.6), QSize(140, 140));
}
