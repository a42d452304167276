// The methods of XML and XMLList, the XML settings, and the QName and
// Namespace classes the methods hand out.

#include "swf/avm2/builtins/XmlClasses.h"
#include "swf/avm2/vm/Machine.h"

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i)
{
    return i < args.size() ? args[i] : Value::undefined();
}

Value list(Machine& m, std::vector<XmlNodePtr> items)
{
    return Value::object(newXmlList(m, std::move(items)));
}

// The nodes `this` stands for: one for XML, the items for XMLList.
std::vector<XmlNodePtr> nodesOf(const Value& self)
{
    if (XmlNodePtr node = xmlNodeOf(self.object()))
        return { node };
    if (XmlListHost* l = xmlListOf(self.object()))
        return l->items;
    return {};
}

XmlNodePtr thisNode(Machine& m, const Value& self)
{
    if (XmlNodePtr node = xmlNodeOf(self.object()))
        return node;
    if (XmlListHost* l = xmlListOf(self.object()); l && l->items.size() == 1)
        return l->items[0];
    m.throwError(ErrorClass::TypeError, 1034, QStringLiteral("Type Coercion failed: cannot convert %1 to XML.").arg(m.typeName(self)));
}

Value newQName(Machine& m, const QString& uri, const QString& local, bool anyNamespace)
{
    ClassObject* cls = m.builtins().qname;
    auto o = m.allocate<Object>(Object::Type::Plain, cls, cls->instancePrototype, cls->instanceTraits);
    o->setDynamic(false);
    o->host = std::make_shared<QNameHost>(QNameHost { uri, local, anyNamespace });
    return Value::object(o);
}

QNameHost* qnameOf(const Value& v)
{
    Object* o = v.object();
    if (!o || o->classObject() == nullptr || o->classObject()->name != QLatin1String("QName") || !o->host)
        return nullptr;
    return static_cast<QNameHost*>(o->host.get());
}

Value nameOf(Machine& m, const XmlNode& node)
{
    if (node.kind == XmlNode::Kind::Text || node.kind == XmlNode::Kind::Comment)
        return Value::null();
    Value name = newQName(m, node.uri, node.local, false);
    static_cast<QNameHost*>(name.o->host.get())->attribute = node.kind == XmlNode::Kind::Attribute;
    return name;
}

QString nodeKind(const XmlNode& node)
{
    switch (node.kind) {
    case XmlNode::Kind::Element: return QStringLiteral("element");
    case XmlNode::Kind::Attribute: return QStringLiteral("attribute");
    case XmlNode::Kind::Comment: return QStringLiteral("comment");
    case XmlNode::Kind::Instruction: return QStringLiteral("processing-instruction");
    case XmlNode::Kind::Text: return QStringLiteral("text");
    }
    return QString();
}

std::vector<XmlNodePtr> childrenOf(const std::vector<XmlNodePtr>& nodes, bool (*keep)(const XmlNode&))
{
    std::vector<XmlNodePtr> out;
    for (const auto& n : nodes) {
        for (const auto& c : n->children) {
            if (keep(*c))
                out.push_back(c);
        }
    }
    return out;
}

// child(name) and elements(name) of a list of nodes.
std::vector<XmlNodePtr> childrenNamed(Machine& m, const std::vector<XmlNodePtr>& nodes, const Value& which, bool elementsOnly)
{
    std::vector<XmlNodePtr> out;
    if (which.isNumber()) {
        for (const auto& n : nodes) {
            const double i = which.d;
            if (i >= 0 && i < double(n->children.size()) && i == double(std::size_t(i)))
                out.push_back(n->children[std::size_t(i)]);
        }
        return out;
    }
    XmlName name = toXmlName(m, which.isUndefined() ? Value::string(QStringLiteral("*")) : which);
    if (elementsOnly)
        name.attribute = false;
    for (const auto& n : nodes) {
        for (const auto& c : name.attribute ? n->attributes : n->children) {
            if ((!elementsOnly || c->isElement()) && name.matches(*c))
                out.push_back(c);
        }
    }
    return out;
}

void descend(const XmlNode& node, const XmlName& name, std::vector<XmlNodePtr>& out)
{
    if (name.attribute) {
        for (const auto& a : node.attributes) {
            if (name.matches(*a))
                out.push_back(a);
        }
    }
    for (const auto& c : node.children) {
        if (!name.attribute && name.matches(*c))
            out.push_back(c);
        descend(*c, name, out);
    }
}

Value namespaceValue(Machine& m, const XmlNamespace& ns)
{
    return Value::object(newNamespaceObject(m, ns.prefix, ns.hasPrefix, ns.uri));
}

XmlNodePtr thisNodeOrNull(const Value& v)
{
    if (XmlNodePtr node = xmlNodeOf(v.object()))
        return node;
    if (XmlListHost* l = xmlListOf(v.object()); l && l->items.size() == 1)
        return l->items[0];
    return nullptr;
}

void defineXmlMethods(Machine& m, ClassObject* cls)
{
    auto add = [&](const char* name, NativeFn fn, int length = 0) { m.addPrototypeMethod(cls, QLatin1String(name), std::move(fn), length); };
    add("toString", [](Machine& m, const Value& self, Args) {
        Object* o = self.object();
        return Value::string(isXmlObject(o) ? xmlObjectToString(m, o) : QString());
    });
    add("toXMLString", [](Machine& m, const Value& self, Args) {
        QString s;
        const auto nodes = nodesOf(self);
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            if (i)
                s += QLatin1Char('\n');
            s += xmlToXmlString(*nodes[i], xmlSettings(m), {}, 0);
        }
        return Value::string(s);
    });
    add("valueOf", [](Machine&, const Value& self, Args) { return self; });
    add("toJSON", [](Machine&, const Value&, Args) { return Value::string(QStringLiteral("XML")); }, 1);
    add("length", [](Machine&, const Value& self, Args) { return Value::number(double(nodesOf(self).size())); });
    add("children", [](Machine& m, const Value& self, Args) {
        return list(m, childrenOf(nodesOf(self), [](const XmlNode&) { return true; }));
    });
    add("elements", [](Machine& m, const Value& self, Args args) {
        return list(m, childrenNamed(m, nodesOf(self), arg(args, 0), true));
    }, 1);
    add("child", [](Machine& m, const Value& self, Args args) {
        return list(m, childrenNamed(m, nodesOf(self), arg(args, 0), false));
    }, 1);
    add("text", [](Machine& m, const Value& self, Args) {
        return list(m, childrenOf(nodesOf(self), [](const XmlNode& n) { return n.kind == XmlNode::Kind::Text; }));
    });
    add("comments", [](Machine& m, const Value& self, Args) {
        return list(m, childrenOf(nodesOf(self), [](const XmlNode& n) { return n.kind == XmlNode::Kind::Comment; }));
    });
    add("processingInstructions", [](Machine& m, const Value& self, Args) {
        return list(m, childrenOf(nodesOf(self), [](const XmlNode& n) { return n.kind == XmlNode::Kind::Instruction; }));
    }, 1);
    add("attributes", [](Machine& m, const Value& self, Args) {
        std::vector<XmlNodePtr> out;
        for (const auto& n : nodesOf(self))
            out.insert(out.end(), n->attributes.begin(), n->attributes.end());
        return list(m, std::move(out));
    });
    add("attribute", [](Machine& m, const Value& self, Args args) {
        XmlName name = toXmlName(m, arg(args, 0));
        name.attribute = true;
        std::vector<XmlNodePtr> out;
        for (const auto& n : nodesOf(self)) {
            for (const auto& a : n->attributes) {
                if (name.matches(*a))
                    out.push_back(a);
            }
        }
        return list(m, std::move(out));
    }, 1);
    add("descendants", [](Machine& m, const Value& self, Args args) {
        const XmlName name = toXmlName(m, args.empty() ? Value::string(QStringLiteral("*")) : args[0]);
        std::vector<XmlNodePtr> out;
        for (const auto& n : nodesOf(self))
            descend(*n, name, out);
        return list(m, std::move(out));
    }, 1);
    add("hasSimpleContent", [](Machine&, const Value& self, Args) {
        for (const auto& n : nodesOf(self)) {
            if (n->isElement() && !xmlHasSimpleContent(*n))
                return Value::boolean(false);
            if (xmlListOf(self.object()) && n->isElement() && nodesOf(self).size() > 1)
                return Value::boolean(false);
        }
        const auto nodes = nodesOf(self);
        return Value::boolean(nodes.size() != 1 || xmlHasSimpleContent(*nodes[0]));
    });
    add("hasComplexContent", [](Machine&, const Value& self, Args) {
        const auto nodes = nodesOf(self);
        if (xmlListOf(self.object()) && nodes.size() != 1) {
            for (const auto& n : nodes) {
                if (n->isElement())
                    return Value::boolean(true);
            }
            return Value::boolean(false);
        }
        return Value::boolean(!nodes.empty() && nodes[0]->isElement() && !xmlHasSimpleContent(*nodes[0]));
    });
    add("copy", [](Machine& m, const Value& self, Args) {
        if (XmlNodePtr node = xmlNodeOf(self.object()))
            return Value::object(wrapXml(m, node->deepCopy(nullptr)));
        std::vector<XmlNodePtr> out;
        for (const auto& n : nodesOf(self))
            out.push_back(n->deepCopy(nullptr));
        return list(m, std::move(out));
    });
    add("contains", [](Machine& m, const Value& self, Args args) {
        if (XmlListHost* l = xmlListOf(self.object())) {
            for (const auto& n : l->items) {
                if (m.looseEquals(Value::object(wrapXml(m, n)), arg(args, 0)))
                    return Value::boolean(true);
            }
            return Value::boolean(false);
        }
        // An XML contains only XML equal to it: text that would compare equal does not.
        if (!xmlNodeOf(arg(args, 0).object()))
            return Value::boolean(false);
        return Value::boolean(m.looseEquals(self, arg(args, 0)));
    }, 1);
    add("parent", [](Machine& m, const Value& self, Args) {
        XmlNode* parent = nullptr;
        const auto nodes = nodesOf(self);
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            if (i && nodes[i]->parent != parent)
                return Value::undefined();
            parent = nodes[i]->parent;
        }
        if (!parent || !parent->wrapper)
            return Value::undefined();
        return Value::object(parent->wrapper);
    });
    add("hasOwnProperty", [](Machine& m, const Value& self, Args args) {
        Object* o = self.object();
        if (!isXmlObject(o))
            return Value::boolean(false);
        Value v = arg(args, 0);
        Name name;
        if (!nameFromQName(v, name))
            name = Name::publicName(m.toString(v));
        return Value::boolean(*o->hooks->has(m, o, name));
    }, 1);
    add("propertyIsEnumerable", [](Machine& m, const Value& self, Args args) {
        const QString s = m.toString(arg(args, 0));
        return Value::boolean(s == QLatin1String("0") || (xmlListOf(self.object()) && s.toUInt() < nodesOf(self).size()));
    }, 1);
    // The methods below act on one node: a list of one stands for its item.
    add("name", [](Machine& m, const Value& self, Args) { return nameOf(m, *thisNode(m, self)); });
    add("localName", [](Machine& m, const Value& self, Args) {
        XmlNodePtr n = thisNode(m, self);
        return n->kind == XmlNode::Kind::Text || n->kind == XmlNode::Kind::Comment ? Value::null() : Value::string(n->local);
    });
    add("nodeKind", [](Machine& m, const Value& self, Args) { return Value::string(nodeKind(*thisNode(m, self))); });
    add("childIndex", [](Machine& m, const Value& self, Args) { return Value::number(thisNode(m, self)->indexInParent()); });
    add("namespace", [](Machine& m, const Value& self, Args args) {
        XmlNodePtr n = thisNode(m, self);
        const auto scope = n->inScope();
        if (!args.empty()) {
            const QString prefix = m.toString(args[0]);
            for (const XmlNamespace& ns : scope) {
                if (ns.prefix == prefix)
                    return namespaceValue(m, ns);
            }
            return Value::undefined();
        }
        if (n->kind != XmlNode::Kind::Element && n->kind != XmlNode::Kind::Attribute)
            return Value::null();
        for (const XmlNamespace& ns : scope) {
            if (ns.uri == n->uri && (n->kind != XmlNode::Kind::Attribute || ns.prefix == n->prefix))
                return namespaceValue(m, ns);
        }
        // The prefix the name was written with counts only while a
        // declaration in scope still binds it to the name's namespace.
        return namespaceValue(m, { QString(), n->uri.isEmpty(), n->uri });
    }, 1);
    add("inScopeNamespaces", [](Machine& m, const Value& self, Args) {
        std::vector<Value> out;
        for (const XmlNamespace& ns : thisNode(m, self)->inScope())
            out.push_back(namespaceValue(m, ns));
        if (out.empty())
            out.push_back(namespaceValue(m, { QString(), true, QString() }));
        return Value::object(m.newArray(std::move(out)));
    });
    add("namespaceDeclarations", [](Machine& m, const Value& self, Args) {
        std::vector<Value> out;
        for (const XmlNamespace& ns : thisNode(m, self)->declarations)
            out.push_back(namespaceValue(m, ns));
        return Value::object(m.newArray(std::move(out)));
    });
    add("addNamespace", [](Machine& m, const Value& self, Args args) {
        XmlNodePtr n = thisNode(m, self);
        Object* o = arg(args, 0).object();
        XmlNamespace ns;
        if (o && o->type() == Object::Type::Namespace) {
            ns.uri = m.toString(o->primitive);
            if (auto* host = static_cast<NamespaceHost*>(o->host.get())) {
                ns.prefix = host->prefix;
                ns.hasPrefix = host->hasPrefix;
            }
        } else {
            ns.uri = m.toString(arg(args, 0));
        }
        // Only elements declare namespaces, and only those with a known
        // prefix; a prefix declared again with another namespace takes the
        // place of the old one (names written with it lose it: see namespace()).
        if (n->kind != XmlNode::Kind::Element || !ns.hasPrefix || (ns.prefix.isEmpty() && n->uri.isEmpty()))
            return self;
        std::erase_if(n->declarations, [&](const XmlNamespace& d) { return d.prefix == ns.prefix; });
        n->declarations.push_back(ns);
        return self;
    }, 1);
    add("setName", [](Machine& m, const Value& self, Args args) {
        XmlNodePtr n = thisNode(m, self);
        if (QNameHost* q = qnameOf(arg(args, 0))) {
            n->local = q->local;
            n->uri = q->uri;
        } else {
            n->local = m.toString(arg(args, 0));
            n->uri = n->kind == XmlNode::Kind::Attribute ? QString() : m.defaultXmlNamespace;
        }
        n->prefix.clear();
        if (auto prefix = n->prefixFor(n->uri))
            n->prefix = *prefix;
        return Value::undefined();
    }, 1);
    add("setLocalName", [](Machine& m, const Value& self, Args args) {
        XmlNodePtr n = thisNode(m, self);
        QNameHost* q = qnameOf(arg(args, 0));
        n->local = q ? q->local : m.toString(arg(args, 0));
        return Value::undefined();
    }, 1);
    add("appendChild", [](Machine& m, const Value& self, Args args) {
        xmlAppend(*thisNode(m, self), xmlNodesFor(m, arg(args, 0)));
        return self;
    }, 1);
    add("prependChild", [](Machine& m, const Value& self, Args args) {
        xmlAppend(*thisNode(m, self), xmlNodesFor(m, arg(args, 0)), 0);
        return self;
    }, 1);
    add("setChildren", [](Machine& m, const Value& self, Args args) {
        XmlNodePtr n = thisNode(m, self);
        for (auto& c : n->children)
            c->parent = nullptr;
        n->children.clear();
        xmlAppend(*n, xmlNodesFor(m, arg(args, 0)));
        return self;
    }, 1);
    auto insertBeside = [](bool after) {
        return [after](Machine& m, const Value& self, Args args) {
            XmlNodePtr n = thisNode(m, self);
            XmlNodePtr anchor = thisNodeOrNull(arg(args, 0));
            std::ptrdiff_t at = after ? 0 : std::ptrdiff_t(n->children.size());
            if (anchor) {
                const int index = anchor->parent == n.get() ? anchor->indexInParent() : -1;
                if (index < 0)
                    return Value::undefined();
                at = after ? index + 1 : index;
            }
            xmlAppend(*n, xmlNodesFor(m, arg(args, 1)), at);
            return self;
        };
    };
    add("insertChildAfter", insertBeside(true), 2);
    add("insertChildBefore", insertBeside(false), 2);
    add("normalize", [](Machine&, const Value& self, Args) {
        for (const auto& n : nodesOf(self)) {
            auto& children = n->children;
            for (std::size_t i = 0; i < children.size();) {
                if (children[i]->kind == XmlNode::Kind::Text && !children[i]->cdata && i + 1 < children.size()
                    && children[i + 1]->kind == XmlNode::Kind::Text && !children[i + 1]->cdata) {
                    children[i]->value += children[i + 1]->value;
                    children[i + 1]->parent = nullptr;
                    children.erase(children.begin() + std::ptrdiff_t(i) + 1);
                } else if (children[i]->kind == XmlNode::Kind::Text && children[i]->value.isEmpty()) {
                    children[i]->parent = nullptr;
                    children.erase(children.begin() + std::ptrdiff_t(i));
                } else {
                    ++i;
                }
            }
        }
        return self;
    });
    add("replace", [](Machine& m, const Value& self, Args args) {
        XmlNodePtr n = thisNode(m, self);
        const Value which = arg(args, 0);
        std::vector<std::size_t> hits;
        if (which.isNumber()) {
            if (which.d >= 0 && which.d < double(n->children.size()))
                hits.push_back(std::size_t(which.d));
        } else {
            const XmlName name = toXmlName(m, which);
            for (std::size_t i = 0; i < n->children.size(); ++i) {
                if (name.matches(*n->children[i]))
                    hits.push_back(i);
            }
        }
        if (hits.empty())
            return self;
        for (std::size_t i = hits.size(); i-- > 0;) {
            n->children[hits[i]]->parent = nullptr;
            n->children.erase(n->children.begin() + std::ptrdiff_t(hits[i]));
        }
        xmlAppend(*n, xmlNodesFor(m, arg(args, 1)), std::ptrdiff_t(hits[0]));
        return self;
    }, 2);
}

void addSetting(Machine& m, const QString& name, std::function<Value(XmlSettings&)> get, std::function<void(XmlSettings&, Machine&, const Value&)> set)
{
    Binding binding;
    binding.kind = Binding::Kind::Accessor;
    binding.local = name;
    binding.getter = m.newMethod();
    binding.getter->name = name;
    binding.getter->native = [get](Machine& m, const Value&, Args) { return get(xmlSettings(m)); };
    binding.setter = m.newMethod();
    binding.setter->name = name;
    binding.setter->native = [set](Machine& m, const Value&, Args args) {
        set(xmlSettings(m), m, arg(args, 0));
        return Value::undefined();
    };
    const_cast<Traits&>(m.builtins().xml->traits()).addBinding(std::move(binding));
}

Value settingsObject(Machine& m, const XmlSettings& s)
{
    Object* o = m.newObject();
    o->dynamicSet(QStringLiteral("ignoreComments"), Value::boolean(s.ignoreComments));
    o->dynamicSet(QStringLiteral("ignoreProcessingInstructions"), Value::boolean(s.ignoreProcessingInstructions));
    o->dynamicSet(QStringLiteral("ignoreWhitespace"), Value::boolean(s.ignoreWhitespace));
    o->dynamicSet(QStringLiteral("prettyIndent"), Value::number(s.prettyIndent));
    o->dynamicSet(QStringLiteral("prettyPrinting"), Value::boolean(s.prettyPrinting));
    return Value::object(o);
}

} // namespace

void installXmlMethods(Machine& m)
{
    auto& b = m.builtins();
    defineXmlMethods(m, b.xml);
    defineXmlMethods(m, b.xmlList);
    addSetting(m, QStringLiteral("ignoreComments"), [](XmlSettings& s) { return Value::boolean(s.ignoreComments); },
        [](XmlSettings& s, Machine& m, const Value& v) { s.ignoreComments = m.toBoolean(v); });
    addSetting(m, QStringLiteral("ignoreProcessingInstructions"), [](XmlSettings& s) { return Value::boolean(s.ignoreProcessingInstructions); },
        [](XmlSettings& s, Machine& m, const Value& v) { s.ignoreProcessingInstructions = m.toBoolean(v); });
    addSetting(m, QStringLiteral("ignoreWhitespace"), [](XmlSettings& s) { return Value::boolean(s.ignoreWhitespace); },
        [](XmlSettings& s, Machine& m, const Value& v) { s.ignoreWhitespace = m.toBoolean(v); });
    addSetting(m, QStringLiteral("prettyPrinting"), [](XmlSettings& s) { return Value::boolean(s.prettyPrinting); },
        [](XmlSettings& s, Machine& m, const Value& v) { s.prettyPrinting = m.toBoolean(v); });
    addSetting(m, QStringLiteral("prettyIndent"), [](XmlSettings& s) { return Value::number(s.prettyIndent); },
        [](XmlSettings& s, Machine& m, const Value& v) { s.prettyIndent = std::clamp(toInt32(m.toNumber(v)), 0, 64); });
    m.addStatic(b.xml, QStringLiteral("settings"), [](Machine& m, const Value&, Args) { return settingsObject(m, xmlSettings(m)); });
    m.addStatic(b.xml, QStringLiteral("defaultSettings"), [](Machine& m, const Value&, Args) { return settingsObject(m, XmlSettings {}); });
    m.addStatic(b.xml, QStringLiteral("setSettings"), [](Machine& m, const Value&, Args args) {
        XmlSettings& s = xmlSettings(m);
        Value v = arg(args, 0);
        if (v.isNullish()) {
            s = XmlSettings {};
            return Value::undefined();
        }
        auto flag = [&](const char* name, bool& into) {
            Value f = m.getProperty(v, Name::publicName(QLatin1String(name)));
            if (f.kind == Value::Kind::Boolean)
                into = f.b;
        };
        flag("ignoreComments", s.ignoreComments);
        flag("ignoreProcessingInstructions", s.ignoreProcessingInstructions);
        flag("ignoreWhitespace", s.ignoreWhitespace);
        flag("prettyPrinting", s.prettyPrinting);
        Value indent = m.getProperty(v, Name::publicName(QStringLiteral("prettyIndent")));
        if (indent.isNumber())
            s.prettyIndent = std::clamp(toInt32(indent.d), 0, 64);
        return Value::undefined();
    }, 1);

    // QName(local) / QName(namespace, local) / QName(qname).
    b.qname = m.defineClass(QString(), QStringLiteral("QName"), b.object, InstanceKind::Plain, {});
    b.qname->sealed = true;
    auto makeQName = [](Machine& m, Args args) {
        if (args.size() <= 1) {
            if (QNameHost* q = qnameOf(arg(args, 0)))
                return newQName(m, q->uri, q->local, q->anyNamespace);
            const Value local = arg(args, 0);
            return newQName(m, m.defaultXmlNamespace, local.isUndefined() ? QString() : m.toString(local), false);
        }
        const Value ns = args[0];
        const Value local = args[1];
        QString localName = local.isUndefined() ? QString() : (qnameOf(local) ? qnameOf(local)->local : m.toString(local));
        if (ns.isNull())
            return newQName(m, QString(), localName, true);
        Object* o = ns.object();
        const QString uri = o && o->type() == Object::Type::Namespace ? m.toString(o->primitive) : (qnameOf(ns) ? qnameOf(ns)->uri : m.toString(ns));
        return newQName(m, uri, localName, false);
    };
    b.qname->callAsFunction = [makeQName](Machine& m, const Value&, Args args) { return makeQName(m, args); };
    m.addGetter(b.qname, QStringLiteral("localName"), [](Machine&, const Value& self, Args) {
        QNameHost* q = qnameOf(self);
        return q ? Value::string(q->local) : Value::undefined();
    });
    m.addGetter(b.qname, QStringLiteral("uri"), [](Machine&, const Value& self, Args) {
        QNameHost* q = qnameOf(self);
        return !q ? Value::undefined() : q->anyNamespace ? Value::null() : Value::string(q->uri);
    });
    m.addPrototypeMethod(b.qname, QStringLiteral("toString"), [](Machine& m, const Value& self, Args) {
        QNameHost* q = qnameOf(self);
        if (!q)
            m.throwError(ErrorClass::TypeError, 1004, QStringLiteral("Method QName.prototype.toString was invoked on an incompatible object."));
        if (q->anyNamespace)
            return Value::string(QStringLiteral("*::") + q->local);
        return Value::string(q->uri.isEmpty() ? q->local : q->uri + QStringLiteral("::") + q->local);
    });
    m.addPrototypeMethod(b.qname, QStringLiteral("valueOf"), [](Machine&, const Value& self, Args) { return self; });

    // Namespace(uri) / Namespace(prefix, uri).
    auto makeNamespace = [](Machine& m, Args args) {
        auto uriOf = [&](const Value& v) {
            Object* o = v.object();
            if (o && o->type() == Object::Type::Namespace)
                return m.toString(o->primitive);
            if (QNameHost* q = qnameOf(v))
                return q->uri;
            return m.toString(v);
        };
        if (args.empty())
            return newNamespaceObject(m, QString(), true, QString());
        if (args.size() == 1) {
            Object* o = args[0].object();
            if (o && o->type() == Object::Type::Namespace)
                return o;
            const QString uri = uriOf(args[0]);
            return newNamespaceObject(m, QString(), uri.isEmpty(), uri);
        }
        const QString uri = uriOf(args[1]);
        const bool noPrefix = args[0].isUndefined();
        return newNamespaceObject(m, noPrefix ? QString() : m.toString(args[0]), !noPrefix, uri);
    };
    b.namespaceClass->callAsFunction = [makeNamespace](Machine& m, const Value&, Args args) { return Value::object(makeNamespace(m, args)); };
    m.addGetter(b.namespaceClass, QStringLiteral("prefix"), [](Machine&, const Value& self, Args) {
        Object* o = self.object();
        auto* host = o ? static_cast<NamespaceHost*>(o->host.get()) : nullptr;
        if (!host || !host->hasPrefix)
            return Value::undefined();
        return Value::string(host->prefix);
    });
    m.addPrototypeMethod(b.namespaceClass, QStringLiteral("toString"), [](Machine& m, const Value& self, Args) {
        Object* o = self.object();
        return Value::string(o ? m.toString(o->primitive) : QString());
    });
}

} // namespace swf::avm2
