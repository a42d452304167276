#include "swf/avm2/builtins/XmlTree.h"

#include <algorithm>

namespace swf::avm2 {

namespace {

const QString XmlUri = QStringLiteral("http://www.w3.org/XML/1998/namespace");

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-') || c == QLatin1Char('.') || c == QLatin1Char(':')
        || c.unicode() > 0x7f;
}

// A reader over the text of one XML value; nesting is tracked on an explicit
// stack so deep documents cannot exhaust the C++ stack.
class Reader {
public:
    Reader(const QString& text, const XmlSettings& settings, const QString& defaultNs)
        : m_text(text)
        , m_settings(settings)
        , m_defaultNs(defaultNs)
    {
    }

    bool read(std::vector<XmlNodePtr>& out, XmlParseError& error)
    {
        auto root = std::make_shared<XmlNode>();
        root->declarations.push_back({ QString(), true, m_defaultNs });
        std::vector<XmlNode*> open { root.get() };
        while (m_at < m_text.size()) {
            XmlNode* parent = open.back();
            if (m_text[m_at] != QLatin1Char('<')) {
                const qsizetype end = m_text.indexOf(QLatin1Char('<'), m_at);
                const QString raw = m_text.mid(m_at, end < 0 ? -1 : end - m_at);
                m_at = end < 0 ? m_text.size() : end;
                addText(parent, unescape(raw), false);
                continue;
            }
            if (m_text.mid(m_at, 4) == QLatin1String("<!--")) {
                const qsizetype end = m_text.indexOf(QLatin1String("-->"), m_at + 4);
                if (end < 0)
                    return fail(error, 1094, QStringLiteral("XML parser failure: Unterminated comment."));
                if (!m_settings.ignoreComments)
                    addLeaf(parent, XmlNode::Kind::Comment, QString(), m_text.mid(m_at + 4, end - m_at - 4));
                m_at = end + 3;
                continue;
            }
            if (m_text.mid(m_at, 9) == QLatin1String("<![CDATA[")) {
                const qsizetype end = m_text.indexOf(QLatin1String("]]>"), m_at + 9);
                if (end < 0)
                    return fail(error, 1091, QStringLiteral("XML parser failure: Unterminated CDATA section."));
                addText(parent, m_text.mid(m_at + 9, end - m_at - 9), true);
                m_at = end + 3;
                continue;
            }
            if (m_text.mid(m_at, 2) == QLatin1String("<!")) {
                // A document type, with any internal subset in brackets.
                qsizetype end = m_at;
                int depth = 0;
                for (; end < m_text.size(); ++end) {
                    if (m_text[end] == QLatin1Char('['))
                        ++depth;
                    else if (m_text[end] == QLatin1Char(']'))
                        --depth;
                    else if (m_text[end] == QLatin1Char('>') && depth <= 0)
                        break;
                }
                if (end >= m_text.size())
                    end = -1;
                if (end < 0)
                    return fail(error, 1093, QStringLiteral("XML parser failure: Unterminated DOCTYPE declaration."));
                m_at = end + 1;
                continue;
            }
            if (m_text.mid(m_at, 2) == QLatin1String("<?")) {
                const qsizetype end = m_text.indexOf(QLatin1String("?>"), m_at);
                if (end < 0)
                    return fail(error, 1097, QStringLiteral("XML parser failure: Unterminated processing instruction."));
                const QString body = m_text.mid(m_at + 2, end - m_at - 2);
                m_at = end + 2;
                qsizetype split = 0;
                while (split < body.size() && !isSpace(body[split]))
                    ++split;
                const QString target = body.left(split);
                if (target.compare(QLatin1String("xml"), Qt::CaseInsensitive) != 0 && !m_settings.ignoreProcessingInstructions)
                    addLeaf(parent, XmlNode::Kind::Instruction, target, body.mid(split).trimmed());
                continue;
            }
            if (m_text.mid(m_at, 2) == QLatin1String("</")) {
                const qsizetype end = m_text.indexOf(QLatin1Char('>'), m_at);
                if (end < 0)
                    return fail(error, 1096, QStringLiteral("XML parser failure: Unterminated element."));
                qsizetype nameEnd = m_at + 2;
                while (nameEnd < end && isNameChar(m_text[nameEnd]))
                    ++nameEnd;
                const QString name = m_text.mid(m_at + 2, nameEnd - m_at - 2);
                if (open.size() < 2)
                    return fail(error, 1088, QStringLiteral("The markup in the document following the root element must be well-formed."));
                XmlNode* closing = open.back();
                const QString expected = closing->prefix.isEmpty() ? closing->local : closing->prefix + QLatin1Char(':') + closing->local;
                if (name != expected)
                    return fail(error, 1085, QStringLiteral("The element type \"%1\" must be terminated by the matching end-tag \"</%1>\".").arg(expected));
                m_at = end + 1;
                open.pop_back();
                continue;
            }
            XmlNode* element = nullptr;
            bool empty = false;
            if (!readStartTag(parent, element, empty, error))
                return false;
            if (!empty)
                open.push_back(element);
        }
        if (open.size() > 1) {
            XmlNode* unclosed = open.back();
            const QString name = unclosed->prefix.isEmpty() ? unclosed->local : unclosed->prefix + QLatin1Char(':') + unclosed->local;
            return fail(error, 1085, QStringLiteral("The element type \"%1\" must be terminated by the matching end-tag \"</%1>\".").arg(name));
        }
        for (auto& child : root->children)
            child->parent = nullptr;
        // The declarations of the wrapper are not the nodes' own; the default
        // namespace they stood under is already in their names.
        out = std::move(root->children);
        return true;
    }

private:
    bool fail(XmlParseError& error, int id, const QString& message)
    {
        error = { id, message };
        return false;
    }

    void addLeaf(XmlNode* parent, XmlNode::Kind kind, const QString& local, const QString& value)
    {
        auto node = std::make_shared<XmlNode>();
        node->kind = kind;
        node->local = local;
        node->value = value;
        node->parent = parent;
        parent->children.push_back(node);
    }

    void addText(XmlNode* parent, const QString& text, bool cdata)
    {
        if (!cdata && m_settings.ignoreWhitespace && xmlIsWhitespace(text))
            return;
        addLeaf(parent, XmlNode::Kind::Text, QString(), cdata || !m_settings.ignoreWhitespace ? text : text.trimmed());
        parent->children.back()->cdata = cdata;
    }

    bool readName(QString& name)
    {
        const qsizetype start = m_at;
        while (m_at < m_text.size() && isNameChar(m_text[m_at]))
            ++m_at;
        name = m_text.mid(start, m_at - start);
        return !name.isEmpty();
    }

    void skipSpace()
    {
        while (m_at < m_text.size() && isSpace(m_text[m_at]))
            ++m_at;
    }

    bool readStartTag(XmlNode* parent, XmlNode*& element, bool& empty, XmlParseError& error)
    {
        ++m_at; // '<'
        QString qname;
        if (!readName(qname))
            return fail(error, 1090, QStringLiteral("XML parser failure: element is malformed."));
        auto node = std::make_shared<XmlNode>();
        node->parent = parent;
        std::vector<std::pair<QString, QString>> attributes;
        for (;;) {
            skipSpace();
            // A start tag the text ends in is malformed, as one broken off by markup.
            if (m_at >= m_text.size())
                return fail(error, 1090, QStringLiteral("XML parser failure: element is malformed."));
            if (m_text[m_at] == QLatin1Char('>')) {
                ++m_at;
                break;
            }
            if (m_text.mid(m_at, 2) == QLatin1String("/>")) {
                m_at += 2;
                empty = true;
                break;
            }
            QString name;
            if (!readName(name))
                return fail(error, 1090, QStringLiteral("XML parser failure: element is malformed."));
            skipSpace();
            if (m_at >= m_text.size() || m_text[m_at] != QLatin1Char('='))
                return fail(error, 1090, QStringLiteral("XML parser failure: element is malformed."));
            ++m_at;
            skipSpace();
            if (m_at >= m_text.size() || (m_text[m_at] != QLatin1Char('"') && m_text[m_at] != QLatin1Char('\'')))
                return fail(error, 1090, QStringLiteral("XML parser failure: element is malformed."));
            const QChar quote = m_text[m_at];
            const qsizetype end = m_text.indexOf(quote, m_at + 1);
            if (end < 0)
                return fail(error, 1095, QStringLiteral("XML parser failure: Unterminated attribute."));
            const QString value = unescape(m_text.mid(m_at + 1, end - m_at - 1));
            m_at = end + 1;
            if (name == QLatin1String("xmlns"))
                node->declarations.push_back({ QString(), true, value });
            else if (name.startsWith(QLatin1String("xmlns:")))
                node->declarations.push_back({ name.mid(6), true, value });
            else
                attributes.emplace_back(name, value);
        }
        parent->children.push_back(node);
        element = node.get();
        splitName(qname, node->prefix, node->local);
        node->uri = resolve(*node, node->prefix, true);
        for (const auto& [name, value] : attributes) {
            auto attribute = std::make_shared<XmlNode>();
            attribute->kind = XmlNode::Kind::Attribute;
            attribute->parent = node.get();
            attribute->value = value;
            splitName(name, attribute->prefix, attribute->local);
            attribute->uri = attribute->prefix.isEmpty() ? QString() : resolve(*node, attribute->prefix, false);
            node->attributes.push_back(attribute);
        }
        return true;
    }

    static void splitName(const QString& qname, QString& prefix, QString& local)
    {
        const qsizetype colon = qname.indexOf(QLatin1Char(':'));
        prefix = colon < 0 ? QString() : qname.left(colon);
        local = colon < 0 ? qname : qname.mid(colon + 1);
    }

    static QString resolve(const XmlNode& from, const QString& prefix, bool element)
    {
        if (prefix == QLatin1String("xml"))
            return XmlUri;
        for (const XmlNode* n = &from; n; n = n->parent) {
            for (const XmlNamespace& ns : n->declarations) {
                if (ns.prefix == prefix)
                    return ns.uri;
            }
        }
        return element ? QString() : QString();
    }

    static QString unescape(const QString& raw)
    {
        if (!raw.contains(QLatin1Char('&')))
            return raw;
        QString out;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] != QLatin1Char('&')) {
                out += raw[i];
                continue;
            }
            const qsizetype end = raw.indexOf(QLatin1Char(';'), i);
            if (end < 0) {
                out += raw[i];
                continue;
            }
            const QString entity = raw.mid(i + 1, end - i - 1);
            QString replaced;
            if (entity == QLatin1String("amp")) replaced = QStringLiteral("&");
            else if (entity == QLatin1String("lt")) replaced = QStringLiteral("<");
            else if (entity == QLatin1String("gt")) replaced = QStringLiteral(">");
            else if (entity == QLatin1String("quot")) replaced = QStringLiteral("\"");
            else if (entity == QLatin1String("apos")) replaced = QStringLiteral("'");
            else if (entity.startsWith(QLatin1Char('#'))) {
                bool ok = false;
                const uint code = entity.startsWith(QLatin1String("#x")) ? entity.mid(2).toUInt(&ok, 16) : entity.mid(1).toUInt(&ok, 10);
                if (ok && code <= 0x10ffff) {
                    const char32_t c = code;
                    replaced = QString::fromUcs4(&c, 1);
                }
            }
            if (replaced.isNull()) {
                out += raw[i];
                continue;
            }
            out += replaced;
            i = end;
        }
        return out;
    }

    const QString& m_text;
    const XmlSettings& m_settings;
    QString m_defaultNs;
    qsizetype m_at = 0;
};

QString qualified(const XmlNode& node, std::vector<XmlNamespace>& declared, std::vector<XmlNamespace>& fresh)
{
    if (node.kind == XmlNode::Kind::Attribute && node.uri.isEmpty())
        return node.local;
    if (node.uri == XmlUri)
        return QStringLiteral("xml:") + node.local;
    // The prefix it was written with when that still names its namespace, else any that does.
    std::optional<QString> prefix;
    for (auto it = declared.rbegin(); it != declared.rend(); ++it) {
        if (it->uri == node.uri && it->prefix == node.prefix) {
            prefix = it->prefix;
            break;
        }
    }
    if (!prefix) {
        for (auto it = declared.rbegin(); it != declared.rend(); ++it) {
            if (it->uri == node.uri && !(node.kind == XmlNode::Kind::Attribute && it->prefix.isEmpty())) {
                bool shadowed = false;
                for (auto later = declared.rbegin(); later != it; ++later)
                    shadowed = shadowed || later->prefix == it->prefix;
                if (!shadowed) {
                    prefix = it->prefix;
                    break;
                }
            }
        }
    }
    if (!prefix) {
        if (node.uri.isEmpty())
            return node.local;
        // The prefix it was written with, unless that now names another
        // namespace here: then the default one, when that names none or this.
        auto binding = [&](const QString& p) -> const XmlNamespace* {
            for (auto it = declared.rbegin(); it != declared.rend(); ++it) {
                if (it->prefix == p)
                    return &*it;
            }
            return nullptr;
        };
        QString chosen = node.prefix;
        if (const XmlNamespace* b = binding(chosen); b && b->uri != node.uri) {
            const XmlNamespace* d = binding(QString());
            if (!d || d->uri.isEmpty() || d->uri == node.uri)
                chosen.clear();
        }
        if (const XmlNamespace* b = binding(chosen); !b || b->uri != node.uri) {
            XmlNamespace ns { chosen, true, node.uri };
            declared.push_back(ns);
            fresh.push_back(ns);
        }
        prefix = chosen;
    }
    return prefix->isEmpty() ? node.local : *prefix + QLatin1Char(':') + node.local;
}

} // namespace

XmlNodePtr XmlNode::deepCopy(XmlNode* newParent) const
{
    auto copy = std::make_shared<XmlNode>();
    copy->kind = kind;
    copy->uri = uri;
    copy->prefix = prefix;
    copy->local = local;
    copy->value = value;
    copy->cdata = cdata;
    copy->declarations = declarations;
    copy->parent = newParent;
    for (const auto& a : attributes)
        copy->attributes.push_back(a->deepCopy(copy.get()));
    for (const auto& c : children)
        copy->children.push_back(c->deepCopy(copy.get()));
    return copy;
}

int XmlNode::indexInParent() const
{
    if (!parent || kind == Kind::Attribute)
        return -1;
    for (std::size_t i = 0; i < parent->children.size(); ++i) {
        if (parent->children[i].get() == this)
            return int(i);
    }
    return -1;
}

std::vector<XmlNamespace> XmlNode::inScope() const
{
    std::vector<XmlNamespace> out;
    for (const XmlNode* n = this; n; n = n->parent) {
        for (const XmlNamespace& ns : n->declarations) {
            bool shadowed = false;
            for (const XmlNamespace& seen : out)
                shadowed = shadowed || seen.prefix == ns.prefix;
            if (!shadowed)
                out.push_back(ns);
        }
    }
    return out;
}

std::optional<QString> XmlNode::prefixFor(const QString& wanted) const
{
    for (const XmlNamespace& ns : inScope()) {
        if (ns.uri == wanted)
            return ns.prefix;
    }
    return std::nullopt;
}

bool parseXmlContent(const QString& text, const XmlSettings& settings, const QString& defaultNamespace,
    std::vector<XmlNodePtr>& out, XmlParseError& error)
{
    Reader reader(text, settings, defaultNamespace);
    return reader.read(out, error);
}

QString xmlEscapeText(const QString& s)
{
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        switch (c.unicode()) {
        case '&': out += QStringLiteral("&amp;"); break;
        case '<': out += QStringLiteral("&lt;"); break;
        case '>': out += QStringLiteral("&gt;"); break;
        default: out += c; break;
        }
    }
    return out;
}

QString xmlEscapeAttribute(const QString& s)
{
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        switch (c.unicode()) {
        case '&': out += QStringLiteral("&amp;"); break;
        case '<': out += QStringLiteral("&lt;"); break;
        case '"': out += QStringLiteral("&quot;"); break;
        case '\n': out += QStringLiteral("&#xA;"); break;
        case '\r': out += QStringLiteral("&#xD;"); break;
        case '\t': out += QStringLiteral("&#x9;"); break;
        default: out += c; break;
        }
    }
    return out;
}

bool xmlIsWhitespace(const QString& s)
{
    for (QChar c : s) {
        if (!isSpace(c))
            return false;
    }
    return true;
}

QString xmlToXmlString(const XmlNode& node, const XmlSettings& settings, const std::vector<XmlNamespace>& ancestors, int indent)
{
    const QString pad = settings.prettyPrinting ? QString(indent, QLatin1Char(' ')) : QString();
    switch (node.kind) {
    case XmlNode::Kind::Text:
        if (node.cdata)
            return pad + QStringLiteral("<![CDATA[") + node.value + QStringLiteral("]]>");
        return pad + xmlEscapeText(settings.prettyPrinting ? node.value.trimmed() : node.value);
    case XmlNode::Kind::Attribute: return pad + xmlEscapeAttribute(node.value);
    case XmlNode::Kind::Comment: return pad + QStringLiteral("<!--") + node.value + QStringLiteral("-->");
    case XmlNode::Kind::Instruction:
        return pad + QStringLiteral("<?") + node.local + (node.value.isEmpty() ? QString() : QLatin1Char(' ') + node.value) + QStringLiteral("?>");
    case XmlNode::Kind::Element: break;
    }
    // Namespaces this element must declare: its own, and, for the top of what
    // is printed, all those in scope from above that no printed parent declared.
    std::vector<XmlNamespace> declared = ancestors;
    std::vector<XmlNamespace> fresh;
    auto declare = [&](const XmlNamespace& ns) {
        for (auto it = declared.rbegin(); it != declared.rend(); ++it) {
            if (it->prefix == ns.prefix) {
                if (it->uri == ns.uri)
                    return;
                break;
            }
        }
        for (const XmlNamespace& f : fresh) {
            if (f.prefix == ns.prefix)
                return;
        }
        declared.push_back(ns);
        fresh.push_back(ns);
    };
    for (const XmlNode* n = &node; n; n = n->parent) {
        for (const XmlNamespace& ns : n->declarations) {
            if (n == &node || ancestors.empty())
                declare(ns);
        }
        if (!ancestors.empty())
            break;
    }
    // The default namespace of nothing at all goes without saying.
    std::erase_if(fresh, [](const XmlNamespace& ns) { return ns.prefix.isEmpty() && ns.uri.isEmpty(); });
    QString s = pad + QLatin1Char('<') + qualified(node, declared, fresh);
    for (const auto& attribute : node.attributes)
        s += QLatin1Char(' ') + qualified(*attribute, declared, fresh) + QStringLiteral("=\"") + xmlEscapeAttribute(attribute->value) + QLatin1Char('"');
    for (const XmlNamespace& ns : fresh)
        s += (ns.prefix.isEmpty() ? QStringLiteral(" xmlns") : QStringLiteral(" xmlns:") + ns.prefix) + QStringLiteral("=\"") + xmlEscapeAttribute(ns.uri) + QLatin1Char('"');
    if (node.children.empty())
        return s + QStringLiteral("/>");
    s += QLatin1Char('>');
    const bool indentChildren = node.children.size() > 1 || !node.children[0]->isTextLike();
    const bool pretty = settings.prettyPrinting && indentChildren;
    for (const auto& child : node.children) {
        if (pretty)
            s += QLatin1Char('\n');
        s += xmlToXmlString(*child, settings, declared, pretty ? indent + settings.prettyIndent : 0);
    }
    if (pretty)
        s += QLatin1Char('\n') + pad;
    QString closing = node.local;
    std::vector<XmlNamespace> none;
    closing = qualified(node, declared, none);
    return s + QStringLiteral("</") + closing + QLatin1Char('>');
}

bool xmlHasSimpleContent(const XmlNode& node)
{
    if (node.kind == XmlNode::Kind::Comment || node.kind == XmlNode::Kind::Instruction)
        return false;
    for (const auto& child : node.children) {
        if (child->isElement())
            return false;
    }
    return true;
}

QString xmlToString(const XmlNode& node, const XmlSettings& settings)
{
    if (node.kind == XmlNode::Kind::Attribute || node.kind == XmlNode::Kind::Text)
        return node.value;
    if (!xmlHasSimpleContent(node))
        return xmlToXmlString(node, settings, {}, 0);
    QString s;
    for (const auto& child : node.children) {
        if (child->kind == XmlNode::Kind::Text)
            s += child->value;
    }
    return s;
}

// Two trees are equal when their kinds, names, values and children in order
// are; attributes are a set, so their order does not matter.
bool xmlSameTree(const XmlNode& a, const XmlNode& b)
{
    if (a.kind != b.kind || a.uri != b.uri || a.local != b.local || a.value != b.value)
        return false;
    if (a.attributes.size() != b.attributes.size() || a.children.size() != b.children.size())
        return false;
    for (const XmlNodePtr& attribute : a.attributes) {
        auto match = std::find_if(b.attributes.begin(), b.attributes.end(), [&](const XmlNodePtr& other) { return xmlSameTree(*attribute, *other); });
        if (match == b.attributes.end())
            return false;
    }
    for (std::size_t i = 0; i < a.children.size(); ++i) {
        if (!xmlSameTree(*a.children[i], *b.children[i]))
            return false;
    }
    return true;
}


} // namespace swf::avm2
