// How XML and XMLNode take the values scripts hand them: names split at a
// colon that has something after it, undefined leaves things as they were,
// objects give their text through toString alone, and a document's own
// properties convert what is set (a flag to a boolean, the status to a
// whole number).

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// n = new XMLNode(1, "start"); n.nodeName = name; trace(n.nodeName, n.prefix, n.localName)
S renamed(Asm::Item name)
{
    S s;
    s.assign("n", S().construct("XMLNode", { 1, "start" }));
    s.setMember("n", "nodeName", S().value(name));
    s.member("n", { "nodeName" }).trace().member("n", { "prefix" }).trace().member("n", { "localName" }).trace();
    return s;
}

// function ts() { trace("asked"); return 5; }  o = {}; o.toString = ts
S objectAnsweringNumber()
{
    S s;
    s.function("ts", {}, S().value("asked").trace().value(5).ret());
    s.assign("o", S().object({}));
    s.setMember("o", "toString", S().var("ts"));
    return s;
}

} // namespace

TEST(XmlNames, PrefixOnlyWhereSomethingFollowsTheColon)
{
    runRows({
        { "a:b", 8, renamed("a:b"), { "a:b", "a", "b" } },
        { "a::b keeps the second colon", 8, renamed("a::b"), { "a::b", "a", ":b" } },
        { ":b has an empty prefix", 8, renamed(":b"), { ":b", "", "b" } },
        { "a: is all local name", 8, renamed("a:"), { "a:", "", "a:" } },
        { "no colon", 8, renamed("plain"), { "plain", "", "plain" } },
        // null clears the name but leaves an empty prefix.
        { "null", 8, renamed(Null{}), { "null", "", "null" } },
        { "undefined changes nothing", 8, renamed(Undef{}), { "start", "", "start" } },
    });
}

TEST(XmlNames, ObjectsGiveTheirTextOrTheirType)
{
    // toString answers with a number: no text, so the name is the type.
    S s = objectAnsweringNumber();
    s.assign("n", S().construct("XMLNode", { 1, "start" }));
    s.setMember("n", "nodeName", S().var("o"));
    s.member("n", { "nodeName" }).trace();
    runRows({ { "toString gives 5", 8, s, { "asked", "[type Object]" } } });
}

TEST(XmlNodeConstructor, TypeOneIsAnElementAnyOtherIsText)
{
    runRows({
        { "element", 8, std::move(S().construct("XMLNode", { 1, "e" }).trace()), { "<e />" } },
        { "type 7 is text", 8, std::move(S().construct("XMLNode", { 7, "e" }).trace()), { "e" } },
        { "null is written as text", 8, std::move(S().construct("XMLNode", { 1, Null{} }).trace()), { "<null />" } },
        { "no value, no node", 8,
            std::move(S().construct("XMLNode", { 1, Undef{} }).value("nodeType").op(0x4E).trace()), { "undefined" } },
    });
}

TEST(XmlDocument, ParseXmlOfUndefinedKeepsTheDocument)
{
    S s;
    s.assign("x", S().construct("XML", { "<?xml v?><a/>" }));
    s.method("x", "parseXML", { Undef{} }).pop().method("x", "toString").trace();
    // Anything else replaces the tree and the declarations.
    s.method("x", "parseXML", { "<b/>" }).pop().method("x", "toString").trace().member("x", { "xmlDecl" }).trace();
    runRows({ { "undefined, then text", 8, s, { "<?xml v?><a />", "<b />", "undefined" } } });
}

TEST(XmlDocument, CreatingNeedsANameOrText)
{
    S s;
    s.assign("x", S().construct("XML"));
    s.method("x", "createElement").trace().method("x", "createTextNode").trace();
    s.method("x", "createElement", { Null{} }).trace();
    runRows({ { "none, none, null", 8, s, { "undefined", "undefined", "<null />" } } });
}

TEST(XmlDocument, OwnPropertiesConvertWhatIsSet)
{
    S s;
    s.assign("x", S().construct("XML"));
    s.member("x", { "contentType" }).trace().member("x", { "status" }).trace().member("x", { "ignoreWhite" }).trace();
    s.setMember("x", "status", S().value(2.7)).member("x", { "status" }).trace();
    s.setMember("x", "loaded", S().value(0.5)).member("x", { "loaded" }).trace();
    s.setMember("x", "ignoreWhite", S().value("")).member("x", { "ignoreWhite" }).trace();
    // Undefined is ignored.
    s.setMember("x", "contentType", S().value(Undef{})).member("x", { "contentType" }).trace();
    s.setMember("x", "contentType", S().value(Null{})).member("x", { "contentType" }).trace();
    runRows({ { "set and read", 8, s,
        { "application/x-www-form-urlencoded", "0", "false", "2", "true", "false", "application/x-www-form-urlencoded", "null" } } });
}

TEST(XmlDocument, DeclarationsIgnoreUndefinedButAParseClearsThem)
{
    S s;
    s.assign("x", S().construct("XML", { "<?xml v?><!DOCTYPE d><a/>" }));
    s.setMember("x", "xmlDecl", S().value(Undef{})).member("x", { "xmlDecl" }).trace();
    s.setMember("x", "docTypeDecl", S().value(Undef{})).member("x", { "docTypeDecl" }).trace();
    s.method("x", "parseXML", { "<b/>" }).pop();
    s.member("x", { "xmlDecl" }).trace().member("x", { "docTypeDecl" }).trace();
    runRows({
        { "version 5", 5, s, { "<?xml v?>", "<!DOCTYPE d>", "undefined", "undefined" } },
        { "version 8", 8, s, { "<?xml v?>", "<!DOCTYPE d>", "undefined", "undefined" } },
    });
}

TEST(XmlDocument, PrototypeIgnoreWhiteReachesEveryDocument)
{
    S s;
    s.then(S().var("XML").value("prototype").op(0x4E).value("ignoreWhite").value(true).op(0x4F));
    s.assign("x", S().construct("XML", { "<a> <b/> </a>" }));
    s.member("x", { "ignoreWhite" }).trace().member("x", { "firstChild", "childNodes", "length" }).trace();
    runRows({ { "blank text dropped", 8, s, { "true", "1" } } });
}

TEST(XmlDocument, FlagsAskAnObjectForItsTextFirst)
{
    S s = objectAnsweringNumber();
    s.assign("x", S().construct("XML"));
    s.setMember("x", "loaded", S().var("o")).member("x", { "loaded" }).trace();
    runRows({ { "loaded = o", 8, s, { "asked", "true" } } });
}

TEST(XmlAttributes, EntitiesInNamesAreRead)
{
    S s;
    s.assign("x", S().construct("XML", { "<r &amp;='&amp;'/>" }));
    s.member("x", { "firstChild", "attributes", "&" }).trace();
    runRows({ { "&amp; as a name", 8, s, { "&" } } });
}

TEST(XmlEditing, AppendingAChildItHasChangesNothing)
{
    S s;
    s.assign("x", S().construct("XML", { "<r><a/><b/></r>" }));
    s.assign("r", S().member("x", { "firstChild" }));
    s.then(S().member("r", { "firstChild" }).value(1).var("r").value("appendChild").op(0x52).pop());
    s.method("r", "toString").trace();
    runRows({ { "a stays first", 8, s, { "<r><a /><b /></r>" } } });
}

TEST(XmlNodePrototype, NodePropertiesComeWithTheFirstNodeMade)
{
    auto hasNodeType = [] {
        return std::move(S().value("nodeType").value(1).member("XMLNode", { "prototype" }).value("hasOwnProperty").op(0x52).trace());
    };
    S s;
    s.then(S().var("XMLNode").value("prototype").then(S().construct("Object")).op(0x4F));
    s.then(hasNodeType());
    // No node made: the new prototype stays bare.
    s.then(S().construct("XMLNode", { 1 }).pop()).then(hasNodeType());
    s.assign("x", S().construct("XML", { "<a/>" }));
    s.then(hasNodeType());
    s.then(S().construct("XMLNode", { 1, "a" }).pop()).then(hasNodeType());
    runRows({ { "replaced prototype", 7, s, { "false", "false", "false", "true" } } });
}
