// XML, XMLList, QName and Namespace: the objects, how names reach into a
// tree through them (x.a, x.@b, x..c, x.* and x[i]), and their constructors.
// The methods are in XmlMethods.cpp.

#include "swf/avm2/builtins/XmlClasses.h"
#include "swf/avm2/vm/Machine.h"

namespace swf::avm2 {

namespace {

const QString As3Uri = QStringLiteral("http://adobe.com/AS3/2006/builtin");

bool indexName(const QString& s, std::uint32_t& index)
{
    if (s.isEmpty() || s.size() > 9)
        return false;
    bool ok = false;
    index = s.toUInt(&ok);
    return ok && QString::number(index) == s;
}

// A name asked only in the built-in namespace reaches the methods, not the children.
bool onlyBuiltinNamespace(const Name& name)
{
    if (name.anyNamespace || name.namespaces.empty() || name.attribute)
        return false;
    for (const Namespace& ns : name.namespaces) {
        if (ns.uri != As3Uri)
            return false;
    }
    return true;
}

Value prototypeMethod(Machine& m, Object* self, const QString& local)
{
    for (Object* p = self->prototype(); p; p = p->prototype()) {
        if (const Value* v = p->dynamicGet(local))
            return *v;
    }
    (void)m;
    return Value::undefined();
}

void collectDescendants(const XmlNode& node, const XmlName& name, std::vector<XmlNodePtr>& out)
{
    if (name.attribute) {
        for (const auto& a : node.attributes) {
            if (name.matches(*a))
                out.push_back(a);
        }
    }
    for (const auto& child : node.children) {
        if (!name.attribute && name.matches(*child) && true)
            out.push_back(child);
        collectDescendants(*child, name, out);
    }
}

std::vector<XmlNodePtr> childrenMatching(const XmlNode& node, const XmlName& name)
{
    std::vector<XmlNodePtr> out;
    for (const auto& n : name.attribute ? node.attributes : node.children) {
        if (name.matches(*n))
            out.push_back(n);
    }
    return out;
}

// x.name = value on one element.
void putChild(Machine& m, XmlNode& node, const XmlName& name, const Value& value)
{
    if (name.attribute) {
        QString text;
        if (XmlListHost* list = xmlListOf(value.object())) {
            for (std::size_t i = 0; i < list->items.size(); ++i)
                text += (i ? QStringLiteral(" ") : QString()) + xmlToString(*list->items[i], xmlSettings(m));
        } else {
            text = m.toString(value);
        }
        for (const auto& a : node.attributes) {
            if (name.matches(*a)) {
                a->value = text;
                std::erase_if(node.attributes, [&](const XmlNodePtr& other) { return other != a && name.matches(*other); });
                return;
            }
        }
        auto attribute = std::make_shared<XmlNode>();
        attribute->kind = XmlNode::Kind::Attribute;
        attribute->local = name.local;
        attribute->uri = name.anyUri || name.uris.empty() ? QString() : name.uris.front();
        attribute->value = text;
        attribute->parent = &node;
        node.attributes.push_back(attribute);
        return;
    }
    const bool isXml = xmlNodeOf(value.object()) || xmlListOf(value.object());
    std::ptrdiff_t at = -1;
    for (std::size_t i = 0; i < node.children.size(); ++i) {
        if (name.matches(*node.children[i])) {
            at = std::ptrdiff_t(i);
            break;
        }
    }
    if (name.anyLocal) {
        for (auto& c : node.children)
            c->parent = nullptr;
        node.children.clear();
        xmlAppend(node, xmlNodesFor(m, value));
        return;
    }
    if (at < 0) {
        auto element = std::make_shared<XmlNode>();
        element->local = name.local;
        element->uri = name.anyUri || name.uris.empty() ? QString() : name.uris.front();
        xmlAppend(node, { element });
        if (isXml) {
            element->parent = nullptr;
            node.children.pop_back();
            xmlAppend(node, xmlNodesFor(m, value));
        } else {
            xmlAppend(*element, xmlNodesFor(m, value));
        }
        return;
    }
    // The first match takes the value; the others go.
    XmlNodePtr first = node.children[std::size_t(at)];
    for (std::size_t i = node.children.size(); i-- > std::size_t(at) + 1;) {
        if (name.matches(*node.children[i])) {
            node.children[i]->parent = nullptr;
            node.children.erase(node.children.begin() + std::ptrdiff_t(i));
        }
    }
    if (isXml) {
        first->parent = nullptr;
        node.children.erase(node.children.begin() + at);
        xmlAppend(node, xmlNodesFor(m, value), at);
    } else {
        for (auto& c : first->children)
            c->parent = nullptr;
        first->children.clear();
        xmlAppend(*first, xmlNodesFor(m, value));
    }
}

class XmlHooks : public PropertyHooks {
public:
    bool get(Machine& m, Object* self, const Name& name, Value& out) override
    {
        if (onlyBuiltinNamespace(name)) {
            out = prototypeMethod(m, self, name.local);
            return !out.isUndefined();
        }
        XmlNodePtr node = xmlNodeOf(self);
        std::uint32_t index = 0;
        if (!name.attribute && indexName(name.local, index)) {
            out = index == 0 ? Value::object(self) : Value::undefined();
            return true;
        }
        out = Value::object(newXmlList(m, childrenMatching(*node, toXmlName(m, name)), self, &name));
        return true;
    }
    bool set(Machine& m, Object* self, const Name& name, const Value& value) override
    {
        XmlNodePtr node = xmlNodeOf(self);
        std::uint32_t index = 0;
        if (!name.attribute && indexName(name.local, index))
            m.throwError(ErrorClass::TypeError, 1087, QStringLiteral("Assignment to indexed XML is not allowed."));
        if (node->isElement())
            putChild(m, *node, toXmlName(m, name), value);
        return true;
    }
    std::optional<bool> has(Machine& m, Object* self, const Name& name) override
    {
        std::uint32_t index = 0;
        if (!name.attribute && indexName(name.local, index))
            return index == 0;
        return !childrenMatching(*xmlNodeOf(self), toXmlName(m, name)).empty();
    }
    std::optional<bool> remove(Machine& m, Object* self, const Name& name) override
    {
        XmlNodePtr node = xmlNodeOf(self);
        const XmlName xn = toXmlName(m, name);
        auto& from = xn.attribute ? node->attributes : node->children;
        std::erase_if(from, [&](const XmlNodePtr& n) {
            if (!xn.matches(*n))
                return false;
            n->parent = nullptr;
            return true;
        });
        return true;
    }
    bool call(Machine& m, Object* self, const Name& name, Args args, Value& out) override
    {
        Value fn = prototypeMethod(m, self, name.local);
        if (!fn.isObject())
            return false;
        out = m.call(fn, Value::object(self), args);
        return true;
    }
    bool descendants(Machine& m, Object* self, const Name& name, Value& out) override
    {
        std::vector<XmlNodePtr> found;
        collectDescendants(*xmlNodeOf(self), toXmlName(m, name), found);
        out = Value::object(newXmlList(m, std::move(found)));
        return true;
    }
};

class XmlListHooks : public PropertyHooks {
public:
    bool get(Machine& m, Object* self, const Name& name, Value& out) override
    {
        if (onlyBuiltinNamespace(name)) {
            out = prototypeMethod(m, self, name.local);
            return !out.isUndefined();
        }
        XmlListHost* list = xmlListOf(self);
        std::uint32_t index = 0;
        if (!name.attribute && indexName(name.local, index)) {
            out = index < list->items.size() ? Value::object(wrapXml(m, list->items[index])) : Value::undefined();
            return true;
        }
        const XmlName xn = toXmlName(m, name);
        std::vector<XmlNodePtr> found;
        for (const auto& item : list->items) {
            if (item->isElement()) {
                auto part = childrenMatching(*item, xn);
                found.insert(found.end(), part.begin(), part.end());
            }
        }
        out = Value::object(newXmlList(m, std::move(found), self, &name));
        return true;
    }
    bool set(Machine& m, Object* self, const Name& name, const Value& value) override
    {
        XmlListHost* list = xmlListOf(self);
        std::uint32_t index = 0;
        if (!name.attribute && indexName(name.local, index)) {
            if (index < list->items.size()) {
                XmlNodePtr old = list->items[index];
                auto nodes = xmlNodesFor(m, value);
                if (XmlNode* parent = old->parent; parent && !nodes.empty()) {
                    const int at = old->indexInParent();
                    parent->children.erase(parent->children.begin() + at);
                    old->parent = nullptr;
                    xmlAppend(*parent, nodes, at);
                } else if (!nodes.empty() && old->isElement() && !xmlNodeOf(value.object())) {
                    for (auto& c : old->children)
                        c->parent = nullptr;
                    old->children.clear();
                    xmlAppend(*old, nodes);
                    return true;
                }
                if (!nodes.empty())
                    list->items[index] = nodes.front();
                return true;
            }
            // Past the end: a new child of the list's target, named as the list was.
            XmlNodePtr parent = xmlNodeOf(list->target);
            auto nodes = xmlNodesFor(m, value);
            if (parent && parent->isElement() && !list->targetName.local.isEmpty() && !xmlNodeOf(value.object())) {
                auto element = std::make_shared<XmlNode>();
                const XmlName xn = toXmlName(m, list->targetName);
                element->local = xn.local;
                element->uri = xn.anyUri || xn.uris.empty() ? QString() : xn.uris.front();
                xmlAppend(*element, nodes);
                nodes = { element };
            }
            if (parent && parent->isElement())
                xmlAppend(*parent, nodes);
            list->items.insert(list->items.end(), nodes.begin(), nodes.end());
            return true;
        }
        if (list->items.empty()) {
            // x.missing.child = v makes x.missing first.
            XmlNodePtr parent = xmlNodeOf(list->target);
            if (!parent || !parent->isElement() || list->targetName.local.isEmpty() || list->targetName.attribute)
                return true;
            auto element = std::make_shared<XmlNode>();
            const XmlName xn = toXmlName(m, list->targetName);
            element->local = xn.local;
            element->uri = xn.anyUri || xn.uris.empty() ? QString() : xn.uris.front();
            xmlAppend(*parent, { element });
            list->items.push_back(element);
        }
        if (list->items.size() != 1)
            m.throwError(ErrorClass::TypeError, 1089, QStringLiteral("Assignment to lists with more than one item is not supported."));
        if (list->items[0]->isElement())
            putChild(m, *list->items[0], toXmlName(m, name), value);
        return true;
    }
    std::optional<bool> has(Machine& m, Object* self, const Name& name) override
    {
        XmlListHost* list = xmlListOf(self);
        std::uint32_t index = 0;
        if (!name.attribute && indexName(name.local, index))
            return index < list->items.size();
        const XmlName xn = toXmlName(m, name);
        for (const auto& item : list->items) {
            if (item->isElement() && !childrenMatching(*item, xn).empty())
                return true;
        }
        return false;
    }
    std::optional<bool> remove(Machine& m, Object* self, const Name& name) override
    {
        XmlListHost* list = xmlListOf(self);
        std::uint32_t index = 0;
        if (!name.attribute && indexName(name.local, index)) {
            if (index < list->items.size()) {
                XmlNodePtr node = list->items[index];
                if (XmlNode* parent = node->parent) {
                    auto& from = node->kind == XmlNode::Kind::Attribute ? parent->attributes : parent->children;
                    std::erase(from, node);
                    node->parent = nullptr;
                }
                list->items.erase(list->items.begin() + index);
            }
            return true;
        }
        for (const auto& item : list->items) {
            if (item->isElement())
                XmlHooks().remove(m, wrapXml(m, item), name);
        }
        return true;
    }
    bool call(Machine& m, Object* self, const Name& name, Args args, Value& out) override
    {
        Value fn = prototypeMethod(m, self, name.local);
        if (fn.isObject()) {
            out = m.call(fn, Value::object(self), args);
            return true;
        }
        // A list of one answers for its item.
        XmlListHost* list = xmlListOf(self);
        if (list->items.size() == 1) {
            Object* item = wrapXml(m, list->items[0]);
            return item->hooks->call(m, item, name, args, out);
        }
        return false;
    }
    bool descendants(Machine& m, Object* self, const Name& name, Value& out) override
    {
        std::vector<XmlNodePtr> found;
        const XmlName xn = toXmlName(m, name);
        for (const auto& item : xmlListOf(self)->items)
            collectDescendants(*item, xn, found);
        out = Value::object(newXmlList(m, std::move(found)));
        return true;
    }
};

XmlHooks g_xmlHooks;
XmlListHooks g_xmlListHooks;

// A parse failure's stack trace has an empty line between the message and
// the methods, as the player prints it.
[[noreturn]] void parseFailed(Machine& m, const XmlParseError& error)
{
    Value thrown = m.makeError(ErrorClass::TypeError, error.id, error.message);
    if (Object* o = thrown.object(); o && o->type() == Object::Type::Error && o->host) {
        auto* stack = static_cast<QString*>(o->host.get());
        stack->prepend(QLatin1Char('\n'));
    }
    throw Thrown { thrown };
}

std::vector<XmlNodePtr> parseValue(Machine& m, const Value& v)
{
    std::vector<XmlNodePtr> nodes;
    XmlParseError error;
    if (!parseXmlContent(m.toString(v), xmlSettings(m), m.defaultXmlNamespace, nodes, error))
        parseFailed(m, error);
    return nodes;
}

Value constructXml(Machine& m, const Value& v, bool copy)
{
    if (XmlNodePtr node = xmlNodeOf(v.object()))
        return copy ? Value::object(wrapXml(m, node->deepCopy(nullptr))) : v;
    if (XmlListHost* list = xmlListOf(v.object())) {
        if (list->items.size() == 1)
            return constructXml(m, Value::object(wrapXml(m, list->items[0])), copy);
        m.throwError(ErrorClass::TypeError, 1088, QStringLiteral("The markup in the document following the root element must be well-formed."));
    }
    auto empty = [&]() {
        auto text = std::make_shared<XmlNode>();
        text->kind = XmlNode::Kind::Text;
        return Value::object(wrapXml(m, text));
    };
    if (v.isNullish())
        return empty();
    auto nodes = parseValue(m, v);
    if (nodes.empty())
        return empty();
    if (nodes.size() > 1)
        m.throwError(ErrorClass::TypeError, 1088, QStringLiteral("The markup in the document following the root element must be well-formed."));
    return Value::object(wrapXml(m, nodes.front()));
}

Value constructXmlList(Machine& m, const Value& v, bool copy)
{
    if (XmlListHost* list = xmlListOf(v.object())) {
        if (!copy)
            return v;
        std::vector<XmlNodePtr> items;
        for (const auto& item : list->items)
            items.push_back(item->deepCopy(nullptr));
        return Value::object(newXmlList(m, std::move(items)));
    }
    if (XmlNodePtr node = xmlNodeOf(v.object()))
        return Value::object(newXmlList(m, { node }));
    if (v.isNullish())
        return Value::object(newXmlList(m, {}));
    return Value::object(newXmlList(m, parseValue(m, v)));
}

} // namespace

bool XmlName::matches(const XmlNode& node) const
{
    if (attribute != (node.kind == XmlNode::Kind::Attribute))
        return false;
    if (anyLocal) {
        // Text, comments and instructions have no name: a wildcard under some
        // namespaces takes them, one under any namespace at all does not.
        if (node.kind != XmlNode::Kind::Element && node.kind != XmlNode::Kind::Attribute)
            return !explicitAnyUri;
        return anyUri || std::find(uris.begin(), uris.end(), node.uri) != uris.end();
    }
    if (node.kind != XmlNode::Kind::Element && node.kind != XmlNode::Kind::Attribute)
        return false;
    if (node.local != local)
        return false;
    return anyUri || std::find(uris.begin(), uris.end(), node.uri) != uris.end();
}

XmlName toXmlName(Machine& m, const Name& name)
{
    XmlName xn;
    xn.attribute = name.attribute;
    xn.local = name.local;
    if (!xn.attribute && xn.local.startsWith(QLatin1Char('@'))) {
        xn.attribute = true;
        xn.local = xn.local.mid(1);
    }
    xn.anyLocal = name.anyName || xn.local == QLatin1String("*");
    xn.anyUri = name.anyNamespace;
    xn.explicitAnyUri = name.anyNamespace;
    if (!xn.anyUri) {
        bool publicOnly = true;
        for (const Namespace& ns : name.namespaces) {
            if (ns.family == Namespace::Family::Private)
                continue;
            if (ns.isPublic() && !xn.attribute && !m.defaultXmlNamespace.isEmpty())
                xn.uris.push_back(m.defaultXmlNamespace);
            else
                xn.uris.push_back(ns.uri);
            publicOnly = publicOnly && ns.uri.isEmpty();
        }
        // A wildcard under no namespace at all reaches every namespace.
        if (xn.anyLocal && publicOnly && xn.uris.size() <= 1 && name.namespaces.size() <= 1 && xn.attribute)
            xn.anyUri = true;
        if (xn.anyLocal && !xn.attribute && publicOnly && m.defaultXmlNamespace.isEmpty())
            xn.anyUri = true;
    }
    return xn;
}

XmlName toXmlName(Machine& m, const Value& v)
{
    Name name;
    if (nameFromQName(v, name))
        return toXmlName(m, name);
    name = Name::publicName(m.toString(v));
    return toXmlName(m, name);
}

bool isXmlObject(const Object* o)
{
    return o && (o->type() == Object::Type::Xml || o->type() == Object::Type::XmlList);
}

XmlSettings& xmlSettings(Machine& m)
{
    ClassObject* cls = m.builtins().xml;
    if (!cls->host)
        cls->host = std::make_shared<XmlSettings>();
    return *static_cast<XmlSettings*>(cls->host.get());
}

XmlNodePtr xmlNodeOf(const Object* o)
{
    if (!o || o->type() != Object::Type::Xml)
        return nullptr;
    return std::static_pointer_cast<XmlNode>(o->host);
}

XmlListHost* xmlListOf(const Object* o)
{
    if (!o || o->type() != Object::Type::XmlList)
        return nullptr;
    return static_cast<XmlListHost*>(o->host.get());
}

Object* wrapXml(Machine& m, const XmlNodePtr& node)
{
    if (node->wrapper)
        return node->wrapper;
    ClassObject* cls = m.builtins().xml;
    auto o = m.allocate<Object>(Object::Type::Xml, cls, cls->instancePrototype, cls->instanceTraits);
    o->host = node;
    o->hooks = &g_xmlHooks;
    node->wrapper = o;
    return o;
}

Object* newXmlList(Machine& m, std::vector<XmlNodePtr> items, Object* target, const Name* targetName)
{
    ClassObject* cls = m.builtins().xmlList;
    auto o = m.allocate<Object>(Object::Type::XmlList, cls, cls->instancePrototype, cls->instanceTraits);
    auto host = std::make_shared<XmlListHost>();
    host->items = std::move(items);
    host->target = target;
    if (targetName)
        host->targetName = *targetName;
    o->host = host;
    o->hooks = &g_xmlListHooks;
    return o;
}

std::vector<XmlNodePtr> xmlNodesFor(Machine& m, const Value& v)
{
    // An attribute put among children becomes the text of its value.
    auto take = [](const XmlNodePtr& node) {
        if (node->kind == XmlNode::Kind::Attribute) {
            auto text = std::make_shared<XmlNode>();
            text->kind = XmlNode::Kind::Text;
            text->value = node->value;
            return text;
        }
        return node->parent ? node->deepCopy(nullptr) : node;
    };
    if (XmlNodePtr node = xmlNodeOf(v.object()))
        return { take(node) };
    if (XmlListHost* list = xmlListOf(v.object())) {
        std::vector<XmlNodePtr> out;
        for (const auto& item : list->items)
            out.push_back(take(item));
        return out;
    }
    auto text = std::make_shared<XmlNode>();
    text->kind = XmlNode::Kind::Text;
    text->value = m.toString(v);
    return { text };
}

void xmlAppend(XmlNode& parent, const std::vector<XmlNodePtr>& nodes, std::ptrdiff_t at)
{
    if (at < 0 || std::size_t(at) > parent.children.size())
        at = std::ptrdiff_t(parent.children.size());
    for (const auto& n : nodes) {
        if (n->kind == XmlNode::Kind::Attribute)
            continue;
        n->parent = &parent;
        parent.children.insert(parent.children.begin() + at++, n);
    }
}

QString xmlObjectToString(Machine& m, Object* o)
{
    if (XmlNodePtr node = xmlNodeOf(o))
        return xmlToString(*node, xmlSettings(m));
    XmlListHost* list = xmlListOf(o);
    if (!list)
        return QString();
    // A list is simple when it holds no element, or one element of simple content.
    bool simple = true;
    for (const auto& item : list->items)
        simple = simple && item->kind != XmlNode::Kind::Element;
    if (list->items.size() == 1 && list->items[0]->kind == XmlNode::Kind::Element)
        simple = xmlHasSimpleContent(*list->items[0]);
    QString s;
    for (std::size_t i = 0; i < list->items.size(); ++i) {
        if (simple) {
            if (list->items[i]->kind != XmlNode::Kind::Comment && list->items[i]->kind != XmlNode::Kind::Instruction)
                s += xmlToString(*list->items[i], xmlSettings(m));
            continue;
        }
        if (i)
            s += QLatin1Char('\n');
        s += xmlToXmlString(*list->items[i], xmlSettings(m), {}, 0);
    }
    return s;
}

bool xmlEquals(Machine& m, Object* xml, const Value& other)
{
    XmlListHost* list = xmlListOf(xml);
    if (list) {
        if (other.isUndefined() && list->items.empty())
            return true;
        if (XmlListHost* b = xmlListOf(other.object())) {
            if (b->items.size() != list->items.size())
                return false;
            for (std::size_t i = 0; i < b->items.size(); ++i) {
                if (!xmlEquals(m, wrapXml(m, list->items[i]), Value::object(wrapXml(m, b->items[i]))))
                    return false;
            }
            return true;
        }
        if (list->items.size() == 1)
            return xmlEquals(m, wrapXml(m, list->items[0]), other);
        return false;
    }
    XmlNodePtr a = xmlNodeOf(xml);
    if (XmlListHost* b = xmlListOf(other.object()))
        return b->items.size() == 1 && xmlEquals(m, xml, Value::object(wrapXml(m, b->items[0])));
    if (XmlNodePtr b = xmlNodeOf(other.object())) {
        if (a == b)
            return true;
        const bool aSimple = a->kind != XmlNode::Kind::Element || xmlHasSimpleContent(*a);
        const bool bSimple = b->kind != XmlNode::Kind::Element || xmlHasSimpleContent(*b);
        if (aSimple && bSimple && (a->kind != XmlNode::Kind::Element || b->kind != XmlNode::Kind::Element))
            return xmlToString(*a, xmlSettings(m)) == xmlToString(*b, xmlSettings(m));
        return xmlSameTree(*a, *b);
    }
    if (other.isNullish())
        return false;
    // Simple content compares as text with whatever it meets.
    if (a->kind != XmlNode::Kind::Element || xmlHasSimpleContent(*a))
        return xmlObjectToString(m, xml) == m.toString(other);
    return m.looseEquals(Value::string(xmlObjectToString(m, xml)), other.isObject() ? m.toPrimitive(other, false) : other);
}

Value xmlConcat(Machine& m, const Value& a, const Value& b)
{
    std::vector<XmlNodePtr> items;
    for (const Value& v : { a, b }) {
        if (XmlNodePtr node = xmlNodeOf(v.object()))
            items.push_back(node);
        else if (XmlListHost* list = xmlListOf(v.object()))
            items.insert(items.end(), list->items.begin(), list->items.end());
    }
    return Value::object(newXmlList(m, std::move(items)));
}

bool nameFromQName(const Value& v, Name& name)
{
    Object* o = v.object();
    if (!o || o->classObject() == nullptr || o->classObject()->name != QLatin1String("QName") || !o->host)
        return false;
    auto* q = static_cast<QNameHost*>(o->host.get());
    name = Name();
    name.local = q->local;
    name.anyNamespace = q->anyNamespace;
    name.attribute = q->attribute;
    if (!q->anyNamespace) {
        Namespace ns;
        ns.uri = q->uri;
        name.namespaces.push_back(ns);
    }
    return true;
}

Object* newNamespaceObject(Machine& m, const QString& prefix, bool hasPrefix, const QString& uri)
{
    ClassObject* cls = m.builtins().namespaceClass;
    auto o = m.allocate<Object>(Object::Type::Namespace, cls, cls->instancePrototype, cls->instanceTraits);
    o->primitive = Value::string(uri);
    o->host = std::make_shared<NamespaceHost>(NamespaceHost { prefix, hasPrefix });
    return o;
}

void installXmlClasses(Machine& m)
{
    auto& b = m.builtins();
    b.xml = m.defineClass(QString(), QStringLiteral("XML"), b.object, InstanceKind::Xml,
        [](Machine&, const Value&, Args) { return Value::undefined(); });
    b.xml->instanceHooks = &g_xmlHooks;
    b.xml->callAsFunction = [](Machine& m, const Value&, Args args) {
        return constructXml(m, args.empty() ? Value::undefined() : args[0], false);
    };
    b.xmlList = m.defineClass(QString(), QStringLiteral("XMLList"), b.object, InstanceKind::XmlList,
        [](Machine&, const Value&, Args) { return Value::undefined(); });
    b.xmlList->instanceHooks = &g_xmlListHooks;
    b.xmlList->callAsFunction = [](Machine& m, const Value&, Args args) {
        return constructXmlList(m, args.empty() ? Value::undefined() : args[0], false);
    };
    installXmlMethods(m);
}

Value constructXmlValue(Machine& m, ClassObject* cls, Args args)
{
    const Value v = args.empty() ? Value::undefined() : args[0];
    return cls == m.builtins().xml ? constructXml(m, v, true) : constructXmlList(m, v, true);
}

} // namespace swf::avm2
