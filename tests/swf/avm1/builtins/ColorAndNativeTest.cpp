// Color over the root clip, and the numbered native tables.

#include "support/BuiltinsRows.h"

#include "swf/avm1/builtins/Builtins.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// c = new Color(this)
S colorOfRoot()
{
    return std::move(S().assign("c", S().var("this").constructWith("Color", 1)));
}

// c.setTransform({ fields })
S setTransform(std::initializer_list<std::pair<const char*, Asm::Item>> fields)
{
    return std::move(S().object(fields).methodWith("c", "setTransform", 1).pop());
}

S traceRgb() { return std::move(S().method("c", "getRGB").trace()); }

} // namespace

TEST(Color, FixedPointMultipliersAndOffsets)
{
    // Percentages are kept as 8.8 fixed point, truncated: 10% reads back as 25/256.
    S full = colorOfRoot();
    full.then(setTransform({ { "ra", 10 }, { "rb", 20 }, { "ga", 30 }, { "gb", 40 }, { "ba", 50 }, { "bb", 60 }, { "aa", 70 }, { "ab", 80 } }))
        .then(traceRgb())
        .assign("t", S().method("c", "getTransform"));
    for (const char* f : { "ra", "rb", "ga", "gb", "ba", "bb", "aa", "ab" })
        full.member("t", { f }).trace();

    S partial = colorOfRoot();
    // Fields left out keep their value; a fraction of a step is dropped.
    partial.then(setTransform({ { "ra", 0.5 }, { "gb", 300 } }))
        .assign("t", S().method("c", "getTransform"))
        .member("t", { "ra" }).trace()
        .member("t", { "ga" }).trace()
        .member("t", { "gb" }).trace();

    runRows({
        { "every field", 8, full, { "1321020", "9.765625", "20", "29.6875", "40", "50", "60", "69.921875", "80" } },
        { "some fields", 8, partial, { "0.390625", "100", "300" } },
    });
}

TEST(Color, RgbPacksSignedOffsets)
{
    runRows({
        { "setRGB clears the multipliers", 7,
            std::move(colorOfRoot().value(0x123456).methodWith("c", "setRGB", 1).pop()
                .then(traceRgb())
                .assign("t", S().method("c", "getTransform")).member("t", { "ba" }).trace()),
            { "1193046", "0" } },
        { "a negative red offset fills the high bits", 7,
            std::move(colorOfRoot().then(setTransform({ { "rb", -1 } })).then(traceRgb())), { "-65536" } },
        { "negative green and blue spill upwards", 7,
            std::move(colorOfRoot().then(setTransform({ { "gb", -1 } })).then(traceRgb())
                .then(setTransform({ { "gb", 0 }, { "bb", -1 } })).then(traceRgb())), { "-256", "-1" } },
        { "a colour with no clip answers nothing", 7,
            std::move(S().assign("c", S().value("nowhere").constructWith("Color", 1)).then(traceRgb())), { "undefined" } },
    });
}

TEST(Color, FixedPointHelpers)
{
    EXPECT_EQ(Builtins::colorFixed(100), 256);
    EXPECT_EQ(Builtins::colorFixed(10), 25);
    EXPECT_EQ(Builtins::colorFixed(-50), -128);
    EXPECT_EQ(Builtins::colorFixed(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(Builtins::colorOffset(-255.9), -255);
    EXPECT_EQ(Builtins::colorRgb(255, 0, 0), 0xFF0000);
    EXPECT_EQ(Builtins::colorRgb(0, 0, -1), -1);
    EXPECT_EQ(Builtins::colorRgb(-1, 0, 0), -65536);
}

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
