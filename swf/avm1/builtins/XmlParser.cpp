// Reading XML text into a node tree, as XML.parseXML does it: a forgiving
// one-pass reader that builds nodes as it goes and, at the first fault,
// stops with a status code and leaves what it has read in place.

#include "swf/avm1/builtins/XmlNode.h"
#include "swf/avm1/vm/Interpreter.h"

namespace swf::avm1 {

namespace {

bool isXmlSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

bool allSpace(QStringView s)
{
    for (QChar c : s) {
        if (!isXmlSpace(c))
            return false;
    }
    return true;
}

// Nesting deeper than this is refused as if memory had run out: the tree is
// walked recursively when it is written and copied.
constexpr int MaxDepth = 1024;

class XmlParser {
public:
    XmlParser(Interpreter& vm, XmlNodeObject* root, const QString& text, bool ignoreWhite, Object* proto)
        : m_vm(vm), m_root(root), m_current(root), m_text(text), m_ignoreWhite(ignoreWhite), m_proto(proto) { }

    XmlParseResult run()
    {
        while (m_pos < m_text.size() && m_result.status == XmlOk) {
            if (m_text[m_pos] == QLatin1Char('<'))
                readMarkup();
            else
                readText();
        }
        if (m_result.status == XmlOk && m_current != m_root)
            m_result.status = XmlMissingEndTag;
        return m_result;
    }

private:
    bool startsWith(const char* s) const
    {
        return QStringView(m_text).mid(m_pos).startsWith(QLatin1String(s));
    }

    // A fresh node has no parent yet: it is appended without the checks of insertChild.
    void addChild(XmlNodeObject* node)
    {
        giveNodeConstructor(m_vm, node);
        node->parent = m_current;
        m_current->children.push_back(node);
        if (m_current->childArray) {
            m_current->childArray->elements.push_back(Value(static_cast<Object*>(node)));
            m_current->childArray->setBitsAt(m_current->childArray->elements.size() - 1, ReadOnly);
        }
    }

    void readText()
    {
        int end = m_text.indexOf(QLatin1Char('<'), m_pos);
        if (end < 0)
            end = int(m_text.size());
        QStringView raw = QStringView(m_text).mid(m_pos, end - m_pos);
        m_pos = end;
        if (m_ignoreWhite && allSpace(raw))
            return;
        addChild(newXmlNode(m_vm, m_proto, XmlNodeObject::Text, Value(xmlUnescape(raw.toString()))));
    }

    // Text of a declaration from m_pos up to and including `close`, or fails with `status`.
    bool readUntil(const char* close, int status, QString* out)
    {
        const int end = m_text.indexOf(QLatin1String(close), m_pos);
        if (end < 0) {
            m_result.status = status;
            return false;
        }
        const int stop = end + int(qstrlen(close));
        if (out)
            *out = m_text.mid(m_pos, stop - m_pos);
        m_pos = stop;
        return true;
    }

    void readMarkup()
    {
        if (startsWith("<!--")) {
            readUntil("-->", XmlCommentUnterminated, nullptr);
        } else if (startsWith("<![CDATA[")) {
            const int start = m_pos + 9;
            const int end = m_text.indexOf(QLatin1String("]]>"), start);
            if (end < 0) {
                m_result.status = XmlCdataUnterminated;
                return;
            }
            addChild(newXmlNode(m_vm, m_proto, XmlNodeObject::Text, Value(m_text.mid(start, end - start))));
            m_pos = end + 3;
        } else if (startsWith("<!")) {
            QString decl;
            if (readUntil(">", XmlDocTypeUnterminated, &decl)) {
                m_result.docTypeDecl = decl;
                m_result.hasDocTypeDecl = true;
            }
        } else if (startsWith("<?")) {
            QString decl;
            if (readUntil("?>", XmlDeclUnterminated, &decl)) {
                m_result.xmlDecl += decl;
                m_result.hasXmlDecl = true;
            }
        } else if (startsWith("</")) {
            readEndTag();
        } else {
            readStartTag();
        }
    }

    void readEndTag()
    {
        const int end = m_text.indexOf(QLatin1Char('>'), m_pos);
        if (end < 0) {
            m_result.status = XmlMalformedElement;
            return;
        }
        const QString name = m_text.mid(m_pos + 2, end - m_pos - 2).trimmed();
        m_pos = end + 1;
        if (m_current == m_root || m_current->name.isNullish() || m_vm.toString(m_current->name) != name) {
            m_result.status = XmlMissingStartTag;
            return;
        }
        m_current = m_current->parent ? m_current->parent : m_root;
        --m_depth;
    }

    QString readName()
    {
        const int start = m_pos;
        while (m_pos < m_text.size()) {
            const QChar c = m_text[m_pos];
            if (isXmlSpace(c) || c == QLatin1Char('/') || c == QLatin1Char('>') || c == QLatin1Char('=')
                || c == QLatin1Char('<'))
                break;
            ++m_pos;
        }
        return m_text.mid(start, m_pos - start);
    }

    void skipSpace()
    {
        while (m_pos < m_text.size() && isXmlSpace(m_text[m_pos]))
            ++m_pos;
    }

    void readStartTag()
    {
        ++m_pos; // '<'
        const QString name = readName();
        if (name.isEmpty()) {
            m_result.status = XmlMalformedElement;
            return;
        }
        XmlNodeObject* node = newXmlNode(m_vm, m_proto, XmlNodeObject::Element, Value(name));
        for (;;) {
            skipSpace();
            if (m_pos >= m_text.size()) {
                m_result.status = XmlMalformedElement;
                return;
            }
            const QChar c = m_text[m_pos];
            if (c == QLatin1Char('>')) {
                ++m_pos;
                if (m_depth >= MaxDepth) {
                    m_result.status = XmlOutOfMemory;
                    return;
                }
                addChild(node);
                m_current = node;
                ++m_depth;
                return;
            }
            if (c == QLatin1Char('/')) {
                if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == QLatin1Char('>')) {
                    m_pos += 2;
                    addChild(node);
                    return;
                }
                m_result.status = XmlMalformedElement;
                return;
            }
            if (!readAttribute(node))
                return;
        }
    }

    bool readAttribute(XmlNodeObject* node)
    {
        // Entities in an attribute's name are read as in its value.
        const QString name = xmlUnescape(readName());
        skipSpace();
        if (name.isEmpty() || m_pos >= m_text.size() || m_text[m_pos] != QLatin1Char('=')) {
            m_result.status = XmlMalformedElement;
            return false;
        }
        ++m_pos;
        skipSpace();
        if (m_pos >= m_text.size() || (m_text[m_pos] != QLatin1Char('"') && m_text[m_pos] != QLatin1Char('\''))) {
            m_result.status = XmlMalformedElement;
            return false;
        }
        const QChar quote = m_text[m_pos];
        const int end = m_text.indexOf(quote, m_pos + 1);
        if (end < 0) {
            m_result.status = XmlAttributeUnterminated;
            return false;
        }
        const QString value = xmlUnescape(m_text.mid(m_pos + 1, end - m_pos - 1));
        m_pos = end + 1;
        // A repeated attribute keeps its first value.
        if (!node->attributes->findOwn(name))
            node->attributes->put(name, Value(value));
        return true;
    }

    Interpreter& m_vm;
    XmlNodeObject* m_root;
    XmlNodeObject* m_current;
    const QString& m_text;
    bool m_ignoreWhite;
    Object* m_proto;
    int m_pos = 0;
    int m_depth = 0;
    XmlParseResult m_result;
};

} // namespace

XmlParseResult parseXmlInto(Interpreter& vm, XmlNodeObject* root, const QString& source, bool ignoreWhite,
    Object* nodeProto)
{
    for (XmlNodeObject* c : root->children)
        c->parent = nullptr;
    root->children.clear();
    root->refreshChildArray();
    XmlParser parser(vm, root, source, ignoreWhite, nodeProto);
    return parser.run();
}

} // namespace swf::avm1
