#pragma once

// The HTML subset edit texts understand: <p align>, <br>, <font face size
// color>, <b>, <i>, <u>, <a href>, and the common entities. Anything else is
// dropped, keeping its content; broken markup never loses the text around it.

#include <QColor>
#include <QString>

#include <vector>

namespace swf {

struct TextStyle {
    QString face;        // empty = the field's own font
    double size = 240;   // twips
    QColor color = Qt::black;
    bool bold = false, italic = false, underline = false;
    QString url;
    int align = 0;       // 0 left, 1 right, 2 centre, 3 justify (per paragraph)
};

// A piece of text in one style; '\n' in `text` ends a paragraph.
struct StyledSpan {
    QString text;
    TextStyle style;
};

std::vector<StyledSpan> parseHtml(const QString& html, const TextStyle& base);
// The text without its markup, paragraphs ended with '\n'.
QString plainTextOf(const std::vector<StyledSpan>& spans);
// The styled text as markup the way a field reports it: one <P> per
// paragraph, a <FONT> per run (sizes in points), <B>, <I>, <U>, <A> inside it.
// `defaultFace` names the font of runs that use the field's own.
QString htmlOf(const std::vector<StyledSpan>& spans, const QString& defaultFace);

} // namespace swf
