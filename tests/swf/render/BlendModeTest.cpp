#include "support/TestSupport.h"

#include "swf/render/BlendModes.h"

#include <QPainter>

using namespace testing_support;

namespace {

QColor at(const QImage& image, int x, int y)
{
    return QColor::fromRgba(image.pixel(x, y));
}

// A 100 x 100 stage, orange (200, 100, 50) on its left half and white on
// its right, with a square (1000 twips) in `blendMode` of `color` placed
// over the top half.
QImage blendedOverOrange(int blendMode, swfw::Rgba color)
{
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor(White);
    movie.defineShape(1, rectShape({ 200, 100, 50, 255 }, 0, 0, 1000, 2000), 3);
    movie.defineShape(2, rectShape(color, 0, 0, 2000, 1000), 3);
    movie.placeObject2(swfw::Placement::place(1, 1));
    auto over = swfw::Placement::place(2, 2);
    over.blendMode = blendMode;
    movie.placeObject3(over);
    movie.showFrame();
    auto p = load(movie.bytes());
    return p ? renderStage(*p, true) : QImage();
}

} // namespace

TEST(BlendMode, SubtractTakesTheColourFromWhatLiesBelowDownToBlack)
{
    const QImage image = blendedOverOrange(9, { 100, 150, 20, 255 });
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(at(image, 25, 25), QColor(100, 0, 30));  // 200-100, 100-150 stops at 0, 50-20
    EXPECT_EQ(at(image, 75, 25), QColor(155, 105, 235)); // white less the colour
    EXPECT_EQ(at(image, 25, 75), QColor(200, 100, 50)); // not under the square
}

TEST(BlendMode, InvertTurnsWhatLiesBelowToItsNegativeWhateverTheColour)
{
    const QImage image = blendedOverOrange(10, { 0, 0, 255, 255 });
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(at(image, 25, 25), QColor(55, 155, 205));
    EXPECT_EQ(at(image, 75, 25), QColor(0, 0, 0));
    EXPECT_EQ(at(image, 25, 75), QColor(200, 100, 50));
}

TEST(BlendMode, AlphaAndEraseOnTheStageShowNothing)
{
    // With no layer below them they change only the stage's alpha, which an
    // opaque stage never shows.
    for (int mode : { 11, 12 }) {
        const QImage image = blendedOverOrange(mode, Blue);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(at(image, 25, 25), QColor(200, 100, 50)) << mode;
        EXPECT_EQ(at(image, 75, 25), QColor(Qt::white)) << mode;
    }
}

TEST(BlendMode, PartCoverageMixesInProportion)
{
    // Straight on images: a layer pixel of alpha 128 over (200, 100, 50).
    QImage target(1, 1, QImage::Format_ARGB32_Premultiplied);
    QImage layer(1, 1, QImage::Format_ARGB32_Premultiplied);
    target.setPixel(0, 0, qRgba(200, 100, 50, 255));
    layer.setPixel(0, 0, qRgba(128, 0, 0, 128)); // red at half alpha, premultiplied
    swf::compositeOwnBlend(target, layer, QPoint(0, 0), swf::BlendInvert);
    // 200 * 127/255 + 55 * 128/255 = 127.2; 100 -> (100*127 + 155*128)/255 = 127.6; 50 -> (6350 + 26240)/255 = 127.8
    EXPECT_EQ(target.pixel(0, 0), qRgba(127, 128, 128, 255));
    target.setPixel(0, 0, qRgba(200, 100, 50, 255));
    swf::compositeOwnBlend(target, layer, QPoint(0, 0), swf::BlendSubtract);
    EXPECT_EQ(target.pixel(0, 0), qRgba(72, 100, 50, 255)); // only the red, premultiplied 128, comes off
}

TEST(BlendMode, AlphaInALayerLeavesWhatLiesBesideTheObject)
{
    // A sprite in layer mode holds a red square over the whole stage and,
    // over its left half, a square in alpha mode whose colour has alpha 128.
    // Under that square the red keeps 128 of 255 and shows the white stage
    // through: 128 + 255 * 127 / 255 = 255 red, 127 green and blue. Beside
    // it the red stays whole.
    swfw::Sprite inner;
    inner.placeObject2(swfw::Placement::place(1, 1));
    auto alpha = swfw::Placement::place(2, 2);
    alpha.blendMode = 11;
    inner.placeObject3(alpha);
    inner.showFrame();
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor(White);
    movie.defineShape(1, rectShape(Red, 0, 0, 2000, 2000), 3);
    movie.defineShape(2, rectShape({ 0, 0, 255, 128 }, 0, 0, 1000, 2000), 3);
    movie.defineSprite(3, inner);
    auto layer = swfw::Placement::place(1, 3);
    layer.blendMode = 2;
    movie.placeObject3(layer);
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    const QImage image = renderStage(*p, true);
    EXPECT_EQ(at(image, 25, 50), QColor(255, 127, 127));
    EXPECT_EQ(at(image, 75, 50), QColor(Qt::red));
}

TEST(OpaqueBackground, FillsTheObjectsBoxOnWholePixelsBeneathIt)
{
    // Two red squares 10 px across at 10.5 and 50.5 px: the shape's box runs
    // from 10.5 to 60.5 px, its edges on the nearest pixel boundary halves
    // up, 11 to 61. Green fills it beneath the squares.
    swfw::Shape shape;
    const int red = shape.addFillStyle(swfw::FillStyle::solid(Red));
    shape.fill1(red).rect(210, 210, 200, 200);
    shape.fill1(red).rect(1010, 1010, 200, 200);
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor(White);
    movie.defineShape(1, shape, 3);
    auto place = swfw::Placement::place(1, 1);
    place.opaqueBackground = Green;
    movie.placeObject3(place);
    // A background of alpha 0 is none: the same shape again, moved down 40 px.
    auto none = swfw::Placement::place(2, 1, swfw::Matrix::translate(0, 800));
    none.opaqueBackground = swfw::Rgba { 0, 0, 255, 0 };
    movie.placeObject3(none);
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    const QImage image = renderStage(*p);
    EXPECT_EQ(at(image, 10, 30), QColor(Qt::white));
    EXPECT_EQ(at(image, 11, 30), QColor(Qt::green));
    EXPECT_EQ(at(image, 60, 30), QColor(Qt::green));
    EXPECT_EQ(at(image, 61, 30), QColor(Qt::white));
    EXPECT_EQ(at(image, 30, 10), QColor(Qt::white));
    EXPECT_EQ(at(image, 30, 11), QColor(Qt::green));
    EXPECT_EQ(at(image, 15, 15), QColor(Qt::red)); // the squares over it
    EXPECT_EQ(at(image, 30, 70), QColor(Qt::white));
}
