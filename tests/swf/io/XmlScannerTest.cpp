// The markup scanner both machines' document XML reads through: tokens in
// order with their text as written, the fault that stops it, and the
// entity rules either machine asks for.

#include "swf/io/XmlScanner.h"

#include <QStringList>

#include <gtest/gtest.h>

using swf::xml::ScanFault;
using swf::xml::XmlScanner;
using swf::xml::XmlToken;

namespace {

// Each token as one line: kind letter, text, attributes, "/" for <a/>.
QStringList scan(const QString& text, ScanFault* fault = nullptr)
{
    XmlScanner scanner(text);
    QStringList out;
    for (;;) {
        const XmlToken t = scanner.next();
        if (t.kind == XmlToken::Kind::End)
            return out;
        if (t.kind == XmlToken::Kind::Fault) {
            if (fault)
                *fault = t.fault;
            out << QStringLiteral("!");
            EXPECT_EQ(scanner.next().kind, XmlToken::Kind::End); // nothing after a fault
            return out;
        }
        static const char* kinds = "TCc!?SE";
        QString line = QLatin1Char(kinds[int(t.kind)]) + t.text;
        for (const auto& [k, v] : t.attributes)
            line += QLatin1Char(' ') + k + QLatin1Char('=') + v;
        if (t.empty)
            line += QLatin1Char('/');
        out << line;
    }
}

} // namespace

TEST(XmlScanner, TokensKeepTheTextAsWritten)
{
    EXPECT_EQ(scan(QStringLiteral("<?xml v?><!DOCTYPE x><a b='1' c = \"&lt;\" ><!-- n --><![CDATA[<&>]]>x &amp; y</ a ><e/></a>")),
        QStringList({ "?<?xml v?>", "!<!DOCTYPE x>", "Sa b=1 c=&lt;", "c", "C<&>", "Tx &amp; y", "Ea", "Se/", "Ea" }));
    // End tags are not matched here; unclosed elements are the caller's to judge.
    EXPECT_EQ(scan(QStringLiteral("</b><a>")), QStringList({ "Eb", "Sa" }));
}

TEST(XmlScanner, StopsAtTheFirstFault)
{
    const std::pair<const char*, ScanFault> rows[] = {
        { "x<!-- open", ScanFault::CommentUnterminated },
        { "<![CDATA[ open", ScanFault::CdataUnterminated },
        { "<!DOCTYPE", ScanFault::DocTypeUnterminated },
        { "<?xml", ScanFault::DeclarationUnterminated },
        { "<a></a", ScanFault::EndTagUnterminated },
        { "<>", ScanFault::MalformedElement },
        { "<a b>", ScanFault::MalformedElement },
        { "<a b=1>", ScanFault::MalformedElement },
        { "<a /x>", ScanFault::MalformedElement },
        { "<a", ScanFault::MalformedElement },
        { "<a b='1>", ScanFault::AttributeUnterminated },
    };
    for (const auto& [text, expected] : rows) {
        ScanFault fault = ScanFault::None;
        const QStringList tokens = scan(QString::fromLatin1(text), &fault);
        EXPECT_EQ(tokens.last(), QStringLiteral("!")) << text;
        EXPECT_EQ(fault, expected) << text;
    }
}

TEST(XmlScanner, EntitiesBothWays)
{
    EXPECT_EQ(swf::xml::escapeEntities(QStringLiteral("a<b>&\"'")), QStringLiteral("a&lt;b&gt;&amp;&quot;&apos;"));
    const QString text = QStringLiteral("&lt;&#65;&#x42;&amp;amp;&unknown;&#0;&");
    EXPECT_EQ(swf::xml::unescapeEntities(text, true), QStringLiteral("<AB&amp;&unknown;&#0;&"));
    EXPECT_EQ(swf::xml::unescapeEntities(text, false), QStringLiteral("<&#65;&#x42;&amp;&unknown;&#0;&"));
}
