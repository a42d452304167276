#pragma once

// Font definitions: glyph outlines turned into QPainterPaths once, at load,
// with the codes, advances and layout the font brings. A font without glyphs
// (or text asking for a device font) is drawn with the nearest system font.

#include "swf/format/Text.h"
#include "swf/movie/Character.h"

#include <QFont>
#include <QHash>
#include <QPainterPath>

namespace swf {

struct FontDef : Character {
    explicit FontDef(std::uint16_t i) : Character(CharacterKind::Font, i) { }

    QString name;     // the face name text asks for
    QString fullName; // DefineFontName's display name, when given
    bool bold = false, italic = false;
    int version = 1;
    std::vector<QPainterPath> glyphs;  // in font units, see emSize()
    std::vector<std::uint16_t> codes;  // code point per glyph
    QHash<std::uint16_t, int> glyphForCode;
    bool hasLayout = false;
    double ascent = 0, descent = 0, leading = 0; // font units
    std::vector<double> advances;      // font units, per glyph
    QHash<quint32, double> kerning;    // (left code << 16 | right code) → font units
    std::vector<AlignZone> alignZones; // kept, not used for drawing

    // Glyph outlines are on a 1024-unit EM square; DefineFont3 on a 20480-unit one.
    double emSize() const { return version == 3 ? 20480.0 : 1024.0; }
    bool hasGlyphs() const { return !glyphs.empty(); }
    int glyphIndex(QChar c) const { return glyphForCode.value(c.unicode(), -1); }

    void applyInfo(const FontInfoRecord& info);
};

// Builds a font from its tags (DefineFont*, then any DefineFontInfo,
// DefineFontName, DefineFontAlignZones), in file order.
Result<std::shared_ptr<FontDef>> buildFont(const std::vector<std::pair<int, QByteArray>>& tags, std::uint16_t id, int swfVersion);

// The system font nearest to what a movie asks for: _sans, _serif and
// _typewriter map to the generic families, Chinese face names to a CJK face,
// and every face falls back to one that has Chinese glyphs. `pixelSize` is in
// the caller's units (twips for the engine), rounded to a whole unit.
QFont deviceFont(const QString& face, double pixelSize, bool bold, bool italic);

} // namespace swf
