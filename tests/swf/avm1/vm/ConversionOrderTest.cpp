// Which of valueOf and toString a conversion asks, in which order, and what
// it makes of an answer that is still an object; each expected trace is
// worked out by hand.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// A method that traces `name` and returns what `result` pushes.
S tracing(const char* name, const S& result)
{
    return std::move(S().value(name).trace().then(result).ret());
}

// o = {}; o.valueOf = tracing("v", valueOf); o.toString = tracing("s", toString)
S probe(const S& valueOf, const S& toString)
{
    return std::move(S().assign("o", S().object({}))
                         .setMember("o", "valueOf", S().function("", {}, tracing("v", valueOf)))
                         .setMember("o", "toString", S().function("", {}, tracing("s", toString))));
}

S self() { return std::move(S().var("this")); }

} // namespace

TEST(ConversionOrder, ConcatenationAsksValueOfThenToString)
{
    // trace("a" + o)
    auto concat = [](const S& setup) { return std::move(S(setup).value("a").var("o").add().trace()); };
    runRows({
        { "a primitive from valueOf ends it", 6, concat(probe(S().value(5), S().value("t"))), { "v", "a5" } },
        { "an object from valueOf asks toString", 7, concat(probe(self(), S().value("t"))), { "v", "s", "at" } },
        { "objects from both name the type, asking nothing again", 7, concat(probe(self(), self())),
            { "v", "s", "a[type Object]" } },
        { "a clip from valueOf is its path", 6, concat(probe(S().var("_root"), S().value("t"))), { "v", "a_level0" } },
    });
}

TEST(ConversionOrder, NumbersAskValueOfAlone)
{
    runRows({
        { "Number() of an object whose valueOf gives an object", 7,
            std::move(probe(self(), S().value("5")).var("o").callWith("Number", 1).trace()), { "v", "NaN" } },
        { "arithmetic the same", 6, std::move(probe(self(), S().value("5")).var("o").value(1).subtract().trace()),
            { "v", "NaN" } },
        { "a primitive from valueOf is converted", 6,
            std::move(probe(S().value("4"), S().value("5")).var("o").value(1).subtract().trace()), { "v", "3" } },
    });
}

TEST(ConversionOrder, ObjectOfNothingHasNoValue)
{
    // x = Object(null): an object with no methods to ask.
    S x = std::move(S().assign("x", S().call("Object", { Null{} })));
    runRows({
        { "it is an object", 7, std::move(S(x).var("x").typeOf().trace()), { "object" } },
        { "its text is undefined", 7, std::move(S(x).value("").var("x").add().trace()), { "undefined" } },
        { "its number is undefined's: 0 before version 7", 6, std::move(S(x).var("x").callWith("Number", 1).trace()),
            { "0" } },
        { "and NaN from version 7", 7, std::move(S(x).var("x").callWith("Number", 1).trace()), { "NaN" } },
        { "Object() with no argument is a plain object", 7, std::move(S().value("").call("Object").add().trace()),
            { "[object Object]" } },
    });
}

TEST(ConversionOrder, DatesByVersion)
{
    // d = new Date(1.5)
    S d = std::move(S().assign("d", S().construct("Date", { 1.5 })));
    runRows({
        { "a Date keeps fractions of a millisecond", 7, std::move(S(d).var("d").callWith("Number", 1).trace()), { "1.5" } },
        { "version 5 concatenates a Date's number", 5, std::move(S(d).value("").var("d").add().trace()), { "1.5" } },
        { "version 6 concatenates its text", 6, std::move(S(d).value("").var("d").add().op(0x14).value(10).op(0x48).trace()),
            { "false" } },
        { "Function is absent from version 5", 5, std::move(S().var("Function").typeOf().trace()), { "undefined" } },
        { "and there from version 6", 6, std::move(S().var("Function").typeOf().trace()), { "function" } },
    });
}

TEST(ConversionOrder, ScriptStringsThatAreNotUtf8)
{
    runRows({
        { "invalid UTF-8 reads as empty from version 6", 6, std::move(S().value("x\xff\xffy").trace()), { "" } },
        { "valid UTF-8 is kept", 6, std::move(S().value("\xc3\xa4").trace()), { "\u00e4" } },
        { "an encoded replacement character is kept", 7, std::move(S().value("a\xef\xbf\xbd").trace()), { "a\ufffd" } },
    });
}

TEST(ConversionOrder, ComparisonsAskValueOfAlone)
{
    // trace(o < 1), trace(1 > o)
    auto less = [](const S& setup) { return std::move(S(setup).var("o").value(1).op(0x48).trace()); };
    runRows({
        { "a primitive from valueOf is compared", 7, less(probe(S().value(0), S().value("5"))), { "v", "true" } },
        { "an object from valueOf makes it false, not undefined", 7, less(probe(self(), S().value("0"))), { "v", "false" } },
        { "NaN still gives undefined", 7, less(probe(S().value("x"), S().value("0"))), { "v", "undefined" } },
    });
}

TEST(ConversionOrder, TextAsksToStringAlone)
{
    // trace(String(o))
    auto text = [](const S& setup) { return std::move(S(setup).var("o").callWith("String", 1).trace()); };
    runRows({
        { "a primitive from toString", 7, text(probe(S().value(5), S().value("t"))), { "s", "t" } },
        { "an object from toString names the type without asking valueOf", 7, text(probe(S().value(5), self())),
            { "s", "[type Object]" } },
    });
}

TEST(ConversionOrder, ObjectsWithoutPrimitivesInSums)
{
    // f = function () {}; its valueOf and toString both give objects.
    S f = std::move(S().assign("f", S().function("", {}, S())));
    runRows({
        { "a number plus a function is NaN", 7, std::move(S(f).value(2).var("f").add().trace()), { "NaN" } },
        { "a string plus a function names it", 7, std::move(S(f).value("x").var("f").add().trace()), { "x[type Function]" } },
    });
}

TEST(ConversionOrder, SurrogatesEncodedOneByOneAreKept)
{
    // U+10002 written as two three-byte sequences, one per surrogate.
    runRows({
        { "the pair equals the four-byte form", 7,
            std::move(S().value("\xed\xa0\x80\xed\xb0\x82").value("\xf0\x90\x80\x82").op(0x66).trace()), { "true" } },
        { "a lead byte without its continuation empties the string", 7,
            std::move(S().value("ab\xe4").op(0x14).trace()), { "0" } },
    });
}

TEST(ConversionOrder, StringsOrderByCodePoint)
{
    // trace("\uFF61" < "\U00010002"): U+10002 is the greater code point,
    // though its first UTF-16 unit (U+D800) is below U+FF61.
    runRows({
        { "beyond U+FFFF sorts last", 7, std::move(S().value("\xef\xbd\xa1").value("\xf0\x90\x80\x82").op(0x48).trace()),
            { "true" } },
        { "plain letters", 6, std::move(S().value("B").value("A").op(0x48).trace()), { "false" } },
    });
}
