// The renderer behind the stage's drawing port: one display object drawn
// alone into an image, in its own space, tinted and clipped.

#include "support/TestSupport.h"

#include "swf/render/ObjectRasterizer.h"
#include "swf/render/RenderCache.h"
#include "swf/runtime/Stage.h"

using namespace testing_support;

namespace {

// A clip at (50, 50) on the stage holding a red square 20 pixels wide at its
// origin, a blue one right of it, and over both a green square masked down
// to its left half (a clip-depth mask 10 pixels wide).
std::unique_ptr<swf::Playback> clipMovie()
{
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor(White);
    movie.defineShape(1, rectShape(Red, 0, 0, 400, 400), 3);
    movie.defineShape(2, rectShape(Blue, 400, 0, 400, 400), 3);
    movie.defineShape(3, rectShape(Green, 0, 400, 400, 400), 3);
    movie.defineShape(4, rectShape(Green, 0, 400, 200, 400), 3);
    swfw::Sprite sprite;
    sprite.placeObject2(swfw::Placement::place(1, 1));
    sprite.placeObject2(swfw::Placement::place(2, 2));
    auto mask = swfw::Placement::place(3, 4);
    mask.clipDepth = 4;
    sprite.placeObject2(mask);
    sprite.placeObject2(swfw::Placement::place(4, 3));
    sprite.showFrame();
    movie.defineSprite(5, sprite);
    movie.placeObject2(swfw::Placement::place(1, 5, swfw::Matrix::translate(1000, 1000)));
    movie.showFrame();
    return load(movie.bytes());
}

QImage clear(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QRgb at(const QImage& image, int x, int y)
{
    return image.pixel(x, y);
}

} // namespace

TEST(ObjectRasterizer, DrawsTheObjectInItsOwnSpaceWithItsMasks)
{
    auto p = clipMovie();
    ASSERT_TRUE(p);
    const swf::DisplayObject& clip = *p->stage().root().displayList().begin()->second;
    swf::RenderCache cache;
    swf::ObjectRasterizer rasterizer(p->stage(), cache);
    QImage image = clear(60, 60);
    // Twips to pixels, then 5 pixels right and down; the clip's own (50, 50) is left out.
    const QTransform toPixels = QTransform::fromScale(1 / 20.0, 1 / 20.0) * QTransform::fromTranslate(5, 5);
    rasterizer.rasterize(clip, image, toPixels, swf::ColorTransform {}, image.rect(), false);
    EXPECT_EQ(at(image, 10, 10), qRgb(255, 0, 0)) << "red square at 5..25";
    EXPECT_EQ(at(image, 35, 10), qRgb(0, 0, 255)) << "blue square at 25..45";
    EXPECT_EQ(at(image, 2, 2), 0u) << "left of the clip: untouched";
    EXPECT_EQ(at(image, 50, 10), 0u) << "right of the clip: untouched";
    EXPECT_EQ(at(image, 10, 30), qRgb(0, 255, 0)) << "green inside the mask";
    EXPECT_EQ(at(image, 20, 30), 0u) << "green masked away";
}

TEST(ObjectRasterizer, TintsAndClips)
{
    auto p = clipMovie();
    ASSERT_TRUE(p);
    const swf::DisplayObject& clip = *p->stage().root().displayList().begin()->second;
    swf::RenderCache cache;
    swf::ObjectRasterizer rasterizer(p->stage(), cache);
    const QTransform toPixels = QTransform::fromScale(1 / 20.0, 1 / 20.0);

    QImage tinted = clear(40, 40);
    const swf::ColorTransform cx { 0.5, 1, 1, 1, 0, 0, 0, 0 };
    rasterizer.rasterize(clip, tinted, toPixels, cx, tinted.rect(), true);
    const swf::Rgba red = cx.apply(swf::Rgba { 255, 0, 0, 255 });
    EXPECT_EQ(at(tinted, 10, 10), qRgb(red.r, 0, 0)) << "red halved";
    EXPECT_EQ(at(tinted, 30, 10), qRgb(0, 0, 255)) << "blue keeps its colour";

    QImage cut = clear(40, 40);
    rasterizer.rasterize(clip, cut, toPixels, swf::ColorTransform {}, QRect(0, 0, 15, 40), false);
    EXPECT_EQ(at(cut, 10, 10), qRgb(255, 0, 0)) << "inside the clip rectangle";
    EXPECT_EQ(at(cut, 17, 10), 0u) << "red past the clip rectangle";
    EXPECT_EQ(at(cut, 30, 10), 0u) << "blue past the clip rectangle";

    QImage untouched = clear(40, 40);
    rasterizer.rasterize(clip, untouched, toPixels, swf::ColorTransform {}, QRect(50, 50, 10, 10), false);
    rasterizer.rasterize(clip, untouched, QTransform::fromScale(0, 1), swf::ColorTransform {}, untouched.rect(), false);
    EXPECT_EQ(untouched, clear(40, 40)) << "a rectangle off the image, or a flat transform, draws nothing";
}
