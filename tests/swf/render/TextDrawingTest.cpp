#include "support/TextSupport.h"

#include "swf/format/TagCodes.h"
#include "swf/runtime/EditTextInstance.h"
#include "swf/runtime/Stage.h"

using namespace text_support;

namespace {

constexpr swfw::Rgba Blue { 0, 0, 255, 255 };

QByteArray editTextBody(uint16_t id, swfw::Rect box, std::optional<uint16_t> fontId, int height, const QByteArray& variable,
    const QByteArray& text, uint8_t flags1Extra, uint8_t flags2)
{
    swfw::BitWriter out;
    out.writeU16(id);
    out.writeRect(box);
    out.writeU8(uint8_t(0x80 | 0x04 | (fontId ? 0x01 : 0) | flags1Extra));
    out.writeU8(flags2);
    if (fontId) {
        out.writeU16(*fontId);
        out.writeU16(uint16_t(height));
    }
    out.writeRgba(Blue);
    out.writeString(variable);
    out.writeString(text);
    return out.bytes();
}

int countColor(const QImage& image, QRect area, QRgb color)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            n += image.pixel(x, y) == color ? 1 : 0;
    }
    return n;
}

} // namespace

TEST(StaticText, GlyphsScaleFromTheirEmSquareAndAdvance)
{
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor({ 255, 255, 255, 255 });
    movie.tag(swf::TagDefineFont2, fontBody(1, "Box", 1024, 'A', 1024));
    // DefineFont3 outlines are on a 20480 square: the same 1024 glyph is a twentieth as big.
    movie.tag(swf::TagDefineFont3, fontBody(2, "Box", 1024, 'A', 1024));
    movie.tag(swf::TagDefineText, textBody(3, 1, Blue, 200, 600, 400, 2, 600)); // 20 px squares at 10 px and 40 px
    movie.tag(swf::TagDefineText, textBody(4, 2, Blue, 200, 1600, 400, 1, 600));
    movie.placeObject(3, 1, swfw::Matrix {});
    movie.placeObject(4, 2, swfw::Matrix {});
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    QImage image = renderStage(*playback);
    const QRgb blue = qRgb(0, 0, 255), white = qRgb(255, 255, 255);
    EXPECT_EQ(image.pixel(20, 20), blue);  // inside the first glyph
    EXPECT_EQ(image.pixel(50, 20), blue);  // the second, one advance (30 px) on
    EXPECT_EQ(image.pixel(35, 20), white); // the gap between them
    EXPECT_EQ(image.pixel(20, 5), white);  // above the EM box
    // The DefineFont3 glyph is 1 px: at most a pixel or so of colour near its origin.
    EXPECT_LE(countColor(image, QRect(5, 60, 40, 30), blue), 4);
}

TEST(EditText, DeviceTextShowsAndFollowsItsVariable)
{
    swfw::Movie movie(5, 200, 100, 12);
    movie.setBackgroundColor({ 255, 255, 255, 255 });
    // A font without glyphs, asking for 宋体: drawn with a system face.
    swfw::BitWriter deviceFont;
    deviceFont.writeU16(1);
    deviceFont.writeU8(0x04);
    deviceFont.writeU8(1);
    deviceFont.writeU8(4);
    deviceFont.writeBytes("\xcb\xce\xcc\xe5");
    deviceFont.writeU16(0);
    movie.tag(swf::TagDefineFont2, deviceFont.bytes());
    movie.tag(swf::TagDefineEditText,
        editTextBody(2, swfw::Rect { 0, 3000, 0, 1000 }, 1, 480, "score", "\xc4\xe3\xba\xc3", 0x20, 0x00));
    movie.placeObject(2, 1, swfw::Matrix::translate(200, 200));
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    auto* edit = dynamic_cast<swf::EditTextInstance*>(playback->stage().root().childAt(1));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->variableName(), QStringLiteral("score"));
    EXPECT_EQ(edit->text(), QStringLiteral("你好"));
    QImage image = renderStage(*playback);
    auto inkIn = [](const QImage& img, QRect area) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += qBlue(img.pixel(x, y)) > 128 && qRed(img.pixel(x, y)) < 128 ? 1 : 0;
        return n;
    };
    EXPECT_GT(inkIn(image, QRect(10, 10, 60, 30)), 20); // two Chinese characters in blue
    EXPECT_EQ(inkIn(image, QRect(100, 10, 90, 80)), 0);

    quint64 before = edit->revision();
    edit->setText(QStringLiteral("一二三四五六七八"));
    EXPECT_GT(edit->revision(), before);
    QImage longer = renderStage(*playback);
    EXPECT_GT(inkIn(longer, QRect(70, 10, 80, 30)), 20); // the longer text reaches further right
    EXPECT_EQ(inkIn(longer, QRect(165, 10, 30, 80)), 0);  // but is clipped to the 150 px box
}

TEST(EditText, InputTakesKeysOnlyWhenFocused)
{
    swfw::Movie movie(6, 200, 100, 12);
    // Input field (not read-only), single line, max 5 characters, _sans device font.
    swfw::BitWriter sans;
    sans.writeU16(1);
    sans.writeU8(0x04);
    sans.writeU8(1);
    sans.writeU8(5);
    sans.writeBytes("_sans");
    sans.writeU16(0);
    movie.tag(swf::TagDefineFont2, sans.bytes());
    swfw::BitWriter body;
    body.writeU16(2);
    body.writeRect(swfw::Rect { 0, 2000, 0, 600 });
    body.writeU8(0x80 | 0x02 | 0x01); // text, max length, font
    body.writeU8(0x00);
    body.writeU16(1);
    body.writeU16(240);
    body.writeU16(5);
    body.writeString("name");
    body.writeString("ab");
    movie.tag(swf::TagDefineEditText, body.bytes());
    movie.placeObject(2, 1, swfw::Matrix::translate(200, 200));
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    auto* edit = dynamic_cast<swf::EditTextInstance*>(playback->stage().root().childAt(1));
    ASSERT_NE(edit, nullptr);
    playback->keyDown(Qt::Key_C, QStringLiteral("c"));
    EXPECT_EQ(edit->text(), QStringLiteral("ab")); // no focus yet
    playback->mouseDown(QPointF(20, 20));
    playback->mouseUp(QPointF(20, 20));
    EXPECT_TRUE(edit->hasFocus());
    playback->keyDown(Qt::Key_C, QStringLiteral("c"));
    playback->keyDown(0, QStringLiteral("中文"));
    playback->keyDown(Qt::Key_Return, QStringLiteral("\r")); // single line: ignored
    EXPECT_EQ(edit->text(), QStringLiteral("abc中文"));
    playback->keyDown(Qt::Key_D, QStringLiteral("d")); // past the 5-character limit
    EXPECT_EQ(edit->text(), QStringLiteral("abc中文"));
    playback->keyDown(Qt::Key_Backspace, QString());
    EXPECT_EQ(edit->text(), QStringLiteral("abc中"));
    // A click elsewhere takes the focus away.
    playback->mouseDown(QPointF(150, 80));
    EXPECT_FALSE(edit->hasFocus());
    playback->keyDown(Qt::Key_E, QStringLiteral("e"));
    EXPECT_EQ(edit->text(), QStringLiteral("abc中"));
}
