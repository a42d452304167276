// Morph shape styles: every fill and line style read as its start and end state.

#include "swf/format/MorphShape.h"

#include <gtest/gtest.h>

using namespace swf;

namespace {

template<size_t N>
Reader readerOver(const uint8_t (&bytes)[N], qint64 base = 0, size_t size = N)
{
    return Reader(reinterpret_cast<const char*>(bytes), size, base);
}

const uint8_t Styles[] = {
    1,                            // one fill style
    0x00,                         //   solid
    0xff, 0x00, 0x00, 0xff,       //   start red
    0x00, 0x00, 0xff, 0xff,       //   end blue
    1,                            // one line style
    20, 0,                        //   start width 20 twips
    40, 0,                        //   end width 40 twips
    0x64,                         //   start cap none (01), miter join (10), no fill, no horizontal scale
    0x06,                         //   reserved, no close, end cap square (10)
    0x00, 0x03,                   //   miter limit 3.0
    0x00, 0xff, 0x00, 0xff,       //   start green
    0x00, 0x00, 0x00, 0x80,       //   end half-transparent black
};

} // namespace

TEST(MorphStyles, Version2LineStylesShareTheirFlagsBetweenStartAndEnd)
{
    Reader reader = readerOver(Styles);
    auto styles = readMorphStyles(reader, true);
    ASSERT_TRUE(styles.ok()) << qPrintable(styles.error().detail);
    const MorphStyles& s = styles.value();
    ASSERT_EQ(s.start.fills.size(), 1u);
    ASSERT_EQ(s.end.fills.size(), 1u);
    EXPECT_EQ(s.start.fills[0].color, (Rgba { 255, 0, 0, 255 }));
    EXPECT_EQ(s.end.fills[0].color, (Rgba { 0, 0, 255, 255 }));

    ASSERT_EQ(s.start.lines.size(), 1u);
    ASSERT_EQ(s.end.lines.size(), 1u);
    for (const LineStyle* line : { &s.start.lines[0], &s.end.lines[0] }) {
        EXPECT_EQ(line->startCap, 1);
        EXPECT_EQ(line->join, 2);
        EXPECT_EQ(line->endCap, 2);
        EXPECT_DOUBLE_EQ(line->miterLimit, 3.0);
        EXPECT_TRUE(line->noHScale);
        EXPECT_FALSE(line->noVScale);
        EXPECT_TRUE(line->noClose);
    }
    EXPECT_EQ(s.start.lines[0].width, 20);
    EXPECT_EQ(s.end.lines[0].width, 40);
    EXPECT_EQ(s.start.lines[0].color, (Rgba { 0, 255, 0, 255 }));
    EXPECT_EQ(s.end.lines[0].color, (Rgba { 0, 0, 0, 128 }));
    EXPECT_TRUE(reader.atEnd());
}

TEST(MorphStyles, CutOrOverlongListsAreErrorsWhereTheyBreak)
{
    // Cut right after the fill style: the line count is missing.
    Reader cut = readerOver(Styles, 300, 10);
    auto missingLines = readMorphStyles(cut, true);
    ASSERT_FALSE(missingLines.ok());
    EXPECT_EQ(missingLines.error().kind, ErrorKind::Truncated);
    EXPECT_EQ(missingLines.error().offset, 310);

    const uint8_t tooMany[] = {
        0xff, 0x10, 0x00,             // 16 fill styles, in the extended count form
        0x00, 0, 0, 0, 0, 0, 0, 0, 0, // one solid fill, start and end
    };
    Reader reader = readerOver(tooMany, 40);
    auto overlong = readMorphStyles(reader, false);
    ASSERT_FALSE(overlong.ok());
    EXPECT_EQ(overlong.error().kind, ErrorKind::Truncated);
    // More styles than bytes left: refused at the count, before any style is read.
    EXPECT_EQ(overlong.error().offset, 40 + 3);
}
