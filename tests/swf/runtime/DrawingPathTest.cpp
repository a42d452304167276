// The runtime drawing: how drawing commands become fill and line paths.

#include "swf/runtime/Drawing.h"

#include <gtest/gtest.h>

#include <cmath>

using swf::Drawing;
using swf::DrawingFill;
using swf::FillStyle;
using swf::LineStyle;

namespace {

DrawingFill solid(uint8_t r, uint8_t g, uint8_t b)
{
    DrawingFill fill;
    fill.style.type = FillStyle::Type::Solid;
    fill.style.color = swf::Rgba { r, g, b, 255 };
    return fill;
}

LineStyle line(double twips)
{
    LineStyle style;
    style.width = twips;
    return style;
}

// The points of a path in order, moves included.
std::vector<QPointF> points(const QPainterPath& path)
{
    std::vector<QPointF> out;
    for (int i = 0; i < path.elementCount(); ++i)
        out.emplace_back(path.elementAt(i).x, path.elementAt(i).y);
    return out;
}

} // namespace

TEST(DrawingPath, EndFillClosesTheFillAndStrokesTheClosingSide)
{
    Drawing d;
    d.setLineStyle(line(40));
    d.moveTo({ 0, 0 });
    d.beginFill(solid(255, 0, 0));
    d.lineTo({ 200, 0 });
    d.lineTo({ 200, 200 });
    d.endFill();

    ASSERT_EQ(d.fills().size(), 1u);
    const std::vector<QPointF> fill = points(d.fills()[0].path);
    ASSERT_EQ(fill.size(), 4u);
    EXPECT_EQ(fill.back(), QPointF(0, 0)) << "the fill returns to where it began";
    // The closing side is stroked too: three sides in one line part.
    ASSERT_EQ(d.lines().size(), 1u);
    EXPECT_EQ(points(d.lines()[0].path), (std::vector<QPointF> { { 0, 0 }, { 200, 0 }, { 200, 200 }, { 0, 0 } }));
    EXPECT_EQ(d.pen(), QPointF(0, 0));
    EXPECT_FALSE(d.filling());
}

TEST(DrawingPath, NewFillClosesThePreviousOne)
{
    Drawing d;
    d.beginFill(solid(255, 0, 0));
    d.lineTo({ 100, 0 });
    d.lineTo({ 100, 100 });
    d.beginFill(solid(0, 0, 255));
    d.lineTo({ 0, 100 });
    d.endFill();

    ASSERT_EQ(d.fills().size(), 2u);
    EXPECT_EQ(points(d.fills()[0].path).back(), QPointF(0, 0));
    EXPECT_EQ(d.fills()[0].fill.style.color.r, 255);
    EXPECT_EQ(d.fills()[1].fill.style.color.b, 255);
    // The second fill starts where the first one closed.
    EXPECT_EQ(points(d.fills()[1].path).front(), QPointF(0, 0));
    EXPECT_TRUE(d.lines().empty()) << "no line style, no strokes";
}

TEST(DrawingPath, MovesAndLineStyleChanges)
{
    Drawing d;
    d.lineTo({ 20, 0 }); // from the origin, unstroked: no line style yet
    d.setLineStyle(line(20));
    d.lineTo({ 40, 0 });
    d.moveTo({ 100, 100 });
    d.lineTo({ 120, 100 });
    d.setLineStyle(line(60));
    d.curveTo({ 140, 100 }, { 140, 120 });

    ASSERT_EQ(d.lines().size(), 2u) << "each line style gets a part of its own";
    EXPECT_EQ(points(d.lines()[0].path), (std::vector<QPointF> { { 20, 0 }, { 40, 0 }, { 100, 100 }, { 120, 100 } }));
    EXPECT_EQ(d.lines()[1].style.width, 60);
    EXPECT_EQ(d.lines()[1].path.elementAt(1).type, QPainterPath::CurveToElement);
    EXPECT_TRUE(d.fills().empty());

    d.clearLineStyle();
    d.lineTo({ 0, 0 });
    EXPECT_EQ(d.lines().size(), 2u);
    EXPECT_EQ(d.lines()[1].path.elementCount(), 4) << "nothing stroked without a line style";
}

TEST(DrawingPath, FillWithoutAreaIsDroppedAndBadCoordinatesIgnored)
{
    Drawing d;
    d.beginFill(solid(0, 0, 0));
    d.endFill();
    EXPECT_TRUE(d.fills().empty());

    d.beginFill(solid(0, 0, 0));
    d.lineTo({ std::nan(""), 10 });
    d.lineTo({ INFINITY, 10 });
    d.lineTo({ 10, 10 });
    EXPECT_EQ(d.pen(), QPointF(10, 10));
    EXPECT_EQ(d.fills()[0].path.elementCount(), 2);
}

TEST(DrawingPath, BoundsCoverStrokesAndClearEmpties)
{
    Drawing d;
    d.setLineStyle(line(100));
    d.moveTo({ 0, 0 });
    d.lineTo({ 1000, 0 });
    EXPECT_EQ(d.bounds(), QRectF(-50, -50, 1100, 100));
    d.clear();
    EXPECT_TRUE(d.isEmpty());
    EXPECT_FALSE(d.hasLineStyle());
    EXPECT_EQ(d.pen(), QPointF(0, 0));
}

TEST(DrawingPath, CloneCarriesTheDrawingInProgress)
{
    Drawing original;
    original.beginFill(solid(0, 255, 0));
    original.lineTo({ 0, 100 });
    original.lineTo({ 100, 100 });

    std::unique_ptr<Drawing> copy = original.clone();
    copy->lineTo({ 100, 0 });
    copy->endFill();

    EXPECT_TRUE(original.filling()) << "the original's fill stays open";
    EXPECT_EQ(original.fills()[0].path.elementCount(), 3);
    EXPECT_FALSE(copy->filling());
    EXPECT_EQ(points(copy->fills()[0].path),
        (std::vector<QPointF> { { 0, 0 }, { 0, 100 }, { 100, 100 }, { 100, 0 }, { 0, 0 } }));
}

TEST(DrawingPath, SegmentCountIsCapped)
{
    Drawing d;
    d.setLineStyle(line(20));
    for (int i = 0; i < Drawing::MaxElements; ++i)
        d.lineTo({ double(i % 2), 0 });
    int elements = d.lines()[0].path.elementCount();
    EXPECT_LE(elements, Drawing::MaxElements + 1);
    d.lineTo({ 5, 5 });
    EXPECT_EQ(d.lines()[0].path.elementCount(), elements) << "past the cap, segments are dropped";
}
