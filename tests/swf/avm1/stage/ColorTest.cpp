// Color over the root clip: fixed-point multipliers and offsets as the
// player keeps them, and getRGB's packing.

#include "support/BuiltinsRows.h"

#include "swf/avm1/stage/ColorClass.h"

#include <limits>

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
    EXPECT_EQ(colorFixed(100), 256);
    EXPECT_EQ(colorFixed(10), 25);
    EXPECT_EQ(colorFixed(-50), -128);
    EXPECT_EQ(colorFixed(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(colorOffset(-255.9), -255);
    EXPECT_EQ(colorRgb(255, 0, 0), 0xFF0000);
    EXPECT_EQ(colorRgb(0, 0, -1), -1);
    EXPECT_EQ(colorRgb(-1, 0, 0), -65536);
}
