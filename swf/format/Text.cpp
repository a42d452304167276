#include "swf/format/Text.h"

#include "swf/format/TagCodes.h"
#include "swf/io/TextCodec.h"

#include <cmath>

namespace swf {

namespace {

// A string with its length in front (font names), in the movie's encoding.
Result<QString> readCountedString(Reader& reader, int swfVersion)
{
    unsigned length = SWF_TRY(reader.readU8());
    QByteArray bytes = SWF_TRY(reader.readBytes(length));
    // Authoring tools often leave a terminating NUL inside the counted bytes.
    qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return decodeMovieString(bytes, swfVersion);
}

// Reads one glyph outline from `size` bytes at `data`.
Result<ShapeRecords> readGlyph(const char* data, std::size_t size, qint64 base)
{
    Reader glyph(data, size, base);
    ShapeRecords shape;
    // Glyphs carry no styles of their own: their one fill is implied.
    StyleSet styles;
    styles.fills.push_back(FillStyle {});
    shape.styles.push_back(std::move(styles));
    SWF_TRY_VOID(readShapeRecords(glyph, 1, shape));
    return shape;
}

Result<float> readHalfFloat(Reader& reader)
{
    std::uint16_t bits = SWF_TRY(reader.readU16());
    int sign = bits >> 15, exponent = (bits >> 10) & 0x1f, mantissa = bits & 0x3ff;
    float value;
    if (exponent == 0)
        value = std::ldexp(float(mantissa), -24);
    else if (exponent == 31)
        value = mantissa ? 0.0f : 65504.0f; // no infinities or NaNs in a layout value
    else
        value = std::ldexp(float(mantissa | 0x400), exponent - 25);
    return sign ? -value : value;
}

} // namespace

Result<FontRecord> readFont(Reader& reader, int tagCode, int swfVersion)
{
    FontRecord font;
    font.id = SWF_TRY(reader.readU16());
    if (tagCode == TagDefineFont) {
        font.version = 1;
        const char* table = reader.current();
        std::size_t tableSize = reader.remaining();
        qint64 base = reader.offset();
        if (tableSize == 0)
            return font; // a font with no glyphs (device text only)
        std::uint16_t first = SWF_TRY(reader.readU16());
        std::size_t count = first / 2;
        if (count == 0 || first > tableSize)
            return Error::at(base, QStringLiteral("glyph offset table out of range"));
        std::vector<std::uint32_t> offsets { first };
        for (std::size_t i = 1; i < count; ++i)
            offsets.push_back(SWF_TRY(reader.readU16()));
        offsets.push_back(std::uint32_t(tableSize));
        for (std::size_t i = 0; i < count; ++i) {
            if (offsets[i] > offsets[i + 1] || offsets[i + 1] > tableSize)
                return Error::at(base, QStringLiteral("glyph %1 lies outside the font").arg(i));
            font.glyphs.push_back(SWF_TRY(readGlyph(table + offsets[i], offsets[i + 1] - offsets[i], base + offsets[i])));
        }
        return font;
    }
    font.version = tagCode == TagDefineFont3 ? 3 : 2;
    std::uint8_t flags = SWF_TRY(reader.readU8());
    font.hasLayout = flags & 0x80;
    font.shiftJis = flags & 0x40;
    font.smallText = flags & 0x20;
    font.ansi = flags & 0x10;
    bool wideOffsets = flags & 0x08;
    font.wideCodes = flags & 0x04;
    font.italic = flags & 0x02;
    font.bold = flags & 0x01;
    font.language = SWF_TRY(reader.readU8());
    font.name = SWF_TRY(readCountedString(reader, swfVersion));
    std::uint16_t count = SWF_TRY(reader.readU16());
    const char* table = reader.current();
    std::size_t tableSize = reader.remaining();
    qint64 base = reader.offset();
    std::size_t offsetSize = wideOffsets ? 4 : 2;
    if ((std::size_t(count) + 1) * offsetSize > tableSize) {
        if (count == 0)
            return font; // no glyphs and no code table offset: a device font
        return reader.truncated("glyph offsets");
    }
    std::vector<std::uint32_t> offsets;
    offsets.reserve(std::size_t(count) + 1);
    for (std::size_t i = 0; i <= count; ++i)
        offsets.push_back(wideOffsets ? SWF_TRY(reader.readU32()) : SWF_TRY(reader.readU16()));
    font.glyphs.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (offsets[i] > offsets[i + 1] || offsets[i + 1] > tableSize)
            return Error::at(base, QStringLiteral("glyph %1 lies outside the font").arg(i));
        font.glyphs.push_back(SWF_TRY(readGlyph(table + offsets[i], offsets[i + 1] - offsets[i], base + offsets[i])));
    }
    std::size_t codeStart = offsets[count];
    if (codeStart > tableSize)
        return Error::at(base, QStringLiteral("code table lies outside the font"));
    Reader rest(table + codeStart, tableSize - codeStart, base + qint64(codeStart));
    font.codes.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        font.codes.push_back(font.wideCodes ? SWF_TRY(rest.readU16()) : SWF_TRY(rest.readU8()));
    if (!font.hasLayout)
        return font;
    font.ascent = SWF_TRY(rest.readU16());
    font.descent = SWF_TRY(rest.readU16());
    font.leading = SWF_TRY(rest.readS16());
    font.advances.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        font.advances.push_back(SWF_TRY(rest.readS16()));
    font.glyphBounds.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        font.glyphBounds.push_back(SWF_TRY(readRect(rest)));
    // Some writers stop before the kerning count; the font is whole without it.
    if (rest.remaining() < 2)
        return font;
    std::uint16_t kernings = SWF_TRY(rest.readU16());
    std::size_t kerningSize = font.wideCodes ? 6 : 4;
    if (std::size_t(kernings) * kerningSize > rest.remaining())
        return font;
    font.kerning.reserve(kernings);
    for (std::size_t i = 0; i < kernings; ++i) {
        KerningPair pair;
        pair.left = font.wideCodes ? SWF_TRY(rest.readU16()) : SWF_TRY(rest.readU8());
        pair.right = font.wideCodes ? SWF_TRY(rest.readU16()) : SWF_TRY(rest.readU8());
        pair.adjustment = SWF_TRY(rest.readS16());
        font.kerning.push_back(pair);
    }
    return font;
}

Result<FontInfoRecord> readFontInfo(Reader& reader, int tagCode, int swfVersion)
{
    FontInfoRecord info;
    info.version = tagCode == TagDefineFontInfo2 ? 2 : 1;
    info.fontId = SWF_TRY(reader.readU16());
    info.name = SWF_TRY(readCountedString(reader, swfVersion));
    std::uint8_t flags = SWF_TRY(reader.readU8());
    info.smallText = flags & 0x20;
    info.shiftJis = flags & 0x10;
    info.ansi = flags & 0x08;
    info.italic = flags & 0x04;
    info.bold = flags & 0x02;
    info.wideCodes = flags & 0x01;
    if (info.version == 2) {
        info.language = SWF_TRY(reader.readU8());
        info.wideCodes = true;
    }
    std::size_t count = reader.remaining() / (info.wideCodes ? 2 : 1);
    info.codes.reserve(std::min<std::size_t>(count, MaxGlyphs));
    for (std::size_t i = 0; i < count && i < std::size_t(MaxGlyphs); ++i)
        info.codes.push_back(info.wideCodes ? SWF_TRY(reader.readU16()) : SWF_TRY(reader.readU8()));
    return info;
}

Result<FontNameRecord> readFontName(Reader& reader, int swfVersion)
{
    FontNameRecord record;
    record.fontId = SWF_TRY(reader.readU16());
    record.name = SWF_TRY(reader.readString(swfVersion));
    if (!reader.atEnd())
        record.copyright = SWF_TRY(reader.readString(swfVersion));
    return record;
}

Result<FontAlignZonesRecord> readFontAlignZones(Reader& reader)
{
    FontAlignZonesRecord record;
    record.fontId = SWF_TRY(reader.readU16());
    record.thickness = SWF_TRY(reader.readU8()) >> 6;
    while (!reader.atEnd() && record.zones.size() < std::size_t(MaxGlyphs)) {
        AlignZone zone;
        unsigned count = SWF_TRY(reader.readU8());
        for (unsigned i = 0; i < count; ++i) {
            float position = SWF_TRY(readHalfFloat(reader));
            float size = SWF_TRY(readHalfFloat(reader));
            if (i < 2) {
                zone.position[i] = position;
                zone.size[i] = size;
            }
        }
        std::uint8_t mask = SWF_TRY(reader.readU8());
        zone.maskY = mask & 0x02;
        zone.maskX = mask & 0x01;
        record.zones.push_back(zone);
    }
    return record;
}

Result<TextRecord> readText(Reader& reader, int tagCode)
{
    TextRecord text;
    text.id = SWF_TRY(reader.readU16());
    text.bounds = SWF_TRY(readRect(reader));
    text.matrix = SWF_TRY(readMatrix(reader));
    unsigned glyphBits = SWF_TRY(reader.readU8());
    unsigned advanceBits = SWF_TRY(reader.readU8());
    if (glyphBits > 32 || advanceBits > 32)
        return Error::at(reader.offset(), QStringLiteral("glyph or advance field wider than 32 bits"));
    while (true) {
        std::uint8_t flags = SWF_TRY(reader.readU8());
        if (flags == 0)
            break;
        if (int(text.runs.size()) >= MaxTextRecords)
            return Error::at(reader.offset(), QStringLiteral("text has too many records"), ErrorKind::TooLarge);
        TextRun run;
        if (flags & 0x08)
            run.fontId = SWF_TRY(reader.readU16());
        if (flags & 0x04)
            run.color = tagCode == TagDefineText2 ? SWF_TRY(readRgba(reader)) : SWF_TRY(readRgb(reader));
        if (flags & 0x01)
            run.xOffset = SWF_TRY(reader.readS16());
        if (flags & 0x02)
            run.yOffset = SWF_TRY(reader.readS16());
        if (flags & 0x08)
            run.height = SWF_TRY(reader.readU16());
        unsigned count = SWF_TRY(reader.readU8());
        // Each glyph takes at least one bit when both fields are non-empty.
        if (glyphBits + advanceBits > 0 && std::size_t(count) * (glyphBits + advanceBits) > reader.remaining() * 8)
            return reader.truncated("glyph entries");
        run.glyphs.reserve(count);
        for (unsigned i = 0; i < count; ++i) {
            GlyphEntry entry;
            entry.index = SWF_TRY(reader.readUB(glyphBits));
            entry.advance = SWF_TRY(reader.readSB(advanceBits));
            run.glyphs.push_back(entry);
        }
        reader.alignByte();
        text.runs.push_back(std::move(run));
    }
    return text;
}

Result<EditTextRecord> readEditText(Reader& reader, int swfVersion)
{
    EditTextRecord edit;
    edit.id = SWF_TRY(reader.readU16());
    edit.bounds = SWF_TRY(readRect(reader));
    std::uint8_t flags1 = SWF_TRY(reader.readU8());
    std::uint8_t flags2 = SWF_TRY(reader.readU8());
    bool hasText = flags1 & 0x80;
    edit.wordWrap = flags1 & 0x40;
    edit.multiline = flags1 & 0x20;
    edit.password = flags1 & 0x10;
    edit.readOnly = flags1 & 0x08;
    bool hasColor = flags1 & 0x04;
    bool hasMaxLength = flags1 & 0x02;
    bool hasFont = flags1 & 0x01;
    bool hasFontClass = flags2 & 0x80;
    edit.autoSize = flags2 & 0x40;
    bool hasLayout = flags2 & 0x20;
    edit.noSelect = flags2 & 0x10;
    edit.border = flags2 & 0x08;
    edit.wasStatic = flags2 & 0x04;
    edit.html = flags2 & 0x02;
    edit.useOutlines = flags2 & 0x01;
    if (hasFont)
        edit.fontId = SWF_TRY(reader.readU16());
    if (hasFontClass)
        edit.fontClass = SWF_TRY(reader.readString(swfVersion));
    if (hasFont || hasFontClass)
        edit.height = SWF_TRY(reader.readU16());
    if (hasColor)
        edit.color = SWF_TRY(readRgba(reader));
    if (hasMaxLength)
        edit.maxLength = SWF_TRY(reader.readU16());
    if (hasLayout) {
        edit.align = SWF_TRY(reader.readU8());
        edit.leftMargin = SWF_TRY(reader.readU16());
        edit.rightMargin = SWF_TRY(reader.readU16());
        edit.indent = SWF_TRY(reader.readU16());
        edit.leading = SWF_TRY(reader.readS16());
    }
    edit.variableName = SWF_TRY(reader.readString(swfVersion));
    if (hasText)
        edit.initialText = SWF_TRY(reader.readString(swfVersion));
    return edit;
}

} // namespace swf
