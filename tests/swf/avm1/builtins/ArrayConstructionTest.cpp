// How arrays are made and sized: a lone number given to Array is a length,
// a length that is not a whole count reads back as written, Array called as
// a function inherits from the current _global.Array.prototype, and the sort
// flags on Array are plain writable numbers.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// trace(new Array(<item>).length)
S lengthOfNew(Asm::Item item)
{
    return std::move(S().construct("Array", { item }).value("length").op(0x4E).trace());
}

// a = [1, 2, 3, 4]; a.length = <length>; trace(a.length); trace(a[2])
S cutTo(Asm::Item length)
{
    S s;
    s.assign("a", S().array({ 1, 2, 3, 4 })).setMember("a", "length", S().value(length));
    return std::move(s.member("a", { "length" }).trace().member("a", { "2" }).trace());
}

} // namespace

TEST(ArrayConstruction, ALoneNumberIsAWholeLength)
{
    S boxed;
    boxed.assign("n", S().construct("Number", { 3 }));
    boxed.var("n").value(1).value("Array").op(0x40).value("length").op(0x4E).trace();
    runRows({
        { "negative is empty", 6, lengthOfNew(-4), { "0" } },
        { "fraction dropped", 6, lengthOfNew(3.5), { "3" } },
        { "whole number", 6, lengthOfNew(2), { "2" } },
        // A Number object is an element, not a length.
        { "boxed number is an element", 6, boxed, { "1" } },
    });
}

TEST(ArrayConstruction, OddLengthsReadBackAsWritten)
{
    runRows({
        { "fraction cuts to its whole part", 6, cutTo(2.5), { "2.5", "undefined" } },
        { "negative empties", 6, cutTo(-4), { "-4", "undefined" } },
        { "whole length", 6, cutTo(3), { "3", "3" } },
    });
}

TEST(ArrayConstruction, CalledAsAFunctionUsesTheCurrentPrototype)
{
    // MyArray = Array; _global.Array = function () {}; x = MyArray(1, 2, 3)
    S replaced;
    replaced.assign("MyArray", S().var("Array"));
    replaced.setMember("_global", "Array", S().function("", {}, S()));
    replaced.assign("x", S().call("MyArray", { 1, 2, 3 }));
    replaced.var("x").trace().member("x", { "length" }).trace().member("x", { "1" }).trace();
    replaced.construct("MyArray", { 1, 2 }).trace();

    // Array(1, 2) instanceof Array
    S plain = std::move(S().call("Array", { 1, 2 }).var("Array").op(0x54).trace());
    runRows({
        { "prototype replaced", 6, replaced, { "[object Object]", "3", "2", "1,2" } },
        { "untouched", 6, plain, { "true" } },
    });
}

TEST(ArrayConstruction, SortFlagsAreWritable)
{
    S s;
    s.setMember("Array", "NUMERIC", S().value(3)).member("Array", { "NUMERIC" }).trace();
    s.member("Array", { "DESCENDING" }).trace();
    runRows({ { "NUMERIC overwritten", 6, s, { "3", "2" } } });
}
