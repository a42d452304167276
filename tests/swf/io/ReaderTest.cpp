#include "swf/format/Records.h"
#include "swf/io/Reader.h"

#include <gtest/gtest.h>

using namespace swf;

namespace {

template<size_t N>
Reader readerOver(const uint8_t (&bytes)[N], qint64 base = 0)
{
    return Reader(reinterpret_cast<const char*>(bytes), N, base);
}

} // namespace

TEST(Reader, BitFieldsRunAcrossBytesAndRealignForBytes)
{
    const uint8_t bytes[] = {
        0b1011'0011, // UB3 = 101, SB5 = 10011
        0b0100'0000, // UB2 = 01, the rest padding
        0x34, 0x12,  // U16 after realignment
    };
    Reader r = readerOver(bytes);
    EXPECT_EQ(r.readUB(3).value(), 5u);
    EXPECT_EQ(r.readSB(5).value(), -13);
    EXPECT_EQ(r.readUB(2).value(), 1u); // 01 from the second byte
    EXPECT_EQ(r.readU16().value(), 0x1234); // skips the rest of the second byte
    EXPECT_TRUE(r.atEnd());
}

TEST(Reader, FixedPointFieldsAndZeroWidthFields)
{
    const uint8_t bytes[] = {
        0x00, 0x80, 0x01, 0x00, // 16.16: 1.5
        0x80, 0xff,             // 8.8: -0.5
        0xff,                   // FB(17) starts here: all ones...
        0xff, 0x80,             // ...17 ones = -1 → -1/65536
    };
    Reader r = readerOver(bytes);
    EXPECT_DOUBLE_EQ(r.readFixed16().value(), 1.5);
    EXPECT_DOUBLE_EQ(r.readFixed8().value(), -0.5);
    EXPECT_EQ(r.readSB(0).value(), 0); // a zero-width field reads nothing
    EXPECT_DOUBLE_EQ(r.readFB(17).value(), -1 / 65536.0);
}

TEST(Reader, EncodedU32TakesOneToFiveBytes)
{
    const uint8_t bytes[] = {
        0x7f,                         // 127
        0x80, 0x01,                   // 128
        0xff, 0xff, 0xff, 0xff, 0x0f, // 0xffffffff
    };
    Reader r = readerOver(bytes);
    EXPECT_EQ(r.readEncodedU32().value(), 127u);
    EXPECT_EQ(r.readEncodedU32().value(), 128u);
    EXPECT_EQ(r.readEncodedU32().value(), 0xffffffffu);
}

TEST(Reader, ReadsPastTheEndFailWithTheOffset)
{
    const uint8_t bytes[] = { 'a', 'b', 0, 'c', 1, 2 };
    Reader r = readerOver(bytes, 100);
    EXPECT_EQ(r.readString(6).value(), QStringLiteral("ab"));
    auto missingNul = r.readString(6);
    ASSERT_FALSE(missingNul.ok());
    EXPECT_EQ(missingNul.error().kind, ErrorKind::Truncated);
    EXPECT_EQ(missingNul.error().offset, 103);

    EXPECT_EQ(r.readU8().value(), 'c');
    auto u32 = r.readU32();
    ASSERT_FALSE(u32.ok());
    EXPECT_EQ(u32.error().offset, 104);
    // A failed read consumes nothing.
    EXPECT_EQ(r.readU16().value(), 0x0201);

    auto bits = Reader(readerOver(bytes)).readUB(33);
    EXPECT_FALSE(bits.ok());
}

TEST(Reader, SubReaderIsBoundedAndReportsAbsoluteOffsets)
{
    const uint8_t bytes[] = { 1, 2, 3, 4, 5 };
    Reader r = readerOver(bytes, 10);
    r.readU8().value();
    Reader sub = r.subReader(2).value();
    EXPECT_EQ(sub.offset(), 11);
    EXPECT_EQ(sub.readU16().value(), 0x0302);
    EXPECT_FALSE(sub.readU8().ok());
    EXPECT_EQ(r.readU8().value(), 4); // the parent moved past the sub-range
    EXPECT_FALSE(r.subReader(2).ok());
}

TEST(Records, RectFromTheHeaderOfAStandardStage)
{
    const uint8_t bytes[] = { 0x78, 0x00, 0x05, 0x5f, 0x00, 0x00, 0x0f, 0xa0, 0x00 }; // 15-bit fields
    Reader r = readerOver(bytes);
    TwipsRect rect = readRect(r).value();
    EXPECT_EQ(rect.xMin, 0);
    EXPECT_EQ(rect.xMax, 11000);
    EXPECT_EQ(rect.yMin, 0);
    EXPECT_EQ(rect.yMax, 8000);
    EXPECT_TRUE(r.atEnd());
}

TEST(Records, MatrixWithScaleRotateAndTranslate)
{
    const uint8_t bytes[] = {
        // HasScale=1, NScaleBits=19: scaleX=2.0 (0x20000), scaleY=-1.0 (-0x10000)
        // HasRotate=1, NRotateBits=17: skew0=0.5 (0x08000), skew1=0
        // NTranslateBits=8: tx=-20, ty=100
        0b1100'1101, 0b0000'0000, 0b0000'0000, 0b0111'0000, 0b0000'0000, 0b0000'1100, 0b0101'0000,
        0b0000'0000, 0b0000'0000, 0b0000'0000, 0b0000'0100, 0b0111'0110, 0b0011'0010, 0b0000'0000,
    };
    Reader r = readerOver(bytes);
    Matrix m = readMatrix(r).value();
    EXPECT_DOUBLE_EQ(m.a, 2.0);
    EXPECT_DOUBLE_EQ(m.d, -1.0);
    EXPECT_DOUBLE_EQ(m.b, 0.5);
    EXPECT_DOUBLE_EQ(m.c, 0.0);
    EXPECT_DOUBLE_EQ(m.tx, -20);
    EXPECT_DOUBLE_EQ(m.ty, 100);
}

TEST(Records, ColorTransformWithAndWithoutAlpha)
{
    const uint8_t withAlpha[] = {
        // HasAdd=1, HasMult=1, NBits=10: mult 256,128,0,384 then add -255,0,10,0
        0b1110'1001, 0b0000'0000, 0b0010'0000, 0b0000'0000, 0b0000'0110, 0b0000'0011, 0b0000'0001,
        0b0000'0000, 0b0000'0000, 0b1010'0000, 0b0000'0000,
    };
    Reader r = readerOver(withAlpha);
    ColorTransform cx = readColorTransform(r, true).value();
    EXPECT_DOUBLE_EQ(cx.rMul, 1.0);
    EXPECT_DOUBLE_EQ(cx.gMul, 0.5);
    EXPECT_DOUBLE_EQ(cx.bMul, 0.0);
    EXPECT_DOUBLE_EQ(cx.aMul, 1.5);
    EXPECT_DOUBLE_EQ(cx.rAdd, -255);
    EXPECT_DOUBLE_EQ(cx.bAdd, 10);

    const uint8_t noAlpha[] = {
        // HasAdd=1, HasMult=0, NBits=9: add 255, -1, 0
        0b1010'0101, 0b1111'1111, 0b1111'1111, 0b0000'0000, 0b0000'0000,
    };
    Reader r2 = readerOver(noAlpha);
    ColorTransform add = readColorTransform(r2, false).value();
    EXPECT_DOUBLE_EQ(add.rAdd, 255);
    EXPECT_DOUBLE_EQ(add.gAdd, -1);
    EXPECT_DOUBLE_EQ(add.aMul, 1.0);
    EXPECT_EQ(add.apply(Rgba { 10, 10, 10, 255 }), (Rgba { 255, 9, 10, 255 }));
}

TEST(Records, ColorTransformsComposeInnerFirst)
{
    ColorTransform inner { 0.5, 1, 1, 1, 100, 0, 0, 0 };
    ColorTransform outer { 2, 1, 1, 0.5, -10, 0, 0, 0 };
    ColorTransform both = outer.concat(inner);
    Rgba c { 100, 50, 0, 200 };
    EXPECT_EQ(both.apply(c), outer.apply(inner.apply(c)));
    EXPECT_EQ(both.apply(c).r, 255); // (100*0.5+100)*2-10 = 290, clamped
    EXPECT_EQ(both.apply(c).a, 100);
}

TEST(Reader, StringsFollowTheMovieVersion)
{
    const uint8_t bytes[] = {
        0xd6, 0xd0, 0,                // "中" in GBK: a version-5 string
        0xe4, 0xb8, 0xad, 0,          // "中" in UTF-8: a version-6 string
        'o', 'k', 0,                  // plain ASCII reads the same in both
    };
    Reader r = readerOver(bytes);
    EXPECT_EQ(r.readString(5).value(), QStringLiteral("中"));
    EXPECT_EQ(r.readString(6).value(), QStringLiteral("中"));
    EXPECT_EQ(r.readString(4).value(), QStringLiteral("ok"));
    EXPECT_TRUE(r.atEnd());
}

TEST(Reader, SlicesReportTheirPlaceInTheMovie)
{
    const uint8_t bytes[] = { 1, 2, 3, 4, 5, 6 };
    Reader r = readerOver(bytes, 40);
    ASSERT_TRUE(r.skip(5).ok());
    // A slice is cut from the whole range, wherever the reader stands.
    auto slice = r.sliceAt(2, 3);
    ASSERT_TRUE(slice.ok());
    EXPECT_EQ(slice.value().offset(), 42);
    EXPECT_EQ(slice.value().readU8().value(), 3);
    auto past = slice.value().readU32();
    ASSERT_FALSE(past.ok());
    EXPECT_EQ(past.error().offset, 43);
    EXPECT_EQ(r.position(), 5u); // the reader itself has not moved

    auto outside = r.sliceAt(4, 3);
    ASSERT_FALSE(outside.ok());
    EXPECT_EQ(outside.error().kind, ErrorKind::Truncated);
    EXPECT_EQ(outside.error().offset, 44);
}
