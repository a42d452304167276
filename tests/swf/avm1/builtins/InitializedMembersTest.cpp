// Members the player's initializers hand out: AsBroadcaster.initialize asks
// _global.ASnative for each broadcaster's broadcastMessage, and a copied
// ContextMenu's item list is made as `new Array()` is.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

TEST(InitializedMembers, BroadcastMessageComesFromASnative)
{
    // AsBroadcaster.initialize(o) with o pushed as the argument.
    S untouched;
    untouched.assign("o", S().object({})).var("o").value(1).var("AsBroadcaster").value("initialize").op(0x52).pop();
    untouched.member("o", { "broadcastMessage" }).typeOf().trace();

    // _global.ASnative = function (a, b) { return a + b; }
    S replaced;
    replaced.setMember("_global", "ASnative", S().function("", { "a", "b" }, S().var("a").var("b").add().ret()));
    replaced.then(untouched);

    // A replacement that is no function gives nothing.
    S broken;
    broken.setMember("_global", "ASnative", S().value(22)).then(untouched);
    runRows({
        { "native", 7, untouched, { "function" } },
        { "replaced ASnative answers", 7, replaced, { "number" } },
        { "ASnative not a function", 7, broken, { "undefined" } },
    });
}

TEST(InitializedMembers, CopiedMenuItemsAreMadeAsArrays)
{
    S s;
    s.assign("m", S().construct("ContextMenu")).assign("c", S().method("m", "copy"));
    s.member("c", { "customItems", "__constructor__" }).var("Array").op(0x49).trace();
    s.member("c", { "customItems", "length" }).trace();
    runRows({ { "copy", 7, s, { "true", "0" } } });
}
