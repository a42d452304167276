// The yellow focus rectangle: a band three pixels wide just inside the box
// round the focused object, over everything else, gone with the object.

#include "support/TextSupport.h"

#include "swf/runtime/Stage.h"

using namespace text_support;

namespace {

std::unique_ptr<swf::Playback> squareMovie()
{
    // A blue 50 x 50 px square at (50, 50) px, on white.
    swfw::Movie movie(8, 200, 150, 12);
    movie.setBackgroundColor({ 255, 255, 255, 255 });
    movie.defineShape(1, rectShape({ 0, 0, 255, 255 }, 1000, 1000, 1000, 1000), 1);
    movie.placeObject(1, 1, swfw::Matrix {});
    movie.showFrame();
    return load(movie.bytes());
}

} // namespace

TEST(FocusRect, BandOfThreePixelsInsideTheBounds)
{
    auto playback = squareMovie();
    ASSERT_TRUE(playback);
    const swf::DisplayObject* square = playback->stage().root().childAt(1);
    ASSERT_NE(square, nullptr);
    playback->stage().setFocusRectObject(square);
    QImage image = renderStage(*playback);
    const QRgb yellow = qRgb(255, 255, 0), blue = qRgb(0, 0, 255), white = qRgb(255, 255, 255);
    EXPECT_EQ(image.pixel(50, 75), yellow); // left band: columns 50..52
    EXPECT_EQ(image.pixel(52, 75), yellow);
    EXPECT_EQ(image.pixel(53, 75), blue);   // the square shows inside the band
    EXPECT_EQ(image.pixel(49, 75), white);  // nothing outside the bounds
    EXPECT_EQ(image.pixel(75, 97), yellow); // bottom band: rows 97..99
    EXPECT_EQ(image.pixel(75, 96), blue);
    EXPECT_EQ(image.pixel(75, 100), white);

    playback->stage().setFocusRectObject(nullptr);
    EXPECT_EQ(renderStage(*playback).pixel(50, 75), blue);
}
