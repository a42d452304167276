// A video object draws through the normal display-object path: its matrix
// places and scales the picture over the stream's declared size, its colour
// transform tints it, and without smoothing each video pixel is a hard square.

#include "swf/Playback.h"

#include "support/TestSupport.h"
#include "tools/swfwriter/BitWriter.h"
#include "VideoFixtures.h"

#include <gtest/gtest.h>

using namespace videotest;

namespace {

// The hand-made VP6 key frame of the decode tests: 32 × 32 pixels of one
// colour, (255, 0, 255) once converted.
QByteArray flatVp6Frame()
{
    QByteArray frame(200, '\0');
    frame[0] = char(20 << 1);
    frame[1] = char(6 << 3 | 3 << 1);
    frame[2] = frame[3] = frame[4] = frame[5] = 2;
    return frame;
}

// PlaceObject2 at depth 1: character 1 with a matrix, a colour transform and ratio 0.
QByteArray placeWith(const swfw::Matrix& m, const swfw::CxForm& cx)
{
    swfw::BitWriter w;
    w.writeU8(0x1e); // ratio, colour transform, matrix, character
    w.writeU16(1);
    w.writeU16(1);
    w.writeMatrix(m);
    w.writeCxForm(cx, true);
    w.writeU16(0);
    w.align();
    return tag(26, w.bytes());
}

QByteArray movieWith(const StreamSpec& spec, const swfw::Matrix& m, const swfw::CxForm& cx)
{
    QByteArray tags = defineVideoStream(spec, 1) + videoFrame(spec.id, 0, flatVp6Frame()) + placeWith(m, cx) + tag(1, {});
    return movie(tags, 1, 100, 100);
}

TEST(VideoDrawing, MatrixScalesTheDeclaredBox)
{
    StreamSpec spec;
    spec.codec = 4;
    spec.width = 20; // declared 20 × 10: the 32 × 32 picture is stretched into it
    spec.height = 10;
    // Twice as large, moved by (10, 20) pixels: the box covers x 10..50, y 20..40.
    auto playback = testing_support::load(movieWith(spec, swfw::Matrix::scale(2, 2, swfw::px(10), swfw::px(20)), {}));
    ASSERT_TRUE(playback);
    const QImage image = testing_support::renderStage(*playback);
    EXPECT_EQ(image.pixel(11, 21), qRgb(255, 0, 255));  // inside, near the top-left corner
    EXPECT_EQ(image.pixel(48, 38), qRgb(255, 0, 255));  // inside, near the bottom-right corner
    EXPECT_EQ(image.pixel(52, 30), qRgb(255, 255, 255)); // right of the box: background
    EXPECT_EQ(image.pixel(30, 42), qRgb(255, 255, 255)); // below the box
    EXPECT_EQ(image.pixel(8, 30), qRgb(255, 255, 255));  // left of it
}

TEST(VideoDrawing, ColourTransformTintsThePicture)
{
    StreamSpec spec;
    spec.codec = 4;
    spec.width = 32;
    spec.height = 32;
    swfw::CxForm cx;
    cx.mulR = 0;   // red removed
    cx.addG = 100; // green raised by 100
    auto playback = testing_support::load(movieWith(spec, {}, cx));
    ASSERT_TRUE(playback);
    const QImage image = testing_support::renderStage(*playback);
    EXPECT_EQ(image.pixel(16, 16), qRgb(0, 100, 255));
}

} // namespace
