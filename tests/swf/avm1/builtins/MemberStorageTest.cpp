// How members are kept: the prototype link made with an object sits apart
// from the other members yet lists as the oldest of them, a link made again
// later is the newest, long member lists are indexed and compacted, and
// names beyond ASCII follow the lower-case rule of movies before version 7.
// Each expected trace is worked out by hand.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// ASSetPropFlags(<variable>, name, set, clear)
S setFlags(const char* variable, const char* name, int set, int clear)
{
    return std::move(S().value(clear).value(set).value(name).var(variable).callWith("ASSetPropFlags", 4).pop());
}

// Enumerate <variable> and trace `count` names off the stack.
S listNames(const char* variable, int count)
{
    S s;
    s.var(variable).op(0x55);
    for (int i = 0; i < count; ++i)
        s.trace();
    return s;
}

// o = {}; o.m0 = 0; ... o.m<count-1> = count - 1
S manyMembers(int count)
{
    S s;
    s.assign("o", S().object({}));
    for (int i = 0; i < count; ++i) {
        const QByteArray name = "m" + QByteArray::number(i);
        s.setMember("o", name.constData(), S().value(i));
    }
    return s;
}

} // namespace

TEST(MemberStorage, TheLinkListsWhereItWasMade)
{
    // o = {a: 1, b: 2}, its link unhidden: the link is the oldest member.
    S unhidden = std::move(S().assign("o", S().object({ { "a", 1 }, { "b", 2 } })).then(setFlags("o", "__proto__", 0, 1)));
    // Cut, then made again after b: now the newest, and enumerable (a plain write).
    S remade = std::move(S().assign("p", S().object({ { "c", 3 } }))
                             .assign("o", S().object({ { "a", 1 } }))
                             .then(setFlags("o", "__proto__", 0, 3))
                             .remove("o", "__proto__").pop()
                             .setMember("o", "b", S().value(2))
                             .setMember("o", "__proto__", S().var("p")));
    runRows({
        { "the link made with the object is the oldest", 6, S(unhidden).then(listNames("o", 4)),
          { "a", "b", "__proto__", "undefined" } },
        { "a link made again is the newest, the new chain's names first", 6, S(remade).then(listNames("o", 5)),
          { "c", "__proto__", "b", "a", "undefined" } },
        { "and it is the link", 6, S(remade).member("o", { "c" }).trace().method("o", "hasOwnProperty", { "__proto__" }).trace(),
          { "3", "true" } },
        { "a link cut twice stays cut", 6,
          S(remade).remove("o", "__proto__").trace().member("o", { "c" }).typeOf().trace(), { "true", "undefined" } },
    });
}

TEST(MemberStorage, LongListsAreIndexedAndCompacted)
{
    // 40 members, then the first 30 deleted: the list is compacted and
    // indexed afresh; the rest are found whatever the case in version 6.
    S deleted = manyMembers(40);
    for (int i = 0; i < 30; ++i) {
        const QByteArray name = "m" + QByteArray::number(i);
        deleted.remove("o", name.constData()).pop();
    }
    runRows({
        { "found in a long list", 6, S(manyMembers(40)).member("o", { "m33" }).trace().member("o", { "M7" }).trace(), { "33", "7" } },
        { "case kept in version 7", 7, S(manyMembers(40)).member("o", { "M7" }).typeOf().trace().member("o", { "m7" }).trace(),
          { "undefined", "7" } },
        { "after compaction", 6, S(deleted).member("o", { "M35" }).trace().member("o", { "m5" }).typeOf().trace(),
          { "35", "undefined" } },
        { "a deleted name made again", 6, S(deleted).setMember("o", "M5", S().value(55)).member("o", { "m5" }).trace(), { "55" } },
        { "listed newest first", 6, S(deleted).then(listNames("o", 3)), { "m39", "m38", "m37" } },
    });
}

TEST(MemberStorage, NamesBeyondAsciiIgnoreCaseByTheirLowerCase)
{
    // o["É"] = 1 and o["K"] (the Kelvin sign, whose lower case is "k") = 2.
    S set = std::move(S().assign("o", S().object({})).setMember("o", "\xc3\x89", S().value(1)).setMember("o", "\xe2\x84\xaa", S().value(2)));
    runRows({
        { "version 6 finds them by their lower case", 6, S(set).member("o", { "\xc3\xa9" }).trace().member("o", { "k" }).trace(),
          { "1", "2" } },
        { "version 7 keeps them apart", 7, S(set).member("o", { "\xc3\xa9" }).typeOf().trace().member("o", { "k" }).typeOf().trace(),
          { "undefined", "undefined" } },
        { "ASCII names that differ are not mixed up", 6, S(set).member("o", { "j" }).typeOf().trace(), { "undefined" } },
    });
}
