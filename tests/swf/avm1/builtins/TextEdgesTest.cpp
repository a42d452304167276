// String.split's separator and limit, unescape's broken escapes and bytes,
// and text from a toString that gives something other than text, by version;
// each expected trace is worked out by hand.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// sep = {toString: function() { trace("ts"); return text; }}
S separatorObject(const char* text)
{
    S s;
    s.assign("sep", S().object({}));
    s.setMember("sep", "toString", S().function("", {}, S().value("ts").trace().value(text).ret()));
    return s;
}

// trace(s.split(<separator pushed by `sep`>, limit).join("|"))
S splitJoin(const char* s, const S& sep, Asm::Item limit)
{
    S out;
    out.assign("s", S().value(s));
    out.assign("r", S().value(limit).then(sep).value(2).var("s").value("split").op(0x52));
    out.method("r", "join", { "|" }).trace();
    return out;
}

S unescaped(const char* s)
{
    return std::move(S().call("unescape", { s }).trace());
}

} // namespace

TEST(TextEdges, SplitSeparatorAndLimit)
{
    const S undefinedSeparator = S().value(Undef {});
    runRows({
        { "a missing separator keeps the whole string whatever the limit", 6,
          splitJoin("a,b", undefinedSeparator, 0), { "a,b" } },
        { "a missing separator is a comma in version 5", 5, splitJoin("a,b", undefinedSeparator, 5), { "a|b" } },
        { "the separator is text before the limit is read", 7,
          std::move(separatorObject(",").then(splitJoin("a,b", S().var("sep"), 0))), { "ts", "" } },
        { "version 5 makes the separator text twice with a limit", 5,
          std::move(separatorObject(",").then(splitJoin("a,b", S().var("sep"), 1))), { "ts", "ts", "a" } },
        { "but an empty one once, keeping the whole string", 5,
          std::move(separatorObject("").then(splitJoin("a,b", S().var("sep"), 0))), { "ts", "a,b" } },
    });
}

TEST(TextEdges, UnescapeBrokenEscapes)
{
    runRows({
        { "a broken escape takes the next character", 6, unescaped("a%zqb"), { "aqb" } },
        { "and the one after a hex digit", 6, unescaped("a%0zqb"), { "aqb" } },
        { "a zero byte ends the text", 7, unescaped("a%00b"), { "a" } },
        { "escaped bytes are UTF-8", 6, unescaped("%C3%A9"), { QString::fromUtf8("\xC3\xA9") } },
        { "a stray byte is its Latin-1 character", 6, unescaped("x%80"), { QStringLiteral("x\u0080") } },
        { "a lead byte without its continuation is dropped", 6, unescaped("%C0x"), { "x" } },
        { "version 5 bytes are Latin-1", 5, unescaped("%E9"), { QString::fromUtf8("\xC3\xA9") } },
        { "version 5 gives undefined for empty text", 5, unescaped("%"), { "undefined" } },
        { "but not for text a zero byte ended", 5, unescaped("%00"), { "" } },
        { "version 5 keeps what follows a broken escape", 5, unescaped("%zq"), { "q" } },
    });
}

TEST(TextEdges, ToStringThatGivesNoText)
{
    // o = {toString: function() { return <value>; }}; trace(String(o))
    auto textOf = [](Asm::Item value) {
        S s;
        s.assign("o", S().object({}));
        s.setMember("o", "toString", S().function("", {}, S().value(value).ret()));
        s.var("o").value(1).value("String").op(0x3D).trace();
        return s;
    };
    runRows({
        { "text is taken", 7, textOf("t"), { "t" } },
        { "a number names the type", 7, textOf(1), { "[type Object]" } },
        { "undefined names the type", 6, textOf(Undef {}), { "[type Object]" } },
    });
}

TEST(TextEdges, FunctionsInTextAndBuiltInCallers)
{
    // f = function() {}; f.toString = function() { return "F"; }; trace("x" + f)
    S named;
    named.assign("f", S().function("", {}, S()));
    named.setMember("f", "toString", S().function("", {}, S().value("F").ret()));
    named.value("x").var("f").add().trace();
    // _global.Error = function() { trace(arguments.caller == AsSetupError); };
    // AsSetupError("a,b")
    S setup;
    setup.var("_global").value("Error")
        .function("", {}, S().member("arguments", { "caller" }).var("AsSetupError").op(0x49).trace())
        .op(0x4F);
    setup.call("AsSetupError", { "a,b" }).pop();
    runRows({
        { "a function's own toString makes its text in a sum", 6, named, { "xF" } },
        { "a built-in is the caller of what it calls", 6, setup, { "true", "true" } },
    });
}
