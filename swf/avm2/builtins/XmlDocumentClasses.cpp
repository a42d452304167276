// flash.xml.XMLNode and flash.xml.XMLDocument: the older, DOM-like XML of
// the player. A document is an element without a name; its children are
// elements (type 1) and text nodes (type 3), each a script object of its
// own, so the same node read twice is the same object. The reader is
// forgiving: comments and processing instructions are skipped, CDATA
// becomes text, and what was read before a fault stays in the tree.

#include "swf/avm2/vm/Machine.h"
#include "swf/io/XmlScanner.h"

#include <algorithm>

namespace swf::avm2 {

namespace {

enum NodeType { Element = 1, Text = 3 };

struct DomNode {
    Object* self = nullptr;
    int type = Element;
    Value name = Value::null();  // an element's name; null for text and for a document
    Value value = Value::null(); // a text node's text
    Object* attributes = nullptr;
    Object* childArray = nullptr; // what childNodes hands out, kept in step with `children`
    DomNode* parent = nullptr;
    std::vector<DomNode*> children;
    // A document's own fields.
    Value xmlDecl = Value::null();
    Value docTypeDecl = Value::null();
    bool ignoreWhite = false;
    Object* idMap = nullptr;

    void refreshChildArray()
    {
        childArray->elements.clear();
        for (DomNode* c : children)
            childArray->elements.push_back(Value::object(c->self));
    }
    int indexInParent() const
    {
        if (!parent)
            return -1;
        auto it = std::find(parent->children.begin(), parent->children.end(), this);
        return it == parent->children.end() ? -1 : int(it - parent->children.begin());
    }
    DomNode* sibling(int offset) const
    {
        const int i = indexInParent();
        if (i < 0 || i + offset < 0 || std::size_t(i + offset) >= parent->children.size())
            return nullptr;
        return parent->children[std::size_t(i + offset)];
    }
    void removeFromParent()
    {
        if (!parent)
            return;
        DomNode* p = parent;
        p->children.erase(std::find(p->children.begin(), p->children.end(), this));
        parent = nullptr;
        p->refreshChildArray();
    }
    // Puts `child` at `index` (the end when past it), out of its old place
    // first; refuses a node under itself or its own descendants.
    bool insert(DomNode* child, std::size_t index)
    {
        for (DomNode* p = this; p; p = p->parent) {
            if (p == child)
                return false;
        }
        if (child->parent == this) {
            const int old = child->indexInParent();
            if (old >= 0 && std::size_t(old) < index)
                --index;
        }
        child->removeFromParent();
        index = std::min(index, children.size());
        children.insert(children.begin() + std::ptrdiff_t(index), child);
        child->parent = this;
        refreshChildArray();
        return true;
    }
};

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

DomNode* domOf(Machine& m, const Value& v)
{
    Object* o = v.object();
    ClassObject* nodeClass = m.builtins().xmlNode;
    if (!o || !o->host || !o->classObject() || !nodeClass || !o->classObject()->isSubclassOf(nodeClass))
        return nullptr;
    return static_cast<DomNode*>(o->host.get());
}

DomNode& thisDom(Machine& m, const Value& self)
{
    DomNode* d = domOf(m, self);
    if (!d)
        m.throwError(ErrorClass::TypeError, 1009, QStringLiteral("Cannot access a property or method of a null object reference."));
    return *d;
}

DomNode* attach(Machine& m, Object* o, int type, const Value& nameOrValue)
{
    auto node = std::make_shared<DomNode>();
    node->self = o;
    node->type = type;
    if (type == Element)
        node->name = nameOrValue;
    else
        node->value = nameOrValue;
    node->attributes = m.newObject();
    node->childArray = m.newArray();
    o->host = node;
    return node.get();
}

DomNode* newNode(Machine& m, ClassObject* cls, int type, const Value& nameOrValue)
{
    return attach(m, m.instantiate(cls), type, nameOrValue);
}

Value nodeValue(DomNode* n) { return Value::object(n ? n->self : nullptr); }

// "a:b" splits at its first colon when something follows it; "a:" is all local name.
int prefixColon(const Value& name)
{
    if (!name.isString())
        return -1;
    const int colon = name.s.indexOf(QLatin1Char(':'));
    return colon >= 0 && colon + 1 < name.s.size() ? colon : -1;
}

Value namespaceForPrefix(Machine& m, const DomNode* node, const QString& prefix)
{
    const QString attr = prefix.isEmpty() ? QStringLiteral("xmlns") : QStringLiteral("xmlns:") + prefix;
    for (const DomNode* n = node; n; n = n->parent) {
        if (n->type != Element)
            continue;
        if (const Value* v = n->attributes->dynamicGet(attr))
            return Value::string(m.toString(*v));
    }
    return Value::null();
}

Value prefixForNamespace(Machine& m, const DomNode* node, const QString& uri)
{
    for (const DomNode* n = node; n; n = n->parent) {
        if (n->type != Element)
            continue;
        for (const auto& [key, v] : n->attributes->dynamicProperties()) {
            if (key != QLatin1String("xmlns") && !key.startsWith(QLatin1String("xmlns:")))
                continue;
            if (m.toString(v) == uri)
                return Value::string(key.size() > 6 ? key.mid(6) : QString(QLatin1String("")));
        }
    }
    return Value::null();
}

void write(Machine& m, DomNode* node, QString& out, int depth)
{
    if (depth > 4096) // a tree this deep was built to hurt: its far end is left out
        return;
    if (node->type != Element) {
        if (!node->value.isNullish())
            out += xml::escapeEntities(m.toString(node->value));
        return;
    }
    const bool named = !node->name.isNullish();
    if (named) {
        out += QLatin1Char('<') + m.toString(node->name);
        // A copy: an attribute's toString may change them.
        const auto attributes = node->attributes->dynamicProperties();
        for (const auto& [key, v] : attributes)
            out += QLatin1Char(' ') + key + QLatin1String("=\"") + xml::escapeEntities(m.toString(v)) + QLatin1Char('"');
        if (node->children.empty()) {
            out += QLatin1String(" />");
            return;
        }
        out += QLatin1Char('>');
    }
    const std::vector<DomNode*> children = node->children;
    for (DomNode* c : children)
        write(m, c, out, depth + 1);
    if (named)
        out += QLatin1String("</") + m.toString(node->name) + QLatin1Char('>');
}

// One pass over the text, adding nodes under the document as they are read.
class Reader {
public:
    Reader(Machine& m, DomNode* root, const QString& text) : m_m(m), m_root(root), m_current(root), m_scanner(text) { }

    // The message of the first fault, empty when the text was well formed.
    QString run()
    {
        using Kind = xml::XmlToken::Kind;
        while (m_fault.isEmpty()) {
            xml::XmlToken t = m_scanner.next();
            switch (t.kind) {
            case Kind::End:
                if (m_current != m_root)
                    m_fault = QStringLiteral("Error #1085: The element type \"%1\" must be terminated by the matching end-tag \"</%1>\".")
                                  .arg(m_m.toString(m_current->name));
                return m_fault;
            case Kind::Fault: m_fault = message(t.fault); break;
            case Kind::Text:
                if (!(m_root->ignoreWhite && xml::isAllSpace(t.text)))
                    add(newNode(m_m, m_m.builtins().xmlNode, Text, Value::string(xml::unescapeEntities(t.text, false))));
                break;
            case Kind::Cdata: add(newNode(m_m, m_m.builtins().xmlNode, Text, Value::string(t.text))); break;
            case Kind::Comment: break;
            case Kind::DocType: m_root->docTypeDecl = Value::string(t.text); break;
            case Kind::Declaration:
                m_root->xmlDecl = Value::string(m_root->xmlDecl.isString() ? m_root->xmlDecl.s + t.text : t.text);
                break;
            case Kind::EndTag: endTag(t.text); break;
            case Kind::StartTag: startTag(t); break;
            }
        }
        return m_fault;
    }

private:
    static QString message(xml::ScanFault fault)
    {
        switch (fault) {
        case xml::ScanFault::CdataUnterminated: return QStringLiteral("Error #1091: XML parser failure: Unterminated CDATA section.");
        case xml::ScanFault::AttributeUnterminated: return QStringLiteral("Error #1095: XML parser failure: A string literal was not closed.");
        default: return QStringLiteral("Error #1090: XML parser failure: element is malformed.");
        }
    }

    void add(DomNode* node)
    {
        node->parent = m_current;
        m_current->children.push_back(node);
        m_current->childArray->elements.push_back(Value::object(node->self));
    }

    void endTag(const QString& name)
    {
        if (m_current == m_root || m_m.toString(m_current->name) != name) {
            m_fault = message(xml::ScanFault::MalformedElement);
            return;
        }
        m_current = m_current->parent;
        --m_depth;
    }

    void startTag(const xml::XmlToken& t)
    {
        if (!t.empty && m_depth >= 1024) { // refused like memory running out: trees are written recursively
            m_fault = message(xml::ScanFault::MalformedElement);
            return;
        }
        DomNode* node = newNode(m_m, m_m.builtins().xmlNode, Element, Value::string(t.text));
        for (const auto& [rawName, rawValue] : t.attributes) {
            const QString key = xml::unescapeEntities(rawName, false);
            if (!node->attributes->dynamicHas(key)) // a repeated attribute keeps its first value
                node->attributes->dynamicSet(key, Value::string(xml::unescapeEntities(rawValue, false)));
        }
        add(node);
        if (!t.empty) {
            m_current = node;
            ++m_depth;
        }
    }

    Machine& m_m;
    DomNode* m_root;
    DomNode* m_current;
    xml::XmlScanner m_scanner;
    int m_depth = 0;
    QString m_fault;
};

// Replaces the document's children and declarations by what `source` holds.
void parseInto(Machine& m, DomNode& doc, const QString& source)
{
    for (DomNode* c : doc.children)
        c->parent = nullptr;
    doc.children.clear();
    doc.refreshChildArray();
    doc.xmlDecl = Value::null();
    doc.docTypeDecl = Value::null();
    Reader reader(m, &doc, source);
    const QString fault = reader.run();
    if (!fault.isEmpty())
        m.throwErrorThrough(QStringLiteral("flash.xml::XMLDocument/parseXML"), ErrorClass::TypeError, fault.mid(7, 4).toInt(),
            fault.mid(13));
}

DomNode* cloneTree(Machine& m, const DomNode* from, bool deep, int depth)
{
    DomNode* copy = newNode(m, m.builtins().xmlNode, from->type, from->type == Element ? from->name : from->value);
    for (const auto& [key, v] : from->attributes->dynamicProperties())
        copy->attributes->dynamicSet(key, v);
    if (deep && depth < 4096) {
        for (const DomNode* c : from->children) {
            DomNode* child = cloneTree(m, c, true, depth + 1);
            child->parent = copy;
            copy->children.push_back(child);
        }
        copy->refreshChildArray();
    }
    return copy;
}

void installNodeMembers(Machine& m, ClassObject* cls)
{
    auto getter = [&](const char* name, std::function<Value(Machine&, DomNode&)> read, NativeFn write = {}) {
        m.addGetter(cls, QLatin1String(name),
            [read](Machine& m, const Value& self, Args) { return read(m, thisDom(m, self)); }, std::move(write));
    };
    getter("nodeType", [](Machine&, DomNode& n) { return Value::number(n.type); },
        [](Machine& m, const Value& self, Args args) {
            thisDom(m, self).type = int(toUint32(m.toNumber(arg(args, 0))));
            return Value::undefined();
        });
    getter("nodeName", [](Machine&, DomNode& n) { return n.name; },
        [](Machine& m, const Value& self, Args args) {
            const Value v = arg(args, 0);
            thisDom(m, self).name = v.isNullish() ? Value::null() : Value::string(m.toString(v));
            return Value::undefined();
        });
    getter("nodeValue", [](Machine&, DomNode& n) { return n.value; },
        [](Machine& m, const Value& self, Args args) {
            const Value v = arg(args, 0);
            thisDom(m, self).value = v.isNullish() ? Value::null() : Value::string(m.toString(v));
            return Value::undefined();
        });
    getter("attributes", [](Machine&, DomNode& n) { return Value::object(n.attributes); },
        [](Machine& m, const Value& self, Args args) {
            if (Object* o = arg(args, 0).object())
                thisDom(m, self).attributes = o;
            return Value::undefined();
        });
    getter("childNodes", [](Machine&, DomNode& n) { return Value::object(n.childArray); });
    getter("parentNode", [](Machine&, DomNode& n) { return nodeValue(n.parent); });
    getter("firstChild", [](Machine&, DomNode& n) { return nodeValue(n.children.empty() ? nullptr : n.children.front()); });
    getter("lastChild", [](Machine&, DomNode& n) { return nodeValue(n.children.empty() ? nullptr : n.children.back()); });
    getter("nextSibling", [](Machine&, DomNode& n) { return nodeValue(n.sibling(1)); });
    getter("previousSibling", [](Machine&, DomNode& n) { return nodeValue(n.sibling(-1)); });
    // Text nodes and a document have no name, so no prefix, local name or namespace.
    getter("prefix", [](Machine&, DomNode& n) {
        if (!n.name.isString())
            return Value::null();
        const int colon = prefixColon(n.name);
        return Value::string(colon < 0 ? QString(QLatin1String("")) : n.name.s.left(colon));
    });
    getter("localName", [](Machine&, DomNode& n) {
        if (!n.name.isString())
            return Value::null();
        const int colon = prefixColon(n.name);
        return Value::string(colon < 0 ? n.name.s : n.name.s.mid(colon + 1));
    });
    getter("namespaceURI", [](Machine& m, DomNode& n) {
        if (!n.name.isString())
            return Value::null();
        const int colon = prefixColon(n.name);
        return namespaceForPrefix(m, &n, colon < 0 ? QString() : n.name.s.left(colon));
    });

    m.addMethod(cls, QStringLiteral("appendChild"), [](Machine& m, const Value& self, Args args) {
        DomNode& n = thisDom(m, self);
        if (DomNode* child = domOf(m, arg(args, 0)))
            n.insert(child, n.children.size());
        return Value::undefined();
    }, 1);
    m.addMethod(cls, QStringLiteral("insertBefore"), [](Machine& m, const Value& self, Args args) {
        DomNode& n = thisDom(m, self);
        DomNode* child = domOf(m, arg(args, 0));
        DomNode* before = domOf(m, arg(args, 1));
        if (child && before && before->parent == &n)
            n.insert(child, std::size_t(before->indexInParent()));
        return Value::undefined();
    }, 2);
    m.addMethod(cls, QStringLiteral("removeNode"), [](Machine& m, const Value& self, Args) {
        thisDom(m, self).removeFromParent();
        return Value::undefined();
    });
    m.addMethod(cls, QStringLiteral("hasChildNodes"), [](Machine& m, const Value& self, Args) {
        return Value::boolean(!thisDom(m, self).children.empty());
    });
    m.addMethod(cls, QStringLiteral("cloneNode"), [](Machine& m, const Value& self, Args args) {
        return Value::object(cloneTree(m, &thisDom(m, self), m.toBoolean(arg(args, 0)), 0)->self);
    }, 1);
    m.addMethod(cls, QStringLiteral("getNamespaceForPrefix"), [](Machine& m, const Value& self, Args args) {
        return namespaceForPrefix(m, &thisDom(m, self), m.toString(arg(args, 0)));
    }, 1);
    m.addMethod(cls, QStringLiteral("getPrefixForNamespace"), [](Machine& m, const Value& self, Args args) {
        return prefixForNamespace(m, &thisDom(m, self), m.toString(arg(args, 0)));
    }, 1);
    m.addMethod(cls, QStringLiteral("toString"), [](Machine& m, const Value& self, Args) {
        QString out;
        write(m, &thisDom(m, self), out, 0);
        return Value::string(out);
    });
}

void installDocumentMembers(Machine& m, ClassObject* doc)
{
    auto field = [&](const char* name, Value DomNode::*member) {
        m.addGetter(doc, QLatin1String(name),
            [member](Machine& m, const Value& self, Args) { return thisDom(m, self).*member; },
            [member](Machine& m, const Value& self, Args args) {
                thisDom(m, self).*member = arg(args, 0);
                return Value::undefined();
            });
    };
    field("xmlDecl", &DomNode::xmlDecl);
    field("docTypeDecl", &DomNode::docTypeDecl);
    m.addGetter(doc, QStringLiteral("ignoreWhite"),
        [](Machine& m, const Value& self, Args) { return Value::boolean(thisDom(m, self).ignoreWhite); },
        [](Machine& m, const Value& self, Args args) {
            thisDom(m, self).ignoreWhite = m.toBoolean(arg(args, 0));
            return Value::undefined();
        });
    m.addGetter(doc, QStringLiteral("idMap"), [](Machine& m, const Value& self, Args) {
        DomNode& d = thisDom(m, self);
        if (!d.idMap)
            d.idMap = m.newObject();
        return Value::object(d.idMap);
    });
    m.addMethod(doc, QStringLiteral("parseXML"), [](Machine& m, const Value& self, Args args) {
        parseInto(m, thisDom(m, self), m.toString(arg(args, 0)));
        return Value::undefined();
    }, 1);
    m.addMethod(doc, QStringLiteral("createElement"), [](Machine& m, const Value& self, Args args) {
        thisDom(m, self);
        return Value::object(newNode(m, m.builtins().xmlNode, Element, Value::string(m.toString(arg(args, 0))))->self);
    }, 1);
    m.addMethod(doc, QStringLiteral("createTextNode"), [](Machine& m, const Value& self, Args args) {
        thisDom(m, self);
        return Value::object(newNode(m, m.builtins().xmlNode, Text, Value::string(m.toString(arg(args, 0))))->self);
    }, 1);
    // The declarations come first, then the tree.
    m.addMethod(doc, QStringLiteral("toString"), [](Machine& m, const Value& self, Args) {
        DomNode& d = thisDom(m, self);
        QString out;
        if (!d.xmlDecl.isNullish())
            out += m.toString(d.xmlDecl);
        if (!d.docTypeDecl.isNullish())
            out += m.toString(d.docTypeDecl);
        write(m, &d, out, 0);
        return Value::string(out);
    });
}

} // namespace

void installXmlDocumentClasses(Machine& m)
{
    // new XMLNode(type, value): an element named `value` for type 1, text otherwise.
    ClassObject* node = m.defineClass(QStringLiteral("flash.xml"), QStringLiteral("XMLNode"), m.builtins().object,
        InstanceKind::Plain, [](Machine& m, const Value& self, Args args) {
            const int type = int(toUint32(m.toNumber(arg(args, 0))));
            const Value v = arg(args, 1);
            if (Object* o = self.object())
                attach(m, o, type, v.isNullish() ? Value::null() : Value::string(m.toString(v)));
            return Value::undefined();
        });
    node->sealed = true;
    m.builtins().xmlNode = node;
    installNodeMembers(m, node);

    // new XMLDocument(source): an unnamed element holding what `source` reads as.
    ClassObject* doc = m.defineClass(QStringLiteral("flash.xml"), QStringLiteral("XMLDocument"), node, InstanceKind::Plain,
        [](Machine& m, const Value& self, Args args) {
            Object* o = self.object();
            if (!o)
                return Value::undefined();
            DomNode* d = attach(m, o, Element, Value::null());
            if (!arg(args, 0).isNullish())
                parseInto(m, *d, m.toString(arg(args, 0)));
            return Value::undefined();
        });
    doc->sealed = true;
    installDocumentMembers(m, doc);

    ClassObject* types = m.defineClass(QStringLiteral("flash.xml"), QStringLiteral("XMLNodeType"), m.builtins().object,
        InstanceKind::Plain, {});
    m.addStaticConst(types, QStringLiteral("ELEMENT_NODE"), Value::number(Element));
    m.addStaticConst(types, QStringLiteral("TEXT_NODE"), Value::number(Text));
}

} // namespace swf::avm2
