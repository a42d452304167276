// XMLNode and XML: a node's links and names are accessors on
// XMLNode.prototype over the tree kept in XmlNodeObject; XML adds the
// document (parsing, the declarations, status) and loading from a file.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/builtins/LoadRequests.h"
#include "swf/avm1/builtins/XmlNode.h"
#include "swf/avm1/builtins/NativeText.h"
#include "swf/avm1/vm/Interpreter.h"

#include <unordered_set>

namespace swf::avm1 {

namespace {

XmlNodeObject* nodeOf(const Value& v)
{
    return dynamic_cast<XmlNodeObject*>(v.asObject());
}

Value nodeValue(XmlNodeObject* n)
{
    return n ? Value(static_cast<Object*>(n)) : Value::null();
}

Object* xmlNodePrototype(Interpreter& vm)
{
    Value ctor = vm.getMember(Value(vm.global()), QStringLiteral("XMLNode"));
    Object* proto = vm.getMember(ctor, QStringLiteral("prototype")).asObject();
    return proto ? proto : vm.objectPrototype();
}

// The prototype new nodes of a document get: XMLNode.prototype as scripts see it now.
Object* prototypeForNewNodes(Interpreter& vm)
{
    return xmlNodePrototype(vm);
}

struct Accessor {
    const char* name;
    Value (*get)(Interpreter&, XmlNodeObject*);
    void (*set)(Interpreter&, XmlNodeObject*, const Value&);
};

Value getAttributes(Interpreter&, XmlNodeObject* n) { return Value(n->attributes); }
Value getChildNodes(Interpreter&, XmlNodeObject* n) { return Value(static_cast<Object*>(n->childArray)); }
Value getFirstChild(Interpreter&, XmlNodeObject* n) { return nodeValue(n->children.empty() ? nullptr : n->children.front()); }
Value getLastChild(Interpreter&, XmlNodeObject* n) { return nodeValue(n->children.empty() ? nullptr : n->children.back()); }
Value getNextSibling(Interpreter&, XmlNodeObject* n) { return nodeValue(n->nextSibling()); }
Value getPreviousSibling(Interpreter&, XmlNodeObject* n) { return nodeValue(n->previousSibling()); }
Value getParentNode(Interpreter&, XmlNodeObject* n) { return nodeValue(n->parent); }
Value getNodeType(Interpreter&, XmlNodeObject* n) { return Value(n->type); }
Value getNodeName(Interpreter&, XmlNodeObject* n) { return n->type == XmlNodeObject::Element ? n->name : Value::null(); }
Value getNodeValue(Interpreter&, XmlNodeObject* n) { return n->type == XmlNodeObject::Element ? Value::null() : n->value; }

Value getLocalName(Interpreter&, XmlNodeObject* n)
{
    if (n->type != XmlNodeObject::Element || n->name.isNullish())
        return Value::null();
    return Value(n->localName());
}

Value getPrefix(Interpreter&, XmlNodeObject* n)
{
    // A document (an element without a name) has no prefix.
    if (n->type != XmlNodeObject::Element || n->name.isNullish())
        return Value::null();
    return Value(n->prefix());
}

Value getNamespaceUri(Interpreter& vm, XmlNodeObject* n)
{
    if (n->type != XmlNodeObject::Element || n->name.isNullish())
        return Value::null();
    Value uri = n->namespaceForPrefix(vm, n->prefix());
    return uri.isNull() ? Value(QString()) : uri;
}

// Setting undefined leaves the name as it was; anything else is taken as
// text, null too (the name becomes "null").
void setNodeName(Interpreter& vm, XmlNodeObject* n, const Value& v)
{
    if (n->type == XmlNodeObject::Element && !v.isUndefined())
        n->name = Value(nativeText(vm, v));
}

void setNodeValue(Interpreter& vm, XmlNodeObject* n, const Value& v)
{
    if (n->type != XmlNodeObject::Element)
        n->value = v.isNullish() ? Value::null() : Value(vm.toString(v));
}

void setAttributes(Interpreter&, XmlNodeObject* n, const Value& v)
{
    if (Object* o = v.asObject())
        n->attributes = o;
}

const Accessor nodeAccessors[] = {
    { "attributes", getAttributes, setAttributes },
    { "childNodes", getChildNodes, nullptr },
    { "firstChild", getFirstChild, nullptr },
    { "lastChild", getLastChild, nullptr },
    { "localName", getLocalName, nullptr },
    { "namespaceURI", getNamespaceUri, nullptr },
    { "nextSibling", getNextSibling, nullptr },
    { "nodeName", getNodeName, setNodeName },
    { "nodeType", getNodeType, nullptr },
    { "nodeValue", getNodeValue, setNodeValue },
    { "parentNode", getParentNode, nullptr },
    { "prefix", getPrefix, nullptr },
    { "previousSibling", getPreviousSibling, nullptr },
};

// The node properties (nodeName, firstChild, ...) live on XMLNode.prototype.
// The player puts them there when it makes a node by XMLNode or by
// createElement/createTextNode, on whatever XMLNode.prototype is then; a
// prototype a script put in place gets them only that way.
void installNodeAccessors(Interpreter& vm, Object* proto)
{
    if (!proto)
        return;
    if (const Property* p = proto->findOwn(QStringLiteral("nodeType")); p && p->alive && p->getter)
        return;
    for (const Accessor& acc : nodeAccessors) {
        const QString name = QString::fromLatin1(acc.name);
        auto get = acc.get;
        auto set = acc.set;
        proto->define(name, Value(), 0);
        Property* p = proto->findOwn(name);
        p->getter = vm.newNative(name, [get](Interpreter& vm, CallArgs& a) -> Value {
            XmlNodeObject* n = nodeOf(a.thisValue);
            return n ? get(vm, n) : Value();
        });
        p->setter = vm.newNative(name, [set](Interpreter& vm, CallArgs& a) -> Value {
            XmlNodeObject* n = nodeOf(a.thisValue);
            if (n && set)
                set(vm, n, a.arg(0));
            return Value();
        });
    }
}

XmlNodeObject* cloneTree(Interpreter& vm, XmlNodeObject* n, bool deep, std::unordered_set<XmlNodeObject*>& path)
{
    XmlNodeObject* copy = newXmlNode(vm, n->proto(), n->type, n->type == XmlNodeObject::Element ? n->name : n->value);
    giveNodeConstructor(vm, copy);
    if (n->attributes) {
        const QStringList names = n->attributes->ownNames(false);
        for (auto it = names.crbegin(); it != names.crend(); ++it)
            copy->attributes->put(*it, vm.getMember(Value(n->attributes), *it));
    }
    // A node met again below itself (a loop a script made) is not copied twice.
    if (deep && path.size() < 1024 && path.insert(n).second) {
        for (XmlNodeObject* c : n->children) {
            if (path.count(c))
                continue;
            XmlNodeObject* cc = cloneTree(vm, c, true, path);
            cc->parent = copy;
            copy->children.push_back(cc);
        }
        path.erase(n);
        copy->refreshChildArray();
    }
    return copy;
}

// The node made in place of the object `new` made takes over the marks
// `new` left on it, with their flags and the versions that see them.
void takeConstructedMarks(const Object* made, XmlNodeObject* node)
{
    if (!made)
        return;
    for (const char* name : { "__constructor__", "constructor" }) {
        const Property* p = made->findOwn(QString::fromLatin1(name));
        if (!p || !p->alive)
            continue;
        node->define(QString::fromLatin1(name), p->value, p->flags);
        Property* copy = node->findOwn(QString::fromLatin1(name));
        copy->versionBits = p->versionBits;
        copy->minVersion = p->minVersion;
    }
}

} // namespace

static Value xmlNodeConstructor(Interpreter& vm, CallArgs& a)
{
    // Without a type and a value the object is no node: its accessors read
    // undefined. Type 1 makes an element, any other type a text node; the
    // value is taken as text (null too, as "null").
    if (a.args.size() < 2 || !a.constructing || a.arg(0).isUndefined() || a.arg(1).isUndefined())
        return Value();
    const int type = vm.toNumber(a.arg(0)) == 1 ? XmlNodeObject::Element : XmlNodeObject::Text;
    Object* self = a.thisObject();
    Object* proto = self ? self->proto() : xmlNodePrototype(vm);
    XmlNodeObject* node = newXmlNode(vm, proto, type, Value(nativeText(vm, a.arg(1))));
    installNodeAccessors(vm, proto);
    takeConstructedMarks(self, node);
    return Value(static_cast<Object*>(node));
}

// Movies before version 8 may make a node its own descendant.
static bool loopsAllowed(const Interpreter& vm)
{
    return vm.version() < 8;
}

static Value xmlNodeAppendChild(Interpreter& vm, CallArgs& a)
{
    XmlNodeObject* self = nodeOf(a.thisValue);
    XmlNodeObject* child = nodeOf(a.arg(0));
    // A node that is already this node's child stays where it is.
    if (self && child && child->parent != self)
        self->insertChild(child, self->children.size(), loopsAllowed(vm));
    return Value();
}

static Value xmlNodeInsertBefore(Interpreter& vm, CallArgs& a)
{
    XmlNodeObject* self = nodeOf(a.thisValue);
    XmlNodeObject* child = nodeOf(a.arg(0));
    XmlNodeObject* before = nodeOf(a.arg(1));
    if (!self || !child || !before || before->parent != self || child == before)
        return Value();
    self->insertChild(child, size_t(before->indexInParent()), loopsAllowed(vm));
    return Value();
}

static Value xmlNodeRemoveNode(Interpreter&, CallArgs& a)
{
    if (XmlNodeObject* self = nodeOf(a.thisValue))
        self->removeFromParent();
    return Value();
}

static Value xmlNodeCloneNode(Interpreter& vm, CallArgs& a)
{
    XmlNodeObject* self = nodeOf(a.thisValue);
    if (!self)
        return Value();
    std::unordered_set<XmlNodeObject*> path;
    return Value(static_cast<Object*>(cloneTree(vm, self, vm.toBoolean(a.arg(0)), path)));
}

static Value xmlNodeHasChildNodes(Interpreter&, CallArgs& a)
{
    XmlNodeObject* self = nodeOf(a.thisValue);
    if (!self)
        return Value();
    return Value(!self->children.empty());
}

static Value xmlNodeToString(Interpreter& vm, CallArgs& a)
{
    XmlNodeObject* self = nodeOf(a.thisValue);
    if (!self)
        return Value();
    QString out;
    // A document writes its declarations before its nodes.
    if (self->name.isNullish() && self->type == XmlNodeObject::Element) {
        for (const char* decl : { "xmlDecl", "docTypeDecl" }) {
            const Value d = vm.getMember(a.thisValue, QString::fromLatin1(decl));
            if (!d.isNullish())
                out += vm.toString(d);
        }
    }
    return Value(out + xmlNodeToString(vm, self));
}

static Value xmlNodeGetNamespaceForPrefix(Interpreter& vm, CallArgs& a)
{
    XmlNodeObject* self = nodeOf(a.thisValue);
    if (!self)
        return Value();
    // Asked for no prefix at all, a node knows no namespace.
    if (a.args.empty())
        return Value::null();
    return self->namespaceForPrefix(vm, vm.toString(a.arg(0)));
}

static Value xmlNodeGetPrefixForNamespace(Interpreter& vm, CallArgs& a)
{
    XmlNodeObject* self = nodeOf(a.thisValue);
    if (!self || a.args.empty())
        return Value();
    return self->prefixForNamespace(vm, vm.toString(a.arg(0)));
}

const NativeMethod xmlNodeMethods[] = {
    { "appendChild", xmlNodeAppendChild, 0 },
    { "cloneNode", xmlNodeCloneNode, 0 },
    { "getNamespaceForPrefix", xmlNodeGetNamespaceForPrefix, 0 },
    { "getPrefixForNamespace", xmlNodeGetPrefixForNamespace, 0 },
    { "hasChildNodes", xmlNodeHasChildNodes, 0 },
    { "insertBefore", xmlNodeInsertBefore, 0 },
    { "removeNode", xmlNodeRemoveNode, 0 },
    { "toString", xmlNodeToString, 0 },
};

static Value xmlParse(Interpreter& vm, CallArgs& a)
{
    XmlNodeObject* self = nodeOf(a.thisValue);
    if (!self)
        return Value();
    // Nothing to parse leaves the document as it was; anything else replaces
    // it whole, declarations included.
    if (a.arg(0).isUndefined())
        return Value();
    const QString source = nativeText(vm, a.arg(0));
    const bool ignoreWhite = vm.toBoolean(vm.getMember(a.thisValue, QStringLiteral("ignoreWhite")));
    const XmlParseResult r = parseXmlInto(vm, self, source, ignoreWhite, prototypeForNewNodes(vm));
    const Value xmlDecl = r.hasXmlDecl ? Value(r.xmlDecl) : Value();
    const Value docTypeDecl = r.hasDocTypeDecl ? Value(r.docTypeDecl) : Value();
    if (self->document) {
        // A document's declarations go as the parse found them, missing ones
        // too (a script cannot set them to undefined).
        self->document->status = r.status;
        self->document->xmlDecl = xmlDecl;
        self->document->docTypeDecl = docTypeDecl;
        return Value();
    }
    vm.setMember(a.thisValue, QStringLiteral("status"), Value(r.status));
    vm.setMember(a.thisValue, QStringLiteral("xmlDecl"), xmlDecl);
    vm.setMember(a.thisValue, QStringLiteral("docTypeDecl"), docTypeDecl);
    return Value();
}

static Value xmlConstructor(Interpreter& vm, CallArgs& a)
{
    if (!a.constructing)
        return Value();
    Object* self = a.thisObject();
    Object* proto = self ? self->proto() : vm.objectPrototype();
    XmlNodeObject* doc = newXmlNode(vm, proto, XmlNodeObject::Element, Value::null());
    takeConstructedMarks(self, doc);
    doc->document = std::make_unique<XmlNodeObject::Document>();
    if (!a.arg(0).isUndefined()) {
        vm.callMethodSafely(doc, QStringLiteral("parseXML"), { a.arg(0) });
    }
    return Value(static_cast<Object*>(doc));
}

// createElement and createTextNode: no node without a name or text
// (undefined); anything else is taken as text.
template<int Type>
static Value xmlCreateNode(Interpreter& vm, CallArgs& a)
{
    if (a.arg(0).isUndefined())
        return Value();
    Object* proto = prototypeForNewNodes(vm);
    installNodeAccessors(vm, proto);
    XmlNodeObject* node = newXmlNode(vm, proto, Type, Value(nativeText(vm, a.arg(0))));
    giveNodeConstructor(vm, node);
    return Value(static_cast<Object*>(node));
}

// The default onData: parse what came, mark the document loaded, tell onLoad.
static Value xmlOnData(Interpreter& vm, CallArgs& a)
{
    Object* self = a.thisObject();
    if (!self)
        return Value();
    if (a.arg(0).isUndefined()) {
        vm.call(vm.getMember(a.thisValue, QStringLiteral("onLoad")), a.thisValue, { Value(false) });
        return Value();
    }
    vm.call(vm.getMember(a.thisValue, QStringLiteral("parseXML")), a.thisValue, { a.arg(0) });
    vm.setMember(a.thisValue, QStringLiteral("loaded"), Value(true));
    vm.call(vm.getMember(a.thisValue, QStringLiteral("onLoad")), a.thisValue, { Value(true) });
    return Value();
}

static Value xmlLoad(Interpreter& vm, CallArgs& a)
{
    Object* self = a.thisObject();
    if (!self || a.args.empty())
        return Value(false);
    return Value(requestText(vm, self, vm.toString(a.arg(0))));
}

static Value xmlSendAndLoad(Interpreter& vm, CallArgs& a)
{
    // Nothing is sent anywhere: the target is loaded from the address as a plain load.
    Object* target = a.arg(1).asObject();
    if (!a.thisObject() || !target || a.args.empty())
        return Value(false);
    return Value(requestText(vm, target, vm.toString(a.arg(0))));
}

const NativeMethod xmlMethods[] = {
    { "createElement", xmlCreateNode<XmlNodeObject::Element>, 0 },
    { "createTextNode", xmlCreateNode<XmlNodeObject::Text>, 0 },
    { "load", xmlLoad, 0 },
    { "parseXML", xmlParse, 0 },
    { "send", Builtins::refuse, 0 },
    { "sendAndLoad", xmlSendAndLoad, 0 },
};

// XMLSocket's default onData: what came is read as a document and handed
// to onXML. The socket itself never connects (see the placeholder classes).
static Value xmlSocketOnData(Interpreter& vm, CallArgs& a)
{
    if (!a.thisObject())
        return Value();
    const Value doc = vm.construct(vm.getMember(Value(vm.global()), QStringLiteral("XML")), { a.arg(0) });
    vm.call(vm.getMember(a.thisValue, QStringLiteral("onXML")), a.thisValue, { doc });
    return Value();
}

void installXml(Interpreter& vm)
{
    Object* nodeProto = vm.newObject();
    auto* nodeCtor = vm.newConstructor(QStringLiteral("XMLNode"), xmlNodeConstructor, nodeProto);
    vm.global()->define(QStringLiteral("XMLNode"), Value(static_cast<Object*>(nodeCtor)), DontEnum);
    vm.defineMethods(nodeProto, xmlNodeMethods);
    installNodeAccessors(vm, nodeProto);

    Object* xmlProto = vm.newObject(nodeProto);
    // Version 5 movies do not see the link XML.prototype keeps to XMLNode.
    xmlProto->define(QStringLiteral("__constructor__"), Value(static_cast<Object*>(nodeCtor)), DontEnum);
    xmlProto->findOwn(QStringLiteral("__constructor__"))->minVersion = 6;
    auto* xmlCtor = vm.newNative(QStringLiteral("XML"), xmlConstructor, xmlProto);
    vm.global()->define(QStringLiteral("XML"), Value(static_cast<Object*>(xmlCtor)), DontEnum);
    vm.defineMethods(xmlProto, xmlMethods);
    installLoadingMethods(vm, xmlProto, xmlOnData, 0);

    const Value socket = vm.getMember(Value(vm.global()), QStringLiteral("XMLSocket"));
    if (Object* socketProto = vm.getMember(socket, QStringLiteral("prototype")).asObject())
        defineScriptLikeMethod(vm, socketProto, "onData", xmlSocketOnData, DontEnum | DontDelete);
}

} // namespace swf::avm1
