// _lockroot (version 7 on: a clip that sets it is _root for everything in
// it) and getInstanceAtDepth (version 7 on; any value but undefined names a
// depth, taken as a 32-bit whole number).

#include "support/BuiltinsRows.h"

#include <cmath>

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// a = createEmptyMovieClip("a", 0); b = a.createEmptyMovieClip("b", 1); each marked by `value`.
S nested()
{
    S s;
    s.method("_root", "createEmptyMovieClip", { "a", 0 }).pop();
    s.assign("a", S().member("_root", { "a" }));
    s.method("a", "createEmptyMovieClip", { "b", 1 }).pop();
    s.assign("b", S().member("a", { "b" }));
    s.then(S().var("_root").value("value").value("parent").op(0x4F));
    s.setMember("a", "value", S().value("a")).setMember("b", "value", S().value("b"));
    return s;
}

} // namespace

TEST(ClipLockRoot, TheNearestLockedClipIsRoot)
{
    S s = nested();
    s.member("b", { "_root", "value" }).trace();
    s.setMember("a", "_lockroot", S().value(true)).member("b", { "_root", "value" }).trace();
    s.setMember("b", "_lockroot", S().value(true)).member("b", { "_root", "value" }).trace();
    S six = nested();
    six.setMember("a", "_lockroot", S().value(true)).member("b", { "_root", "value" }).trace();
    runRows({
        { "7", 7, s, { "parent", "a", "b" } },
        { "6 ignores it", 6, six, { "parent" } },
    });
}

TEST(ClipDepthLookup, NextHighestDepthArrivesWithVersionSeven)
{
    // A version 6 movie does not see it: the call gives undefined, which as a
    // depth puts every clip made with it on one depth, each replacing the last.
    S s;
    s.method("_root", "getNextHighestDepth").typeOf().trace();
    s.method("_root", "createEmptyMovieClip", { "a", 0 }).pop();
    s.method("_root", "getNextHighestDepth").trace();
    runRows({
        { "6", 6, s, { "undefined", "undefined" } },
        { "7", 7, s, { "number", "1" } },
    });
}

TEST(ClipDepthLookup, AnyValueButUndefinedNamesADepth)
{
    // a stands at depth 0, e at -1.
    S s;
    s.method("_root", "createEmptyMovieClip", { "a", 0 }).pop();
    s.method("_root", "createEmptyMovieClip", { "e", -1 }).pop();
    for (Asm::Item v : std::initializer_list<Asm::Item> { Null {}, std::nan(""), INFINITY, -0.5, "x", -1, 1, Undef {} })
        s.method("_root", "getInstanceAtDepth", { v }).trace();
    S six;
    six.method("_root", "createEmptyMovieClip", { "a", 0 }).pop().method("_root", "getInstanceAtDepth", { 0 }).trace();
    runRows({
        { "7", 7, s, { "_level0.a", "_level0.a", "_level0.a", "_level0.a", "_level0.a", "_level0.e", "undefined", "undefined" } },
        { "not in 6", 6, six, { "undefined" } },
    });
}
