// Names compared by their lower case without making it: the hash agrees
// wherever the comparison does, ASCII or not.

#include "swf/runtime/NameKey.h"

#include <QHash>

#include <gtest/gtest.h>

using swf::foldedNameEqual;
using swf::foldedNameHash;

TEST(NameKey, EqualNamesHashAlike)
{
    const struct {
        QString a, b;
        bool equal;
    } rows[] = {
        { "onEnterFrame", "ONENTERFRAME", true },
        { "onEnterFrame", "onEnterFrame", true },
        { "_x", "_X", true },
        { "c7", "c8", false },
        { "a", "ab", false },
        { "", "", true },
        { QString::fromUtf8("\xc3\x89t\xc3\xa9"), QString::fromUtf8("\xc3\xa9T\xc3\x89"), true }, // Été, éTÉ
        { QString::fromUtf8("\xe2\x84\xaa"), "k", true },                                       // Kelvin sign
        { QString::fromUtf8("\xc4\xb0"), QString::fromUtf8("i\xcc\x87"), true },                // İ and i + dot
        { QString::fromUtf8("\xc3\xa9"), "e", false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.a.toStdString() + " / " + row.b.toStdString());
        // The rule itself: the lower-case forms.
        ASSERT_EQ(row.a.toLower() == row.b.toLower(), row.equal);
        EXPECT_EQ(foldedNameEqual(row.a, row.b), row.equal);
        EXPECT_EQ(foldedNameEqual(row.b, row.a), row.equal);
        if (row.equal) {
            EXPECT_EQ(foldedNameHash(row.a), foldedNameHash(row.b));
        }
    }
}

TEST(NameKey, FoldedKeysFindEachOtherInAHash)
{
    QHash<swf::FoldedKey, int> table;
    table.insert(swf::FoldedKey(QStringLiteral("MyClip")), 1);
    EXPECT_EQ(table.value(swf::FoldedKey(QStringLiteral("myclip"))), 1);
    EXPECT_EQ(table.value(swf::FoldedKey(QStringLiteral("MYCLIP"))), 1);
    EXPECT_FALSE(table.contains(swf::FoldedKey(QStringLiteral("myclip2"))));
}
