#pragma once

// The tree behind XML and XMLList objects: elements, attributes, text,
// comments and processing instructions, read from text by a small reader of
// our own and written back the way the language prints them.

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace swf::avm2 {

class Object;

struct XmlNamespace {
    QString prefix;
    bool hasPrefix = false; // false: a namespace whose prefix is not known
    QString uri;
};

struct XmlNode;
using XmlNodePtr = std::shared_ptr<XmlNode>;

struct XmlNode {
    enum class Kind { Element, Text, Comment, Instruction, Attribute };
    Kind kind = Kind::Element;
    QString uri;      // elements and attributes
    QString prefix;   // the prefix the name was written with
    QString local;    // element and attribute names, an instruction's target
    QString value;    // text, comment, attribute value, instruction body
    bool cdata = false;
    std::vector<XmlNamespace> declarations; // xmlns attributes of an element
    std::vector<XmlNodePtr> attributes;
    std::vector<XmlNodePtr> children;
    XmlNode* parent = nullptr;
    Object* wrapper = nullptr; // the one script object that stands for this node

    bool isElement() const { return kind == Kind::Element; }
    bool isTextLike() const { return kind == Kind::Text; }
    XmlNodePtr deepCopy(XmlNode* newParent) const;
    int indexInParent() const;
    // The namespaces in scope here, innermost first.
    std::vector<XmlNamespace> inScope() const;
    std::optional<QString> prefixFor(const QString& uri) const;
};

struct XmlSettings {
    bool ignoreComments = true;
    bool ignoreProcessingInstructions = true;
    bool ignoreWhitespace = true;
    bool prettyPrinting = true;
    int prettyIndent = 2;
};

// Reads `text` as the content of an element: the nodes at its top level.
// On malformed text, `error` gets the message id and text the player gives.
struct XmlParseError {
    int id = 0;
    QString message;
};
bool parseXmlContent(const QString& text, const XmlSettings& settings, const QString& defaultNamespace,
    std::vector<XmlNodePtr>& out, XmlParseError& error);

// Equal trees: kinds, names, values and children in order; attributes as a set.
bool xmlSameTree(const XmlNode& a, const XmlNode& b);
QString xmlEscapeText(const QString& s);
QString xmlEscapeAttribute(const QString& s);
bool xmlIsWhitespace(const QString& s);

// toXMLString of one node; `ancestors` are the namespaces its printed parents declared.
QString xmlToXmlString(const XmlNode& node, const XmlSettings& settings, const std::vector<XmlNamespace>& ancestors, int indent);
// toString: the text of simple content, the markup of complex content.
bool xmlHasSimpleContent(const XmlNode& node);
QString xmlToString(const XmlNode& node, const XmlSettings& settings);

} // namespace swf::avm2
