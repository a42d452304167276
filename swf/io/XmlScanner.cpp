#include "swf/io/XmlScanner.h"

namespace swf::xml {

QString escapeEntities(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&apos;"); break;
        default: out += c;
        }
    }
    return out;
}

QString unescapeEntities(const QString& text, bool numeric)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    static const struct {
        const char* entity;
        char16_t ch;
    } named[] = { { "&lt;", '<' }, { "&gt;", '>' }, { "&amp;", '&' }, { "&quot;", '"' }, { "&apos;", '\'' } };
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) {
            out += text[i];
            continue;
        }
        bool replaced = false;
        for (const auto& n : named) {
            const QLatin1String e(n.entity);
            if (QStringView(text).mid(i).startsWith(e)) {
                out += QChar(n.ch);
                i += int(e.size()) - 1;
                replaced = true;
                break;
            }
        }
        if (!replaced && numeric && i + 2 < text.size() && text[i + 1] == QLatin1Char('#')) {
            const int semi = text.indexOf(QLatin1Char(';'), i + 2);
            if (semi > i + 2 && semi - i <= 10) {
                QStringView digits = QStringView(text).mid(i + 2, semi - i - 2);
                bool ok = false;
                const uint code = digits.startsWith(QLatin1Char('x')) || digits.startsWith(QLatin1Char('X'))
                    ? digits.mid(1).toUInt(&ok, 16)
                    : digits.toUInt(&ok, 10);
                if (ok && code > 0 && code <= 0x10FFFF) {
                    const char32_t c32 = code;
                    out += QString::fromUcs4(&c32, 1);
                    i = semi;
                    replaced = true;
                }
            }
        }
        if (!replaced)
            out += text[i];
    }
    return out;
}

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

bool isAllSpace(QStringView text)
{
    for (QChar c : text) {
        if (!isSpace(c))
            return false;
    }
    return true;
}

XmlToken XmlScanner::fault(ScanFault why)
{
    XmlToken t;
    t.kind = XmlToken::Kind::Fault;
    t.fault = why;
    return t;
}

bool XmlScanner::at(const char* s) const
{
    return QStringView(m_text).mid(m_pos).startsWith(QLatin1String(s));
}

bool XmlScanner::skipPast(const char* close, QString* out)
{
    const int end = m_text.indexOf(QLatin1String(close), m_pos);
    if (end < 0)
        return false;
    const int stop = end + int(qstrlen(close));
    if (out)
        *out = m_text.mid(m_pos, stop - m_pos);
    m_pos = stop;
    return true;
}

QString XmlScanner::name()
{
    const int start = m_pos;
    while (m_pos < m_text.size()) {
        const QChar c = m_text[m_pos];
        if (isSpace(c) || c == QLatin1Char('/') || c == QLatin1Char('>') || c == QLatin1Char('=') || c == QLatin1Char('<'))
            break;
        ++m_pos;
    }
    return m_text.mid(start, m_pos - start);
}

void XmlScanner::skipSpace()
{
    while (m_pos < m_text.size() && isSpace(m_text[m_pos]))
        ++m_pos;
}

XmlToken XmlScanner::next()
{
    if (m_stopped || m_pos >= m_text.size())
        return {};
    XmlToken t;
    if (m_text[m_pos] == QLatin1Char('<')) {
        t = markup();
    } else {
        int end = m_text.indexOf(QLatin1Char('<'), m_pos);
        if (end < 0)
            end = int(m_text.size());
        t.kind = XmlToken::Kind::Text;
        t.text = m_text.mid(m_pos, end - m_pos);
        m_pos = end;
    }
    if (t.kind == XmlToken::Kind::Fault)
        m_stopped = true;
    return t;
}

XmlToken XmlScanner::markup()
{
    XmlToken t;
    if (at("<!--")) {
        t.kind = XmlToken::Kind::Comment;
        return skipPast("-->", nullptr) ? t : fault(ScanFault::CommentUnterminated);
    }
    if (at("<![CDATA[")) {
        const int start = m_pos + 9;
        const int end = m_text.indexOf(QLatin1String("]]>"), start);
        if (end < 0)
            return fault(ScanFault::CdataUnterminated);
        t.kind = XmlToken::Kind::Cdata;
        t.text = m_text.mid(start, end - start);
        m_pos = end + 3;
        return t;
    }
    if (at("<!")) {
        t.kind = XmlToken::Kind::DocType;
        return skipPast(">", &t.text) ? t : fault(ScanFault::DocTypeUnterminated);
    }
    if (at("<?")) {
        t.kind = XmlToken::Kind::Declaration;
        return skipPast("?>", &t.text) ? t : fault(ScanFault::DeclarationUnterminated);
    }
    if (at("</")) {
        const int end = m_text.indexOf(QLatin1Char('>'), m_pos);
        if (end < 0)
            return fault(ScanFault::EndTagUnterminated);
        t.kind = XmlToken::Kind::EndTag;
        t.text = m_text.mid(m_pos + 2, end - m_pos - 2).trimmed();
        m_pos = end + 1;
        return t;
    }
    return startTag();
}

XmlToken XmlScanner::startTag()
{
    ++m_pos; // '<'
    XmlToken t;
    t.kind = XmlToken::Kind::StartTag;
    t.text = name();
    if (t.text.isEmpty())
        return fault(ScanFault::MalformedElement);
    for (;;) {
        skipSpace();
        if (m_pos >= m_text.size())
            return fault(ScanFault::MalformedElement);
        const QChar c = m_text[m_pos];
        if (c == QLatin1Char('>')) {
            ++m_pos;
            return t;
        }
        if (c == QLatin1Char('/')) {
            if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == QLatin1Char('>')) {
                m_pos += 2;
                t.empty = true;
                return t;
            }
            return fault(ScanFault::MalformedElement);
        }
        const QString key = name();
        skipSpace();
        if (key.isEmpty() || m_pos >= m_text.size() || m_text[m_pos] != QLatin1Char('='))
            return fault(ScanFault::MalformedElement);
        ++m_pos;
        skipSpace();
        if (m_pos >= m_text.size() || (m_text[m_pos] != QLatin1Char('"') && m_text[m_pos] != QLatin1Char('\'')))
            return fault(ScanFault::MalformedElement);
        const int end = m_text.indexOf(m_text[m_pos], m_pos + 1);
        if (end < 0)
            return fault(ScanFault::AttributeUnterminated);
        t.attributes.emplace_back(key, m_text.mid(m_pos + 1, end - m_pos - 1));
        m_pos = end + 1;
    }
}

} // namespace swf::xml
