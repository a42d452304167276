#include "swf/runtime/EditTextLayout.h"

#include "swf/movie/Fonts.h"
#include "swf/movie/Movie.h"
#include "swf/movie/Texts.h"

#include <QFontMetricsF>

#include <cmath>
#include <map>
#include <optional>

namespace swf {

namespace {

// How one style is drawn: a movie's embedded glyphs or a system font.
struct Face {
    const FontDef* embedded = nullptr;
    QFont system;
    std::optional<QFontMetricsF> metrics; // of `system`, in pixels
    double scale = 1; // font units → twips for embedded glyphs
    double ascent = 0, descent = 0;
};

struct Cell {
    QString text; // one character (two code units for a surrogate pair)
    int style = 0;
    double width = 0;
    int glyph = -1; // embedded glyph index, -1 when drawn with a system font or absent
};

struct Line {
    std::vector<Cell> cells;
    int align = 0;
    double width = 0;
    double ascent = 0, descent = 0;
};

bool breaksAfter(const QString& text)
{
    if (text.isEmpty())
        return false;
    char16_t c = text[0].unicode();
    // Spaces, and any CJK character, allow a line break after them.
    return c == u' ' || c == u'\t' || (c >= 0x2e80 && c <= 0x9fff) || (c >= 0xff00 && c <= 0xffef) || (c >= 0x3000 && c <= 0x303f);
}

} // namespace

EditTextLayout layoutEditText(const EditTextDef& definition, const std::vector<StyledSpan>& spans, const Movie& movie, int firstShown)
{
    const EditTextRecord& record = definition.record;
    EditTextLayout layout;
    const auto* fieldFont = record.fontId ? dynamic_cast<const FontDef*>(movie.character(*record.fontId)) : nullptr;

    std::vector<Face> faces;
    std::vector<TextStyle> styles;
    std::vector<Cell> cells;
    for (const StyledSpan& span : spans) {
        Face face;
        const TextStyle& style = span.style;
        const FontDef* embedded = nullptr;
        if (record.useOutlines && fieldFont) {
            QString wanted = style.face.isEmpty() ? fieldFont->name : style.face;
            bool bold = style.bold || (fieldFont->bold && style.face.isEmpty());
            bool italic = style.italic || (fieldFont->italic && style.face.isEmpty());
            embedded = definition.embeddedFont(wanted, bold, italic, span.text);
            if (!embedded && fieldFont->hasGlyphs() && wanted.compare(fieldFont->name, Qt::CaseInsensitive) == 0)
                embedded = fieldFont;
        }
        if (embedded) {
            face.embedded = embedded;
            face.scale = style.size / embedded->emSize();
            face.ascent = embedded->hasLayout && embedded->ascent > 0 ? embedded->ascent * face.scale : style.size * 0.8;
            face.descent = embedded->hasLayout && embedded->descent > 0 ? embedded->descent * face.scale : style.size * 0.2;
        } else {
            QString name = !style.face.isEmpty() ? style.face : fieldFont ? fieldFont->name : QStringLiteral("_sans");
            // System fonts are measured at their size in pixels, hinted, so
            // advances and line heights are the whole pixels the glyphs are drawn on.
            face.system = deviceFont(name, style.size / 20, style.bold || (fieldFont && fieldFont->bold && style.face.isEmpty()),
                style.italic || (fieldFont && fieldFont->italic && style.face.isEmpty()));
            face.metrics.emplace(face.system);
            face.ascent = std::round(face.metrics->ascent()) * 20;
            face.descent = std::round(face.metrics->descent()) * 20;
            layout.usesDeviceFonts = true;
        }
        int styleIndex = int(styles.size());
        faces.push_back(std::move(face));
        styles.push_back(style);
        const Face& f = faces.back();
        const QString text = record.password ? QString(span.text.size(), u'*') : span.text;
        for (qsizetype i = 0; i < text.size(); ++i) {
            Cell cell;
            cell.style = styleIndex;
            cell.text = text.mid(i, text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1);
            i += cell.text.size() - 1;
            if (cell.text == u"\n") {
                cells.push_back(cell);
                continue;
            }
            if (f.embedded) {
                cell.glyph = cell.text.size() == 1 ? f.embedded->glyphIndex(cell.text[0]) : -1;
                if (cell.glyph >= 0) {
                    double advance = f.embedded->hasLayout && std::size_t(cell.glyph) < f.embedded->advances.size()
                        ? f.embedded->advances[std::size_t(cell.glyph)]
                        : f.embedded->glyphs[std::size_t(cell.glyph)].boundingRect().right();
                    cell.width = advance * f.scale;
                } else if (cell.text == u" ") {
                    cell.width = style.size / 4; // a space the font did not embed
                }
            } else {
                cell.width = f.metrics->horizontalAdvance(cell.text) * 20;
            }
            cells.push_back(std::move(cell));
        }
    }

    const double boxWidth = (record.bounds.xMax - record.bounds.xMin) - 2 * EditTextGutter - record.leftMargin - record.rightMargin;
    // Word wrap holds whether the field is multiline or not.
    const bool wrap = record.wordWrap && boxWidth > 0;
    std::vector<Line> lines(1);
    bool newParagraph = true;
    auto startLine = [&] {
        lines.emplace_back();
    };
    for (std::size_t i = 0; i < cells.size(); ++i) {
        Cell& cell = cells[i];
        if (cell.text == u"\n") {
            if (lines.back().cells.empty())
                lines.back().align = styles.empty() ? record.align : styles[std::size_t(cell.style)].align;
            lines.back().ascent = std::max(lines.back().ascent, faces[std::size_t(cell.style)].ascent);
            lines.back().descent = std::max(lines.back().descent, faces[std::size_t(cell.style)].descent);
            startLine();
            newParagraph = true;
            continue;
        }
        Line* line = &lines.back();
        if (line->cells.empty()) {
            line->align = styles[std::size_t(cell.style)].align;
            if (newParagraph)
                line->width = record.indent;
        }
        newParagraph = false;
        if (wrap && !line->cells.empty() && line->width + cell.width > boxWidth && !breaksAfter(cell.text)) {
            // Carry the unfinished word to a new line, if the line has a break point.
            std::size_t breakAt = line->cells.size();
            while (breakAt > 0 && !breaksAfter(line->cells[breakAt - 1].text))
                --breakAt;
            std::vector<Cell> carried;
            if (breakAt > 0) {
                carried.assign(line->cells.begin() + qsizetype(breakAt), line->cells.end());
                line->cells.resize(breakAt);
            }
            line->width = 0;
            for (const Cell& c : line->cells)
                line->width += c.width;
            int align = line->align;
            startLine();
            line = &lines.back();
            line->align = align;
            for (Cell& c : carried) {
                line->width += c.width;
                line->cells.push_back(std::move(c));
            }
        }
        line->width += cell.width;
        line->ascent = std::max(line->ascent, faces[std::size_t(cell.style)].ascent);
        line->descent = std::max(line->descent, faces[std::size_t(cell.style)].descent);
        line->cells.push_back(cell);
    }
    // Lines with no characters still take the height of the field's font.
    double defaultAscent = record.height * 0.8, defaultDescent = record.height * 0.2;
    if (fieldFont && fieldFont->hasLayout && fieldFont->ascent > 0) {
        double scale = record.height / fieldFont->emSize();
        defaultAscent = fieldFont->ascent * scale;
        defaultDescent = fieldFont->descent * scale;
    }

    // Outlines by colour, embedded glyphs apart from system fonts' (drawn from runs when they can be).
    std::map<std::pair<QRgb, bool>, QPainterPath> byColor;
    std::vector<std::pair<QRgb, bool>> colorOrder;
    auto pathFor = [&](const QColor& color, bool device) -> QPainterPath& {
        const std::pair<QRgb, bool> key { color.rgba(), device };
        auto it = byColor.find(key);
        if (it == byColor.end()) {
            colorOrder.push_back(key);
            it = byColor.emplace(key, QPainterPath()).first;
        }
        return it->second;
    };
    const double left = record.bounds.xMin + EditTextGutter + record.leftMargin;
    double top = record.bounds.yMin + EditTextGutter;
    double y = top;
    // Outlines are made from the first line shown down to the box's bottom.
    const double boxHeight = record.bounds.yMax - record.bounds.yMin;
    double shownTop = top;
    for (std::size_t l = 0; l < lines.size(); ++l) {
        Line& line = lines[l];
        // Trailing spaces take no room when aligning.
        double width = line.width;
        for (std::size_t k = line.cells.size(); k > 0 && line.cells[k - 1].text == u" "; --k)
            width -= line.cells[k - 1].width;
        if (line.ascent == 0 && line.descent == 0) {
            line.ascent = defaultAscent;
            line.descent = defaultDescent;
        }
        // Right and centred lines leave the box's last pixel column free
        // (where the caret stands after the last glyph).
        double x = left;
        const double room = std::max(0.0, boxWidth - EditTextCaretRoom - width);
        if (line.align == 1)
            x = left + room;
        else if (line.align == 2)
            x = left + room / 2;
        double baseline = y + line.ascent;
        if (int(l) == firstShown)
            shownTop = y;
        // Below the first line shown, only lines that fit whole inside the gutter are drawn.
        const bool shown = int(l) == firstShown || (int(l) > firstShown && baseline + line.descent - shownTop <= boxHeight - 2 * EditTextGutter);
        // A paragraph's first line starts after its indent, which its width already holds.
        double cellsWidth = 0;
        for (const Cell& c : line.cells)
            cellsWidth += c.width;
        double penX = x + (line.width - cellsWidth);
        std::size_t i = 0;
        while (i < line.cells.size()) {
            const Cell& first = line.cells[i];
            const Face& face = faces[std::size_t(first.style)];
            const TextStyle& style = styles[std::size_t(first.style)];
            QPainterPath& path = pathFor(style.color, !face.embedded);
            const double runStart = penX;
            std::size_t j = i;
            QString run;
            for (; j < line.cells.size() && line.cells[j].style == first.style; ++j) {
                const Cell& cell = line.cells[j];
                // The font's own outline, scaled and moved into place.
                if (shown && face.embedded && cell.glyph >= 0)
                    path.addPath(QTransform(face.scale, 0, 0, face.scale, penX, baseline).map(face.embedded->glyphs[std::size_t(cell.glyph)]));
                run += cell.text;
                penX += cell.width;
            }
            // A run in one system font is drawn as one string, so shaping applies.
            if (shown && !face.embedded && !run.trimmed().isEmpty()) {
                QPainterPath outline;
                outline.addText(QPointF(0, 0), face.system, run);
                path.addPath(QTransform(20, 0, 0, 20, runStart, baseline).map(outline));
                layout.deviceRuns.push_back(DeviceRun { face.system, QPointF(runStart, baseline), run, style.color });
            }
            if (shown && style.underline)
                pathFor(style.color, false).addRect(QRectF(runStart, baseline + style.size * 0.08, penX - runStart, std::max(20.0, style.size / 18)));
            i = j;
        }
        layout.lineTops.push_back(y);
        layout.lineBottoms.push_back(baseline + line.descent);
        layout.textWidth = std::max(layout.textWidth, width);
        layout.caret = QPointF(penX, y);
        layout.caretHeight = line.ascent + line.descent;
        y = baseline + line.descent + record.leading;
    }
    layout.lineCount = int(lines.size());
    // A field with no text at all measures nothing: auto-sized, it is just its gutter.
    layout.textHeight = cells.empty() ? 0 : y - top - record.leading;
    for (const auto& key : colorOrder)
        layout.pieces.push_back(TextPiece { QColor::fromRgba(key.first), std::move(byColor[key]), key.second });
    return layout;
}

} // namespace swf
