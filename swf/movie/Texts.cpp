#include "swf/movie/Texts.h"

#include "swf/format/TagCodes.h"
#include "swf/movie/Buttons.h"
#include "swf/movie/Fonts.h"

#include <algorithm>

namespace swf {

std::shared_ptr<TextDef> resolveText(const TextRecord& record)
{
    auto text = std::make_shared<TextDef>(record.id);
    text->bounds = record.bounds;
    text->matrix = record.matrix;
    std::uint16_t font = 0;
    Rgba color;
    double height = 0, x = 0, y = 0;
    for (const TextRun& run : record.runs) {
        if (run.fontId)
            font = *run.fontId;
        if (run.color)
            color = *run.color;
        if (run.height)
            height = *run.height;
        if (run.xOffset)
            x = *run.xOffset;
        if (run.yOffset)
            y = *run.yOffset;
        GlyphRun out { font, color, height, y, {} };
        out.glyphs.reserve(run.glyphs.size());
        for (const GlyphEntry& entry : run.glyphs) {
            out.glyphs.push_back(PlacedGlyph { int(entry.index), x });
            x += entry.advance;
        }
        text->runs.push_back(std::move(out));
    }
    return text;
}

const FontDef* EditTextDef::embeddedFont(const QString& face, bool bold, bool italic, const QString& text) const
{
    // Movies often embed several subsets of one face; the one that covers the
    // most of the text wins, the right cut first.
    const FontDef* best = nullptr;
    int bestScore = -1;
    for (const FontDef* font : movieFonts) {
        if (!font->hasGlyphs() || font->name.compare(face, Qt::CaseInsensitive) != 0)
            continue;
        int covered = 0;
        for (QChar c : text)
            covered += font->glyphIndex(c) >= 0 ? 1 : 0;
        int score = covered * 4 + (font->bold == bold ? 2 : 0) + (font->italic == italic ? 2 : 0);
        if (score > bestScore) {
            best = font;
            bestScore = score;
        }
    }
    return best;
}

void linkEditTextFonts(const std::vector<const Character*>& characters)
{
    std::vector<const FontDef*> fonts;
    for (const Character* character : characters) {
        if (auto font = dynamic_cast<const FontDef*>(character))
            fonts.push_back(font);
    }
    std::sort(fonts.begin(), fonts.end(), [](const FontDef* a, const FontDef* b) { return a->id < b->id; });
    for (const Character* character : characters) {
        if (auto edit = dynamic_cast<const EditTextDef*>(character))
            const_cast<EditTextDef*>(edit)->movieFonts = fonts;
    }
}

std::shared_ptr<const Character> buildTextOrButton(const DefinitionTags& raw, int swfVersion)
{
    switch (raw.kind) {
    case CharacterKind::Font: {
        auto font = buildFont(raw.tags, raw.id, swfVersion);
        return font.ok() ? font.value() : nullptr;
    }
    case CharacterKind::Text:
    case CharacterKind::EditText: {
        if (raw.tags.empty())
            return nullptr;
        const auto& [code, body] = raw.tags.front();
        Reader reader(body);
        if (code == TagDefineEditText) {
            auto record = readEditText(reader, swfVersion);
            if (!record.ok())
                return nullptr;
            auto edit = std::make_shared<EditTextDef>(raw.id);
            edit->record = record.release();
            return edit;
        }
        auto record = readText(reader, code);
        return record.ok() ? resolveText(record.value()) : nullptr;
    }
    case CharacterKind::Button:
        return buildButton(raw.tags, raw.id);
    default:
        return nullptr;
    }
}

} // namespace swf
