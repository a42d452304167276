// Reading XML text into a node tree, as XML.parseXML does it: a forgiving
// one-pass reader that builds nodes as it goes and, at the first fault,
// stops with a status code and leaves what it has read in place.

#include "swf/avm1/builtins/XmlNode.h"
#include "swf/avm1/vm/Interpreter.h"
#include "swf/io/XmlScanner.h"

namespace swf::avm1 {

namespace {

// Nesting deeper than this is refused as if memory had run out: the tree is
// walked recursively when it is written and copied.
constexpr int MaxDepth = 1024;

int statusOf(xml::ScanFault fault)
{
    switch (fault) {
    case xml::ScanFault::None: return XmlOk;
    case xml::ScanFault::CommentUnterminated: return XmlCommentUnterminated;
    case xml::ScanFault::CdataUnterminated: return XmlCdataUnterminated;
    case xml::ScanFault::DocTypeUnterminated: return XmlDocTypeUnterminated;
    case xml::ScanFault::DeclarationUnterminated: return XmlDeclUnterminated;
    case xml::ScanFault::EndTagUnterminated:
    case xml::ScanFault::MalformedElement: return XmlMalformedElement;
    case xml::ScanFault::AttributeUnterminated: return XmlAttributeUnterminated;
    }
    return XmlMalformedElement;
}

class XmlParser {
public:
    XmlParser(Interpreter& vm, XmlNodeObject* root, const QString& text, bool ignoreWhite, Object* proto)
        : m_vm(vm), m_root(root), m_current(root), m_scanner(text), m_ignoreWhite(ignoreWhite), m_proto(proto) { }

    XmlParseResult run()
    {
        using Kind = xml::XmlToken::Kind;
        while (m_result.status == XmlOk) {
            xml::XmlToken t = m_scanner.next();
            switch (t.kind) {
            case Kind::End:
                if (m_current != m_root)
                    m_result.status = XmlMissingEndTag;
                return m_result;
            case Kind::Fault: m_result.status = statusOf(t.fault); break;
            case Kind::Text:
                if (!(m_ignoreWhite && xml::isAllSpace(t.text)))
                    addChild(newXmlNode(m_vm, m_proto, XmlNodeObject::Text, Value(xml::unescapeEntities(t.text, true))));
                break;
            case Kind::Cdata: addChild(newXmlNode(m_vm, m_proto, XmlNodeObject::Text, Value(t.text))); break;
            case Kind::Comment: break;
            case Kind::DocType:
                m_result.docTypeDecl = t.text;
                m_result.hasDocTypeDecl = true;
                break;
            case Kind::Declaration:
                m_result.xmlDecl += t.text;
                m_result.hasXmlDecl = true;
                break;
            case Kind::EndTag: endTag(t.text); break;
            case Kind::StartTag: startTag(t); break;
            }
        }
        return m_result;
    }

private:
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

    void endTag(const QString& name)
    {
        if (m_current == m_root || m_current->name.isNullish() || m_vm.toString(m_current->name) != name) {
            m_result.status = XmlMissingStartTag;
            return;
        }
        m_current = m_current->parent ? m_current->parent : m_root;
        --m_depth;
    }

    void startTag(const xml::XmlToken& t)
    {
        if (!t.empty && m_depth >= MaxDepth) {
            m_result.status = XmlOutOfMemory;
            return;
        }
        XmlNodeObject* node = newXmlNode(m_vm, m_proto, XmlNodeObject::Element, Value(t.text));
        // Entities in an attribute's name are read as in its value; a
        // repeated attribute keeps its first value.
        for (const auto& [rawName, rawValue] : t.attributes) {
            const QString name = xml::unescapeEntities(rawName, true);
            if (!node->attributes->findOwn(name))
                node->attributes->put(name, Value(xml::unescapeEntities(rawValue, true)));
        }
        addChild(node);
        if (!t.empty) {
            m_current = node;
            ++m_depth;
        }
    }

    Interpreter& m_vm;
    XmlNodeObject* m_root;
    XmlNodeObject* m_current;
    xml::XmlScanner m_scanner;
    bool m_ignoreWhite;
    Object* m_proto;
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
