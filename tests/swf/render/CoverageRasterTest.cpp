// Our coverage rasteriser: every pixel is sampled at 4 x 4 points, each in
// the middle of its quarter of the pixel, so a pixel's coverage is the count
// of points inside the fill, 0..16. Expected counts are worked out by hand
// from where the points fall.

#include "swf/render/CoverageFill.h"
#include "swf/render/CoverageRaster.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using swf::CoverageMask;
using swf::CoverageRasterizer;

namespace {

using Rule = CoverageRasterizer::Rule;

void addPolygon(CoverageRasterizer& raster, std::initializer_list<QPointF> points)
{
    const std::vector<QPointF> p(points);
    for (std::size_t i = 0; i < p.size(); ++i)
        raster.addEdge(p[i], p[(i + 1) % p.size()]);
}

CoverageMask polygon(std::initializer_list<QPointF> points, Rule rule = Rule::NonZero, QRect clip = QRect(0, 0, 100, 100))
{
    CoverageRasterizer raster;
    raster.clear();
    addPolygon(raster, points);
    CoverageMask mask;
    raster.rasterize(rule, clip, mask);
    return mask;
}

CoverageMask rect(double x0, double y0, double x1, double y1)
{
    return polygon({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

int total(const CoverageMask& mask)
{
    int sum = 0;
    for (std::uint8_t c : mask.cover)
        sum += c;
    return sum;
}

} // namespace

TEST(CoverageRaster, WholePixelRectangleCoversExactlyItsPixels)
{
    const CoverageMask mask = rect(10, 20, 14, 23);
    EXPECT_EQ(mask.bounds, QRect(10, 20, 4, 3));
    EXPECT_EQ(mask.at(10, 20), 16);
    EXPECT_EQ(mask.at(13, 22), 16);
    EXPECT_EQ(mask.at(9, 20), 0);
    EXPECT_EQ(mask.at(14, 22), 0);
    EXPECT_EQ(mask.at(12, 23), 0);
    EXPECT_EQ(total(mask), 12 * 16);
}

TEST(CoverageRaster, EdgesCountPointsNotArea)
{
    // Points of column 10 sit at 10.125, 10.375, 10.625 and 10.875.
    // From x = 10.25 three of the four are in: 12 of 16.
    EXPECT_EQ(rect(10.25, 0, 20, 4).at(10, 1), 12);
    // From 10.2 the area is 0.8 of the pixel (12.8 sixteenths), but three
    // points: 12. From 10.1 (0.9, 14.4) all four: 16.
    EXPECT_EQ(rect(10.2, 0, 20, 4).at(10, 1), 12);
    EXPECT_EQ(rect(10.1, 0, 20, 4).at(10, 1), 16);
    // From 10.5 two points: 8. Up to 10.5 on the right: the other two.
    EXPECT_EQ(rect(10.5, 0, 20, 4).at(10, 1), 8);
    EXPECT_EQ(rect(0, 0, 10.5, 4).at(10, 1), 8);
    // A pixel crossed by both sides of a thin sliver: 10.3 to 10.6 holds
    // only the point at 10.375, once per row of points: 4.
    EXPECT_EQ(rect(10.3, 0, 10.6, 4).at(10, 1), 4);
    // The same rule down the rows: from y = 5.8 only the row at 5.875.
    EXPECT_EQ(rect(0, 5.8, 20, 9).at(3, 5), 4);
    // A corner pixel takes the rows and the columns: 3 x 2 points.
    EXPECT_EQ(rect(10.25, 5.5, 20, 9).at(10, 5), 6);
}

TEST(CoverageRaster, DiagonalThroughCornersKeepsPointsStrictlyInside)
{
    // The triangle below the diagonal x + y = 8: in a pixel the diagonal
    // cuts corner to corner, the points with i + j < 3 of the 4 x 4 lie
    // inside (6); the four on the diagonal itself belong to the other side.
    const CoverageMask mask = polygon({{0, 0}, {8, 0}, {0, 8}});
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(mask.at(k, 7 - k), 6) << "pixel " << k;
    EXPECT_EQ(mask.at(0, 0), 16);
    EXPECT_EQ(mask.at(7, 7), 0);
}

TEST(CoverageRaster, PointsOnAnEdgeAreOutsideOnEitherSide)
{
    // The triangle above the same kind of diagonal, x + y = 8 from (8, 0)
    // to (0, 8) with (8, 8): now the diagonal is the left crossing of every
    // row, and again only the six points with i + j > 3 are inside; the four
    // on it are not.
    CoverageMask mask = polygon({{8, 0}, {8, 8}, {0, 8}});
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(mask.at(k, 7 - k), 6) << "pixel " << k;
    EXPECT_EQ(mask.at(7, 7), 16);
    EXPECT_EQ(mask.at(0, 0), 0);

    // The same with the diagonal drawn through a turn whose sine and cosine
    // differ in their last bit: from (10, 10) towards (18, 18), closed by
    // (26, 10). In the pixels it cuts corner to corner, the six points above
    // it are inside whichever way the rounding went.
    const double len = 8 * std::sqrt(2.0);
    const QPointF b(10 + len * std::cos(M_PI / 4), 10 + len * std::sin(M_PI / 4));
    mask = polygon({{10, 10}, b, {26, 10}});
    for (int k = 10; k < 18; ++k)
        EXPECT_EQ(mask.at(k, k), 6) << "pixel " << k;
    EXPECT_EQ(mask.at(14, 12), 16);
}

TEST(CoverageRaster, AbuttingFillsSumToFullCoverage)
{
    // A square cut along a slanted line into two fills: every pixel's two
    // coverages add up to exactly 16, so no seam shows between them.
    const QPointF a(2.3, 1.1), b(17.7, 18.6);
    const CoverageMask left = polygon({{0, 0}, a, b, {0, 20}});
    const CoverageMask right = polygon({a, {20, 0}, {20, 20}, b});
    const CoverageMask top = polygon({{0, 0}, {20, 0}, a});
    const CoverageMask bottom = polygon({{0, 20}, b, {20, 20}});
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(left.at(x, y) + right.at(x, y) + top.at(x, y) + bottom.at(x, y), 16) << x << "," << y;
}

TEST(CoverageRaster, WindingRules)
{
    // Two overlapping squares, both clockwise: non-zero fills the overlap,
    // even-odd leaves it empty.
    CoverageRasterizer raster;
    raster.clear();
    addPolygon(raster, {{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    addPolygon(raster, {{5, 5}, {15, 5}, {15, 15}, {5, 15}});
    CoverageMask nonZero, evenOdd;
    raster.rasterize(Rule::NonZero, QRect(0, 0, 20, 20), nonZero);
    raster.rasterize(Rule::EvenOdd, QRect(0, 0, 20, 20), evenOdd);
    EXPECT_EQ(nonZero.at(7, 7), 16);
    EXPECT_EQ(evenOdd.at(7, 7), 0);
    EXPECT_EQ(evenOdd.at(2, 2), 16);
    EXPECT_EQ(evenOdd.at(12, 12), 16);
    // The second square turned the other way cancels under non-zero too.
    raster.clear();
    addPolygon(raster, {{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    addPolygon(raster, {{5, 5}, {5, 15}, {15, 15}, {15, 5}});
    raster.rasterize(Rule::NonZero, QRect(0, 0, 20, 20), nonZero);
    EXPECT_EQ(nonZero.at(7, 7), 0);
    EXPECT_EQ(nonZero.at(12, 12), 16);
}

TEST(CoverageRaster, ClipLimitsTheMaskWithoutChangingCoverage)
{
    // A rectangle from -5.5 to 30.5 seen through 0..20: the box stops at the
    // clip, and the pixels at the clip's edge are fully covered.
    const CoverageMask mask = polygon({{-5.5, -5.5}, {30.5, -5.5}, {30.5, 30.5}, {-5.5, 30.5}}, Rule::NonZero, QRect(0, 0, 20, 20));
    EXPECT_EQ(mask.bounds, QRect(0, 0, 20, 20));
    EXPECT_EQ(mask.at(0, 0), 16);
    EXPECT_EQ(mask.at(19, 19), 16);
    EXPECT_EQ(total(mask), 400 * 16);
    // Wholly outside: nothing at all.
    EXPECT_TRUE(polygon({{30, 30}, {40, 30}, {40, 40}}, Rule::NonZero, QRect(0, 0, 20, 20)).isEmpty());
}

TEST(CoverageRaster, DegenerateAndHugeInputStaySafe)
{
    // No area: a line, a point, a flat triangle.
    EXPECT_EQ(total(polygon({{1, 1}, {9, 9}})), 0);
    EXPECT_EQ(total(polygon({{5, 5}, {5, 5}, {5, 5}})), 0);
    EXPECT_EQ(total(polygon({{0, 4}, {10, 4}, {20, 4}})), 0);
    // Points that are not numbers are dropped with their edges.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(total(polygon({{nan, 0}, {10, nan}, {inf, inf}})), 0);
    // Coordinates far past any int still cover the clip exactly.
    const CoverageMask huge = polygon({{-1e15, -1e15}, {1e15, -1e15}, {1e15, 1e15}, {-1e15, 1e15}}, Rule::NonZero, QRect(0, 0, 8, 8));
    EXPECT_EQ(total(huge), 64 * 16);
    // A sliver from far away still crosses the clip where it should: the
    // right edge runs from (5.5, -1e9) to (5.5, 1e9).
    const CoverageMask tall = polygon({{0, -1e9}, {5.5, -1e9}, {5.5, 1e9}, {0, 1e9}}, Rule::NonZero, QRect(0, 0, 8, 8));
    EXPECT_EQ(tall.at(4, 3), 16);
    EXPECT_EQ(tall.at(5, 3), 8);
    EXPECT_EQ(tall.at(6, 3), 0);
}

TEST(CoverageRaster, CurvesAreFlattenedFinely)
{
    // A circle of radius 20 (cubic arcs): the points inside come within a
    // hundredth of its area, and it lies inside its 40 x 40 box.
    QPainterPath circle;
    circle.setFillRule(Qt::WindingFill);
    circle.addEllipse(QPointF(30, 30), 20, 20);
    CoverageMask mask;
    swf::coverageOf(circle, QTransform(), QRect(0, 0, 64, 64), mask);
    const double area = total(mask) / 16.0;
    EXPECT_NEAR(area, M_PI * 400, M_PI * 4);
    EXPECT_EQ(mask.at(30, 30), 16);
    EXPECT_EQ(mask.at(10, 10), 0);
    EXPECT_TRUE(QRect(10, 10, 40, 40).contains(mask.bounds));
}

TEST(CoverageRaster, MaskMovesWithWholePixelTranslations)
{
    // Moved by whole pixels a fill covers the same way: a kept mask can be
    // shifted instead of drawn again.
    const CoverageMask here = polygon({{3.3, 2.6}, {11.9, 4.2}, {7.1, 12.8}});
    CoverageMask moved = here;
    moved.translate(20, 30);
    const CoverageMask there = polygon({{23.3, 32.6}, {31.9, 34.2}, {27.1, 42.8}});
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(moved.at(x + 20, y + 30), there.at(x + 20, y + 30)) << x << "," << y;
}

TEST(CoverageFill, SolidFillBlendsEachSixteenthOverTheFrame)
{
    // Blue over white from x = 10.2: pixel 10 has 12 of 16 points, so
    // blue's alpha is 255 * 12/16 = 191 (in steps of 1/256) and red and
    // green keep 255 - 191 = 64 of the white.
    QImage image(20, 4, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRect(QRectF(10.2, 0, 8, 4));
    swf::fillCovered(painter, path, QBrush(Qt::blue));
    painter.end();
    EXPECT_EQ(QColor(image.pixel(10, 1)), QColor(64, 64, 255));
    EXPECT_EQ(QColor(image.pixel(11, 1)), QColor(Qt::blue));
    EXPECT_EQ(QColor(image.pixel(9, 1)), QColor(Qt::white));
    // Half-transparent red over that: 8 of 16 points from x = 14.5, alpha
    // 128 * 8/16 = 64 over blue, 128 where fully covered (x 10.2 to 18.2
    // covers pixels 14 and 16 wholly: both are blue).
    painter.begin(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath second;
    second.addRect(QRectF(14.5, 0, 5, 4));
    swf::fillCovered(painter, second, QBrush(QColor(255, 0, 0, 128)));
    painter.end();
    const QColor half = QColor::fromRgba(image.pixel(16, 1));
    EXPECT_NEAR(half.red(), 128, 1);
    EXPECT_NEAR(half.blue(), 127, 1);
    const QColor edge = QColor::fromRgba(image.pixel(14, 1));
    EXPECT_NEAR(edge.red(), 64, 1);
    EXPECT_NEAR(edge.blue(), 191, 1);
}

TEST(CoverageFill, ClippedPainterAndPatternBrushesGoThroughALayer)
{
    // A painter clipped to the left half keeps the fill there only, with the
    // same sixteenths at the shape's own edge.
    QImage image(20, 4, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(QRect(0, 0, 12, 4));
    QPainterPath path;
    path.addRect(QRectF(10.5, 0, 9, 4));
    swf::fillCovered(painter, path, QBrush(Qt::black));
    // A gradient brush (a pattern, not a colour) through the same route.
    painter.setClipping(false);
    QLinearGradient ramp(QPointF(0, 0), QPointF(20, 0));
    ramp.setColorAt(0, Qt::black);
    ramp.setColorAt(1, Qt::black);
    QPainterPath low;
    low.addRect(QRectF(0, 2, 4.75, 2));
    swf::fillCovered(painter, low, QBrush(ramp));
    painter.end();
    // 8 of 16 points: alpha 255 * 8/16 = 127 (truncated), white keeps 128.
    EXPECT_EQ(QColor(image.pixel(10, 0)), QColor(128, 128, 128));
    EXPECT_EQ(QColor(image.pixel(11, 0)), QColor(Qt::black));
    EXPECT_EQ(QColor(image.pixel(12, 0)), QColor(Qt::white)); // clipped away
    EXPECT_EQ(QColor(image.pixel(3, 3)), QColor(Qt::black));
    EXPECT_EQ(QColor(image.pixel(4, 3)), QColor(64, 64, 64)); // 12 of 16 points: alpha 191
}
