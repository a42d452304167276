#include "support/TextSupport.h"

#include "swf/format/Button.h"
#include "swf/format/TagCodes.h"
#include "swf/format/Text.h"
#include "swf/io/TextCodec.h"
#include "swf/movie/Fonts.h"
#include "swf/runtime/EditTextHtml.h"

using namespace text_support;

TEST(TextCodec, DecodesStringsByMovieVersion)
{
    const QByteArray gbk("\xc4\xe3\xba\xc3 ok"); // 你好 ok in GBK
    EXPECT_EQ(swf::decodeMovieString(gbk, 5), QStringLiteral("你好 ok"));
    EXPECT_EQ(swf::decodeMovieString(QByteArray("\xe4\xbd\xa0\xe5\xa5\xbd"), 6), QStringLiteral("你好"));
    EXPECT_EQ(swf::decodeLegacy(QByteArray("plain")), QStringLiteral("plain"));
    // A lead byte without its trail byte is damaged, not dropped with what follows.
    QString damaged = swf::decodeLegacy(QByteArray("a\xc4"));
    EXPECT_TRUE(damaged.startsWith(u'a'));
    EXPECT_EQ(damaged.size(), 2) << qPrintable(damaged);
}

TEST(TextRecords, ReadsFontWithGlyphsCodesAndLayout)
{
    QByteArray body = fontBody(7, "Face", 1024, 'A', 900);
    swf::Reader reader(body);
    auto font = swf::readFont(reader, swf::TagDefineFont2, 8);
    ASSERT_TRUE(font.ok()) << qPrintable(font.error().detail);
    EXPECT_EQ(font.value().id, 7);
    EXPECT_EQ(font.value().name, QStringLiteral("Face"));
    ASSERT_EQ(font.value().glyphs.size(), 1u);
    ASSERT_EQ(font.value().codes.size(), 1u);
    EXPECT_EQ(font.value().codes[0], 'A');
    EXPECT_TRUE(font.value().hasLayout);
    EXPECT_EQ(font.value().ascent, 819);
    ASSERT_EQ(font.value().advances.size(), 1u);
    EXPECT_EQ(font.value().advances[0], 900);

    // The glyph path is built once and spans the EM square above the baseline.
    swf::DefinitionTags raw(swf::CharacterKind::Font, 7);
    raw.tags.emplace_back(swf::TagDefineFont2, body);
    auto def = swf::buildFont(raw.tags, 7, 8);
    ASSERT_TRUE(def.ok());
    ASSERT_EQ(def.value()->glyphs.size(), 1u);
    QRectF box = def.value()->glyphs[0].boundingRect();
    EXPECT_EQ(box, QRectF(0, -1024, 1024, 1024));
    EXPECT_EQ(def.value()->glyphIndex(u'A'), 0);
    EXPECT_EQ(def.value()->glyphIndex(u'B'), -1);
    EXPECT_EQ(def.value()->emSize(), 1024);
}

TEST(TextRecords, FontInfoGivesDefineFontItsCodesAndName)
{
    // DefineFont 1: an offset table then the glyph; DefineFontInfo names it and its codes.
    swfw::BitWriter glyph;
    writeSquareGlyph(glyph, 1024);
    swfw::BitWriter font;
    font.writeU16(3);
    font.writeU16(2); // one offset: glyph starts right after it
    font.writeBytes(glyph.bytes());
    swfw::BitWriter info;
    info.writeU16(3);
    info.writeU8(4);
    info.writeBytes("\xcb\xce\xcc\xe5"); // 宋体 in GBK
    info.writeU8(0x02);                 // bold, narrow codes
    info.writeU8('Z');
    info.align();
    std::vector<std::pair<int, QByteArray>> tags { { swf::TagDefineFont, font.bytes() }, { swf::TagDefineFontInfo, info.bytes() } };
    auto def = swf::buildFont(tags, 3, 5);
    ASSERT_TRUE(def.ok()) << qPrintable(def.error().detail);
    EXPECT_EQ(def.value()->name, QStringLiteral("宋体"));
    EXPECT_TRUE(def.value()->bold);
    EXPECT_EQ(def.value()->glyphIndex(u'Z'), 0);
}

TEST(TextRecords, DamagedFontsAndTextsAreErrors)
{
    QByteArray body = fontBody(7, "Face", 1024, 'A', 900);
    {
        // The glyph offset points past the tag.
        QByteArray bad = body;
        int offsetAt = 2 + 1 + 1 + 1 + 4 + 2;
        bad[offsetAt] = char(0xf0);
        swf::Reader reader(bad);
        EXPECT_FALSE(swf::readFont(reader, swf::TagDefineFont2, 8).ok());
    }
    {
        QByteArray cut = body.left(12); // the offset table cut off
        swf::Reader reader(cut);
        EXPECT_FALSE(swf::readFont(reader, swf::TagDefineFont2, 8).ok());
    }
    {
        QByteArray text = textBody(1, 7, { 0, 0, 0, 255 }, 0, 0, 240, 3, 100);
        QByteArray cut = text.left(text.size() - 3);
        swf::Reader reader(cut);
        EXPECT_FALSE(swf::readText(reader, swf::TagDefineText).ok());
    }
    {
        // A glyph count larger than the bits that follow.
        QByteArray text = textBody(1, 7, { 0, 0, 0, 255 }, 0, 0, 240, 3, 100);
        text[text.size() - 1 - 6 - 1] = char(200);
        swf::Reader reader(text);
        EXPECT_FALSE(swf::readText(reader, swf::TagDefineText).ok());
    }
}

TEST(TextRecords, ReadsTextRunsAndEditTextFields)
{
    QByteArray text = textBody(4, 7, { 10, 20, 30, 255 }, 100, 300, 240, 2, 250);
    swf::Reader reader(text);
    auto record = swf::readText(reader, swf::TagDefineText);
    ASSERT_TRUE(record.ok());
    ASSERT_EQ(record.value().runs.size(), 1u);
    const swf::TextRun& run = record.value().runs[0];
    EXPECT_EQ(*run.fontId, 7);
    EXPECT_EQ(*run.height, 240);
    EXPECT_EQ(*run.xOffset, 100);
    EXPECT_EQ(*run.yOffset, 300);
    EXPECT_EQ(run.color->g, 20);
    ASSERT_EQ(run.glyphs.size(), 2u);
    EXPECT_EQ(run.glyphs[1].advance, 250);

    swfw::BitWriter edit;
    edit.writeU16(9);
    edit.writeRect(swfw::Rect { 0, 2000, 0, 400 });
    edit.writeU8(0x80 | 0x40 | 0x20 | 0x04 | 0x02 | 0x01); // text, wrap, multiline, colour, max length, font
    edit.writeU8(0x20 | 0x08 | 0x02);                      // layout, border, html
    edit.writeU16(7);
    edit.writeU16(300);
    edit.writeRgba({ 1, 2, 3, 255 });
    edit.writeU16(12);
    edit.writeU8(2); // centre
    edit.writeU16(40);
    edit.writeU16(60);
    edit.writeU16(80);
    edit.writeS16(-20);
    edit.writeBytes(QByteArray("\xb7\xd6\xca\xfd", 4)); // 分数 in GBK
    edit.writeU8(0);
    edit.writeString("<b>x</b>");
    swf::Reader editReader(edit.bytes());
    auto field = swf::readEditText(editReader, 5);
    ASSERT_TRUE(field.ok()) << qPrintable(field.error().detail);
    const swf::EditTextRecord& f = field.value();
    EXPECT_TRUE(f.wordWrap && f.multiline && f.border && f.html);
    EXPECT_FALSE(f.readOnly || f.password || f.noSelect);
    EXPECT_EQ(*f.fontId, 7);
    EXPECT_EQ(f.height, 300);
    EXPECT_EQ(f.maxLength, 12);
    EXPECT_EQ(f.align, 2);
    EXPECT_EQ(f.rightMargin, 60);
    EXPECT_EQ(f.leading, -20);
    EXPECT_EQ(f.variableName, QStringLiteral("分数"));
    EXPECT_EQ(f.initialText, QStringLiteral("<b>x</b>"));
}

TEST(ButtonRecords, ReadsPartsConditionsAndKeys)
{
    swfw::BitWriter out;
    out.writeU16(5);
    out.writeU8(1);  // track as menu
    out.writeU16(0); // patched below
    int partsStart = int(out.bytes().size());
    out.writeU8(0x01 | 0x08); // up and hit
    out.writeU16(1);
    out.writeU16(3);
    out.writeMatrix(swfw::Matrix::translate(100, 0));
    out.writeCxForm(swfw::CxForm {}, true);
    out.writeU8(0);
    int actionsStart = int(out.bytes().size());
    out.writeU16(6);        // this condition's size
    out.writeU8(0x08);      // over-down → over-up
    out.writeU8(0);
    out.writeBytes(QByteArray("\x07\x00", 2)); // stop, end
    out.writeU16(0);        // last
    out.writeU8(0);
    out.writeU8(char(('k' << 1) | 1)); // key 'k' and over-down → idle
    out.writeBytes(QByteArray("\x06\x00", 2));
    QByteArray body = out.bytes();
    int offset = actionsStart - (partsStart - 2);
    body[3] = char(offset & 0xff);
    body[4] = char(offset >> 8);
    swf::Reader reader(body);
    auto button = swf::readButton(reader, swf::TagDefineButton2);
    ASSERT_TRUE(button.ok()) << qPrintable(button.error().detail);
    EXPECT_TRUE(button.value().trackAsMenu);
    ASSERT_EQ(button.value().parts.size(), 1u);
    EXPECT_EQ(button.value().parts[0].states, swf::ButtonUp | swf::ButtonHit);
    EXPECT_EQ(button.value().parts[0].depth, 3);
    EXPECT_EQ(button.value().parts[0].matrix.tx, 100);
    ASSERT_EQ(button.value().actions.size(), 2u);
    EXPECT_EQ(button.value().actions[0].conditions, swf::CondOverDownToOverUp);
    EXPECT_EQ(button.value().actions[0].actions, QByteArray("\x07\x00", 2));
    EXPECT_EQ(button.value().actions[1].keyCode, 'k');
    EXPECT_EQ(button.value().actions[1].conditions, swf::CondOverDownToIdle);

    // An action offset past the end of the tag is an error, not a wild read.
    QByteArray bad = body;
    bad[3] = char(0xff);
    swf::Reader badReader(bad);
    EXPECT_FALSE(swf::readButton(badReader, swf::TagDefineButton2).ok());
}

TEST(EditTextHtml, StylesNestAndUnwind)
{
    swf::TextStyle base;
    base.size = 240;
    auto spans = swf::parseHtml(QStringLiteral("<p align=\"center\"><font face=\"宋体\" size=\"20\" color=\"#ff0000\">红<b>粗</b></font>"
                                               "&lt;x&gt;</p><p>two<br>lines &amp; <u>under</u><unknown>kept</unknown></p>"),
        base);
    ASSERT_GE(spans.size(), 5u);
    EXPECT_EQ(swf::plainTextOf(spans), QStringLiteral("红粗<x>\ntwo\nlines & underkept"));
    EXPECT_EQ(spans[0].text, QStringLiteral("红"));
    EXPECT_EQ(spans[0].style.face, QStringLiteral("宋体"));
    EXPECT_EQ(spans[0].style.size, 400);
    EXPECT_EQ(spans[0].style.color, QColor(255, 0, 0));
    EXPECT_EQ(spans[0].style.align, 2);
    EXPECT_FALSE(spans[0].style.bold);
    EXPECT_TRUE(spans[1].style.bold);
    // After </font> the base style is back, still centred within the paragraph.
    EXPECT_EQ(spans[2].style.size, 240);
    EXPECT_EQ(spans[2].style.align, 2);
    EXPECT_FALSE(spans[2].style.bold);
    bool underlined = false;
    for (const auto& span : spans)
        underlined |= span.text == u"under" && span.style.underline;
    EXPECT_TRUE(underlined);
    EXPECT_EQ(spans.back().style.align, 0);

    // Broken markup keeps its text.
    EXPECT_EQ(swf::plainTextOf(swf::parseHtml(QStringLiteral("tail <b"), base)), QStringLiteral("tail <b"));
}

TEST(DeviceFonts, GenericAndChineseFacesMapToSystemFamilies)
{
    EXPECT_EQ(swf::deviceFont(QStringLiteral("_sans"), 240, false, false).families().first(), QStringLiteral("sans-serif"));
    EXPECT_EQ(swf::deviceFont(QStringLiteral("_serif"), 240, false, false).families().first(), QStringLiteral("serif"));
    EXPECT_EQ(swf::deviceFont(QStringLiteral("_typewriter"), 240, false, false).families().first(), QStringLiteral("monospace"));
    QFont song = swf::deviceFont(QStringLiteral("宋体"), 240, true, false);
    EXPECT_EQ(song.families().first(), QStringLiteral("WenQuanYi Micro Hei"));
    EXPECT_TRUE(song.bold());
    EXPECT_EQ(song.pixelSize(), 240);
    // An unknown face is asked for first, with a Chinese face behind it.
    QFont other = swf::deviceFont(QStringLiteral("Nowhere Sans"), 100, false, true);
    EXPECT_EQ(other.families().first(), QStringLiteral("Nowhere Sans"));
    EXPECT_TRUE(other.families().contains(QStringLiteral("WenQuanYi Micro Hei")));
}
