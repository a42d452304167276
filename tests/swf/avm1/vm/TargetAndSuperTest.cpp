// SetTarget to something that is no clip, and which object `super` starts
// from when a method is reached through super. Expected traces are worked
// out by hand.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

constexpr uint8_t SetTarget2 = 0x20, GetProperty = 0x22, Extends = 0x69;

} // namespace

TEST(TargetRules, APlainObjectIsNoTarget)
{
    // test = "root"; o = new Object(); o.test = "o"; tellTarget(o) { trace(test) }
    S setup = std::move(S().assign("test", S().value("root")).assign("o", S().construct("Object")).setMember("o", "test", S().value("o")));
    runRows({
        { "by value", 6, std::move(S(setup).var("o").op(SetTarget2).var("test").trace()), { "root" } },
        { "by path", 6, std::move(S(setup).value("o").op(SetTarget2).var("test").trace()), { "root" } },
        // A target that is lost has no _name (property 13 of "" the target).
        { "a lost target has no name", 7, std::move(S().value("nowhere").op(SetTarget2).value("").value(13).op(GetProperty).trace()),
            { "undefined" } },
    });
}

TEST(SuperRules, SuperStartsOneLinkAboveTheCallingSuper)
{
    // B extends A, C extends B; only A.prototype.f and C.prototype.f exist.
    // A's f traces "a" and calls super.f(); C's traces "c" and calls super.f().
    // new C().f(): C's f, whose super starts at B.prototype and finds A's f;
    // that call's super starts at A.prototype (above B.prototype) and finds
    // A's f again; the next starts at Object.prototype and finds nothing.
    auto superF = [](const char* said) {
        return std::move(S().value(said).trace().value(0).var("super").value("f").op(0x52).pop());
    };
    S script = std::move(S().function("A", {}, S()).function("B", {}, S()).function("C", {}, S())
                             .var("B").var("A").op(Extends).var("C").var("B").op(Extends)
                             .assign("ap", S().member("A", { "prototype" }))
                             .assign("cp", S().member("C", { "prototype" }))
                             .function("af", {}, superF("a")).setMember("ap", "f", S().var("af"))
                             .function("cf", {}, superF("c")).setMember("cp", "f", S().var("cf"))
                             .assign("x", S().construct("C")).method("x", "f").pop());
    runRows({
        { "a method reaching itself through super", 6, std::move(script), { "c", "a", "a" } },
    });
}
