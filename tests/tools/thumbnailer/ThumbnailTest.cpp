// The thumbnail's frame choice and drawing on movies built with our writer,
// and how command-line inputs name files.

#include "Thumbnail.h"

#include "swf/Playback.h"
#include "tools/swfwriter/Movie.h"

#include <gtest/gtest.h>

namespace {

constexpr int kTwips = 20;

// A movie on a white 200 x 100 stage at 12 frames a second. Frames listed in
// `redFrom` on show a red rectangle of `w` x `h` pixels at the top left.
std::unique_ptr<swf::Playback> movie(int frames, int redFrom, int w, int h, double widthPx = 200, double heightPx = 100)
{
    swfw::Movie m(8, widthPx, heightPx, 12);
    m.setBackgroundColor({ 255, 255, 255, 255 });
    swfw::Shape shape;
    shape.fill0(shape.addFillStyle(swfw::FillStyle::solid({ 255, 0, 0, 255 })));
    shape.rect(0, 0, w * kTwips, h * kTwips);
    m.defineShape(1, shape, 1);
    for (int frame = 1; frame <= frames; ++frame) {
        if (frame == redFrom)
            m.placeObject(1, 1, swfw::Matrix {});
        m.showFrame();
    }
    swf::PlaybackOptions options;
    options.scripts = false;
    auto opened = swf::Playback::fromBytes(m.bytes(), options);
    EXPECT_TRUE(opened.ok());
    return opened.ok() ? opened.release() : nullptr;
}

} // namespace

TEST(Thumbnail, SkipsBlankFramesToTheFirstThatShowsSomething)
{
    // Frames 1-4 are blank; frame 5 covers half the stage.
    auto m = movie(20, 5, 100, 100);
    ASSERT_TRUE(m);
    EXPECT_EQ(thumbnailer::showRepresentativeFrame(*m, 5000), 5);
    EXPECT_EQ(m->currentFrame(), 5);
}

TEST(Thumbnail, KeepsAFirstFrameThatShowsEnough)
{
    auto m = movie(20, 1, 100, 100);
    ASSERT_TRUE(m);
    EXPECT_EQ(thumbnailer::showRepresentativeFrame(*m, 5000), 1);
}

TEST(Thumbnail, FallsBackToTheFullestFrameWithinTheFirstSeconds)
{
    // A 10 x 6 pixel mark (0.3 % of the stage) from frame 7 on: never
    // enough, but more than the blank frames before it.
    auto m = movie(60, 7, 10, 6);
    ASSERT_TRUE(m);
    EXPECT_EQ(thumbnailer::showRepresentativeFrame(*m, 5000), 7);
    // Content that only comes after the first three seconds (36 frames) is not looked for.
    auto late = movie(60, 40, 100, 100);
    ASSERT_TRUE(late);
    EXPECT_EQ(thumbnailer::showRepresentativeFrame(*late, 5000), 1);
}

TEST(Thumbnail, LongSideIsTheSizeAndTheRestIsTransparent)
{
    // A 200 x 100 stage in a 64 x 64 square: the stage fills rows 16 to 47.
    auto m = movie(1, 1, 100, 100);
    ASSERT_TRUE(m);
    const QImage image = thumbnailer::drawFrame(*m, 64);
    ASSERT_EQ(image.size(), QSize(64, 64));
    EXPECT_EQ(qAlpha(image.pixel(32, 4)), 0);  // above the stage
    EXPECT_EQ(qAlpha(image.pixel(32, 60)), 0); // below it
    EXPECT_EQ(image.pixel(10, 32), qRgb(255, 0, 0));   // left half: the red rectangle
    EXPECT_EQ(image.pixel(54, 32), qRgb(255, 255, 255)); // right half: the white background
    // A tall stage is centred the other way.
    auto tall = movie(1, 1, 1, 1, 50, 200);
    ASSERT_TRUE(tall);
    const QImage tallImage = thumbnailer::drawFrame(*tall, 128);
    EXPECT_EQ(qAlpha(tallImage.pixel(4, 64)), 0);
    EXPECT_EQ(tallImage.pixel(64, 64), qRgb(255, 255, 255));
}

TEST(Thumbnail, ContentShareCountsPixelsUnlikeTheBackground)
{
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    EXPECT_EQ(thumbnailer::contentShare(image, Qt::white), 0.0);
    for (int x = 0; x < 10; ++x)
        image.setPixel(x, 0, qRgb(0, 0, 0));
    image.setPixel(0, 1, qRgb(250, 250, 250)); // a near-white pixel is still background
    EXPECT_DOUBLE_EQ(thumbnailer::contentShare(image, Qt::white), 0.1);
}

TEST(Thumbnail, InputsArePathsOrFileUris)
{
    EXPECT_EQ(thumbnailer::inputPath("/home/u/a.swf"), "/home/u/a.swf");
    EXPECT_EQ(thumbnailer::inputPath("relative/a.swf"), "relative/a.swf");
    EXPECT_EQ(thumbnailer::inputPath("file:///home/u/my%20movie.swf"), "/home/u/my movie.swf");
    EXPECT_EQ(thumbnailer::inputPath("file://localhost/tmp/a.swf"), "/tmp/a.swf");
    EXPECT_EQ(thumbnailer::inputPath("file://server/tmp/a.swf"), "");
    EXPECT_EQ(thumbnailer::inputPath("sftp://host/tmp/a.swf"), "");
}
