// Number formatting and string-to-number conversion, the two places where
// scripts most often see the player's exact output.

#include "swf/avm1/vm/Value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace swf::avm1;

TEST(Value, NumbersPrintLikeThePlayer)
{
    const std::pair<double, const char*> rows[] = {
        { 0.0, "0" }, { -0.0, "0" }, { 1.0, "1" }, { -1.5, "-1.5" },
        { 1.0 / 3.0, "0.333333333333333" }, { 2.0 / 3.0, "0.666666666666667" },
        { 123456789012345.0, "123456789012345" }, { 1e15, "1e+15" }, { 1.5e300, "1.5e+300" },
        { 0.0001, "0.0001" }, { 0.00001, "1e-5" }, { -2.5e-7, "-2.5e-7" },
        { 4294967295.0, "4294967295" }, { 0.1 + 0.2, "0.3" },
        { std::numeric_limits<double>::quiet_NaN(), "NaN" },
        { std::numeric_limits<double>::infinity(), "Infinity" },
        { -std::numeric_limits<double>::infinity(), "-Infinity" },
    };
    for (const auto& [n, text] : rows)
        EXPECT_EQ(numberToString(n), QLatin1String(text)) << n;
    EXPECT_EQ(numberToRadixString(255, 16), QLatin1String("ff"));
    EXPECT_EQ(numberToRadixString(-8, 2), QLatin1String("-1000"));
}

TEST(Value, StringsToNumbers)
{
    const std::pair<const char*, double> rows[] = {
        { "12", 12 }, { "  12", 12 }, { "\t\r3.5", 3.5 }, { "-7", -7 }, { "+7", 7 },
        { "1e3", 1000 }, { ".5", 0.5 }, { "5.", 5 }, { "0x10", 16 }, { "0XfF", 255 },
        { "0xFFFFFFFF", -1 }, { "0x1999999981ffffff", -2113929217 }, { "010", 8 }, { "-010", -8 },
        { " 010", 10 }, { "037777777777", -1 }, { "-037777777777", 1 }, { "09", 9 },
    };
    for (const auto& [text, n] : rows)
        EXPECT_EQ(stringToNumber(QString::fromLatin1(text), 8), n) << text;
    for (const char* bad : { "", "   ", "abc", "12abc", "1e", "0x", "0xG", "--1", ".", "1 2", "Infinity", "\r12\r", "  12  ", "12 " })
        EXPECT_TRUE(std::isnan(stringToNumber(QString::fromLatin1(bad), 8))) << bad;
}

TEST(Value, Int32Wrapping)
{
    EXPECT_EQ(toInt32(4294967296.0 + 5), 5);
    EXPECT_EQ(toInt32(2147483648.0), -2147483647 - 1);
    EXPECT_EQ(toInt32(-1.9), -1);
    EXPECT_EQ(toInt32(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(toInt32(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(toUint32(-1), 4294967295u);
}

TEST(Value, CountsAndIndicesClampInsteadOfOverflowing)
{
    // Operands such as GetProperty's index arrive as any double at all.
    EXPECT_EQ(clampToInt(3.75e199), 2147483647);
    EXPECT_EQ(clampToInt(-1e300), -2147483647 - 1);
    EXPECT_EQ(clampToInt(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(clampToInt(-2.9), -2);
}
