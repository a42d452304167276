// Paths past a frame's budget: how they are simplified, what the simplified
// polygons of one frame may cost, and that they are drawn without smoothing
// while ordinary shapes keep theirs.

#include "support/HostileMovies.h"
#include "support/TestSupport.h"

#include "swf/render/PathBudget.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

using swf::PathBudget;
using testing_support::load;
using testing_support::renderStage;

// (0,0), (10,50), (20,0), (30,50), ...: `points` lines.
QPainterPath zigzag(int points)
{
    QPainterPath path;
    path.moveTo(0, 0);
    for (int i = 1; i <= points; ++i)
        path.lineTo(i * 10, (i % 2) ? 50 : 0);
    return path;
}

TEST(SimplifiedPaths, AZigzagKeepsItsReachWhenTheStepMatchesItsPeriod)
{
    // 40000 points into 20000: a step of 2. Taking every second point would
    // keep only the ones at y = 0; of each pair the one farther from the
    // point kept before lies on the other side, so both sides stay.
    const QPainterPath shown = PathBudget::simplified(zigzag(40000), 20000);
    EXPECT_LE(shown.elementCount(), 20000 + 1);
    EXPECT_EQ(shown.boundingRect().top(), 0);
    EXPECT_EQ(shown.boundingRect().bottom(), 50);
    EXPECT_NEAR(shown.boundingRect().right(), 400000, 20);
}

TEST(SimplifiedPaths, AMillionTinyPartsStayWithinTheBound)
{
    // 100000 subpaths of one line each, into 1000 points: one point of every
    // hundred is kept, and only subpaths with a kept point appear.
    QPainterPath parts;
    for (int i = 0; i < 100000; ++i) {
        parts.moveTo(i, 0);
        parts.lineTo(i, 10);
    }
    const QPainterPath shown = PathBudget::simplified(parts, 1000);
    EXPECT_LE(shown.elementCount(), 2 * 1000);
    EXPECT_GE(shown.elementCount(), 2 * 999);
}

TEST(SimplifiedPaths, OutlinesKeepFewerPointsAndTheFrameDrawsOnlySoMany)
{
    PathBudget budget(0); // everything is simplified
    // 100000 lines: a step of 50 for an outline (2000 points and the
    // start) and of 5 for a fill (20000 and the start).
    const QPainterPath big = zigzag(100000);
    QPainterPath scratch;
    const QPainterPath& outline = budget.admit(big, scratch, PathBudget::Use::Stroke);
    ASSERT_EQ(&outline, &scratch);
    EXPECT_EQ(outline.elementCount(), PathBudget::MaxSimplifiedStrokePoints + 1);
    // The outline cost its 2001 points ten times over: 20010 of 200000.
    // Fills of 20001 each: eight more fit (179998 in all), the ninth
    // spends the rest, and every path after it is left out, even a small one.
    for (int i = 0; i < 9; ++i) {
        const QPainterPath& fill = budget.admit(big, scratch);
        EXPECT_EQ(fill.elementCount(), PathBudget::MaxSimplifiedPoints + 1);
    }
    EXPECT_EQ(budget.simplifiedCount(), 10);
    EXPECT_EQ(budget.droppedCount(), 0);
    EXPECT_TRUE(budget.admit(big, scratch).isEmpty());
    EXPECT_TRUE(budget.admit(zigzag(3), scratch).isEmpty());
    EXPECT_EQ(budget.droppedCount(), 2);
}

// The distinct colours of `image`.
QSet<QRgb> colours(const QImage& image)
{
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            seen.insert(image.pixel(x, y));
    return seen;
}

TEST(SimplifiedPaths, ASimplifiedShapeIsDrawnWithoutSmoothing)
{
    // 600000 curves count 4.8 million segments, past the frame's 4 million:
    // drawn as a polygon, whole pixels only, so with smoothing asked for the
    // picture still holds nothing but the white stage and the red fill.
    auto playback = load(hostile::monsterShape(600000, false));
    ASSERT_TRUE(playback);
    const QSet<QRgb> seen = colours(renderStage(*playback, true));
    EXPECT_EQ(seen, (QSet<QRgb> { qRgb(255, 255, 255), qRgb(200, 40, 40) }));
}

TEST(SimplifiedPaths, OrdinaryShapesKeepTheirSmoothing)
{
    // A red square from 10.5 to 30.5 pixels: with smoothing its edge pixels
    // are half covered, a colour between the red and the white stage.
    swfw::Movie movie(8, 100, 100, 30);
    movie.defineShape(1, testing_support::rectShape(testing_support::Red, 210, 210, 400, 400), 3);
    movie.placeObject2(swfw::Placement::place(1, 1));
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    const QImage image = renderStage(*playback, true);
    EXPECT_EQ(image.pixel(20, 20), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255));
    const QRgb edge = image.pixel(10, 20);
    EXPECT_EQ(qRed(edge), 255);
    EXPECT_GT(qGreen(edge), 60);
    EXPECT_LT(qGreen(edge), 195);
}

} // namespace
