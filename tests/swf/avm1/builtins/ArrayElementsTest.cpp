// Array elements as members: deleting one leaves a hole, elements carry the
// attribute bits ASSetPropFlags sets, and host arrays hand out read-only
// elements. Each expected trace is worked out by hand.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// ASSetPropFlags(a, names, set, clear) on the variable `a`.
S setFlags(const char* names, int set, int clear = 0)
{
    return std::move(S().value(clear).value(set).value(names).var("a").callWith("ASSetPropFlags", 4).pop());
}

// a = [1, 2, 3]
S abc() { return std::move(S().assign("a", S().array({ 1, 2, 3 }))); }

} // namespace

TEST(ArrayElements, DeleteLeavesAHole)
{
    // delete a[1]; trace of the result, the length, hasOwnProperty, the
    // join and for..in over what is left.
    S s = abc();
    s.remove("a", "1").trace();
    s.member("a", { "length" }).trace();
    s.method("a", "hasOwnProperty", { "1" }).trace();
    s.var("a").trace();
    S refill = abc();
    refill.remove("a", "1").pop().setMember("a", "1", S().value(5)).method("a", "hasOwnProperty", { "1" }).trace().var("a").trace();
    runRows({
        { "the element goes, the length stays", 7, std::move(s), { "true", "3", "false", "1,undefined,3" } },
        { "a hole reads as undefined in version 6 too", 6, std::move(S().then(abc()).remove("a", "0").pop().var("a").trace()), { ",2,3" } },
        { "deleting a hole deletes nothing", 7, std::move(S().then(abc()).remove("a", "1").pop().remove("a", "1").trace()), { "false" } },
        { "writing fills the hole", 7, std::move(refill), { "true", "1,5,3" } },
    });
}

TEST(ArrayElements, AttributeBitsApplyToElements)
{
    // a[0] = 9 after making element 0 read-only; delete after making it
    // permanent; for..in after hiding it; then the bits cleared again.
    S readOnly = abc();
    readOnly.then(setFlags("0", 4)).setMember("a", "0", S().value(9)).member("a", { "0" }).trace();
    readOnly.then(setFlags("0", 0, 4)).setMember("a", "0", S().value(9)).member("a", { "0" }).trace();
    S permanent = abc();
    permanent.then(setFlags("1", 2)).remove("a", "1").trace().then(setFlags("1", 0, 2)).remove("a", "1").trace();
    S hidden = abc();
    hidden.then(setFlags("0,2", 1)).method("a", "isPropertyEnumerable", { "0" }).trace().method("a", "isPropertyEnumerable", { "1" }).trace();
    runRows({
        { "read-only, then writable", 7, std::move(readOnly), { "1", "9" } },
        { "permanent, then deletable", 7, std::move(permanent), { "false", "true" } },
        { "hidden from enumeration", 7, std::move(hidden), { "false", "true" } },
    });
}

TEST(ArrayElements, ChildNodesAreReadOnly)
{
    // x = new XML("<a><b/></a>"); c = x.firstChild.childNodes; c[0] = 1;
    // trace(c[0].nodeName); delete c[0]; trace(c.length)
    S s;
    s.assign("x", S().construct("XML", { "<a><b/></a>" }));
    s.assign("c", S().member("x", { "firstChild", "childNodes" }));
    s.setMember("c", "0", S().value(1)).member("c", { "0", "nodeName" }).trace();
    s.remove("c", "0").trace().member("c", { "length" }).trace();
    runRows({ { "written in vain, deleted as any element", 7, std::move(s), { "b", "true", "1" } } });
}

TEST(ArrayElements, JoinAndSortTakeUndefinedAsText)
{
    // [1, undefined, 2].join(undefined); ["b", undefined, "a"].sort()
    S join = std::move(S().assign("a", S().array({ 1, Undef {}, 2 })).value(Undef {}).value(1).var("a").value("join").op(0x52).trace());
    S sort = std::move(S().assign("a", S().array({ "b", Undef {}, "a" })).method("a", "sort").trace());
    runRows({
        { "an undefined separator is empty before 7", 6, S(join), { "12" } },
        { "and its text from 7", 7, S(join), { "1undefinedundefinedundefined2" } },
        { "undefined sorts first as empty text", 6, S(sort), { ",a,b" } },
        { "and between letters as 'undefined'", 7, S(sort), { "a,b,undefined" } },
        { "text as the sort option sorts nothing", 7, std::move(S().then(abc()).method("a", "sort", { "x" }).trace()), { "undefined" } },
    });
}

TEST(ArrayElements, LengthsBelowZero)
{
    // a = []; a.length = -3; a[-2] = "x"; then a.push("y") from -1.
    S s;
    s.assign("a", S().array({})).setMember("a", "length", S().value(-3));
    s.setMember("a", "-2", S().value("x")).member("a", { "length" }).trace();
    s.method("a", "push", { "y", "z" }).trace().member("a", { "-1" }).trace().member("a", { "0" }).trace();
    runRows({ { "negative indices move the length", 7, std::move(s), { "-1", "1", "y", "z" } } });
}

TEST(ArrayElements, MethodsWorkOnObjectsThatAreNotArrays)
{
    // o = {}; o.push = Array.prototype.push (and pop, shift, join, reverse);
    // only push writes the length back.
    auto fake = [] {
        S s;
        s.assign("o", S().object({}));
        for (const char* m : { "push", "pop", "shift", "unshift", "join", "reverse", "splice", "sort" })
            s.setMember("o", m, S().member("Array", { "prototype", m }));
        return s;
    };
    S pushPop = fake();
    pushPop.method("o", "push", { "a", "b", "c" }).trace().method("o", "pop").trace();
    pushPop.member("o", { "length" }).trace().method("o", "join", { ":" }).trace();
    S shifting = fake();
    shifting.method("o", "push", { "a", "b", "c" }).pop().method("o", "shift").trace().method("o", "join", { ":" }).trace();
    shifting.method("o", "unshift", { "z" }).trace().method("o", "join", { ":" }).trace();
    S reorder = fake();
    reorder.method("o", "push", { "b", "c", "a" }).pop().method("o", "reverse").pop().method("o", "join").trace();
    reorder.method("o", "sort").pop().method("o", "join").trace();
    reorder.method("o", "splice", { 1, 1 }).trace().member("o", { "length" }).trace();
    runRows({
        { "push and pop", 7, std::move(pushPop), { "3", "c", "3", "a:b:undefined" } },
        { "shift and unshift move members only", 7, std::move(shifting), { "a", "b:c:c", "3", "z:b:c" } },
        { "reverse, sort and splice", 7, std::move(reorder), { "a,c,b", "a,b,c", "b", "2" } },
    });
}

TEST(ArrayElements, BroadcastersTellAnyListenerList)
{
    // o = {}; AsBroadcaster.initialize(o); o._listeners = { length: 1, 0: l }
    // with l.m tracing; o.broadcastMessage("m")
    S s;
    s.assign("o", S().object({}));
    s.var("o").value(1).var("AsBroadcaster").value("initialize").op(0x52).pop();
    s.assign("l", S().object({}));
    s.setMember("l", "m", S().function("", {}, S().value("told").trace()));
    s.assign("list", S().object({ { "length", 1 } })).setMember("list", "0", S().var("l"));
    s.setMember("o", "_listeners", S().var("list"));
    s.method("o", "broadcastMessage", { "m" }).trace();
    runRows({ { "an object with a length", 7, std::move(s), { "told", "true" } } });
}
