// A filtered object's colour transform applies to what its filters drew as
// well as to the object: a black glow around a black square, both turned
// red by an added red of 255, shows a red glow.

#include "support/TestSupport.h"
#include "tools/swfwriter/BitWriter.h"

using namespace testing_support;

namespace {

// PlaceObject3 of character 1 at depth 1: identity matrix, a colour
// transform adding `addRed`, and one glow (black, 4 x 4 px, strength 1, one pass).
QByteArray glowingPlacement(int16_t addRed, int16_t addAlpha)
{
    swfw::BitWriter out;
    out.writeU8(0x0e); // colour transform, matrix, character
    out.writeU8(0x01); // filter list
    out.writeU16(1);
    out.writeU16(1);
    out.writeMatrix(swfw::Matrix {});
    swfw::CxForm cx;
    cx.addR = addRed;
    cx.addA = addAlpha;
    out.writeCxForm(cx, true);
    out.writeU8(1);              // one filter
    out.writeU8(2);              // glow
    out.writeRgba({ 0, 0, 0, 255 });
    out.writeU32(4 << 16);       // blur x, 16.16
    out.writeU32(4 << 16);       // blur y
    out.writeU16(0x0100);        // strength 1.0, 8.8
    out.writeU8(0x21);           // composite with the object, one pass
    return out.bytes();
}

QImage renderGlow(int16_t addRed, int16_t addAlpha)
{
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor(White);
    movie.defineShape(1, rectShape({ 0, 0, 0, 255 }, 800, 800, 400, 400), 3); // black, 40..60 px
    movie.tag(70, glowingPlacement(addRed, addAlpha));
    movie.showFrame();
    auto p = load(movie.bytes());
    return p ? renderStage(*p) : QImage();
}

} // namespace

TEST(FilterTint, ColourTransformTintsTheFiltersToo)
{
    const QImage image = renderGlow(255, 0);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(50, 50), qRgb(255, 0, 0)); // the square: black plus red
    // Just outside its right edge the glow covers part of the pixel: over
    // white, a red glow keeps red at 255 and lowers green and blue alike.
    const QRgb glow = image.pixel(61, 50);
    EXPECT_EQ(qRed(glow), 255);
    EXPECT_LT(qGreen(glow), 255);
    EXPECT_EQ(qGreen(glow), qBlue(glow));
    EXPECT_EQ(image.pixel(90, 50), qRgb(255, 255, 255)); // past the glow: the stage
}

TEST(FilterTint, AddedAlphaStaysOnTheContent)
{
    // Adding alpha would light the layer's empty pixels: such a transform
    // tints the object before its filters, so the glow stays black (grey over white).
    const QImage image = renderGlow(255, 10);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(50, 50), qRgb(255, 0, 0));
    const QRgb glow = image.pixel(61, 50);
    EXPECT_LT(qRed(glow), 255);
    EXPECT_EQ(qRed(glow), qGreen(glow));
    EXPECT_EQ(image.pixel(90, 50), qRgb(255, 255, 255));
}
