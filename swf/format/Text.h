#pragma once

// Font and text records: DefineFont 1-3, DefineFontInfo 1-2, DefineFontName,
// DefineFontAlignZones, DefineText 1-2 and DefineEditText, decoded into plain
// structs. Strings come out already decoded for the movie's version.

#include "swf/format/Shape.h"

#include <QString>

#include <optional>
#include <vector>

namespace swf {

// Caps on what one font or text may hold.
inline constexpr int MaxGlyphs = 65535;
inline constexpr int MaxTextRecords = 65536;

struct KerningPair {
    std::uint16_t left = 0, right = 0;
    std::int16_t adjustment = 0;
};

struct FontRecord {
    std::uint16_t id = 0;
    int version = 1; // DefineFont 1, 2 or 3
    QString name;
    bool bold = false, italic = false, smallText = false, shiftJis = false, ansi = false, wideCodes = false;
    int language = 0;
    std::vector<ShapeRecords> glyphs;  // one per glyph, in font units
    std::vector<std::uint16_t> codes;  // code point of each glyph (DefineFont 1: from DefineFontInfo)
    bool hasLayout = false;
    int ascent = 0, descent = 0, leading = 0;
    std::vector<std::int16_t> advances;
    std::vector<TwipsRect> glyphBounds;
    std::vector<KerningPair> kerning;
};

struct FontInfoRecord {
    std::uint16_t fontId = 0;
    int version = 1; // DefineFontInfo 1 or 2
    QString name;
    bool bold = false, italic = false, smallText = false, shiftJis = false, ansi = false, wideCodes = false;
    int language = 0;
    std::vector<std::uint16_t> codes;
};

struct FontNameRecord {
    std::uint16_t fontId = 0;
    QString name, copyright;
};

struct AlignZone {
    float position[2] = { 0, 0 }; // x and y edge, in font units
    float size[2] = { 0, 0 };
    bool maskX = false, maskY = false;
};

struct FontAlignZonesRecord {
    std::uint16_t fontId = 0;
    int thickness = 0; // 0 thin, 1 medium, 2 thick
    std::vector<AlignZone> zones; // one per glyph
};

struct GlyphEntry {
    std::uint32_t index = 0;
    std::int32_t advance = 0; // twips
};

// One run of glyphs; the optional fields change the style from here on.
struct TextRun {
    std::optional<std::uint16_t> fontId;
    std::optional<Rgba> color;
    std::optional<std::int16_t> xOffset, yOffset;
    std::optional<std::uint16_t> height; // twips
    std::vector<GlyphEntry> glyphs;
};

struct TextRecord {
    std::uint16_t id = 0;
    TwipsRect bounds;
    Matrix matrix;
    std::vector<TextRun> runs;
};

struct EditTextRecord {
    std::uint16_t id = 0;
    TwipsRect bounds;
    bool wordWrap = false, multiline = false, password = false, readOnly = false;
    bool autoSize = false, noSelect = false, border = false, wasStatic = false, html = false, useOutlines = false;
    std::optional<std::uint16_t> fontId;
    QString fontClass;
    int height = 240; // twips
    std::optional<Rgba> color;
    int maxLength = 0; // 0 = no limit
    int align = 0;     // 0 left, 1 right, 2 centre, 3 justify
    int leftMargin = 0, rightMargin = 0, indent = 0, leading = 0; // twips
    QString variableName;
    QString initialText;
};

Result<FontRecord> readFont(Reader& reader, int tagCode, int swfVersion);
Result<FontInfoRecord> readFontInfo(Reader& reader, int tagCode, int swfVersion);
Result<FontNameRecord> readFontName(Reader& reader, int swfVersion);
Result<FontAlignZonesRecord> readFontAlignZones(Reader& reader);
Result<TextRecord> readText(Reader& reader, int tagCode);
Result<EditTextRecord> readEditText(Reader& reader, int swfVersion);

} // namespace swf
