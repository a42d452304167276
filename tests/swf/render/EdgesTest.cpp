// Edges drawn as the reference draws them: hairlines stay one pixel wide
// however far they are scaled, and a mask's edge covers its pixels in part
// when the stage is drawn anti-aliased.

#include "support/TestSupport.h"

using namespace testing_support;

namespace {

QColor at(const QImage& image, int x, int y)
{
    return QColor::fromRgba(image.pixel(x, y));
}

swfw::Movie movie100()
{
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor(White);
    return movie;
}

} // namespace

TEST(Edges, OneTwipLinesStayOnePixelWideWhenScaled)
{
    // A 1-twip line scaled 40 times would be 2 px wide; a hairline stays 1 px.
    swfw::Shape shape;
    int line = shape.addLineStyle(swfw::LineStyle::solid(1, Blue));
    shape.line(line).moveTo(0, 25).lineTo(50, 25);
    auto movie = movie100();
    movie.defineShape(1, shape, 3);
    // 25 twips * 40 = 50 px, moved down half a pixel to sit on the middle of row 50.
    movie.placeObject2(swfw::Placement::place(1, 1, swfw::Matrix::scale(40, 40, 0, 10)));
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    const QImage image = renderStage(*p);
    EXPECT_EQ(at(image, 50, 50), QColor(Qt::blue));
    EXPECT_EQ(at(image, 50, 49), QColor(Qt::white));
    EXPECT_EQ(at(image, 50, 51), QColor(Qt::white));
}

TEST(Edges, MaskEdgesCoverTheirPixelsInPart)
{
    // The mask ends half way across column 50 (1010 twips = 50.5 px): red
    // under half a pixel of mask over white is 255, 127.5, 127.5.
    auto movie = movie100();
    movie.defineShape(1, rectShape(Blue, 0, 0, 1010, 2000), 3); // mask
    movie.defineShape(2, rectShape(Red, 0, 0, 2000, 2000), 3);  // content
    auto mask = swfw::Placement::place(1, 1);
    mask.clipDepth = 2;
    movie.placeObject2(mask);
    movie.placeObject2(swfw::Placement::place(2, 2));
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    const QImage smooth = renderStage(*p, true);
    EXPECT_EQ(at(smooth, 49, 50), QColor(Qt::red));
    EXPECT_EQ(at(smooth, 51, 50), QColor(Qt::white));
    const QColor edge = at(smooth, 50, 50);
    EXPECT_EQ(edge.red(), 255);
    EXPECT_NEAR(edge.green(), 127.5, 1); // coverage is kept in 1/256 steps
    EXPECT_NEAR(edge.blue(), 127.5, 1);
    // Unmasked content beside the mask is untouched, and the masked pair
    // draws in depth order with what follows.
    const QImage hard = renderStage(*p, false);
    EXPECT_EQ(at(hard, 49, 50), QColor(Qt::red));
    EXPECT_EQ(at(hard, 51, 50), QColor(Qt::white));
}

TEST(Edges, MasksOfMasksCutTogether)
{
    // The outer mask keeps the left half, the inner one (inside its range)
    // the top half: only the top-left quarter of the content shows.
    auto movie = movie100();
    movie.defineShape(1, rectShape(Blue, 0, 0, 1000, 2000), 3);
    movie.defineShape(2, rectShape(Green, 0, 0, 2000, 1000), 3);
    movie.defineShape(3, rectShape(Red, 0, 0, 2000, 2000), 3);
    auto outer = swfw::Placement::place(1, 1);
    outer.clipDepth = 10;
    movie.placeObject2(outer);
    auto inner = swfw::Placement::place(2, 2);
    inner.clipDepth = 5;
    movie.placeObject2(inner);
    movie.placeObject2(swfw::Placement::place(3, 3));
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    const QImage image = renderStage(*p, true);
    EXPECT_EQ(at(image, 25, 25), QColor(Qt::red));
    EXPECT_EQ(at(image, 75, 25), QColor(Qt::white));
    EXPECT_EQ(at(image, 25, 75), QColor(Qt::white));
    EXPECT_EQ(at(image, 75, 75), QColor(Qt::white));
}

TEST(Edges, ShapeEdgesCountSixteenthsOfAPixel)
{
    // Each pixel is sampled at 4 x 4 points, a quarter pixel apart from an
    // eighth in. A left edge at 204 twips (10.2 px) leaves out the column of
    // points at 10.125: 12 of 16, where the exact area would be 12.8. Blue's
    // alpha is then 255 * 12/16 = 191 and white keeps 64 in red and green.
    auto movie = movie100();
    movie.defineShape(1, rectShape(Blue, 204, 0, 796, 800), 3);
    // A top edge at 1012 twips (50.6 px) keeps the rows at 50.625 and
    // 50.875: 8 of 16 (the area would be 6.4), alpha 127, white keeps 128.
    movie.defineShape(2, rectShape(Red, 0, 1012, 1000, 400), 3);
    movie.placeObject2(swfw::Placement::place(1, 1));
    movie.placeObject2(swfw::Placement::place(2, 2));
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    const QImage image = renderStage(*p, true);
    EXPECT_EQ(at(image, 10, 20), QColor(64, 64, 255));
    EXPECT_EQ(at(image, 11, 20), QColor(Qt::blue));
    EXPECT_EQ(at(image, 9, 20), QColor(Qt::white));
    EXPECT_EQ(at(image, 45, 50), QColor(255, 128, 128));
    EXPECT_EQ(at(image, 45, 51), QColor(Qt::red));
    EXPECT_EQ(at(image, 45, 49), QColor(Qt::white));
}
