// The layer a filtered object is drawn on: from the first pixel its bounds
// touch to one column and one row past the last, on the right and at the
// bottom. A colour matrix that makes every pixel opaque red shows the layer whole.

#include "support/TestSupport.h"
#include "tools/swfwriter/BitWriter.h"

#include <cstring>

using namespace testing_support;

namespace {

void writeFloat(swfw::BitWriter& out, float v)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    out.writeU32(bits);
}

// PlaceObject3 of character 1 at depth 1 with a colour matrix filter that
// turns every pixel, empty or not, opaque red.
QByteArray redLayerPlacement()
{
    swfw::BitWriter out;
    out.writeU8(0x06); // matrix, character
    out.writeU8(0x01); // filter list
    out.writeU16(1);
    out.writeU16(1);
    out.writeMatrix(swfw::Matrix {});
    out.writeU8(1); // one filter
    out.writeU8(6); // colour matrix
    const float rows[20] = { 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255 };
    for (float v : rows)
        writeFloat(out, v);
    return out.bytes();
}

QImage renderLayer(int x, int y, int w, int h)
{
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor(White);
    movie.defineShape(1, rectShape({ 0, 0, 255, 255 }, x, y, w, h), 3);
    movie.tag(70, redLayerPlacement());
    movie.showFrame();
    auto p = load(movie.bytes());
    return p ? renderStage(*p) : QImage();
}

constexpr QRgb red = qRgb(255, 0, 0), white = qRgb(255, 255, 255);

} // namespace

TEST(FilterLayer, CoversTheObjectsPixelsAndTheEdgeItEndsOn)
{
    // A square from 10.5 to 20.25 px touches pixels 10..20: the layer runs
    // from pixel 10 to pixel 21, inclusive.
    QImage image = renderLayer(210, 210, 195, 195);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(10, 10), red);
    EXPECT_EQ(image.pixel(21, 21), red);
    EXPECT_EQ(image.pixel(9, 15), white);
    EXPECT_EQ(image.pixel(15, 9), white);
    EXPECT_EQ(image.pixel(22, 15), white);
    EXPECT_EQ(image.pixel(15, 22), white);

    // From 10 to 20 px exactly: the layer takes pixels 10 to 20, one column
    // and one row past the square's own 10..19.
    image = renderLayer(200, 200, 200, 200);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(10, 10), red);
    EXPECT_EQ(image.pixel(20, 20), red);
    EXPECT_EQ(image.pixel(9, 15), white);
    EXPECT_EQ(image.pixel(21, 15), white);
    EXPECT_EQ(image.pixel(15, 21), white);
}
