// Fields drawn with a system font, at the movie's own size: where the box,
// border and text land on the pixel grid, and the line metrics scripts read.
// Expected figures come from DejaVu Sans' own metrics at 12 px (ascender
// 0.928 em, descender 0.236 em, cap height 0.729 em, H's left bearing
// 0.098 em), hinted to whole pixels.

#include "support/TextSupport.h"

#include "swf/format/TagCodes.h"
#include "swf/runtime/EditTextInstance.h"
#include "swf/runtime/Stage.h"

using namespace text_support;

namespace {

constexpr swfw::Rgba Black { 0, 0, 0, 255 };
constexpr uint8_t HasText = 0x80, WordWrap = 0x40, HasTextColor = 0x04, HasFont = 0x01;
constexpr uint8_t Border = 0x08;

// A font without glyphs named _sans: the field is drawn with the system sans face.
QByteArray sansFont(uint16_t id)
{
    swfw::BitWriter out;
    out.writeU16(id);
    out.writeU8(0x04); // no layout, ANSI codes
    out.writeU8(1);    // language
    out.writeU8(5);
    out.writeBytes("_sans");
    out.writeU16(0); // no glyphs
    return out.bytes();
}

// A field of 12 px black _sans text (font 1) in `box` (twips).
QByteArray fieldBody(uint16_t id, swfw::Rect box, const QByteArray& text, uint8_t flags1, uint8_t flags2)
{
    swfw::BitWriter out;
    out.writeU16(id);
    out.writeRect(box);
    out.writeU8(uint8_t(HasText | HasTextColor | HasFont | flags1));
    out.writeU8(flags2);
    out.writeU16(1);
    out.writeU16(240);
    out.writeRgba(Black);
    out.writeString(QByteArray());
    out.writeString(text);
    return out.bytes();
}

// The same with a layout record: `align` 1 right, 2 centred; no margins.
QByteArray alignedFieldBody(uint16_t id, swfw::Rect box, const QByteArray& text, uint8_t align)
{
    swfw::BitWriter out;
    out.writeU16(id);
    out.writeRect(box);
    out.writeU8(uint8_t(HasText | HasTextColor | HasFont));
    out.writeU8(0x20 | Border); // layout, border
    out.writeU16(1);
    out.writeU16(240);
    out.writeRgba(Black);
    out.writeU8(align);
    out.writeU16(0); // left margin
    out.writeU16(0); // right margin
    out.writeU16(0); // indent
    out.writeU16(0); // leading
    out.writeString(QByteArray());
    out.writeString(text);
    return out.bytes();
}

struct Field {
    std::unique_ptr<swf::Playback> playback;
    swf::EditTextInstance* edit = nullptr;
};

// One field on a grey 200 x 150 stage, placed by `matrix`.
Field placeField(swfw::Rect box, const QByteArray& text, uint8_t flags1, uint8_t flags2, swfw::Matrix matrix = {})
{
    swfw::Movie movie(8, 200, 150, 12);
    movie.setBackgroundColor({ 128, 128, 128, 255 });
    movie.tag(swf::TagDefineFont2, sansFont(1));
    movie.tag(swf::TagDefineEditText, fieldBody(2, box, text, flags1, flags2));
    movie.placeObject(2, 1, matrix);
    movie.showFrame();
    Field field;
    field.playback = load(movie.bytes());
    if (field.playback)
        field.edit = dynamic_cast<swf::EditTextInstance*>(field.playback->stage().root().childAt(1));
    return field;
}

constexpr QRgb grey = qRgb(128, 128, 128), white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);

bool inkIn(const QImage& image, QRect area)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qRed(image.pixel(x, y)) < 128)
                return true;
        }
    }
    return false;
}

} // namespace

TEST(DeviceTextField, BorderLiesOnTheBoxsFirstAndLastPixels)
{
    // Box 25..75 x 25..50 px: the border takes columns 25 and 75 and rows 25
    // and 50 (so 51 x 26 pixels), the white background fills inside.
    Field field = placeField(swfw::Rect { 500, 1500, 500, 1000 }, "", 0, Border);
    ASSERT_TRUE(field.playback && field.edit);
    QImage image = renderStage(*field.playback);
    EXPECT_EQ(image.pixel(25, 25), black);  // top-left corner
    EXPECT_EQ(image.pixel(75, 50), black);  // bottom-right corner, one past the box's last background pixel
    EXPECT_EQ(image.pixel(75, 30), black);  // right edge
    EXPECT_EQ(image.pixel(50, 50), black);  // bottom edge
    EXPECT_EQ(image.pixel(26, 26), white);  // background just inside
    EXPECT_EQ(image.pixel(74, 49), white);
    EXPECT_EQ(image.pixel(24, 25), grey);   // nothing outside
    EXPECT_EQ(image.pixel(76, 50), grey);
    EXPECT_EQ(image.pixel(75, 51), grey);
}

TEST(DeviceTextField, BoxLandsOnTheNearestPixelAndTextFollowsIt)
{
    // Box from 100.5 px: a half pixel goes right, so it starts on pixel 101,
    // and the H's stem sits at 101 + 2 (gutter) + 1 (left bearing), rows
    // 4..12 below the top: the baseline is 2 + 11 (ascent) px down, the cap
    // 9 px tall. A border gives the field its white background.
    Field field = placeField(swfw::Rect { 2010, 3010, 0, 800 }, "H", 0, Border);
    ASSERT_TRUE(field.playback && field.edit);
    QImage image = renderStage(*field.playback);
    for (int y = 4; y <= 12; ++y)
        EXPECT_EQ(image.pixel(104, y), black) << "row " << y;
    EXPECT_EQ(image.pixel(104, 3), white);  // above the cap
    EXPECT_EQ(image.pixel(104, 13), white); // on the baseline row: below the glyph
    EXPECT_EQ(image.pixel(103, 8), white);  // left of the stem
    EXPECT_EQ(image.pixel(101, 8), black);  // the box's border is on pixel 101
    EXPECT_EQ(image.pixel(100, 8), grey);

    // Placed 0.4 px further down (8 twips), the box stays on row 0; at
    // 0.5 px (10 twips) its top border moves to row 1.
    Field down4 = placeField(swfw::Rect { 2000, 3000, 0, 800 }, "", 0, Border, swfw::Matrix::translate(0, 8));
    ASSERT_TRUE(down4.playback && down4.edit);
    image = renderStage(*down4.playback);
    EXPECT_EQ(image.pixel(120, 0), black); // top border
    EXPECT_EQ(image.pixel(120, 40), black); // bottom border, 40 rows down
    Field down5 = placeField(swfw::Rect { 2000, 3000, 0, 800 }, "", 0, Border, swfw::Matrix::translate(0, 10));
    ASSERT_TRUE(down5.playback && down5.edit);
    image = renderStage(*down5.playback);
    EXPECT_EQ(image.pixel(120, 0), grey);
    EXPECT_EQ(image.pixel(120, 1), black);
    EXPECT_EQ(image.pixel(120, 41), black);
}

TEST(DeviceTextField, LinesAreWholePixelsTallAndOnlyWholeLinesShow)
{
    // Lines are 11 + 3 = 14 px. In a 40 px box with a 2 px gutter two lines
    // fit (2..30); the third (30..44) is not drawn at all. Word wrap holds
    // without multiline, and the line break stands in a single-line field.
    Field field = placeField(swfw::Rect { 0, 1000, 0, 800 }, "Hello,\nfinest World", WordWrap, 0);
    ASSERT_TRUE(field.playback && field.edit);
    const swf::EditTextLayout& layout = field.edit->layout();
    EXPECT_EQ(layout.lineCount, 3); // "Hello," / "finest" / "World"
    EXPECT_DOUBLE_EQ(layout.textHeight, 3 * 14 * 20);
    ASSERT_EQ(layout.lineTops.size(), 3u);
    EXPECT_DOUBLE_EQ(layout.lineTops[1] - layout.lineTops[0], 14 * 20);
    QImage image = renderStage(*field.playback);
    EXPECT_TRUE(inkIn(image, QRect(2, 20, 46, 8)));   // the second line's letters
    EXPECT_FALSE(inkIn(image, QRect(2, 31, 46, 7)));  // the third line's would start at row 34
}

TEST(DeviceTextField, AutoSizeFitsTheLineAndTheGutter)
{
    // One line of 14 px plus 2 px of gutter above and below.
    Field field = placeField(swfw::Rect { 0, 2000, 0, 2000 }, "H", 0, 0x40 /* autoSize */);
    ASSERT_TRUE(field.playback && field.edit);
    const swf::EditTextRecord& record = field.edit->record();
    EXPECT_EQ(record.bounds.yMax - record.bounds.yMin, (14 + 4) * 20);
    // H advances 0.752 em: 9 px hinted; the box is that plus both gutters.
    EXPECT_EQ(record.bounds.xMax - record.bounds.xMin, (9 + 4) * 20);
}

TEST(DeviceTextField, AlignedLinesKeepTheLastPixelColumnFree)
{
    // Box 0..50 px: text may use 2..48, but aligned lines leave column 47
    // free for the caret, so a right-aligned H (9 px advance) starts at
    // 48 - 1 - 9 = 38 and its stem is at 38 + 1 (left bearing) = 39; centred
    // it starts at 2 + (46 - 1 - 9) / 2 = 20, stem at 21.
    for (const auto& [align, stem] : { std::pair { 1, 39 }, std::pair { 2, 21 } }) {
        swfw::Movie movie(8, 200, 150, 12);
        movie.setBackgroundColor({ 128, 128, 128, 255 });
        movie.tag(swf::TagDefineFont2, sansFont(1));
        movie.tag(swf::TagDefineEditText, alignedFieldBody(2, swfw::Rect { 0, 1000, 0, 400 }, "H", uint8_t(align)));
        movie.placeObject(2, 1, swfw::Matrix {});
        movie.showFrame();
        std::unique_ptr<swf::Playback> playback = load(movie.bytes());
        ASSERT_TRUE(playback);
        QImage image = renderStage(*playback);
        SCOPED_TRACE(align);
        EXPECT_EQ(image.pixel(stem, 8), black);          // the H's left stem, mid-height
        EXPECT_EQ(image.pixel(stem - 1, 8), white);      // nothing just left of it
        EXPECT_FALSE(inkIn(image, QRect(stem + 8, 3, 1, 12))); // one past the H's 7 px of ink
    }
}

TEST(DeviceTextField, FlippedFieldsAreNotDrawn)
{
    // A system font cannot be mirrored: the field, box and all, is left out.
    Field field = placeField(swfw::Rect { 0, 1000, 0, 500 }, "H", 0, Border, swfw::Matrix::scale(-1, 1, 1500, 500));
    ASSERT_TRUE(field.playback && field.edit);
    QImage image = renderStage(*field.playback);
    for (QPoint p : { QPoint(50, 25), QPoint(75, 30), QPoint(55, 50), QPoint(74, 35) })
        EXPECT_EQ(image.pixel(p), grey) << p.x() << "," << p.y();
}
