#pragma once

// A node of a script's XML tree: an element or a text node, its attributes
// (a plain script object the movie may edit freely), its children and its
// place among its siblings. XML documents are nodes too (the root, an
// element without a name). Nodes are script objects, so the collector keeps
// a whole tree alive through any node of it.

#include "swf/avm1/vm/Object.h"

#include <QString>

#include <memory>
#include <vector>

namespace swf::avm1 {

class Interpreter;

class XmlNodeObject : public Object {
public:
    enum Type { Element = 1, Text = 3 };

    XmlNodeObject(Object* proto, bool caseSensitive) : Object(Kind::Plain, proto, caseSensitive) { }

    int type = Element;
    // Element name (null for a document root) or text of a text node.
    Value name;
    Value value;
    Object* attributes = nullptr;
    XmlNodeObject* parent = nullptr;
    std::vector<XmlNodeObject*> children;

    // The childNodes array scripts see; rebuilt whenever the children change,
    // so a script that edits the array changes nothing in the tree.
    ArrayObject* childArray = nullptr;

    // Makes `child` the child at `index` (the end when out of range), taking
    // it from its old parent first. Movies before version 8 may put a node
    // under itself or under one of its descendants (allowLoops); every walk
    // over the tree stops where such a loop closes. Otherwise that is refused
    // (false).
    bool insertChild(XmlNodeObject* child, size_t index, bool allowLoops = false);
    void removeFromParent();
    int indexInParent() const;
    XmlNodeObject* nextSibling() const;
    XmlNodeObject* previousSibling() const;
    void refreshChildArray();

    // prefix:local of an element name; empty prefix when there is no colon.
    QString prefix() const;
    QString localName() const;
    // The namespace bound to `prefix` by an xmlns attribute here or on an
    // ancestor; null Value when none is.
    Value namespaceForPrefix(Interpreter& vm, const QString& prefix) const;
    Value prefixForNamespace(Interpreter& vm, const QString& uri) const;
    // This node and its ancestors, nearest first, each once.
    std::vector<const XmlNodeObject*> ancestry() const;

    void markChildren(std::vector<Object*>& stack) override;

    // What an XML document (not a plain node) keeps besides its tree. Scripts
    // reach it as properties of the document that no listing shows, each
    // converting what is set the player's way; setting undefined is ignored
    // (only a parse clears the declarations).
    struct Document {
        Value contentType; // undefined until set: then the prototype's, or the form type
        Value docTypeDecl;
        Value xmlDecl;
        Value ignoreWhite; // undefined until set: then the prototype's, or false
        Value loaded;
        int status = 0;
    };
    std::unique_ptr<Document> document;

    bool getVirtual(Interpreter& vm, const QString& name, Value& out) override;
    bool setVirtual(Interpreter& vm, const QString& name, const Value& value) override;
    bool hasVirtual(Interpreter& vm, const QString& name) override;
};

// Creates a node with its attributes object (an object of no class, with
// no prototype) and its childNodes array (an Array the player made).
XmlNodeObject* newXmlNode(Interpreter& vm, Object* proto, int type, const Value& nameOrValue);
// A node the player makes itself (parsing, createElement, cloneNode) names
// XMLNode as its constructor, hidden and permanent.
void giveNodeConstructor(Interpreter& vm, XmlNodeObject* node);
// The node and its subtree as XML text.
QString xmlNodeToString(Interpreter& vm, XmlNodeObject* node);

// The status codes a parse leaves on an XML object.
enum XmlStatus {
    XmlOk = 0,
    XmlCdataUnterminated = -2,
    XmlDeclUnterminated = -3,
    XmlDocTypeUnterminated = -4,
    XmlCommentUnterminated = -5,
    XmlMalformedElement = -6,
    XmlOutOfMemory = -7,
    XmlAttributeUnterminated = -8,
    XmlMissingEndTag = -9,
    XmlMissingStartTag = -10,
};

struct XmlParseResult {
    int status = XmlOk;
    // The text of <?xml ...?> and <!DOCTYPE ...>, when the source had them.
    QString xmlDecl;
    bool hasXmlDecl = false;
    QString docTypeDecl;
    bool hasDocTypeDecl = false;
};

// Parses `source` into children of `root` (which is emptied first). Nodes
// read before an error stay in the tree, as the player leaves them.
XmlParseResult parseXmlInto(Interpreter& vm, XmlNodeObject* root, const QString& source, bool ignoreWhite,
    Object* nodeProto);

} // namespace swf::avm1
