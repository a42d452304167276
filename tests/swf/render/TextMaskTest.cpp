// Text used as a mask (static and edit texts at a clip depth) and filters on
// a button's parts, checked by the pixels they leave.

#include "support/ScriptSupport.h"

#include "swf/format/TagCodes.h"

#include <cstring>

using namespace text_support;

namespace {

constexpr swfw::Rgba Red { 255, 0, 0, 255 };
const QRgb red = qRgb(255, 0, 0), white = qRgb(255, 255, 255), blue = qRgb(0, 0, 255);

// A 100x100 white stage, a red rectangle over all of it at depth 2, masked by the character at depth 1.
swfw::Movie maskMovie()
{
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor({ 255, 255, 255, 255 });
    movie.defineShape(10, rectShape(Red, 0, 0, 2000, 2000), 1);
    return movie;
}

void placeMaskAndRect(swfw::Movie& movie, uint16_t maskId)
{
    swfw::Placement mask = swfw::Placement::place(1, maskId);
    mask.clipDepth = 2;
    movie.placeObject2(mask);
    movie.placeObject2(swfw::Placement::place(2, 10));
    movie.showFrame();
}

} // namespace

TEST(TextMask, StaticTextMasksByItsGlyphs)
{
    auto movie = maskMovie();
    movie.tag(swf::TagDefineFont2, fontBody(1, "Box", 1024, 'A', 1024));
    // Two 20 px squares with their baseline at y = 40 px: x 10..30 and 40..60.
    movie.tag(swf::TagDefineText, textBody(3, 1, { 0, 0, 255, 255 }, 200, 800, 400, 2, 600));
    placeMaskAndRect(movie, 3);
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    QImage image = renderStage(*playback);
    EXPECT_EQ(image.pixel(20, 30), red);   // inside the first glyph: the masked rectangle shows
    EXPECT_EQ(image.pixel(50, 30), red);   // inside the second
    EXPECT_EQ(image.pixel(35, 30), white); // between the glyphs: hidden
    EXPECT_EQ(image.pixel(20, 80), white); // below the text: hidden
}

TEST(TextMask, EditTextMasksByItsGlyphsWithinItsBox)
{
    auto movie = maskMovie();
    movie.tag(swf::TagDefineFont2, fontBody(1, "Box", 1024, 'A', 1024));
    // An embedded-font field: "AA" in 20 px squares, one advance (20 px) apart, inside a box 1000 twips wide.
    movie.tag(swf::TagDefineEditText, editTextTag(2, { 0, 1000, 0, 1000 }, 1, 400, {}, "AAAA", 0x08, 0x01));
    placeMaskAndRect(movie, 2);
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    QImage image = renderStage(*playback);
    // The first glyph starts after the 2 px gutter; its square spans the line's ascent above the baseline.
    int redInside = 0;
    for (int x = 3; x < 48; ++x)
        redInside += image.pixel(x, 15) == red ? 1 : 0;
    EXPECT_GT(redInside, 30);               // the glyphs let the rectangle through
    EXPECT_EQ(image.pixel(75, 15), white);  // past the box's right edge: cut off though glyphs run on
    EXPECT_EQ(image.pixel(20, 70), white);  // below the line: hidden
}

TEST(ButtonFilters, APartsFilterIsDrawn)
{
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor({ 255, 255, 255, 255 });
    movie.defineShape(1, rectShape(Red, 400, 400, 800, 800), 1);
    swfw::BitWriter out;
    out.writeU16(10); // button id
    out.writeU8(0);   // not a menu
    out.writeU16(0);  // no actions
    out.writeU8(0x10 | 0x0f); // has filters; every state
    out.writeU16(1);
    out.writeU16(1);
    out.writeMatrix(swfw::Matrix {});
    out.writeCxForm(swfw::CxForm {}, true);
    out.writeU8(1);   // one filter
    out.writeU8(6);   // colour matrix: red goes to blue, alpha kept
    const float matrix[20] = { 0, 0, 0, 0, 0, /**/ 0, 0, 0, 0, 0, /**/ 1, 0, 0, 0, 0, /**/ 0, 0, 0, 1, 0 };
    for (float f : matrix) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        out.writeU32(bits);
    }
    out.writeU8(0); // end of parts
    movie.tag(swf::TagDefineButton2, out.bytes());
    movie.placeObject2(swfw::Placement::place(1, 10));
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    QImage image = renderStage(*playback);
    EXPECT_EQ(image.pixel(40, 40), blue);  // the part, through its filter
    EXPECT_EQ(image.pixel(10, 10), white); // around it: the stage
}
