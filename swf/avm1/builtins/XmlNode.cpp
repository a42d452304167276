// The XML tree: node bookkeeping, namespaces, writing a tree as text and
// entity escaping. The parser is in XmlParser.cpp, the script classes in
// XmlClass.cpp.

#include "swf/avm1/builtins/XmlNode.h"
#include "swf/avm1/builtins/NativeText.h"
#include "swf/avm1/vm/Interpreter.h"
#include "swf/io/XmlScanner.h"

#include <algorithm>
#include <unordered_set>

namespace swf::avm1 {

bool XmlNodeObject::insertChild(XmlNodeObject* child, size_t index, bool allowLoops)
{
    if (!child)
        return false;
    if (!allowLoops) {
        for (const XmlNodeObject* n : ancestry()) {
            if (n == child)
                return false;
        }
    }
    if (child->parent == this) {
        // Moving within the same parent: the index counts the child's old place.
        const int old = child->indexInParent();
        if (old >= 0 && size_t(old) < index)
            --index;
    }
    child->removeFromParent();
    index = std::min(index, children.size());
    children.insert(children.begin() + std::ptrdiff_t(index), child);
    child->parent = this;
    refreshChildArray();
    return true;
}

void XmlNodeObject::removeFromParent()
{
    if (!parent)
        return;
    XmlNodeObject* p = parent;
    auto it = std::find(p->children.begin(), p->children.end(), this);
    if (it != p->children.end())
        p->children.erase(it);
    parent = nullptr;
    p->refreshChildArray();
}

int XmlNodeObject::indexInParent() const
{
    if (!parent)
        return -1;
    auto it = std::find(parent->children.begin(), parent->children.end(), this);
    return it == parent->children.end() ? -1 : int(it - parent->children.begin());
}

XmlNodeObject* XmlNodeObject::nextSibling() const
{
    const int i = indexInParent();
    if (i < 0 || size_t(i + 1) >= parent->children.size())
        return nullptr;
    return parent->children[size_t(i + 1)];
}

XmlNodeObject* XmlNodeObject::previousSibling() const
{
    const int i = indexInParent();
    return i <= 0 ? nullptr : parent->children[size_t(i - 1)];
}

void XmlNodeObject::refreshChildArray()
{
    if (!childArray)
        return;
    // Scripts read the children through the array but cannot write them
    // (the bit can be cleared with ASSetPropFlags, as on any member).
    childArray->elements.clear();
    childArray->elementBits.assign(children.size(), ReadOnly);
    for (XmlNodeObject* c : children)
        childArray->elements.push_back(Value(static_cast<Object*>(c)));
}

// The name splits at its first colon when something follows that colon:
// "a:b" is a and b, "a::b" is a and ":b", ":b" is "" and b; a name ending in
// its only colon ("a:") is all local name.
static int prefixColon(const Value& name)
{
    if (!name.isString())
        return -1;
    const QString& n = name.asString();
    const int colon = n.indexOf(QLatin1Char(':'));
    return colon >= 0 && colon + 1 < n.size() ? colon : -1;
}

QString XmlNodeObject::prefix() const
{
    const int colon = prefixColon(name);
    return colon < 0 ? QString(QLatin1String("")) : name.asString().left(colon);
}

QString XmlNodeObject::localName() const
{
    if (!name.isString())
        return QString();
    const int colon = prefixColon(name);
    return colon < 0 ? name.asString() : name.asString().mid(colon + 1);
}

std::vector<const XmlNodeObject*> XmlNodeObject::ancestry() const
{
    // Each node is listed once: a node made its own ancestor closes the walk.
    std::vector<const XmlNodeObject*> out;
    std::unordered_set<const XmlNodeObject*> seen;
    for (const XmlNodeObject* n = this; n && seen.insert(n).second; n = n->parent)
        out.push_back(n);
    return out;
}

Value XmlNodeObject::namespaceForPrefix(Interpreter& vm, const QString& wanted) const
{
    const QString attr = wanted.isEmpty() ? QStringLiteral("xmlns") : QStringLiteral("xmlns:") + wanted;
    for (const XmlNodeObject* n : ancestry()) {
        if (n->type != Element || !n->attributes)
            continue;
        if (Property* p = n->attributes->findOwn(attr))
            return Value(vm.toString(p->value));
    }
    return Value::null();
}

Value XmlNodeObject::prefixForNamespace(Interpreter& vm, const QString& uri) const
{
    for (const XmlNodeObject* n : ancestry()) {
        if (n->type != Element || !n->attributes)
            continue;
        const QStringList names = n->attributes->ownNames(false);
        for (auto it = names.crbegin(); it != names.crend(); ++it) {
            const QString& key = *it;
            if (key != QLatin1String("xmlns") && !key.startsWith(QLatin1String("xmlns:")))
                continue;
            const Property* p = n->attributes->findOwn(key);
            if (p && vm.toString(p->value) == uri)
                return Value(key.size() > 6 ? key.mid(6) : QString());
        }
    }
    return Value::null();
}

namespace {

enum class DocumentField { None, ContentType, DocTypeDecl, XmlDecl, IgnoreWhite, Loaded, Status };

DocumentField documentField(const QString& name, bool caseSensitive)
{
    static const struct {
        const char* name;
        DocumentField field;
    } fields[] = {
        { "contentType", DocumentField::ContentType }, { "docTypeDecl", DocumentField::DocTypeDecl },
        { "xmlDecl", DocumentField::XmlDecl }, { "ignoreWhite", DocumentField::IgnoreWhite },
        { "loaded", DocumentField::Loaded }, { "status", DocumentField::Status },
    };
    for (const auto& f : fields) {
        if (name.compare(QLatin1String(f.name), caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0)
            return f.field;
    }
    return DocumentField::None;
}

} // namespace

bool XmlNodeObject::getVirtual(Interpreter& vm, const QString& name, Value& out)
{
    if (!document)
        return false;
    // Unset, contentType and ignoreWhite read what the prototypes say, so a
    // movie may set them for every document on XML.prototype.
    auto inherited = [&](const Value& own, const Value& fallback) {
        if (!own.isUndefined())
            return own;
        Value v = proto() ? vm.getMember(Value(proto()), name) : Value();
        return v.isUndefined() ? fallback : v;
    };
    switch (documentField(name, caseSensitive())) {
    case DocumentField::None: return false;
    case DocumentField::ContentType:
        out = inherited(document->contentType, Value(QStringLiteral("application/x-www-form-urlencoded")));
        return true;
    case DocumentField::DocTypeDecl: out = document->docTypeDecl; return true;
    case DocumentField::XmlDecl: out = document->xmlDecl; return true;
    case DocumentField::IgnoreWhite: out = Value(vm.toBoolean(inherited(document->ignoreWhite, Value(false)))); return true;
    case DocumentField::Loaded: out = document->loaded; return true;
    case DocumentField::Status: out = Value(document->status); return true;
    }
    return false;
}

bool XmlNodeObject::setVirtual(Interpreter& vm, const QString& name, const Value& value)
{
    if (!document)
        return false;
    const DocumentField field = documentField(name, caseSensitive());
    if (field == DocumentField::None)
        return false;
    if (value.isUndefined())
        return true;
    // The flags and the status ask an object for its text before they
    // convert it (a boolean, a number), as the player's setters do.
    const bool converted = field == DocumentField::IgnoreWhite || field == DocumentField::Loaded || field == DocumentField::Status;
    if (converted && value.isObject())
        nativeText(vm, value);
    switch (field) {
    case DocumentField::None: break;
    case DocumentField::ContentType: document->contentType = value; break;
    case DocumentField::DocTypeDecl: document->docTypeDecl = value; break;
    case DocumentField::XmlDecl: document->xmlDecl = value; break;
    case DocumentField::IgnoreWhite: document->ignoreWhite = Value(vm.toBoolean(value)); break;
    case DocumentField::Loaded: document->loaded = Value(vm.toBoolean(value)); break;
    case DocumentField::Status: document->status = toInt32(vm.toNumber(value)); break;
    }
    return true;
}

bool XmlNodeObject::hasVirtual(Interpreter&, const QString& name)
{
    return document && documentField(name, caseSensitive()) != DocumentField::None;
}

void XmlNodeObject::markChildren(std::vector<Object*>& stack)
{
    Object::markChildren(stack);
    if (document) {
        for (const Value* v : { &document->contentType, &document->docTypeDecl, &document->xmlDecl })
            if (v->isObject())
                stack.push_back(v->asObject());
    }
    if (name.isObject())
        stack.push_back(name.asObject());
    if (value.isObject())
        stack.push_back(value.asObject());
    if (attributes)
        stack.push_back(attributes);
    if (parent)
        stack.push_back(parent);
    if (childArray)
        stack.push_back(childArray);
    for (XmlNodeObject* c : children)
        stack.push_back(c);
}

XmlNodeObject* newXmlNode(Interpreter& vm, Object* proto, int type, const Value& nameOrValue)
{
    auto* node = vm.make<XmlNodeObject>(proto, vm.caseSensitive());
    node->type = type;
    if (type == XmlNodeObject::Element) {
        node->name = nameOrValue;
        node->value = Value::null();
    } else {
        node->name = Value::null();
        node->value = nameOrValue;
    }
    node->attributes = vm.newObject(nullptr);
    node->childArray = vm.newArray();
    if (Object* arrayClass = vm.getMember(Value(vm.global()), QStringLiteral("Array")).asObject())
        node->childArray->define(QStringLiteral("constructor"), Value(arrayClass), DontEnum | DontDelete);
    return node;
}

void giveNodeConstructor(Interpreter& vm, XmlNodeObject* node)
{
    if (Object* nodeClass = vm.getMember(Value(vm.global()), QStringLiteral("XMLNode")).asObject())
        node->define(QStringLiteral("constructor"), Value(nodeClass), DontEnum | DontDelete);
}

static void writeNode(Interpreter& vm, XmlNodeObject* node, QString& out, std::unordered_set<XmlNodeObject*>& path)
{
    // A tree deeper than this was built to hurt; its far end is left out, as
    // is a node met again below itself (a script made it its own descendant).
    if (path.size() > 4096 || path.count(node))
        return;
    if (node->type != XmlNodeObject::Element) {
        if (!node->value.isNullish())
            out += xml::escapeEntities(vm.toString(node->value));
        return;
    }
    const bool named = !node->name.isNullish();
    if (named) {
        out += QLatin1Char('<');
        out += vm.toString(node->name);
        if (node->attributes) {
            // Attributes in the order they were set.
            const QStringList names = node->attributes->ownNames(false);
            for (auto it = names.crbegin(); it != names.crend(); ++it) {
                out += QLatin1Char(' ');
                out += *it;
                out += QLatin1String("=\"");
                out += xml::escapeEntities(vm.toString(vm.getMember(Value(node->attributes), *it)));
                out += QLatin1Char('"');
            }
        }
        if (node->children.empty()) {
            out += QLatin1String(" />");
            return;
        }
        out += QLatin1Char('>');
    }
    // Copy: a toString called on an attribute value may change the tree.
    const std::vector<XmlNodeObject*> children = node->children;
    path.insert(node);
    for (XmlNodeObject* c : children)
        writeNode(vm, c, out, path);
    path.erase(node);
    if (named) {
        out += QLatin1String("</");
        out += vm.toString(node->name);
        out += QLatin1Char('>');
    }
}

QString xmlNodeToString(Interpreter& vm, XmlNodeObject* node)
{
    QString out;
    std::unordered_set<XmlNodeObject*> path;
    writeNode(vm, node, out, path);
    return out;
}

} // namespace swf::avm1
