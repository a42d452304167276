#pragma once

// What the machine's core needs to know of XML, XMLList, QName and Namespace
// objects: their text, their kind, and names given as QName objects.

#include "swf/avm2/builtins/XmlTree.h"
#include "swf/avm2/vm/Object.h"

namespace swf::avm2 {

class Machine;

bool isXmlObject(const Object* o); // XML or XMLList
QString xmlObjectToString(Machine& machine, Object* o);
// E4X equality of an XML or XMLList with any value.
bool xmlEquals(Machine& machine, Object* xml, const Value& other);
// XML + XML: an XMLList of both.
Value xmlConcat(Machine& machine, const Value& a, const Value& b);

struct QNameHost {
    QString uri;
    QString local;
    bool anyNamespace = false; // made with a null namespace: matches any
    bool attribute = false;    // the name of an attribute: as a property name it reaches attributes
};
// A QName object given as a property name: its namespace and local name.
bool nameFromQName(const Value& v, Name& name);

struct NamespaceHost {
    QString prefix;
    bool hasPrefix = false;
};
Object* newNamespaceObject(Machine& machine, const QString& prefix, bool hasPrefix, const QString& uri);

// --- Shared by the XML class files.
struct XmlListHost {
    std::vector<XmlNodePtr> items;
    Object* target = nullptr; // what x.name was read from, for x.name = v and x.name.appendChild
    Name targetName;
};
// A name as XML reads it: attribute or element, a local name or any, a set of URIs or any.
struct XmlName {
    bool attribute = false;
    bool anyLocal = false;
    QString local;
    bool anyUri = false;
    bool explicitAnyUri = false; // asked for any namespace, not only the public one
    std::vector<QString> uris;
    bool matches(const XmlNode& node) const;
};
XmlName toXmlName(Machine& machine, const Name& name);
XmlName toXmlName(Machine& machine, const Value& v); // from a method argument (string, QName, ...)
XmlSettings& xmlSettings(Machine& machine);
XmlNodePtr xmlNodeOf(const Object* o); // null unless o is XML
XmlListHost* xmlListOf(const Object* o); // null unless o is XMLList
Object* wrapXml(Machine& machine, const XmlNodePtr& node);
Object* newXmlList(Machine& machine, std::vector<XmlNodePtr> items, Object* target = nullptr, const Name* targetName = nullptr);
// The nodes a value stands for, when put into a tree: copies of XML, text for the rest.
std::vector<XmlNodePtr> xmlNodesFor(Machine& machine, const Value& v);
void xmlAppend(XmlNode& parent, const std::vector<XmlNodePtr>& nodes, std::ptrdiff_t at = -1);
void installXmlMethods(Machine& machine);

} // namespace swf::avm2
