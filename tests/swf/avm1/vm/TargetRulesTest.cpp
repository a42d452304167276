// SetTarget to something that is no clip. Expected traces are worked out
// by hand.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

constexpr uint8_t SetTarget2 = 0x20, GetProperty = 0x22;

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
