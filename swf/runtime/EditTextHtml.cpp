#include "swf/runtime/EditTextHtml.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

struct Tag {
    QString name; // lower case, without '/'
    bool closing = false;
    QHash<QString, QString> attributes; // lower-case names
};

QString decodeEntities(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (c != u'&') {
            out += c;
            continue;
        }
        qsizetype end = text.indexOf(u';', i);
        if (end < 0 || end - i > 10) {
            out += c;
            continue;
        }
        QStringView entity = text.mid(i + 1, end - i - 1);
        char32_t code = 0;
        if (entity == u"lt") code = '<';
        else if (entity == u"gt") code = '>';
        else if (entity == u"amp") code = '&';
        else if (entity == u"quot") code = '"';
        else if (entity == u"apos") code = '\'';
        else if (entity == u"nbsp") code = 0xa0;
        else if (entity.startsWith(u'#')) {
            bool ok = false;
            uint value = entity.startsWith(u"#x") || entity.startsWith(u"#X") ? entity.mid(2).toUInt(&ok, 16)
                                                                                : entity.mid(1).toUInt(&ok, 10);
            if (ok && value > 0 && value <= 0x10ffff)
                code = value;
        }
        if (code == 0) {
            out += c;
            continue;
        }
        out += QString::fromUcs4(&code, 1);
        i = end;
    }
    return out;
}

Tag parseTag(QStringView inside)
{
    Tag tag;
    qsizetype i = 0;
    auto skipSpace = [&] {
        while (i < inside.size() && inside[i].isSpace())
            ++i;
    };
    skipSpace();
    if (i < inside.size() && inside[i] == u'/') {
        tag.closing = true;
        ++i;
    }
    qsizetype start = i;
    while (i < inside.size() && !inside[i].isSpace() && inside[i] != u'/')
        ++i;
    tag.name = inside.mid(start, i - start).toString().toLower();
    while (i < inside.size()) {
        skipSpace();
        start = i;
        while (i < inside.size() && inside[i] != u'=' && !inside[i].isSpace() && inside[i] != u'/')
            ++i;
        QString name = inside.mid(start, i - start).toString().toLower();
        if (name.isEmpty()) {
            ++i;
            continue;
        }
        skipSpace();
        QString value;
        if (i < inside.size() && inside[i] == u'=') {
            ++i;
            skipSpace();
            if (i < inside.size() && (inside[i] == u'"' || inside[i] == u'\'')) {
                QChar quote = inside[i++];
                start = i;
                while (i < inside.size() && inside[i] != quote)
                    ++i;
                value = inside.mid(start, i - start).toString();
                ++i;
            } else {
                start = i;
                while (i < inside.size() && !inside[i].isSpace())
                    ++i;
                value = inside.mid(start, i - start).toString();
            }
        }
        tag.attributes.insert(name, decodeEntities(value));
    }
    return tag;
}

int alignFrom(const QString& value, int fallback)
{
    QString v = value.toLower();
    if (v == u"left") return 0;
    if (v == u"right") return 1;
    if (v == u"center") return 2;
    if (v == u"justify") return 3;
    return fallback;
}

} // namespace

std::vector<StyledSpan> parseHtml(const QString& html, const TextStyle& base)
{
    std::vector<StyledSpan> spans;
    // One style per open element; closing a tag pops back to the style before
    // its matching opening, so a missing close tag only extends a style.
    std::vector<std::pair<QString, TextStyle>> stack;
    TextStyle current = base;
    bool paragraphOpen = false;
    auto append = [&](const QString& text) {
        if (text.isEmpty())
            return;
        if (!spans.empty() && spans.back().style.face == current.face && spans.back().style.size == current.size
            && spans.back().style.color == current.color && spans.back().style.bold == current.bold
            && spans.back().style.italic == current.italic && spans.back().style.underline == current.underline
            && spans.back().style.url == current.url && spans.back().style.align == current.align) {
            spans.back().text += text;
            return;
        }
        spans.push_back(StyledSpan { text, current });
    };
    qsizetype i = 0;
    while (i < html.size()) {
        qsizetype open = html.indexOf(u'<', i);
        if (open < 0)
            open = html.size();
        if (open > i) {
            QString text = decodeEntities(QStringView(html).mid(i, open - i));
            text.replace(u'\r', u'\n');
            append(text);
        }
        if (open >= html.size())
            break;
        qsizetype close = html.indexOf(u'>', open);
        if (close < 0) {
            append(html.mid(open)); // an unclosed '<' is text
            break;
        }
        Tag tag = parseTag(QStringView(html).mid(open + 1, close - open - 1));
        i = close + 1;
        if (tag.name == u"br") {
            append(QStringLiteral("\n"));
            continue;
        }
        if (tag.closing) {
            for (qsizetype k = qsizetype(stack.size()) - 1; k >= 0; --k) {
                if (stack[std::size_t(k)].first == tag.name) {
                    current = stack[std::size_t(k)].second;
                    stack.resize(std::size_t(k));
                    break;
                }
            }
            if (tag.name == u"p" || tag.name == u"li") {
                append(QStringLiteral("\n"));
                paragraphOpen = false;
            }
            continue;
        }
        const QString name = tag.name;
        if (name != u"p" && name != u"font" && name != u"b" && name != u"i" && name != u"u" && name != u"a"
            && name != u"li" && name != u"textformat" && name != u"span")
            continue; // unknown element: its content shows in the current style
        if ((name == u"p" || name == u"li") && paragraphOpen)
            append(QStringLiteral("\n")); // an unclosed paragraph ends where the next begins
        stack.emplace_back(name, current);
        if (name == u"p" || name == u"li") {
            paragraphOpen = true;
            current.align = alignFrom(tag.attributes.value(QStringLiteral("align")), current.align);
        } else if (name == u"b") {
            current.bold = true;
        } else if (name == u"i") {
            current.italic = true;
        } else if (name == u"u") {
            current.underline = true;
        } else if (name == u"a") {
            current.url = tag.attributes.value(QStringLiteral("href"));
        } else if (name == u"font") {
            if (tag.attributes.contains(QStringLiteral("face")))
                current.face = tag.attributes.value(QStringLiteral("face"));
            QString size = tag.attributes.value(QStringLiteral("size")).trimmed();
            bool ok = false;
            if (size.startsWith(u'+') || size.startsWith(u'-')) {
                double delta = size.toDouble(&ok);
                if (ok)
                    current.size = std::max(20.0, current.size + delta * 20);
            } else if (!size.isEmpty()) {
                double points = size.toDouble(&ok);
                if (ok && points > 0)
                    current.size = std::min(points, 1000.0) * 20;
            }
            QString color = tag.attributes.value(QStringLiteral("color")).trimmed();
            if (color.startsWith(u'#') && color.size() == 7) {
                uint rgb = color.mid(1).toUInt(&ok, 16);
                if (ok)
                    current.color = QColor::fromRgb(QRgb(rgb));
            }
        }
    }
    // The last paragraph's break ends the text; it makes no empty line.
    if (!spans.empty() && spans.back().text.endsWith(u'\n')) {
        spans.back().text.chop(1);
        if (spans.back().text.isEmpty())
            spans.pop_back();
    }
    return spans;
}

QString plainTextOf(const std::vector<StyledSpan>& spans)
{
    QString out;
    for (const StyledSpan& span : spans)
        out += span.text;
    return out;
}

QString htmlOf(const std::vector<StyledSpan>& spans, const QString& defaultFace)
{
    static const char* const alignNames[] = { "LEFT", "RIGHT", "CENTER", "JUSTIFY" };
    QString out;
    // Paragraphs: split every span at its line breaks, keeping the pieces' styles.
    std::vector<std::vector<const StyledSpan*>> paragraphs(1);
    std::vector<StyledSpan> pieces;
    for (const StyledSpan& span : spans) {
        const QStringList parts = span.text.split(u'\n');
        for (qsizetype i = 0; i < parts.size(); ++i) {
            if (i > 0)
                pieces.push_back(StyledSpan { QStringLiteral("\n"), span.style });
            if (!parts[i].isEmpty())
                pieces.push_back(StyledSpan { parts[i], span.style });
        }
    }
    TextStyle lastStyle = spans.empty() ? TextStyle {} : spans.front().style;
    for (const StyledSpan& piece : pieces) {
        if (piece.text == u"\n")
            paragraphs.emplace_back();
        else
            paragraphs.back().push_back(&piece);
    }
    for (const auto& paragraph : paragraphs) {
        const TextStyle& first = paragraph.empty() ? lastStyle : paragraph.front()->style;
        out += QStringLiteral("<P ALIGN=\"%1\">").arg(QLatin1String(alignNames[std::clamp(first.align, 0, 3)]));
        auto font = [&](const TextStyle& style, const QString& inner) {
            QString face = style.face.isEmpty() ? defaultFace : style.face;
            QString body = inner.toHtmlEscaped();
            if (style.underline)
                body = QStringLiteral("<U>") + body + QStringLiteral("</U>");
            if (style.italic)
                body = QStringLiteral("<I>") + body + QStringLiteral("</I>");
            if (style.bold)
                body = QStringLiteral("<B>") + body + QStringLiteral("</B>");
            if (!style.url.isEmpty())
                body = (QStringLiteral("<A HREF=\"") + style.url.toHtmlEscaped() + QStringLiteral("\" TARGET=\"\">")) + body + QStringLiteral("</A>");
            const QString color = QString::number(style.color.rgb() & 0xffffff, 16).rightJustified(6, u'0').toUpper();
            return QStringLiteral("<FONT FACE=\"%1\" SIZE=\"%2\" COLOR=\"#%3\" LETTERSPACING=\"0\" KERNING=\"0\">")
                       .arg(face.toHtmlEscaped(), QString::number(std::lround(style.size / 20)), color)
                + body + QStringLiteral("</FONT>");
        };
        if (paragraph.empty())
            out += font(first, QString());
        for (const StyledSpan* span : paragraph)
            out += font(span->style, span->text);
        out += QStringLiteral("</P>");
    }
    return out;
}

} // namespace swf
