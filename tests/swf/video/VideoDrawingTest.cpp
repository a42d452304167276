// A video object draws through the normal display-object path: its matrix
// places and scales the picture over the stream's declared size, its colour
// transform tints it, and without smoothing each video pixel is a hard square.

#include "swf/Playback.h"

#include "support/TestSupport.h"
#include "tools/swfwriter/BitWriter.h"
#include "VideoFixtures.h"

#include <gtest/gtest.h>

#include <cstring>

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

// PlaceObject3 at depth 1 of stream 1 with ratio 0, a blend mode and
// filters (`filters` is the filter list: count, then each filter).
QByteArray placeObject3(int blendMode, const QByteArray& filters, int depth = 1)
{
    QByteArray b;
    putU8(b, 0x12); // ratio, character
    putU8(b, (blendMode ? 0x02 : 0) | (filters.isEmpty() ? 0 : 0x01)); // blend mode, filter list
    putU16(b, depth);
    putU16(b, 1);
    putU16(b, 0);
    b += filters;
    if (blendMode)
        putU8(b, blendMode);
    return tag(70, b);
}

QByteArray flatStream(std::uint16_t id, int w, int h)
{
    StreamSpec spec;
    spec.codec = 4;
    spec.id = id;
    spec.width = w;
    spec.height = h;
    return defineVideoStream(spec, 1) + videoFrame(id, 0, flatVp6Frame());
}

// Blend modes and filters reach a video as any other display object.
TEST(VideoDrawing, BlendModeAndFilters)
{
    // Difference (blend mode 7) over another video of the same colour: black where they
    // overlap, the video beneath elsewhere.
    QByteArray beneath; // PlaceObject2: stream 2 at depth 1, ratio 0
    putU8(beneath, 0x12);
    putU16(beneath, 1);
    putU16(beneath, 2);
    putU16(beneath, 0);
    auto difference = testing_support::load(movie(flatStream(1, 32, 32) + flatStream(2, 100, 100) + tag(26, beneath)
            + placeObject3(7, {}, 2) + tag(1, {}), 1, 100, 100));
    ASSERT_TRUE(difference);
    const QImage blended = testing_support::renderStage(*difference);
    EXPECT_EQ(blended.pixel(16, 16), qRgb(0, 0, 0));
    EXPECT_EQ(blended.pixel(50, 50), qRgb(255, 0, 255));

    // A colour matrix filter that empties the red row: (0, 0, 255).
    QByteArray filters;
    putU8(filters, 1); // one filter
    putU8(filters, 6); // colour matrix
    const float matrix[20] = { 0, 0, 0, 0, 0, /**/ 0, 1, 0, 0, 0, /**/ 0, 0, 1, 0, 0, /**/ 0, 0, 0, 1, 0 };
    for (float f : matrix) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        putU32(filters, bits);
    }
    auto filtered = testing_support::load(movie(flatStream(1, 32, 32) + placeObject3(0, filters) + tag(1, {}), 1, 100, 100));
    ASSERT_TRUE(filtered);
    EXPECT_EQ(testing_support::renderStage(*filtered).pixel(16, 16), qRgb(0, 0, 255));
}

// A video as a mask hides what lies under it outside its box, and a video
// under a mask shows only inside the mask.
TEST(VideoDrawing, VideoMasksAndIsMasked)
{
    QByteArray tags = flatStream(1, 20, 20) + flatStream(2, 100, 100);
    QByteArray mask; // PlaceObject2: stream 1 at depth 1, ratio 0, masking up to depth 2
    putU8(mask, 0x52);
    putU16(mask, 1);
    putU16(mask, 1);
    putU16(mask, 0);
    putU16(mask, 2);
    QByteArray masked; // stream 2 at depth 2, ratio 0
    putU8(masked, 0x12);
    putU16(masked, 2);
    putU16(masked, 2);
    putU16(masked, 0);
    tags += tag(26, mask) + tag(26, masked) + tag(1, {});
    auto playback = testing_support::load(movie(tags, 1, 100, 100));
    ASSERT_TRUE(playback);
    const QImage image = testing_support::renderStage(*playback);
    EXPECT_EQ(image.pixel(10, 10), qRgb(255, 0, 255));   // inside the mask's 20 × 20 box
    EXPECT_EQ(image.pixel(50, 50), qRgb(255, 255, 255)); // outside: the masked video is hidden
    EXPECT_EQ(image.pixel(25, 5), qRgb(255, 255, 255));  // right of the mask
}

} // namespace
