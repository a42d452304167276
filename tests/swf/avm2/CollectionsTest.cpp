// Vector.<T>, Dictionary and JSON, each row a script whose trace was worked out by hand.

#include "Avm2TestSupport.h"

#include <gtest/gtest.h>

using namespace swf::avm2;
using namespace avm2test;

namespace {

// Emits the common shapes of these scripts: `new Name(args)`, `receiver.method(args)`.
struct Script : ScriptBuilder<Script> {
    // Pushes `new local(<what args pushes>)`.
    Script& make(const char* local, int argc, const std::function<void()>& args = {})
    {
        c.op(Op::FindPropStrict, name(local));
        if (args)
            args();
        c.op(Op::ConstructProp, name(local), std::uint32_t(argc));
        return *this;
    }
    // Pushes Vector.<elementClass> (a class object).
    Script& vectorOf(const char* element)
    {
        c.op(Op::GetLex, w.qname(w.ns(0x16, QStringLiteral("__AS3__.vec")), QStringLiteral("Vector")));
        c.op(Op::GetLex, name(element)).op(Op::ApplyType, 1);
        return *this;
    }
    QStringList run() { return traces(12, 6); }
};

} // namespace

TEST(Collections, VectorHoldsItsElementType)
{
    Script s;
    // v = new Vector.<int>(); v.push(1.7, "3"); trace(v); trace(v.length)
    s.vectorOf("int").c.op(Op::Construct, 0).op(Op::SetLocal1);
    s.c.op(Op::GetLocal1);
    s.call("push", 2, [&] { s.num(1.7).str("3"); }).c.op(Op::Pop);
    s.trace([&] { s.c.op(Op::GetLocal1); });
    // An empty Vector.<int> shifts out its zero; Vector.<Number>(2) starts as NaNs.
    s.trace([&] { s.vectorOf("int").c.op(Op::Construct, 0); s.call("shift", 0); });
    s.trace([&] { s.vectorOf("Number").c.op(Op::PushByte, 2).op(Op::Construct, 1); });
    // v[2] = 9 appends; the class prints with its element type.
    s.c.op(Op::GetLocal1).op(Op::PushByte, 2).op(Op::PushByte, 9).op(Op::SetProperty, s.w.multinameL(s.w.nsSet({ s.w.publicNs() })));
    s.trace([&] { s.c.op(Op::GetLocal1); });
    s.trace([&] {
        s.c.op(Op::GetLex, s.w.qname(s.w.ns(0x16, QStringLiteral("flash.utils")), QStringLiteral("getQualifiedClassName")));
        s.c.op(Op::PushNull);
        s.vectorOf("String");
        s.c.op(Op::Call, 1);
    });
    // Reading past the end is a RangeError; nothing after it runs.
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::PushByte, 5).op(Op::GetProperty, s.w.multinameL(s.w.nsSet({ s.w.publicNs() }))); });
    s.trace([&] { s.str("not reached"); });
    EXPECT_EQ(s.run(), (QStringList { "1,3", "0", "NaN,NaN", "1,3,9", "__AS3__.vec::Vector.<String>",
                           "RangeError: Error #1125: The index 5 is out of range 3.\n\tat global$init()" }));
}

TEST(Collections, FixedVectorRefusesNewLength)
{
    Script s;
    // v = new Vector.<String>(2, true); trace(v.fixed, v); v.push("x")
    s.vectorOf("String").c.op(Op::PushByte, 2).op(Op::PushTrue).op(Op::Construct, 2).op(Op::SetLocal1);
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("fixed")); });
    s.trace([&] { s.c.op(Op::GetLocal1); });
    s.c.op(Op::GetLocal1);
    s.call("push", 1, [&] { s.str("x"); }).c.op(Op::Pop);
    EXPECT_EQ(s.run(), (QStringList { "true", "null,null", "RangeError: Error #1126: Cannot change the length of a fixed Vector.\n\tat global$init()" }));
}

TEST(Collections, DictionaryKeysByObjectIdentity)
{
    Script s;
    const std::uint32_t late = s.w.multinameL(s.w.nsSet({ s.w.publicNs() }));
    // Two plain objects print alike, so a plain Object sees one key; a Dictionary two.
    s.make("Object", 0).c.op(Op::SetLocal2);
    s.make("Object", 0).c.op(Op::SetLocal3);
    for (const char* holder : { "Dictionary", "Object" }) {
        if (QLatin1String(holder) == QLatin1String("Dictionary"))
            s.c.op(Op::FindPropStrict, s.w.qname(s.w.ns(0x16, QStringLiteral("flash.utils")), QStringLiteral("Dictionary")))
                .op(Op::ConstructProp, s.w.qname(s.w.ns(0x16, QStringLiteral("flash.utils")), QStringLiteral("Dictionary")), 0);
        else
            s.make("Object", 0);
        s.c.op(Op::SetLocal1);
        s.c.op(Op::GetLocal1).op(Op::GetLocal2).op(Op::PushByte, 1).op(Op::SetProperty, late);
        s.c.op(Op::GetLocal1).op(Op::GetLocal3).op(Op::PushByte, 2).op(Op::SetProperty, late);
        s.trace([&] {
            s.c.op(Op::GetLocal1).op(Op::GetLocal2).op(Op::GetProperty, late);
            s.c.op(Op::GetLocal1).op(Op::GetLocal3).op(Op::GetProperty, late).op(Op::Add);
        });
    }
    EXPECT_EQ(s.run(), (QStringList { "3", "4" }));
}

TEST(Collections, JsonRoundTripsAndIndents)
{
    Script s;
    auto json = [&](const char* method, int argc, const std::function<void()>& args) {
        s.c.op(Op::GetLex, s.name("JSON"));
        s.call(method, argc, args);
    };
    // stringify(parse(text)) gives the text back when it has no spaces.
    s.trace([&] { json("stringify", 1, [&] { json("parse", 1, [&] { s.str("{\"a\":[1,2.5,{\"b\":null}],\"c\":\"q\\\"\"}"); }); }); });
    // An indent of 2 puts each member on its own line.
    s.trace([&] { json("stringify", 3, [&] { json("parse", 1, [&] { s.str("{\"a\":[1]}"); }); s.c.op(Op::PushNull).op(Op::PushByte, 2); }); });
    // A list replacer keeps only the names it lists.
    s.trace([&] { json("stringify", 2, [&] {
        json("parse", 1, [&] { s.str("{\"a\":1,\"b\":2}"); });
        s.str("b").c.op(Op::NewArray, 1);
    }); });
    s.trace([&] { json("parse", 1, [&] { s.str("{bad"); }); });
    EXPECT_EQ(s.run(), (QStringList { "{\"a\":[1,2.5,{\"b\":null}],\"c\":\"q\\\"\"}", "{\n  \"a\": [\n    1\n  ]\n}", "{\"b\":2}",
                           "SyntaxError: Error #1132: Invalid JSON parse input.\n\tat global$init()" }));
}

TEST(Collections, RegExpMatchesAsECMAScriptDoes)
{
    Script s;
    auto regexp = [&](const char* source, const char* flags) {
        s.make("RegExp", 2, [&] { s.str(source).str(flags); });
    };
    // exec: the match, an unmatched group as undefined (joins as empty), the index.
    regexp("a(b)?c", "g");
    s.c.op(Op::SetLocal1);
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("exec", 1, [&] { s.str("xacabc"); }); });
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("lastIndex")); });
    s.trace([&] { s.str("x1y22"); s.call("replace", 2, [&] { regexp("\\d+", "g"); s.str("<$&>"); }); });
    s.trace([&] { s.str("a1b22c"); s.call("split", 1, [&] { regexp("\\d+", ""); }); });
    // $ ends the text only; with m it ends each line.
    s.trace([&] { s.str("abc\n"); s.call("search", 1, [&] { regexp("c$", ""); }); });
    s.trace([&] { s.str("abc\n"); s.call("search", 1, [&] { regexp("c$", "m"); }); });
    s.trace([&] { regexp("a/b", "gi"); });
    EXPECT_EQ(s.run(), (QStringList { "ac,", "3", "x<1>y<22>", "a,b,c", "-1", "2", "/a/b/gi" }));
}
