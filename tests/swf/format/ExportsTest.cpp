// ExportAssets bodies: the names, their encoding, and where a damaged one breaks.

#include "swf/format/Exports.h"

#include <gtest/gtest.h>

using namespace swf;

namespace {

template<size_t N>
Reader readerOver(const uint8_t (&bytes)[N], qint64 base = 0)
{
    return Reader(reinterpret_cast<const char*>(bytes), N, base);
}

} // namespace

TEST(ExportAssets, ReadsEveryNameInFileOrderRepeatsIncluded)
{
    const uint8_t body[] = {
        3, 0,                         // three names
        2, 0, 'H', 'e', 'r', 'o', 0,  // sprite 2 as "Hero"
        3, 0, 'H', 'e', 'r', 'o', 0,  // sprite 3 as "Hero" again
        4, 0, 0xd6, 0xd0, 0,          // sprite 4 as "中" (GBK)
    };
    Reader reader = readerOver(body);
    std::vector<ExportedName> names;
    ASSERT_TRUE(readExportAssets(reader, 5, names).ok());
    const std::vector<ExportedName> expected {
        { 2, QStringLiteral("Hero") }, { 3, QStringLiteral("Hero") }, { 4, QStringLiteral("中") } };
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(reader.atEnd());
}

TEST(ExportAssets, NamesAreUtf8FromVersion6)
{
    const uint8_t body[] = {
        1, 0,                         // one name
        7, 0, 0xe4, 0xb8, 0xad, 0,    // sprite 7 as "中" (UTF-8)
    };
    Reader reader = readerOver(body);
    std::vector<ExportedName> names;
    ASSERT_TRUE(readExportAssets(reader, 6, names).ok());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].name, QStringLiteral("中"));
}

TEST(ExportAssets, ADamagedEntryKeepsTheNamesBeforeIt)
{
    const uint8_t body[] = {
        5, 0,                         // five names claimed
        2, 0, 'a', 0,                 // sprite 2 as "a"
        3, 0, 'b', 'c',               // sprite 3, its name cut off before the NUL
    };
    Reader reader = readerOver(body, 1000);
    std::vector<ExportedName> names;
    auto result = readExportAssets(reader, 8, names);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().kind, ErrorKind::Truncated);
    EXPECT_EQ(result.error().offset, 1008); // where the unterminated name starts
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], (ExportedName { 2, QStringLiteral("a") }));

    const uint8_t countOnly[] = { 1 }; // the count itself cut in half
    Reader cut = readerOver(countOnly, 50);
    names.clear();
    auto empty = readExportAssets(cut, 8, names);
    ASSERT_FALSE(empty.ok());
    EXPECT_EQ(empty.error().offset, 50);
    EXPECT_TRUE(names.empty());
}
