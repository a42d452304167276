// How Array.sort and Array.sortOn order, call a comparison function, write
// back and read their options; each expected trace is worked out by hand
// from the partition order: the first element of a range is the pivot, the
// left scan stops at the first element the pivot precedes, the right scan at
// the first one it follows, and the comparison is always asked (pivot, other).

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// function c(a, b) { trace(a + ":" + b); <extra>; return a - b; }
S tracingCompare(const char* name, const S& extra = S())
{
    S body = std::move(S().var("a").value(":").add().var("b").add().trace().then(extra).var("a").var("b").subtract().ret());
    return std::move(S().function(name, { "a", "b" }, body));
}

// function z(a, b) { trace(a + ":" + b); return 0; }
S zeroCompare()
{
    S body = std::move(S().var("a").value(":").add().var("b").add().trace().value(0).ret());
    return std::move(S().function("z", { "a", "b" }, body));
}

// x = [items]; trace(x.sort(fn));
S sortAndTrace(std::initializer_list<S::Item> items, const char* fn)
{
    return std::move(S().assign("x", S().array(items)).var(fn).value(1).var("x").value("sort").op(0x52).trace());
}

} // namespace

TEST(ArraySort, ComparisonOrderFollowsThePartitions)
{
    // [1,3,2,4]: pivot 1 stops the left scan at 3, the right scan runs
    // 4,2,3 down to the pivot; then [3,2,4] with pivot 3: 2 is passed, the
    // scan stops at 4 (the right end), the right scan passes 4 and stops at
    // 2, and 3 swaps with 2.
    S fourItems = std::move(tracingCompare("c").then(sortAndTrace({ 1, 3, 2, 4 }, "c")));
    // [2,3,1]: 3 and 1 swap, then the scans meet at 1 and the pivot swaps
    // with it.
    S swapThenMeet = std::move(tracingCompare("c").then(sortAndTrace({ 2, 3, 1 }, "c")));
    runRows({
        { "four items", 6, std::move(fourItems),
            { "1:3", "1:4", "1:2", "1:3", "3:2", "3:4", "3:2", "1,2,3,4" } },
        { "a swap inside the partition", 7, std::move(swapThenMeet), { "2:3", "2:1", "2:1", "2:3", "2:1", "1,2,3" } },
    });
}

TEST(ArraySort, UniqueSortLooksAtNeighboursNotAtTheAnswers)
{
    // The function is passed as a variable's value; Array.UNIQUESORT is 4.
    // x = [1,2,1]; trace(x.sort(c, 4)): the two 1s end up side by side.
    S equalNeighbours = std::move(tracingCompare("c").assign("x", S().array({ 1, 2, 1 })).value(4).var("c").value(2)
                                      .var("x").value("sort").op(0x52).trace());
    // A function that calls everything equal leaves [1,2,1] as it was, and
    // no two neighbours are equal, so the array comes back.
    S allEqual = std::move(zeroCompare().assign("x", S().array({ 1, 2, 1 })).value(4).var("z").value(2)
                               .var("x").value("sort").op(0x52).trace());
    runRows({
        { "equal neighbours give 0", 6, std::move(equalNeighbours), { "1:2", "1:1", "1:2", "2:1", "0" } },
        { "answers of 0 alone do not", 6, std::move(allEqual), { "1:2", "1:1", "1:2", "2:1", "1,2,1" } },
    });
}

TEST(ArraySort, OnlyMovedPlacesAreWrittenBack)
{
    // The comparison function empties the array each time: 1 never moved,
    // so its place stays empty, while 2 and 3 are written where they go.
    S truncating = std::move(tracingCompare("c", S().setMember("x", "length", S().value(0)))
                                 .then(sortAndTrace({ 1, 3, 2 }, "c")));
    // It appends past the end: the sorted part is written over the first
    // two places and what it appended stays.
    S appending = std::move(tracingCompare("c", S().setMember("x", "2", S().value("h")))
                                .then(sortAndTrace({ 2, 1 }, "c")));
    runRows({
        { "emptied while sorting", 6, std::move(truncating), { "1:3", "1:2", "1:3", "3:2", ",2,3" } },
        { "grown while sorting", 6, std::move(appending), { "2:1", "1,2,h" } },
    });
}

TEST(ArraySort, SortOnOptions)
{
    // x = [{a: 2}, {a: 1}]; r = x.sortOn(["a"], options); trace(r[0].a)
    // An indexed result holds numbers, whose `a` is undefined; a sorted
    // one holds the objects, and the first is {a: 1}. Array.RETURNINDEXEDARRAY
    // is 8.
    auto sortOn = [](const S& options) {
        S s;
        s.assign("x", S().then(S().object({ { "a", 1 } })).then(S().object({ { "a", 2 } })).value(2).op(0x42));
        s.assign("r", S().then(options).then(S().array({ "a" })).value(2).var("x").value("sortOn").op(0x52));
        s.member("r", { "0", "a" }).trace();
        return s;
    };
    runRows({
        { "a number applies to every field", 6, sortOn(S().value(8)), { "undefined" } },
        { "a numeric string too", 6, sortOn(S().value("8")), { "undefined" } },
        { "one flag per field", 6, sortOn(S().array({ 8 })), { "undefined" } },
        { "too many flags are ignored", 6, sortOn(S().array({ 8, 0 })), { "1" } },
        { "a String object is no list of flags", 6, sortOn(S().construct("String", { "8" })), { "1" } },
    });
}
