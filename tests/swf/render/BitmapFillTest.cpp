// The bitmap fill shared by shapes and script drawings: the matrix check,
// tiling, clipping and edge stretching, on a small image drawn directly.

#include "support/TestSupport.h"

#include "swf/render/BitmapFill.h"

#include <QPainter>
#include <QPainterPath>

#include <gtest/gtest.h>

#include <limits>

namespace {

// Two pixels side by side: red on the left, blue on the right.
QImage redBlue()
{
    QImage image(2, 1, QImage::Format_ARGB32_Premultiplied);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(0, 0, 255));
    return image;
}

// A 40 x 40 white canvas, one device pixel per twip, with the square
// 0..40 filled by `fill` placing redBlue().
QImage fillSquare(const swf::FillStyle& fill, swf::BitmapEdges edges)
{
    QImage canvas(40, 40, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainterPath square;
    square.addRect(0, 0, 40, 40);
    QPainter painter(&canvas);
    swf::drawBitmapFill(painter, square, fill, redBlue(), QTransform(), edges);
    return canvas;
}

swf::FillStyle bitmapFill(swf::Matrix matrix, bool repeat)
{
    swf::FillStyle fill;
    fill.type = swf::FillStyle::Type::Bitmap;
    fill.matrix = matrix;
    fill.repeat = repeat;
    fill.smooth = false;
    return fill;
}

QRgb at(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xffffff;
}

} // namespace

TEST(BitmapFill, OnlyAnInvertibleMatrixPlacesABitmap)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(swf::invertible(QTransform()));
    EXPECT_TRUE(swf::invertible(QTransform(0, 1, -1, 0, 5, 5))); // a quarter turn
    EXPECT_FALSE(swf::invertible(QTransform(0, 0, 0, 1, 0, 0)));  // squashed to a line
    EXPECT_FALSE(swf::invertible(QTransform(1, 1, 1, 1, 0, 0)));  // rank one
    EXPECT_FALSE(swf::invertible(QTransform(nan, 0, 0, 1, 0, 0)));

    for (swf::BitmapEdges edges : { swf::BitmapEdges::Clip, swf::BitmapEdges::Stretch }) {
        for (bool repeat : { false, true }) {
            const QImage flat = fillSquare(bitmapFill({ 0, 0, 0, 10, 0, 0 }, repeat), edges);
            EXPECT_EQ(at(flat, 0, 0), 0xffffffu) << "a degenerate matrix draws nothing";
            EXPECT_EQ(at(flat, 20, 5), 0xffffffu);
            const QImage placed = fillSquare(bitmapFill({ 10, 0, 0, 10, 0, 0 }, repeat), edges);
            EXPECT_EQ(at(placed, 5, 5), 0xff0000u) << "an invertible one draws the bitmap's left pixel";
            EXPECT_EQ(at(placed, 15, 5), 0x0000ffu) << "and its right pixel";
        }
    }
}

TEST(BitmapFill, OutsideTheBitmapRepeatClipOrStretch)
{
    // Each bitmap pixel 10 twips square: the bitmap covers 0..20 x 0..10.
    const swf::Matrix tenfold { 10, 0, 0, 10, 0, 0 };
    const QImage tiled = fillSquare(bitmapFill(tenfold, true), swf::BitmapEdges::Clip);
    EXPECT_EQ(at(tiled, 25, 5), 0xff0000u) << "the tile repeats to the right";
    EXPECT_EQ(at(tiled, 35, 25), 0x0000ffu) << "and downwards";

    const QImage clipped = fillSquare(bitmapFill(tenfold, false), swf::BitmapEdges::Clip);
    EXPECT_EQ(at(clipped, 25, 5), 0xffffffu) << "a clipped fill shows nothing past the bitmap";
    EXPECT_EQ(at(clipped, 5, 25), 0xffffffu);

    const QImage stretched = fillSquare(bitmapFill(tenfold, false), swf::BitmapEdges::Stretch);
    EXPECT_EQ(at(stretched, 35, 5), 0x0000ffu) << "the right edge pixel continues to the right";
    EXPECT_EQ(at(stretched, 5, 35), 0xff0000u) << "the bottom row continues downwards";
    EXPECT_EQ(at(stretched, 35, 35), 0x0000ffu) << "the corner pixel fills the corner";
}

TEST(BitmapFill, ClampedBitmapContinuesTheEdgesAndCapsItsSize)
{
    const QImage clamped = swf::clampedBitmap(redBlue(), QRect(-1, -1, 4, 3));
    ASSERT_EQ(clamped.size(), QSize(4, 3));
    EXPECT_EQ(at(clamped, 0, 0), 0xff0000u);
    EXPECT_EQ(at(clamped, 1, 1), 0xff0000u);
    EXPECT_EQ(at(clamped, 3, 2), 0x0000ffu);
    EXPECT_TRUE(swf::clampedBitmap(redBlue(), QRect(0, 0, 8192, 8192)).isNull()) << "past the cap: not built";
    EXPECT_TRUE(swf::clampedBitmap(QImage(), QRect(0, 0, 2, 2)).isNull());
}

namespace {

// A movie of `version` with a 2 x 2 bitmap (red, green / blue, white) drawn
// by a clipped fill at one device pixel per bitmap pixel over the square
// 0..3 px, so that one pixel of the square lies past the bitmap.
QImage clippedBitmapMovie(int version)
{
    QImage pixels(2, 2, QImage::Format_ARGB32);
    pixels.setPixel(0, 0, qRgb(255, 0, 0));
    pixels.setPixel(1, 0, qRgb(0, 255, 0));
    pixels.setPixel(0, 1, qRgb(0, 0, 255));
    pixels.setPixel(1, 1, qRgb(255, 255, 255));
    swfw::Movie movie(version, 10, 10, 12);
    movie.setBackgroundColor({ 0, 0, 0, 255 });
    movie.defineBitsLossless(1, pixels, false);
    swfw::Shape shape;
    int fill = shape.addFillStyle(swfw::FillStyle::bitmap(1, swfw::Matrix::scale(20, 20), false, false));
    shape.fill1(fill).rect(0, 0, 60, 60);
    movie.defineShape(2, shape, 3);
    movie.placeObject2(swfw::Placement::place(1, 2));
    movie.showFrame();
    auto p = testing_support::load(movie.bytes());
    return p ? testing_support::renderStage(*p) : QImage();
}

} // namespace

TEST(BitmapFillRender, OlderMoviesSeeAClippedBitmapOnePixelOn)
{
    // Version 7: the bitmap where its matrix puts it, nothing past it.
    const QImage seven = clippedBitmapMovie(7);
    ASSERT_FALSE(seven.isNull());
    EXPECT_EQ(at(seven, 0, 0), 0xff0000u);
    EXPECT_EQ(at(seven, 1, 1), 0xffffffu);
    EXPECT_EQ(at(seven, 2, 2), 0x000000u); // the background through the empty corner
    // Version 6: pixel (0, 0) shows at (1, 1); the top row and left column
    // repeat the bitmap's own edge, and the square's last pixel the corner.
    const QImage six = clippedBitmapMovie(6);
    ASSERT_FALSE(six.isNull());
    EXPECT_EQ(at(six, 0, 0), 0xff0000u);
    EXPECT_EQ(at(six, 1, 1), 0xff0000u);
    EXPECT_EQ(at(six, 2, 1), 0x00ff00u);
    EXPECT_EQ(at(six, 1, 2), 0x0000ffu);
    EXPECT_EQ(at(six, 2, 2), 0xffffffu);
    EXPECT_EQ(at(six, 0, 2), 0x0000ffu);
}
