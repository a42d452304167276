// What the version bits of a member (ASSetPropFlags above the first three
// bits) do to hasOwnProperty, for..in, writes and the Object methods a
// version 5 movie sees. Each expected trace is worked out by hand.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// o = {a: 1}; ASSetPropFlags(o, "a", flags); then `more`.
S flagged(int flags, const S& more)
{
    return std::move(S().assign("o", S().object({ { "a", 1 } })).value(flags).value("a").var("o").callWith("ASSetPropFlags", 3).pop()
                         .then(more));
}

// o.a = "w"; trace(o.a)
S writeThenRead()
{
    return std::move(S().setMember("o", "a", S().value("w")).member("o", { "a" }).trace());
}

// o.b = 2; then Enumerate2 over o and three values traced off the stack: the
// names, newest first, then the closing undefined, then a marker pushed first.
S listNames()
{
    return std::move(S().setMember("o", "b", S().value(2)).value("end").var("o").op(0x55).trace().trace().trace());
}

} // namespace

TEST(PropertyVisibility, HasOwnPropertyDeniesBit0x100InEveryVersion)
{
    S hasA = std::move(S().method("o", "hasOwnProperty", { "a" }).trace());
    runRows({
        { "a plain member is own", 7, flagged(0, hasA), { "true" } },
        { "0x100 is denied in version 7", 7, flagged(0x100, hasA), { "false" } },
        { "0x100 is denied in version 8", 8, flagged(0x100, hasA), { "false" } },
        // The bits that keep a member from older movies leave it own.
        { "0x1000 stays own in version 7", 7, flagged(0x1000, hasA), { "true" } },
    });
}

TEST(PropertyVisibility, ForInListsMembersHiddenByVersion)
{
    runRows({
        { "version 6 lists a 0x100 member", 6, flagged(0x100, listNames()), { "b", "a", "undefined" } },
        { "version 7 lists both", 7, flagged(0x100, listNames()), { "b", "a", "undefined" } },
        // A member kept for newer movies is still listed by older ones.
        { "version 5 lists a 0x80 member", 5, flagged(0x80, listNames()), { "b", "a", "undefined" } },
    });
}

TEST(PropertyVisibility, WritesToHiddenMembers)
{
    // After the write, ASSetPropFlags(o, "a", 0, 0x7FFF) clears every bit.
    S writeClearRead = std::move(S(writeThenRead()).value(0x7FFF).value(0).value("a").var("o").callWith("ASSetPropFlags", 4).pop()
                                     .member("o", { "a" }).trace());
    runRows({
        { "a write replaces a 0x80 member in version 5", 5, flagged(0x80, writeClearRead), { "w", "w" } },
        { "a write replaces a 0x100 member in version 6", 6, flagged(0x100, writeClearRead), { "w", "w" } },
        { "a write replaces a 0x1000 member in version 6", 6, flagged(0x1000, writeClearRead), { "w", "w" } },
        // Version 6 writes through to a member kept for version 7, which
        // stays hidden until its bits are cleared.
        { "version 6 writes under a 0x400 member", 6, flagged(0x400, writeClearRead), { "undefined", "w" } },
        { "a read-only member keeps its value", 6, flagged(4, writeClearRead), { "1", "1" } },
    });
    // delete o.a; trace(o.a): the member that replaced a hidden one is as
    // permanent as the hidden one was, and as listed.
    S writeDeleteRead = std::move(S(writeThenRead()).var("o").value("a").op(0x3A).pop().member("o", { "a" }).trace());
    runRows({
        { "a permanent hidden member stays permanent", 5, flagged(0x82, writeDeleteRead), { "w", "w" } },
        { "a plain hidden member can go", 5, flagged(0x80, writeDeleteRead), { "w", "undefined" } },
        { "a hidden unlisted member stays unlisted", 5, flagged(0x81, std::move(S(writeThenRead()).then(listNames()))),
            { "w", "b", "undefined", "end" } },
    });
}

TEST(PropertyVisibility, ObjectMethodsOfVersion5)
{
    auto typeOfMember = [](const char* name) {
        return std::move(S().assign("o", S().construct("Object")).member("o", { name }).typeOf().trace());
    };
    runRows({
        { "toString in version 5", 5, typeOfMember("toString"), { "function" } },
        { "no watch in version 5", 5, typeOfMember("watch"), { "undefined" } },
        { "no addProperty in version 5", 5, typeOfMember("addProperty"), { "undefined" } },
        { "no hasOwnProperty in version 5", 5, typeOfMember("hasOwnProperty"), { "undefined" } },
        { "addProperty in version 6", 6, typeOfMember("addProperty"), { "function" } },
        // ASnative(101, 5) is hasOwnProperty whatever the version hides.
        { "the numbered hasOwnProperty in version 5", 5,
            std::move(S().assign("o", S().object({ { "a", 1 } })).setMember("o", "h", S().call("ASnative", { 101, 5 }))
                          .method("o", "h", { "a" }).trace()),
            { "true" } },
    });
}
