// Members of Sound.prototype and TextSnapshot.prototype as movies of each
// version see them: which exist, which are read-only or plain, and what the
// duration and position readers answer before any sound is attached.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// Sound.prototype.<name> = 1; trace(typeof Sound.prototype.<name>)
S overwriteSoundMember(const char* name)
{
    S s;
    s.assign("p", S().member("Sound", { "prototype" })).setMember("p", name, S().value(1));
    return std::move(s.member("p", { name }).typeOf().trace());
}

} // namespace

TEST(ClassMembers, SoundPrototypeIsReadOnly)
{
    S policy;
    policy.assign("p", S().member("Sound", { "prototype" })).setMember("p", "checkPolicyFile", S().value(5));
    policy.member("p", { "checkPolicyFile" }).trace();

    S readers;
    readers.assign("s", S().construct("Sound")).method("s", "getPosition").trace().method("s", "getDuration").trace();
    readers.method("s", "hasOwnProperty", { "constructor" }).trace();

    S newer = std::move(S().member("Sound", { "prototype", "areSoundsInaccessible" }).typeOf().trace());
    runRows({
        { "method kept", 6, overwriteSoundMember("attachSound"), { "function" } },
        { "constructor kept", 6, overwriteSoundMember("constructor"), { "function" } },
        { "policy accessor takes nothing", 8, policy, { "undefined" } },
        { "nothing attached, own constructor in 6", 6, readers, { "0", "undefined", "true" } },
        { "no own constructor in 7", 7, readers, { "0", "undefined", "false" } },
        { "version 9 member hidden in 8", 8, newer, { "undefined" } },
        { "version 9 member", 9, newer, { "function" } },
    });
}

TEST(ClassMembers, TextSnapshotMethodsArePlainFromVersion6)
{
    S types;
    types.var("TextSnapshot").typeOf().trace().member("TextSnapshot", { "prototype", "getTextRunInfo" }).typeOf().trace();
    S enumerable;
    enumerable.assign("p", S().member("TextSnapshot", { "prototype" }));
    enumerable.method("p", "isPropertyEnumerable", { "getText" }).trace();
    runRows({
        { "class without methods in 5", 5, types, { "function", "undefined" } },
        { "class and methods in 6", 6, types, { "function", "function" } },
        { "enumerable methods", 6, enumerable, { "true" } },
    });
}
