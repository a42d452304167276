// XML and XMLList reached from scripts: reading, printing, names into the
// tree, assignment, equality and the errors of malformed text. Each row is a
// script whose trace was worked out by hand from the E4X rules.

#include "Avm2TestSupport.h"

#include <gtest/gtest.h>

using namespace swf::avm2;
using namespace avm2test;

namespace {

struct Script : ScriptBuilder<Script> {
    std::uint32_t attribute(const char* local)
    {
        QByteArray entry;
        entry.append(char(0x0d)); // QNameA
        abcw::u30(entry, w.publicNs());
        abcw::u30(entry, w.string(QLatin1String(local)));
        return w.rawMultiname(entry);
    }
    // Leaves new XML(text) on the stack.
    Script& xml(const char* text, const char* cls = "XML")
    {
        c.op(Op::FindPropStrict, name(cls));
        str(text);
        c.op(Op::ConstructProp, name(cls), 1);
        return *this;
    }
    QStringList run() { return traces(12, 6); }
};

} // namespace

TEST(Xml, ReadsChildrenAttributesAndPrintsPretty)
{
    Script s;
    s.xml("<a>\n  <b id=\"1\">t</b>\n  <c/>\n</a>").c.op(Op::SetLocal1);
    s.trace([&] { s.c.op(Op::GetLocal1); s.get("b"); });                                    // simple content: its text
    s.trace([&] { s.c.op(Op::GetLocal1); s.get("b").c.op(Op::GetProperty, s.attribute("id")); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("toXMLString"); });                         // whitespace text dropped, two-space indent
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("children").call("length"); });
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::TypeOf); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.get("missing").call("length"); });
    EXPECT_EQ(s.run(), QStringList({ "t", "1", "<a>\n  <b id=\"1\">t</b>\n  <c/>\n</a>", "2", "xml", "0" }));
}

TEST(Xml, DescendantsListsInDocumentOrder)
{
    Script s;
    s.xml("<r><a>1<a>2</a></a><b><a>3</a></b></r>").c.op(Op::SetLocal1);
    // r..a: the outer a (complex), then its inner a, then the one under b.
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetDescendants, s.name("a")); s.call("length"); });
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetDescendants, s.name("a")).op(Op::PushByte, 2).op(Op::GetProperty, s.w.multinameL(s.w.nsSet({ s.w.publicNs() }))); });
    // A list of several elements prints each as markup, one per line.
    s.trace([&] { s.c.op(Op::GetLocal1); s.get("b").c.op(Op::GetLocal1); s.get("b"); s.c.op(Op::Add); });
    EXPECT_EQ(s.run(), QStringList({ "3", "3", "<b>\n  <a>3</a>\n</b>\n<b>\n  <a>3</a>\n</b>" }));
}

TEST(Xml, AssignmentAddsAndReplacesChildren)
{
    Script s;
    s.xml("<a><b>1</b><b>2</b></a>").c.op(Op::SetLocal1);
    // a.b = "x": the first b takes the text, the second goes; a.c = 5 appends <c>5</c>; a.@k = "v".
    s.c.op(Op::GetLocal1); s.str("x").c.op(Op::SetProperty, s.name("b"));
    s.c.op(Op::GetLocal1).op(Op::PushByte, 5).op(Op::SetProperty, s.name("c"));
    s.c.op(Op::GetLocal1); s.str("v").c.op(Op::SetProperty, s.attribute("k"));
    s.c.op(Op::GetLex, s.name("XML")).op(Op::PushFalse).op(Op::SetProperty, s.name("prettyPrinting"));
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("toXMLString"); });
    EXPECT_EQ(s.run(), QStringList({ "<a k=\"v\"><b>x</b><c>5</c></a>" }));
}

TEST(Xml, SimpleContentComparesAsText)
{
    Script s;
    s.trace([&] { s.xml("<a>true</a>").c.op(Op::PushTrue).op(Op::Equals); });   // "true" == "true"
    s.trace([&] { s.xml("<a>1.0</a>").c.op(Op::PushByte, 1).op(Op::Equals); }); // "1.0" != "1": text, not number
    s.trace([&] { s.xml("<a><b/></a>").c.op(Op::Dup).op(Op::Equals); });
    s.trace([&] { s.xml("<a x=\"1\"/>"); s.xml("<a x=\"1\"/>").c.op(Op::Equals); }); // same markup, two trees
    EXPECT_EQ(s.run(), QStringList({ "true", "false", "true", "true" }));
}

TEST(Xml, NamespacesAreDeclaredWhereTheyAreFirstNeeded)
{
    Script s;
    s.xml("<r xmlns:p=\"urn:p\"><p:x a=\"1\"/></r>").c.op(Op::SetLocal1);
    // The child printed alone declares the prefix it borrowed from its parent.
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::PushByte, 0); s.call("child", 1).call("toXMLString"); });
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::PushByte, 0); s.call("child", 1).call("name"); });
    EXPECT_EQ(s.run(), QStringList({ "<p:x a=\"1\" xmlns:p=\"urn:p\"/>", "urn:p::x" }));
}

// A prefix declared again with another namespace replaces the old
// declaration; names written with the old prefix keep their namespace but
// lose the prefix, and are printed with the default namespace where the old
// prefix now means something else. A namespace without a prefix is not
// declared at all.
TEST(Xml, AddNamespaceReplacesAPrefixAndItsUsersLoseIt)
{
    Script s;
    s.xml("<r xmlns:p=\"urn:old\"><c p:a=\"1\"><p:d/></c></r>").c.op(Op::SetLocal1);
    s.c.op(Op::GetLocal1).op(Op::FindPropStrict, s.name("Namespace"));
    s.str("p").str("urn:new").c.op(Op::ConstructProp, s.name("Namespace"), 2);
    s.call("addNamespace", 1).c.op(Op::Pop);
    s.c.op(Op::GetLocal1).op(Op::FindPropStrict, s.name("Namespace")).op(Op::PushUndefined);
    s.str("urn:u").c.op(Op::ConstructProp, s.name("Namespace"), 2);
    s.call("addNamespace", 1).c.op(Op::Pop);
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("namespaceDeclarations").get("length"); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("children").call("children").call("namespace").get("prefix"); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("children").call("children").call("namespace").get("uri"); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("toXMLString"); });
    EXPECT_EQ(s.run(), QStringList({ "1", "undefined", "urn:old",
                           "<r xmlns:p=\"urn:new\">\n  <c a=\"1\" xmlns=\"urn:old\">\n    <d/>\n  </c>\n</r>" }));
}

// The stack trace of malformed text has an empty line after the message;
// a start tag the text ends in is malformed like one broken off by markup.
TEST(Xml, MalformedTextIsATypeErrorWithItsStack)
{
    Script s;
    s.xml("<a><b></a>");
    EXPECT_EQ(s.run(), QStringList({ "TypeError: Error #1085: The element type \"b\" must be terminated by the matching end-tag \"</b>\".\n\n\tat global$init()" }));
    Script cut;
    cut.xml("<a", "XMLList");
    EXPECT_EQ(cut.run(), QStringList({ "TypeError: Error #1090: XML parser failure: element is malformed.\n\n\tat global$init()" }));
}

TEST(Xml, ListOfTextJoinsAndListIndexesItsItems)
{
    Script s;
    s.xml("<a>x</a><b>y</b>", "XMLList").c.op(Op::SetLocal1);
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("length"); });
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::PushByte, 1).op(Op::GetProperty, s.w.multinameL(s.w.nsSet({ s.w.publicNs() }))); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("text"); });
    EXPECT_EQ(s.run(), QStringList({ "2", "y", "xy" }));
}

TEST(Xml, NameOfAnAttributeReachesTheAttributeAsAPropertyName)
{
    Script s;
    const std::uint32_t late = s.w.multinameL(s.w.nsSet({ s.w.publicNs() }));
    s.c.op(Op::GetLex, s.name("XML")).op(Op::PushFalse).op(Op::SetProperty, s.name("prettyPrinting"));
    s.xml("<f a=\"1\"><a>e</a></f>").c.op(Op::SetLocal1);
    s.c.op(Op::GetLocal1).op(Op::GetProperty, s.attribute("a")); s.call("name").c.op(Op::SetLocal2);
    s.c.op(Op::GetLocal1); s.get("a").call("name").c.op(Op::SetLocal3);
    // x[x.@a.name()] is the attribute, x[x.a.name()] the element of the same local name.
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetLocal2).op(Op::GetProperty, late); });
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetLocal3).op(Op::GetProperty, late); });
    s.c.op(Op::GetLocal1).op(Op::GetLocal2); s.str("2").c.op(Op::SetProperty, late);
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("toXMLString"); });
    EXPECT_EQ(s.run(), QStringList({ "1", "e", "<f a=\"2\"><a>e</a></f>" }));
}
