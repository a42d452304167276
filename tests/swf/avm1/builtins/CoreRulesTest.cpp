// Rules of the core classes and global functions, by version where the
// version matters; each expected trace is worked out by hand.

#include "support/BuiltinsRows.h"

#include <limits>

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// o = {a: 1}; ASSetPropFlags(o, "a", flags); trace(o.a)
S flaggedMember(int flags)
{
    return std::move(S().assign("o", S().object({ { "a", 1 } })).value(flags).value("a").var("o").callWith("ASSetPropFlags", 3).pop()
                         .member("o", { "a" }).trace());
}

} // namespace

TEST(CoreRules, VersionBitsOfPropertyFlags)
{
    runRows({
        { "0x80 hides from version 5", 5, flaggedMember(0x80), { "undefined" } },
        { "0x80 shows from version 6", 6, flaggedMember(0x80), { "1" } },
        { "0x100 hides from version 6", 6, flaggedMember(0x100), { "undefined" } },
        { "0x100 hides from version 6 alone", 5, flaggedMember(0x100), { "1" } },
        { "0x100 shows again in version 7", 7, flaggedMember(0x100), { "1" } },
        { "0x400 hides from version 6", 6, flaggedMember(0x400), { "undefined" } },
        { "0x400 shows from version 7", 7, flaggedMember(0x400), { "1" } },
        { "0x1000 hides from version 7", 7, flaggedMember(0x1000), { "undefined" } },
        { "0x1000 shows from version 8", 8, flaggedMember(0x1000), { "1" } },
        { "0x2000 hides from version 8", 8, flaggedMember(0x2000), { "undefined" } },
    });
}

TEST(CoreRules, StringsToNumbersByVersion)
{
    // trace(s * 1) for each string.
    auto times1 = [](const char* s) { return std::move(S().value(s).value(1).op(0x0C).trace()); };
    runRows({
        { "hex is no number in version 5", 5, times1("0x10"), { "NaN" } },
        { "hex from version 6", 6, times1("0x10"), { "16" } },
        { "hex must be hex to the end", 7, times1("0x2.1"), { "NaN" } },
        { "hex takes a sign after the prefix", 7, times1("0x-2"), { "-2" } },
        { "no hex after leading space", 7, times1(" 0x2"), { "NaN" } },
        { "no octal in version 5", 5, times1("030"), { "30" } },
        { "octal from version 6", 6, times1("030"), { "24" } },
        { "octal only for a whole string of octal digits", 6, times1("030.5"), { "30.5" } },
        { "no Infinity", 7, times1("Infinity"), { "NaN" } },
        { "nor for parseFloat", 7, std::move(S().call("parseFloat", { "-Infinity" }).trace()), { "NaN" } },
    });
}

TEST(CoreRules, ConstructorsCalledAsFunctions)
{
    // function T() { f = ASnative(2, 0); trace(f()); }  T(); new T();
    S body = std::move(S().assign("f", S().call("ASnative", { 2, 0 })).call("f").trace());
    runRows({
        { "ASnative(2, 0) tells a constructor call", 6, std::move(S().function("T", {}, body).call("T").pop().construct("T").pop()),
            { "false", "true" } },
        // It inherits from the current _global.Array.prototype, which here is
        // still Array's own (ArrayConstructionTest replaces it).
        { "Array as a function is a plain array", 6,
            std::move(S().assign("a", S().call("Array", { 1, 2 })).var("a").trace().member("a", { "length" }).trace()),
            { "1,2", "2" } },
        { "Array as a function in version 5 is a plain array", 5,
            std::move(S().assign("a", S().call("Array", { 1, 2 })).var("a").trace()), { "1,2" } },
        { "an array literal takes the current Array.prototype", 6,
            std::move(S().setMember("_global", "Array", S().function("", {}, S())).array({ "x" }).trace()), { "[object Object]" } },
    });
}

TEST(CoreRules, StringObjectsConvertToTheirOwnValue)
{
    // s = new String("str"); s.toString = s.valueOf = function () { return "other"; };
    S other = std::move(S().value("other").ret());
    S setup = std::move(S().assign("s", S().construct("String", { "str" }))
                            .setMember("s", "toString", S().function("", {}, other))
                            .setMember("s", "valueOf", S().function("", {}, other)));
    runRows({
        { "joined into an array", 6, std::move(S(setup).var("s").value(1).op(0x42).trace()), { "str" } },
        { "given to String()", 7, std::move(S(setup).var("s").callWith("String", 1).trace()), { "str" } },
        { "concatenated", 5, std::move(S(setup).var("s").methodWith("s", "concat", 1).trace()), { "strstr" } },
    });
}

TEST(CoreRules, OldCaseChangesTouchAsciiOnly)
{
    // o = {toString: function () { return "aB\u00e4\u00c4"; }}; o.u = ASnative(102, 0); o.l = ASnative(102, 1)
    S text = std::move(S().value("aB\xc3\xa4\xc3\x84").ret());
    S setup = std::move(S().assign("o", S().object({})).setMember("o", "toString", S().function("", {}, text))
                            .setMember("o", "u", S().call("ASnative", { 102, 0 })).setMember("o", "l", S().call("ASnative", { 102, 1 })));
    runRows({
        { "upper", 6, std::move(S(setup).method("o", "u").trace()), { "AB\u00e4\u00c4" } },
        { "lower", 6, std::move(S(setup).method("o", "l").trace()), { "ab\u00e4\u00c4" } },
    });
}

TEST(CoreRules, BroadcastMessageAnswersWhetherAnyoneWasTold)
{
    // e = {}; AsBroadcaster.initialize(e); e._listeners = [...]; trace(e.broadcastMessage("m"))
    auto withListeners = [](std::initializer_list<Asm::Item> listeners) {
        return std::move(S().assign("e", S().object({})).var("e").methodWith("AsBroadcaster", "initialize", 1).pop()
                             .setMember("e", "_listeners", S().array(listeners))
                             .method("e", "broadcastMessage", { "m" }).trace());
    };
    runRows({
        { "no listeners", 6, withListeners({}), { "undefined" } },
        { "a string listener counts", 6, withListeners({ "hi" }), { "true" } },
        { "undefined and null are no one", 6, withListeners({ Undef {}, Null {} }), { "undefined" } },
    });
}

TEST(CoreRules, SplitByVersion)
{
    // trace(s.split(args...).length)
    auto splitLength = [](const char* s, std::initializer_list<Asm::Item> args) {
        return std::move(S().assign("s", S().value(s)).method("s", "split", args).value("length").op(0x4E).trace());
    };
    runRows({
        { "an empty separator keeps the string whole in version 5", 5, splitLength("hello", { "" }), { "1" } },
        { "an empty separator splits characters from version 6", 6, splitLength("hello", { "" }), { "5" } },
        { "the empty string split on nothing is empty from version 6", 7, splitLength("", { "" }), { "0" } },
        { "a limit of zero gives nothing in version 5", 5, splitLength("a,b", { ",", 0 }), { "0" } },
        { "a limit below one gives one empty part from version 6", 6, splitLength("a,b", { ",", -1 }), { "1" } },
        { "a fractional limit below one is zero", 7, splitLength("a,b", { ",", 0.5 }), { "1" } },
        { "an infinite limit is the integer zero", 8, splitLength("a,b", { ",", std::numeric_limits<double>::infinity() }), { "1" } },
        { "an infinite limit gives nothing in version 5", 5, splitLength("a,b", { ",", std::numeric_limits<double>::infinity() }), { "0" } },
        { "a positive limit", 8, splitLength("a,b,c", { ",", 2 }), { "2" } },
        { "a longer separator keeps the string whole in version 5", 5, splitLength("a--b--c", { "--" }), { "1" } },
        { "a longer separator splits from version 6", 6, splitLength("a--b--c", { "--" }), { "3" } },
    });
}
