// Rules of the core classes and the machine, one family per test: array holes,
// string searches, error prototypes, functions and their arguments, Proxy
// subclasses, and ByteArray's object serialization. Every expected trace was
// worked out by hand from the rule.

#include "Avm2TestSupport.h"

#include <gtest/gtest.h>

using namespace swf::avm2;
using namespace avm2test;

namespace {

struct Script : ScriptBuilder<Script> {
    std::uint32_t late() { return w.multinameL(w.nsSet({ w.publicNs() })); }
    Script& make(const char* local, int argc, const std::function<void()>& args = {})
    {
        c.op(Op::FindPropStrict, name(local));
        if (args)
            args();
        c.op(Op::ConstructProp, name(local), std::uint32_t(argc));
        return *this;
    }
    QStringList run() { return traces(10, 6); }
};

} // namespace

TEST(CoreRules, ArrayHolesAreNoPropertiesAndReadThroughThePrototype)
{
    Script s;
    // a = new Array(3); Array.prototype[2] = "proto"
    s.make("Array", 1, [&] { s.c.op(Op::PushByte, 3); }).c.op(Op::SetLocal1);
    s.c.op(Op::GetLex, s.name("Array")).op(Op::GetProperty, s.name("prototype"));
    s.c.op(Op::PushByte, 2);
    s.str("proto").c.op(Op::SetProperty, s.late());
    // a[2] finds the prototype's value; a[0] is undefined and no own property.
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::PushByte, 2).op(Op::GetProperty, s.late()); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("hasOwnProperty", 1, [&] { s.str("0"); }); });
    // a[0] = undefined makes index 0 a property; the walk then sees it alone.
    s.c.op(Op::GetLocal1).op(Op::PushByte, 0).op(Op::PushUndefined).op(Op::SetProperty, s.late());
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("hasOwnProperty", 1, [&] { s.str("0"); }); });
    s.c.op(Op::PushByte, 0).op(Op::SetLocal3).op(Op::GetLocal1).op(Op::SetLocal2);
    s.c.label(QStringLiteral("top")).op(Op::HasNext2, 2, 3).branch(Op::IfFalse, QStringLiteral("out"));
    s.trace([&] { s.c.op(Op::GetLocal2).op(Op::GetLocal3).op(Op::NextName); });
    s.c.branch(Op::Jump, QStringLiteral("top")).label(QStringLiteral("out"));
    // delete a[0] leaves a hole again; the length stays.
    s.c.op(Op::GetLocal1).op(Op::PushByte, 0).op(Op::DeleteProperty, s.late()).op(Op::Pop);
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("hasOwnProperty", 1, [&] { s.str("0"); }); });
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("length")); });
    EXPECT_EQ(s.run(), (QStringList { "proto", "false", "true", "0", "false", "3" }));
}

TEST(CoreRules, StringSearchesClampTheirStartAndFindNoNull)
{
    Script s;
    // "abcabc".indexOf("c", -5): a start before 0 is 0 -> 2
    s.trace([&] { s.str("abcabc"); s.call("indexOf", 2, [&] { s.str("c"); s.num(-5); }); });
    // "a null".indexOf(null): nothing to look for -> -1
    s.trace([&] { s.str("a null"); s.call("indexOf", 1, [&] { s.c.op(Op::PushNull); }); });
    // "abcabc".lastIndexOf("c", undefined): no number means the end -> 5
    s.trace([&] { s.str("abcabc"); s.call("lastIndexOf", 2, [&] { s.str("c"); s.c.op(Op::PushUndefined); }); });
    // "abcabc".lastIndexOf("c", -1): clamped to 0, where there is no "c" -> -1
    s.trace([&] { s.str("abcabc"); s.call("lastIndexOf", 2, [&] { s.str("c"); s.num(-1); }); });
    EXPECT_EQ(s.run(), (QStringList { "2", "-1", "5", "-1" }));
}

TEST(CoreRules, SpliceWithACountThatIsNoNumberRemovesNothing)
{
    Script s;
    s.c.op(Op::PushByte, 1).op(Op::PushByte, 2).op(Op::PushByte, 3).op(Op::NewArray, 3).op(Op::SetLocal1);
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("splice", 2, [&] { s.c.op(Op::PushByte, 1); s.str("x"); }); s.call("join", 0); });
    s.trace([&] { s.c.op(Op::GetLocal1); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("splice", 2, [&] { s.c.op(Op::PushByte, 1); s.str("1"); }); });
    s.trace([&] { s.c.op(Op::GetLocal1); });
    EXPECT_EQ(s.run(), (QStringList { "", "1,2,3", "2", "1,3" }));
}

TEST(CoreRules, ErrorPrototypesAreNamedAfterTheirClass)
{
    Script s;
    const std::uint32_t ioError = s.w.qname(s.w.ns(0x16, QStringLiteral("flash.errors")), QStringLiteral("IOError"));
    s.trace([&] { s.c.op(Op::GetLex, s.name("RangeError")).op(Op::GetProperty, s.name("prototype")).op(Op::GetProperty, s.name("name")); });
    s.trace([&] { s.c.op(Op::GetLex, ioError).op(Op::GetProperty, s.name("prototype")).op(Op::GetProperty, s.name("name")); });
    // An IOError itself keeps the name Error gives it.
    s.trace([&] { s.c.op(Op::FindPropStrict, ioError).op(Op::ConstructProp, ioError, 0).op(Op::GetProperty, s.name("name")); });
    EXPECT_EQ(s.run(), (QStringList { "RangeError", "IOError", "Error" }));
}

TEST(CoreRules, FunctionsAndTheirArguments)
{
    Script s;
    // f = function (a, b, ...rest) { trace(b); trace(rest.length) }; f(1)
    const std::uint32_t f = s.w.method(2, 0x04);
    {
        Code body;
        Tracer t(s.w);
        t.begin(body);
        body.op(Op::GetLocal2);
        t.end(body);
        t.begin(body);
        body.op(Op::GetLocal3).op(Op::GetProperty, s.name("length"));
        t.end(body);
        body.op(Op::ReturnVoid);
        s.w.body(f, body, 3, 4, 0, 1);
    }
    // g = function () { return arguments.callee }; g() === g
    const std::uint32_t g = s.w.method(0, 0x01);
    {
        Code body;
        body.op(Op::GetLocal1).op(Op::GetProperty, s.name("callee")).op(Op::ReturnValue);
        s.w.body(g, body, 1, 2, 0, 1);
    }
    s.c.op(Op::NewFunction, f).op(Op::PushNull).op(Op::PushByte, 1).op(Op::Call, 1).op(Op::Pop);
    s.c.op(Op::NewFunction, g).op(Op::SetLocal1);
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::PushNull).op(Op::Call, 0).op(Op::GetLocal1).op(Op::StrictEquals); });
    // A function with no code does nothing: new Function()() and Function.prototype().
    s.trace([&] { s.make("Function", 0).c.op(Op::PushNull).op(Op::Call, 0); });
    s.trace([&] { s.c.op(Op::GetLex, s.name("Function")).op(Op::GetProperty, s.name("prototype")).op(Op::PushNull).op(Op::Call, 0); });
    EXPECT_EQ(s.run(), (QStringList { "undefined", "0", "true", "undefined", "undefined" }));
}

TEST(CoreRules, XmlEqualityTakesAttributesAsASet)
{
    Script s;
    auto xml = [&](const char* text) { s.make("XML", 1, [&] { s.str(text); }); };
    s.trace([&] { xml("<x a=\"1\" b=\"2\"/>"); xml("<x b=\"2\" a=\"1\"/>"); s.c.op(Op::Equals); });
    s.trace([&] { xml("<x a=\"1\" b=\"2\"/>"); xml("<x b=\"3\" a=\"1\"/>"); s.c.op(Op::Equals); });
    // Children still count in order.
    s.trace([&] { xml("<x><a/><b/></x>"); xml("<x><b/><a/></x>"); s.c.op(Op::Equals); });
    EXPECT_EQ(s.run(), (QStringList { "true", "false", "false" }));
}

TEST(CoreRules, DictionaryKeysLiveInThePublicNamespaceOnly)
{
    Script s;
    const std::uint32_t dictionary = s.w.qname(s.w.ns(0x16, QStringLiteral("flash.utils")), QStringLiteral("Dictionary"));
    const std::uint32_t privateOnly = s.w.multinameL(s.w.nsSet({ s.w.ns(0x05, QStringLiteral("hidden")) }));
    s.c.op(Op::FindPropStrict, dictionary).op(Op::ConstructProp, dictionary, 0).op(Op::SetLocal1);
    s.c.op(Op::NewObject, 0).op(Op::SetLocal2);
    // d[o] = 1 with a public name works; without one the dictionary refuses it.
    s.c.op(Op::GetLocal1).op(Op::GetLocal2).op(Op::PushByte, 1).op(Op::SetProperty, s.late());
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetLocal2).op(Op::GetProperty, s.late()); });
    s.c.op(Op::GetLocal1).op(Op::GetLocal2).op(Op::PushByte, 2).op(Op::SetProperty, privateOnly);
    const QStringList out = s.run();
    ASSERT_EQ(out.size(), 2) << out.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(out[0], QStringLiteral("1"));
    EXPECT_TRUE(out[1].startsWith(QLatin1String("ReferenceError: Error #1056: Cannot create property "))) << out[1].toStdString();
}

TEST(CoreRules, ProxySubclassAnswersPropertyAccessAndProxyNamesWhatIsMissing)
{
    Script s;
    AbcWriter& w = s.w;
    const QString proxyUri = QStringLiteral("http://www.adobe.com/2006/actionscript/flash/proxy");
    const std::uint32_t proxy = w.qname(w.ns(0x16, QStringLiteral("flash.utils")), QStringLiteral("Proxy"));
    const std::uint32_t p = s.name("P");
    // override flash_proxy function getProperty(name) { return "got " + name.localName }
    const std::uint32_t get = w.method(1);
    {
        Code body;
        body.op(Op::PushString, w.string(QStringLiteral("got "))).op(Op::GetLocal1).op(Op::GetProperty, s.name("localName"));
        body.op(Op::Add).op(Op::ReturnValue);
        w.body(get, body, 2, 2, 0, 1);
    }
    const std::uint32_t iinit = w.method();
    {
        Code body;
        body.op(Op::GetLocal0).op(Op::PushScope).op(Op::GetLocal0).op(Op::ConstructSuper, 0).op(Op::ReturnVoid);
        w.body(iinit, body, 1, 1, 0, 1);
    }
    const std::uint32_t cinit = w.method();
    {
        Code body;
        body.op(Op::ReturnVoid);
        w.body(cinit, body, 1, 1, 0, 1);
    }
    w.classDef(p, proxy, iinit, cinit, { abcw::Trait::method(w.qname(w.ns(0x08, proxyUri), QStringLiteral("getProperty")), get, 0x21) }, {}, 0);
    s.c.op(Op::GetLocal0).op(Op::GetLex, proxy).op(Op::NewClass, 0).op(Op::InitProperty, p);
    s.c.op(Op::FindPropStrict, p).op(Op::ConstructProp, p, 0).op(Op::SetLocal1);
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("foo")); });
    // setProperty was not overridden: Proxy's own throws, its frame on the trace.
    s.c.op(Op::GetLocal1).op(Op::PushByte, 1).op(Op::SetProperty, s.name("bar"));
    EXPECT_EQ(s.run(), (QStringList { "got foo",
                           "Error: Error #2089: The Proxy class does not implement setProperty. It must be overridden by a subclass."
                           "\n\tat Error$/throwError()"
                           "\n\tat flash.utils::Proxy/http://www.adobe.com/2006/actionscript/flash/proxy::setProperty()"
                           "\n\tat global$init()" }));
}

TEST(CoreRules, ByteArrayObjectsTravelInAmf3AndAmf0)
{
    Script s;
    const std::uint32_t byteArray = s.w.qname(s.w.ns(0x16, QStringLiteral("flash.utils")), QStringLiteral("ByteArray"));
    auto fresh = [&] { s.c.op(Op::FindPropStrict, byteArray).op(Op::ConstructProp, byteArray, 0).op(Op::SetLocal1); };
    auto rewind = [&] { s.c.op(Op::GetLocal1).op(Op::PushByte, 0).op(Op::SetProperty, s.name("position")); };
    // {a: 1, b: "x"}: 0A 0B 01 (dynamic, no class name), 03 'a' 04 01, 03 'b' 06 03 'x', 01 -> 13 bytes
    fresh();
    s.c.op(Op::GetLocal1);
    s.call("writeObject", 1, [&] { s.str("a").c.op(Op::PushByte, 1); s.str("b").str("x").c.op(Op::NewObject, 2); }).c.op(Op::Pop);
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("length")); });
    rewind();
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("readObject", 0).c.op(Op::GetProperty, s.name("b")); });
    // [1, <hole>, 3]: 09 03 (one dense element), 03 '2' 04 03 (index 2 by name), 01, 04 01 -> 9 bytes
    fresh();
    s.make("Array", 1, [&] { s.c.op(Op::PushByte, 3); }).c.op(Op::SetLocal2);
    s.c.op(Op::GetLocal2).op(Op::PushByte, 0).op(Op::PushByte, 1).op(Op::SetProperty, s.late());
    s.c.op(Op::GetLocal2).op(Op::PushByte, 2).op(Op::PushByte, 3).op(Op::SetProperty, s.late());
    s.c.op(Op::GetLocal1);
    s.call("writeObject", 1, [&] { s.c.op(Op::GetLocal2); }).c.op(Op::Pop);
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("length")); });
    rewind();
    s.c.op(Op::GetLocal1);
    s.call("readObject", 0).c.op(Op::SetLocal2);
    s.trace([&] { s.c.op(Op::GetLocal2); s.call("hasOwnProperty", 1, [&] { s.str("1"); }); });
    s.trace([&] { s.c.op(Op::GetLocal2); });
    // AMF0: the string "hi" is 02 00 02 'h' 'i' -> 5 bytes
    fresh();
    s.c.op(Op::GetLocal1).op(Op::PushByte, 0).op(Op::SetProperty, s.name("objectEncoding"));
    s.c.op(Op::GetLocal1);
    s.call("writeObject", 1, [&] { s.str("hi"); }).c.op(Op::Pop);
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("length")); });
    rewind();
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("readObject", 0); });
    // Reading past the end is an EOFError, not a crash.
    s.trace([&] { s.c.op(Op::GetLocal1); s.call("readObject", 0); });
    const QStringList out = s.run();
    ASSERT_EQ(out.size(), 8) << out.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(out.mid(0, 7), (QStringList { "13", "x", "9", "false", "1,,3", "5", "hi" }));
    // The flash.errors classes print with the name Error gives them.
    EXPECT_TRUE(out[7].startsWith(QLatin1String("Error: Error #2030: End of file was encountered."))) << out[7].toStdString();
}
