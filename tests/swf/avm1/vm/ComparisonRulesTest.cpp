// How the relational actions convert their operands: which operand is read
// first, what stops a comparison early, where the empty string sorts, what a
// clip compares as, and the text StringLess reads from an object. Each
// expected trace is worked out by hand.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

constexpr uint8_t Less = 0x0F, Less2 = 0x48, Greater = 0x67, StringLess = 0x29, Delete2 = 0x3B;

// function name() { trace(said); return <value>; }  o.method = name
S methodOn(const char* object, const char* method, const char* name, const char* said, const S& value)
{
    S body;
    if (said)
        body.value(said).trace();
    body.then(value).ret();
    return std::move(S().function(name, {}, body).setMember(object, method, S().var(name)));
}

S objects()
{
    return std::move(S().assign("o", S().construct("Object")).assign("p", S().construct("Object")));
}

} // namespace

TEST(ComparisonRules, StringsAndClipsInLess2)
{
    auto compare = [](S::Item a, S::Item b, uint8_t op) { return std::move(S().value(a).value(b).op(op).trace()); };
    runRows({
        { "the empty string is not less than another", 7, compare("", "0", Less2), { "false" } },
        { "the empty string is greater than another", 7, compare("", "0", Greater), { "true" } },
        { "another string is less than the empty one", 6, compare("a", "", Less2), { "true" } },
        { "two empty strings are equal", 6, compare("", "", Less2), { "false" } },
        { "other strings by code point", 6, compare("b", "a", Less2), { "false" } },
        // this is the root clip: it compares as no number at all.
        { "a clip compares as undefined", 7, std::move(S().var("this").value(5).op(Less2).trace()), { "undefined" } },
    });
}

TEST(ComparisonRules, AnOperandLeftAnObjectEndsTheComparison)
{
    // p.valueOf() traces "v" and returns p itself; o keeps Object's valueOf,
    // which gives o back.
    S setup = std::move(objects().then(methodOn("p", "valueOf", "pv", "v", S().var("this"))));
    runRows({
        // o < p: o is read first and stays an object; p is never asked.
        { "left first in Less2", 6, std::move(S(setup).var("o").var("p").op(Less2).trace()), { "false" } },
        // p > o reads o first (the right operand), which ends it.
        { "right first in Greater", 6, std::move(S(setup).var("p").var("o").op(Greater).trace()), { "false" } },
        // o > p reads p first: its valueOf runs, then o ends it.
        { "Greater asks the right operand", 6, std::move(S(setup).var("o").var("p").op(Greater).trace()), { "v", "false" } },
    });
}

TEST(ComparisonRules, OldLessReadsTheLeftOperandFirst)
{
    S setup = std::move(objects()
                            .then(methodOn("o", "valueOf", "ov", "left", S().value(1)))
                            .then(methodOn("p", "valueOf", "pv", "right", S().value(2))));
    runRows({
        { "o < p with the old Less", 6, std::move(S(setup).var("o").var("p").op(Less).trace()), { "left", "right", "true" } },
    });
}

TEST(ComparisonRules, TextOfAnObjectNeedsAStringFromToString)
{
    // "0" against an object whose toString gives `value`: a string is
    // compared as it is, anything else as "[type Object]" ('[' sorts after '0').
    auto against = [](const S& value) {
        return std::move(objects().then(methodOn("o", "toString", "ts", nullptr, value)).value("0").var("o").op(StringLess).trace());
    };
    auto parsed = [](const S& value) {
        return std::move(objects().then(methodOn("o", "toString", "ts", nullptr, value)).var("o").value(1).value("parseFloat").op(0x3D).trace());
    };
    runRows({
        { "a string from toString", 6, against(std::move(S().value("0"))), { "false" } },
        { "a number from toString", 6, against(std::move(S().value(0))), { "true" } },
        { "undefined from toString", 6, against(std::move(S().value(Undef {}))), { "true" } },
        { "parseFloat reads the string", 6, parsed(std::move(S().value("2.5"))), { "2.5" } },
        { "parseFloat of a number from toString", 6, parsed(std::move(S().value(2))), { "NaN" } },
        { "parseFloat of nothing at all", 6, std::move(S().value(0).value("parseFloat").op(0x3D).trace()), { "undefined" } },
    });
}

TEST(ComparisonRules, ArraysAndTheArrayConstructor)
{
    runRows({
        { "new Array marks the array with its constructor", 6,
            std::move(S().assign("a", S().construct("Array", { 1, 2 })).member("a", { "__constructor__" }).var("Array").op(0x66).trace()),
            { "true" } },
        // delete Array; a = [1, 2]: no prototype, so no join, but a length.
        { "an array literal after Array is gone", 7,
            std::move(S().value("Array").op(Delete2).pop().assign("a", S().array({ 1, 2 })).method("a", "join").trace().member("a", { "length" }).trace()),
            { "undefined", "2" } },
    });
}

TEST(ComparisonRules, FunctionsHaveNoValueInVersion5)
{
    // function f() {} trace(f == null); trace(f == undefined)
    auto f = [] { return std::move(S().function("f", {}, S()).var("f").value(Null {}).op(0x49).trace().var("f").value(Undef {}).op(0x49).trace()); };
    runRows({
        { "version 5 finds them equal to null", 5, f(), { "true", "true" } },
        { "version 6 does not", 6, f(), { "false", "false" } },
    });
}

TEST(ComparisonRules, NewWithoutAPrototypeObject)
{
    // x = new Array.prototype.push(42): the built-in runs on an object with
    // no prototype, which has no text of its own.
    S s;
    s.assign("x", S().value(42).value(1).member("Array", { "prototype" }).value("push").op(0x53));
    s.member("x", { "0" }).trace().var("x").trace();
    runRows({ { "a built-in method as a constructor", 7, std::move(s), { "42", "[type Object]" } } });
}
