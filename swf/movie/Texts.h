#pragma once

// Static and edit text definitions. A static text keeps its glyph runs with
// every style resolved (font, colour, height, pen position), so drawing only
// looks glyphs up; an edit text keeps its record for the instances to lay out.

#include "swf/format/Text.h"
#include "swf/movie/Character.h"

namespace swf {

struct PlacedGlyph {
    int index = 0; // into the font's glyphs
    double x = 0;  // pen position, twips in text space
};

struct GlyphRun {
    std::uint16_t fontId = 0;
    Rgba color;
    double height = 0; // twips
    double y = 0;      // baseline, twips in text space
    std::vector<PlacedGlyph> glyphs;
};

struct TextDef : Character {
    explicit TextDef(std::uint16_t i) : Character(CharacterKind::Text, i) { }
    TwipsRect bounds;
    Matrix matrix;
    std::vector<GlyphRun> runs;
};

struct FontDef;

struct EditTextDef : Character {
    explicit EditTextDef(std::uint16_t i) : Character(CharacterKind::EditText, i) { }
    EditTextRecord record;
    // Every embedded font of the movie, for HTML that names another face or
    // asks for its bold or italic cut.
    std::vector<const FontDef*> movieFonts;

    // The embedded font with this face that best draws `text` in this cut; null when there is none.
    const FontDef* embeddedFont(const QString& face, bool bold, bool italic, const QString& text) const;
};

// Resolves a DefineText record's style changes into self-contained runs.
std::shared_ptr<TextDef> resolveText(const TextRecord& record);

// Builds the definition a text, edit text, font or button id stands for from
// its raw tags; null when the definition is damaged (placing it draws nothing).
std::shared_ptr<const Character> buildTextOrButton(const DefinitionTags& raw, int swfVersion);

// Gives each edit text of a loaded movie the list of its embedded fonts.
void linkEditTextFonts(const std::vector<const Character*>& characters);

} // namespace swf
