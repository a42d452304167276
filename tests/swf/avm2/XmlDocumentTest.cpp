// flash.xml.XMLDocument and XMLNode reached from scripts: what the reader
// keeps and skips, how a tree prints, names with prefixes, and moving
// nodes about. The traces were worked out by hand from the node rules.

#include "Avm2TestSupport.h"

#include <gtest/gtest.h>

using namespace avm2test;

namespace {

struct Script : ScriptBuilder<Script> {
    // Leaves new flash.xml.XMLDocument(text) on the stack (no text: an empty document).
    Script& doc(const char* text = nullptr)
    {
        const std::uint32_t cls = w.qname(w.ns(0x16, QStringLiteral("flash.xml")), QStringLiteral("XMLDocument"));
        c.op(Op::FindPropStrict, cls);
        if (text)
            str(text);
        c.op(Op::ConstructProp, cls, text ? 1 : 0);
        return *this;
    }
    QStringList run() { return traces(12, 6); }
};

} // namespace

TEST(XmlDocument, ReadsElementsAndTextAndSkipsComments)
{
    Script s;
    s.doc("<a x=\"1\">t&amp;u</a><!-- note --><b></b>").c.op(Op::SetLocal1);
    // <b></b> has no child, so it prints closed; text is escaped again on the way out.
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("toString"); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.get("childNodes").get("length"); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.get("firstChild").get("firstChild").get("nodeValue"); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.get("firstChild").get("firstChild").get("nodeType"); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.get("nodeName"); }); // the document has no name
    s.trace([&] { s.c.op(Op::GetLocal1); s.get("firstChild").get("attributes").get("x"); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.get("lastChild").get("previousSibling").get("nodeName"); });
    // The same node read twice is one object.
    s.trace([&] { s.c.op(Op::GetLocal1); s.get("firstChild"); s.c.op(Op::GetLocal1); s.get("lastChild").get("previousSibling"); s.c.op(Op::StrictEquals); });
    EXPECT_EQ(s.run(), QStringList({ "<a x=\"1\">t&amp;u</a><b />", "2", "t&u", "3", "null", "1", "a", "true" }));
}

TEST(XmlDocument, PrefixesResolveThroughTheXmlnsOfAncestors)
{
    Script s;
    s.doc("<p:r xmlns:p=\"urn:p\"><c/>z</p:r>").c.op(Op::SetLocal1);
    s.c.op(Op::GetLocal1); s.get("firstChild"); s.c.op(Op::SetLocal2);
    s.trace([&] { s.c.op(Op::GetLocal2); s.get("prefix"); });
    s.trace([&] { s.c.op(Op::GetLocal2); s.get("localName"); });
    s.trace([&] { s.c.op(Op::GetLocal2); s.get("namespaceURI"); });
    // <c> has no prefix and nobody declares a default namespace.
    s.trace([&] { s.c.op(Op::GetLocal2); s.get("firstChild").get("namespaceURI"); });
    s.trace([&] { s.c.op(Op::GetLocal2); s.get("firstChild"); s.str("urn:p").call("getPrefixForNamespace", 1); });
    s.trace([&] { s.c.op(Op::GetLocal2); s.get("firstChild"); s.str("p").call("getNamespaceForPrefix", 1); });
    s.trace([&] { s.c.op(Op::GetLocal2); s.get("lastChild").get("prefix"); }); // text: no name at all
    EXPECT_EQ(s.run(), QStringList({ "p", "r", "urn:p", "null", "p", "urn:p", "null" }));
}

TEST(XmlDocument, NodesMoveAndLeaveTheirPlaceEmpty)
{
    Script s;
    s.doc("<r><a/><b/></r>").c.op(Op::SetLocal1);
    s.c.op(Op::GetLocal1); s.get("firstChild"); s.c.op(Op::SetLocal2);           // r
    s.c.op(Op::GetLocal2); s.get("firstChild"); s.c.op(Op::SetLocal3);           // a
    s.c.op(Op::GetLocal3); s.call("removeNode").c.op(Op::Pop);
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("toString"); });
    s.trace([&] { s.c.op(Op::GetLocal3); s.get("parentNode"); });
    s.c.op(Op::GetLocal2).op(Op::GetLocal3); s.call("appendChild", 1).c.op(Op::Pop);
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("toString"); });
    // Back in front of b, which is r's first child now.
    s.c.op(Op::GetLocal2).op(Op::GetLocal3).op(Op::GetLocal2); s.get("firstChild"); s.call("insertBefore", 2).c.op(Op::Pop);
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("toString"); });
    s.trace([&] { s.c.op(Op::GetLocal3); s.get("nextSibling").get("nodeName"); });
    // A node cannot go under itself: r into a changes nothing.
    s.c.op(Op::GetLocal3).op(Op::GetLocal2); s.call("appendChild", 1).c.op(Op::Pop);
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("toString"); });
    EXPECT_EQ(s.run(), QStringList({ "<r><b /></r>", "null", "<r><b /><a /></r>", "<r><a /><b /></r>", "b", "<r><a /><b /></r>" }));
}

TEST(XmlDocument, IgnoreWhiteDropsBlankTextButNotCdata)
{
    Script s;
    s.doc().c.op(Op::Dup).op(Op::PushTrue).op(Op::SetProperty, s.name("ignoreWhite")).op(Op::SetLocal1);
    s.c.op(Op::GetLocal1); s.str("<r> <a/>\n<c><![CDATA[ ]]></c> </r>").call("parseXML", 1).c.op(Op::Pop);
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("toString"); });
    s.doc().c.op(Op::SetLocal2); // ignoreWhite is off by default
    s.c.op(Op::GetLocal2); s.str("<r> <a/></r>").call("parseXML", 1).c.op(Op::Pop);
    s.trace([&] { s.c.op(Op::GetLocal2); s.get("firstChild").get("childNodes").get("length"); });
    EXPECT_EQ(s.run(), QStringList({ "<r><a /><c> </c></r>", "2" }));
}

TEST(XmlDocument, DeclarationsPrintFirstAndBadTextThrows)
{
    Script s;
    s.doc("<?xml version=\"1.0\"?><a/>").c.op(Op::SetLocal1);
    s.trace([&] { s.c.op(Op::GetLocal1); s.get("xmlDecl"); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("toString"); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.get("childNodes").get("length"); });
    s.doc("<a><b></a>").c.op(Op::Pop); // b closed by a's end tag: the script stops here
    s.trace([&] { s.str("not reached"); });
    EXPECT_EQ(s.run(), QStringList({ "<?xml version=\"1.0\"?>", "<?xml version=\"1.0\"?><a />", "1",
                           "TypeError: Error #1090: XML parser failure: element is malformed.\n\tat flash.xml::XMLDocument/parseXML()\n\tat global$init()" }));
}
