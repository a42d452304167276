// Device glyphs: how their curves are cut into straight pieces, and the
// exact-area coverage they are filled with. Expected figures are worked out
// by hand from the shapes' areas.

#include "swf/render/DeviceGlyphs.h"

#include <QPainterPath>

#include <gtest/gtest.h>

namespace {

TEST(DeviceGlyphs, CurvesAreCutByHowMuchTheyBend)
{
    // Bend in 1/64 pixel: under half a pixel two pieces, under two pixels
    // four, under eight pixels eight, and so on.
    const std::pair<long, int> table[] = { { 0, 2 }, { 31, 2 }, { 32, 4 }, { 127, 4 }, { 128, 8 }, { 511, 8 }, { 512, 16 },
        { 2047, 16 }, { 2048, 32 }, { -5, 2 } };
    for (const auto& [bend, pieces] : table)
        EXPECT_EQ(swf::glyphCurvePieces(bend), pieces) << "bend " << bend;
    // A huge bend stays bounded.
    EXPECT_LE(swf::glyphCurvePieces(1L << 40), 1024);
}

TEST(DeviceGlyphs, CoverageIsTheCoveredShareOfEachPixel)
{
    // A rectangle from x 1.5 to 3.25, y 0 to 2: pixel column 1 is half
    // covered, column 2 whole, column 3 a quarter.
    QPainterPath rect;
    rect.addRect(QRectF(QPointF(1.5, 0), QPointF(3.25, 2)));
    swf::GlyphCoverage c;
    ASSERT_TRUE(swf::exactCoverage(rect, c));
    EXPECT_EQ(c.left, 1);
    EXPECT_EQ(c.top, 0);
    ASSERT_EQ(c.width, 3);
    ASSERT_EQ(c.height, 2);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(c.alpha[std::size_t(row * 3 + 0)], 128);
        EXPECT_EQ(c.alpha[std::size_t(row * 3 + 1)], 255);
        EXPECT_EQ(c.alpha[std::size_t(row * 3 + 2)], 64);
    }

    // A right triangle with legs of two pixels, from (10, 20): the corner
    // pixel is whole, its two neighbours along the legs half covered (the
    // hypotenuse runs through them corner to corner), the far one empty.
    QPainterPath triangle;
    triangle.moveTo(10, 20);
    triangle.lineTo(12, 20);
    triangle.lineTo(10, 22);
    triangle.closeSubpath();
    ASSERT_TRUE(swf::exactCoverage(triangle, c));
    EXPECT_EQ(c.left, 10);
    EXPECT_EQ(c.top, 20);
    ASSERT_EQ(c.width, 2);
    ASSERT_EQ(c.height, 2);
    EXPECT_EQ(c.alpha[0], 255);
    EXPECT_NEAR(c.alpha[1], 127.5, 0.5); // half of 255
    EXPECT_NEAR(c.alpha[2], 127.5, 0.5);
    EXPECT_EQ(c.alpha[3], 0);

    // Two overlapping squares of the same turn cover their shared pixel once.
    QPainterPath twice;
    twice.setFillRule(Qt::WindingFill);
    twice.addRect(QRectF(0, 0, 2, 1));
    twice.addRect(QRectF(1, 0, 2, 1));
    ASSERT_TRUE(swf::exactCoverage(twice, c));
    ASSERT_EQ(c.width, 3);
    EXPECT_EQ(c.alpha[0], 255);
    EXPECT_EQ(c.alpha[1], 255);
    EXPECT_EQ(c.alpha[2], 255);
}

TEST(DeviceGlyphs, NothingOrTooMuchIsRefused)
{
    swf::GlyphCoverage c;
    EXPECT_FALSE(swf::exactCoverage(QPainterPath(), c));
    QPainterPath huge;
    huge.addRect(QRectF(0, 0, 1e5, 1e5));
    EXPECT_FALSE(swf::exactCoverage(huge, c));
    QPainterPath far;
    far.addRect(QRectF(1e300, 0, 1, 1));
    EXPECT_FALSE(swf::exactCoverage(far, c));
}

} // namespace
