// How the string, math and date built-ins read their arguments: how many
// they convert, what a missing or broken one means, by version where the
// version matters. Each expected trace is worked out by hand.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// name = {}; name.valueOf = function () { trace(name); return value; }
S tracingNumber(const char* name, int value)
{
    S body = std::move(S().value(name).trace().value(value).ret());
    return std::move(S().assign(name, S().object({})).setMember(name, "valueOf", S().function("", {}, body)));
}

// Math.<fn>(a, b, c) with the three tracing numbers 1, 2 and 3, the result
// left on the stack.
S mathOfThree(const char* fn)
{
    return std::move(S().then(tracingNumber("a", 1)).then(tracingNumber("b", 2)).then(tracingNumber("c", 3))
                         .var("c").var("b").var("a").value(3).var("Math").value(fn).op(0x52));
}

// trace("<s>".<method>(args...))
S onString(const char* s, const char* method, std::initializer_list<S::Item> args)
{
    return std::move(S().assign("s", S().value(s)).method("s", method, args).trace());
}

} // namespace

TEST(ArgumentRules, MathConvertsItsFirstTwoArguments)
{
    runRows({
        // max looks at two numbers only: the third is never converted.
        { "max", 6, std::move(mathOfThree("max").trace()), { "a", "b", "2" } },
        { "min", 6, std::move(mathOfThree("min").trace()), { "a", "b", "1" } },
        // A function of one number still converts the second.
        { "abs", 6, std::move(mathOfThree("abs").trace()), { "a", "b", "1" } },
        { "pow in order", 6, std::move(mathOfThree("pow").trace()), { "a", "b", "1" } },
        { "random converts what it ignores", 6, std::move(mathOfThree("random").pop()), { "a", "b" } },
    });
}

TEST(ArgumentRules, SubstringFromTheEnd)
{
    runRows({
        { "a start at the end gives nothing, even backwards", 6, onString("Hello", "substring", { 5, 0 }), { "" } },
        { "one before the end still swaps", 6, onString("Hello", "substring", { 4, 0 }), { "Hell" } },
        { "past the end", 6, onString("Hello", "substring", { 9, 1 }), { "" } },
    });
}

TEST(ArgumentRules, SplitBeforeVersionSix)
{
    // trace("a,b".split().length), trace("ab".split("", 0)[0])
    S noSeparator = std::move(S().assign("s", S().value("a,b")).assign("r", S().method("s", "split", {})).member("r", { "length" }).trace());
    S emptyWithLimit = std::move(S().assign("s", S().value("ab")).assign("r", S().method("s", "split", { "", 0 })).member("r", { "0" }).trace());
    runRows({
        { "no separator is a comma in version 5", 5, S(noSeparator), { "2" } },
        { "and the whole string later", 6, S(noSeparator), { "1" } },
        { "an empty separator keeps the string whatever the limit", 5, std::move(emptyWithLimit), { "ab" } },
    });
}

TEST(ArgumentRules, UnescapeDropsBrokenEscapes)
{
    auto unescape = [](const char* s) { return std::move(S().call("unescape", { s }).trace()); };
    runRows({
        { "a whole escape", 6, unescape("%41"), { "A" } },
        { "a lone percent sign", 6, unescape("%"), { "" } },
        { "one digit at the end", 6, unescape("x%4"), { "x" } },
        { "the character after the percent sign goes with it", 6, unescape("a%zbc"), { "abc" } },
        { "reading goes on after it", 6, unescape("%z%41"), { "A" } },
        { "a plus sign is a space", 6, unescape("a+b"), { "a b" } },
    });
}

TEST(ArgumentRules, DateWithoutItsNumbers)
{
    // d = new Date(0); trace(d.setTime()); trace(d.getTime())
    S setNothing = std::move(S().assign("d", S().construct("Date", { 0 })).method("d", "setTime", {}).trace()
                                 .method("d", "getTime", {}).trace());
    runRows({
        { "setTime of nothing in version 6", 6, S(setNothing), { "NaN", "NaN" } },
        { "and in version 5", 5, std::move(setNothing), { "NaN", "NaN" } },
        { "UTC needs a month", 6, std::move(S().method("Date", "UTC", { 1983 }).trace()), { "undefined" } },
        // 1983-06-01 is 4899 days of 86400000 ms after 1970-01-01.
        { "UTC with a month", 6, std::move(S().method("Date", "UTC", { 1983, 5 }).trace()), { "423273600000" } },
        { "a negative year counts from 1900 too", 6,
            std::move(S().assign("t", S().method("Date", "UTC", { -100, 0 })).assign("d", S().var("t").constructWith("Date", 1))
                           .method("d", "getUTCFullYear", {}).trace()),
            { "1800" } },
        { "the UTC year counts from 1900", 6,
            std::move(S().assign("d", S().construct("Date", { 423273600000.0 })).method("d", "getUTCYear", {}).trace()), { "83" } },
    });
}

TEST(ArgumentRules, EnumerableIgnoresVersionBits)
{
    // o = {a: 1}; ASSetPropFlags(o, "a", flags); trace(o.isPropertyEnumerable("a"))
    auto enumerable = [](int flags) {
        return std::move(S().assign("o", S().object({ { "a", 1 } })).value(flags).value("a").var("o").callWith("ASSetPropFlags", 3).pop()
                             .method("o", "isPropertyEnumerable", { "a" }).trace());
    };
    runRows({
        { "hidden from version 6, still enumerable", 6, enumerable(0x100), { "true" } },
        { "hidden from version 7", 7, enumerable(0x1000), { "true" } },
        { "not enumerable", 6, enumerable(0x1), { "false" } },
    });
}

TEST(ArgumentRules, NumbersFromTextWithSpaces)
{
    // trace(isFinite(s)), trace(s * 1)
    auto check = [](const char* s) { return std::move(S().call("isFinite", { s }).trace().value(s).value(1).op(0x0C).trace()); };
    runRows({
        { "space before the number", 6, check(" 5"), { "true", "5" } },
        { "space after it spoils it", 6, check("  5  "), { "false", "NaN" } },
        { "even a single one", 7, check("5 "), { "false", "NaN" } },
    });
}

TEST(ArgumentRules, BroadcastersGetFixedMembers)
{
    // o = {}; AsBroadcaster.initialize(o);
    S s = std::move(S().assign("o", S().object({})).var("o").methodWith("AsBroadcaster", "initialize", 1).pop());
    // Each broadcaster has a broadcastMessage of its own.
    s.member("o", { "broadcastMessage" }).member("AsBroadcaster", { "broadcastMessage" }).op(0x66).trace();
    // addListener is shared, and a script function with a prototype.
    s.member("o", { "addListener" }).member("AsBroadcaster", { "addListener" }).op(0x66).trace();
    s.member("AsBroadcaster", { "addListener", "prototype" }).typeOf().trace();
    s.member("AsBroadcaster", { "broadcastMessage", "prototype" }).typeOf().trace();
    // The members cannot be deleted.
    s.remove("o", "_listeners").trace();
    runRows({ { "initialize", 6, std::move(s), { "false", "true", "object", "undefined", "false" } } });
}
