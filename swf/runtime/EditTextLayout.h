#pragma once

// Lays an edit text's styled spans out in its box: margins, indent, leading,
// alignment, word wrap, embedded glyphs or system fonts. The result is a
// ready-to-fill path per colour, in the field's twips, built once per change.

#include "swf/format/Text.h"
#include "swf/runtime/EditTextHtml.h"

#include <QFont>
#include <QPainterPath>

namespace swf {

class Movie;
struct EditTextDef;

struct TextPiece {
    QColor color;
    QPainterPath path;
    bool device = false; // outlines of a system font, also kept as DeviceRuns
};

// A run of text in one system font, drawn from the font's hinted glyphs when
// the field is shown at its own size: `font` is sized in pixels, `origin`
// (the baseline's left end) is in the field's twips.
struct DeviceRun {
    QFont font;
    QPointF origin;
    QString text;
    QColor color;
};

struct EditTextLayout {
    std::vector<TextPiece> pieces;
    std::vector<DeviceRun> deviceRuns;
    bool usesDeviceFonts = false;
    int lineCount = 0;
    std::vector<double> lineTops, lineBottoms; // twips, for scrolling by lines
    double textWidth = 0, textHeight = 0; // twips, the widest line and all lines
    QPointF caret;                        // top of the caret after the last character
    double caretHeight = 0;
};

// Space between the box and the text on every side, twips.
inline constexpr double EditTextGutter = 40;
// One pixel, in twips, kept free at the right of aligned lines.
inline constexpr double EditTextCaretRoom = 20;

// Every line is measured; outlines are made only for the lines from
// `firstShown` (0-based) down to the bottom of the box, which is all a
// drawing of the field scrolled there shows.
EditTextLayout layoutEditText(const EditTextDef& definition, const std::vector<StyledSpan>& spans, const Movie& movie, int firstShown = 0);

} // namespace swf
