// What `this` and `super` are in a call, how names with odd characters are
// read, and what an array's `length` keeps; each expected trace is worked
// out by hand.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

constexpr uint8_t Extends = 0x69, CallMethod = 0x52;

// super.foo() as a statement.
S superFoo()
{
    return std::move(S().value(0).var("super").value("foo").op(CallMethod).pop());
}

// function Name() {}
S emptyClass(const char* name)
{
    return std::move(S().function(name, {}, S()));
}

} // namespace

TEST(ThisAndSuper, SuperCallsStartAboveWhereTheirLookupStarted)
{
    // One <- Two <- Three; only One and Three define foo, and each calls
    // super.foo() first. From Three's foo, super looks from Two.prototype
    // and finds One's foo; that call's own super looks from One.prototype
    // (one above Two.prototype) and finds One's foo again, whose super
    // looks from Object.prototype and finds nothing.
    S s;
    s.then(emptyClass("One")).then(emptyClass("Two")).then(emptyClass("Three"));
    s.var("Two").var("One").op(Extends);
    s.var("Three").var("Two").op(Extends);
    s.assign("p1", S().member("One", { "prototype" })).setMember("p1", "foo", S().function("", {}, S().then(superFoo()).value("foo 1").trace()));
    s.assign("p3", S().member("Three", { "prototype" })).setMember("p3", "foo", S().function("", {}, S().then(superFoo()).value("foo 3").trace()));
    s.assign("x", S().construct("Three")).method("x", "foo", {}).pop();
    runRows({ { "a method no class in between overrides", 6, std::move(s), { "foo 1", "foo 1", "foo 3" } } });
}

TEST(ThisAndSuper, NothingToCallOnMeansNoThis)
{
    // function f() { trace(typeof this); }
    S f = std::move(S().function("f", {}, S().var("this").typeOf().trace()));
    runRows({
        { "a plain call runs on the timeline", 6, std::move(S().then(f).call("f").pop()), { "movieclip" } },
        // f as a method without a name: CallMethod with "" for the name.
        { "a call through a nameless method has none", 6, std::move(S().then(f).value(0).var("f").value("").op(CallMethod).pop()),
            { "undefined" } },
        // apply(undefined) is a call on nothing in particular: the global object.
        { "apply on undefined runs on the global object", 6,
            std::move(S().then(f).args({ Undef {} }).var("f").value("apply").op(CallMethod).pop()), { "object" } },
    });
}

TEST(ThisAndSuper, OddVariableNames)
{
    // this[name] = 42; trace(eval(name))
    auto setThenRead = [](const char* name) {
        return std::move(S().var("this").value(name).value(42).op(0x4F).var(name).trace());
    };
    runRows({
        { "a slash path to no clip is a plain name", 6, setThenRead("a/"), { "42" } },
        { "a leading slash too", 6, setThenRead("/b"), { "42" } },
        { "a slash alone is the root", 6, setThenRead("/"), { "_level0" } },
        // o[""] = 1 keeps nothing.
        { "no member has an empty name", 6,
            std::move(S().assign("o", S().object({})).setMember("o", "", S().value(1)).member("o", { "" }).trace()), { "undefined" } },
    });
}

TEST(ThisAndSuper, ArrayLengthKeepsWhatWasWritten)
{
    // a = []; a.length = "x"; trace(a.length); a.push(1); trace(a.length)
    S s = std::move(S().assign("a", S().array({})).setMember("a", "length", S().value("x")).member("a", { "length" }).trace()
                        .method("a", "push", { 1 }).pop().member("a", { "length" }).trace());
    // a = [1, 2, 3]; a.length = 1; trace(a.length); trace(a)
    S number = std::move(S().assign("a", S().array({ 1, 2, 3 })).setMember("a", "length", S().value(1)).member("a", { "length" }).trace()
                             .var("a").trace());
    runRows({
        { "a string reads back until the array changes", 6, std::move(s), { "x", "1" } },
        { "a number still truncates", 6, std::move(number), { "1", "1" } },
    });
}

TEST(ThisAndSuper, AnObjectsOwnMethodHasItsClassAsHome)
{
    // One <- Two <- Three <- Four; One.prototype.bla traces "bla 1";
    // Two.prototype.foo calls super.bla() and traces "foo 2";
    // Three.prototype.bla calls super.foo() and traces "bla 3". x = new Four
    // with a method of its own, x.bla, calling super.foo(). Its home is x's
    // class, Four.prototype, so its super starts at Three.prototype and
    // finds Two's foo, whose super starts one above that lookup's start, at
    // Two.prototype: One's bla, not Three's.
    S s;
    s.then(emptyClass("One")).then(emptyClass("Two")).then(emptyClass("Three")).then(emptyClass("Four"));
    s.var("Two").var("One").op(Extends);
    s.var("Three").var("Two").op(Extends);
    s.var("Four").var("Three").op(Extends);
    auto callsThen = [](const char* method, const char* label) {
        return std::move(S().value(0).var("super").value(method).op(CallMethod).pop().value(label).trace());
    };
    s.assign("p1", S().member("One", { "prototype" })).setMember("p1", "bla", S().function("", {}, S().value("bla 1").trace()));
    s.assign("p2", S().member("Two", { "prototype" })).setMember("p2", "foo", S().function("", {}, callsThen("bla", "foo 2")));
    s.assign("p3", S().member("Three", { "prototype" })).setMember("p3", "bla", S().function("", {}, callsThen("foo", "bla 3")));
    s.assign("x", S().construct("Four")).setMember("x", "bla", S().function("", {}, callsThen("foo", "bla x")));
    s.method("x", "bla", {}).pop();
    runRows({ { "differently named methods", 6, std::move(s), { "bla 1", "foo 2", "bla x" } } });
}

TEST(ThisAndSuper, FromVersion7SuperStartsAtTheHolderOfAnInheritedMethod)
{
    // One <- Two <- Three <- Four; One.prototype.foo and Four.prototype.foo
    // call super.foo() first, then trace. x = new Four; x.foo().
    // Version 6: every super call starts one link above the last start, so
    // One's foo runs once for each of Three, Two and One.
    // Version 7: Four's super (Three.prototype) finds One's foo further up;
    // that call's super starts at One.prototype, finds One's foo once more,
    // and the next super starts above it and finds nothing.
    auto build = [] {
        S s;
        s.then(emptyClass("One")).then(emptyClass("Two")).then(emptyClass("Three")).then(emptyClass("Four"));
        s.var("Two").var("One").op(Extends);
        s.var("Three").var("Two").op(Extends);
        s.var("Four").var("Three").op(Extends);
        s.assign("p1", S().member("One", { "prototype" })).setMember("p1", "foo", S().function("", {}, S().then(superFoo()).value("foo 1").trace()));
        s.assign("p4", S().member("Four", { "prototype" })).setMember("p4", "foo", S().function("", {}, S().then(superFoo()).value("foo 4").trace()));
        s.assign("x", S().construct("Four")).method("x", "foo", {}).pop();
        return s;
    };
    // Three.prototype.bla calls super.foo(); Two.prototype.foo and
    // Three.prototype.foo trace their names. x = new Four; x.bla(): version
    // 6 starts super above x's class, at Three.prototype (Three's foo runs);
    // version 7 above the holder of bla, at Two.prototype (Two's foo runs).
    auto inherited = [] {
        S s;
        s.then(emptyClass("One")).then(emptyClass("Two")).then(emptyClass("Three")).then(emptyClass("Four"));
        s.var("Two").var("One").op(Extends);
        s.var("Three").var("Two").op(Extends);
        s.var("Four").var("Three").op(Extends);
        s.assign("p2", S().member("Two", { "prototype" })).setMember("p2", "foo", S().function("", {}, S().value("foo 2").trace()));
        s.assign("p3", S().member("Three", { "prototype" })).setMember("p3", "foo", S().function("", {}, S().value("foo 3").trace()));
        s.setMember("p3", "bla", S().function("", {}, S().then(superFoo())));
        s.assign("x", S().construct("Four")).method("x", "bla", {}).pop();
        return s;
    };
    runRows({
        { "version 6 moves one link per call", 6, build(), { "foo 1", "foo 1", "foo 1", "foo 4" } },
        { "version 7 moves past the holder", 7, build(), { "foo 1", "foo 1", "foo 4" } },
        { "version 6 starts above the instance's class", 6, inherited(), { "foo 3" } },
        { "version 7 starts above the method's holder", 7, inherited(), { "foo 2" } },
    });
}
