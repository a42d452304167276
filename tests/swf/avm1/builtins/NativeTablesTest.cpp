// The numbered native tables: ASnative, ASSetNative and ASSetNativeAccessor.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

TEST(NativeTables, ASnativeReachesTheMathFamily)
{
    runRows({
        { "abs is 200,0", 7, std::move(S().assign("f", S().call("ASnative", { 200, 0 })).call("f", { -5 }).trace()), { "5" } },
        { "pow is 200,17", 7, std::move(S().assign("f", S().call("ASnative", { 200, 17 })).call("f", { 2, 10 }).trace()), { "1024" } },
        { "isFinite is 200,19", 7, std::move(S().assign("f", S().call("ASnative", { 200, 19 })).call("f", { 1 }).trace()), { "true" } },
        { "an unknown native is still a function", 7,
            std::move(S().call("ASnative", { 9999, 3 }).typeOf().trace().assign("f", S().call("ASnative", { 9999, 3 })).call("f").trace()),
            { "function", "undefined" } },
        { "too few arguments give nothing", 7, std::move(S().call("ASnative", { 200 }).typeOf().trace()), { "undefined" } },
    });
}

TEST(NativeTables, ASSetNativeNamesIndicesAndVersions)
{
    // o = {}; ASSetNative(o, 200, ",x,6y,8z")
    auto script = [] {
        S s;
        s.assign("o", S().object({})).value(",x,6y,8z").value(200).var("o").callWith("ASSetNative", 3).pop();
        // An empty name still uses its index: x is native 1, min.
        s.method("o", "x", { 4, 2 }).trace();
        s.member("o", { "y" }).typeOf().trace();
        s.member("o", { "z" }).typeOf().trace();
        return s;
    };
    runRows({
        { "seen by version 7", 7, script(), { "2", "function", "undefined" } },
        { "seen by version 8", 8, script(), { "2", "function", "function" } },
        { "no object, no members", 7, std::move(S().call("ASSetNative", { Null {}, 200, "x" }).typeOf().trace().var("x").typeOf().trace()),
            { "undefined", "undefined" } },
    });

    // An existing member keeps its place in the enumeration.
    S keep;
    keep.assign("o", S().object({ { "a", 1 }, { "b", 2 } })).value("a").value(200).var("o").callWith("ASSetNative", 3).pop()
        .member("o", { "a" }).typeOf().trace()
        .member("o", { "b" }).trace();
    runRows({ { "existing member replaced", 7, keep, { "function", "2" } } });
}

TEST(NativeTables, ASSetNativeAccessorPairsGettersAndSetters)
{
    auto accessor = [](const char* names, int first) {
        S s;
        s.assign("o", S().object({})).value(first).value(names).value(200).var("o").callWith("ASSetNativeAccessor", 4).pop();
        return s;
    };
    runRows({
        // Names take two indices each: p's getter is 2 (max), q's is 4 (cos) when starting at 0.
        { "getter from the first index", 7, std::move(accessor("p", 2).member("o", { "p" }).trace()), { "-Infinity" } },
        // q's getter is 2 (max of nothing), not 1 (min of nothing).
        { "each name uses a pair", 7, std::move(accessor(",q", 0).member("o", { "q" }).trace()), { "-Infinity" } },
        { "version marker hides from older movies", 7, std::move(accessor("8p", 2).member("o", { "p" }).trace()), { "undefined" } },
        { "version marker shows to its own version", 8, std::move(accessor("8p", 2).member("o", { "p" }).trace()), { "-Infinity" } },
    });
}

TEST(NativeTables, ASconstructorMakesAClass)
{
    // c = ASconstructor(200, 0); the same native as ASnative(200, 0), with a
    // prototype whose constructor it is.
    S made = std::move(S().assign("c", S().call("ASconstructor", { 200, 0 })));
    runRows({
        { "it still works", 6, std::move(S(made).call("c", { -5 }).trace()), { "5" } },
        { "it has a prototype", 6, std::move(S(made).member("c", { "prototype", "constructor" }).var("c").op(0x66).trace()), { "true" } },
        { "ASnative's own have none", 6, std::move(S().assign("n", S().call("ASnative", { 200, 0 })).member("n", { "prototype" }).typeOf().trace()),
            { "undefined" } },
        // The two hand-out functions are bare: no link, no constructor.
        { "bare", 6, std::move(S().member("ASnative", { "__proto__" }).typeOf().trace().member("ASconstructor", { "constructor" }).typeOf().trace()),
            { "undefined", "undefined" } },
    });
}
