// The writer's records against bytes worked out by hand from the format's
// bit layout, and its containers against zlib and liblzma decoding.

#include "tools/swfwriter/BitWriter.h"
#include "tools/swfwriter/Movie.h"

#include <gtest/gtest.h>
#include <lzma.h>
#include <zlib.h>

using namespace swfw;

namespace {

QByteArray bytesOf(std::initializer_list<uint8_t> list)
{
    QByteArray out;
    for (uint8_t b : list)
        out.append(char(b));
    return out;
}

} // namespace

TEST(BitWriter, FewestBitsForSignedAndUnsignedValues)
{
    EXPECT_EQ(BitWriter::unsignedBits(0), 0);
    EXPECT_EQ(BitWriter::unsignedBits(1), 1);
    EXPECT_EQ(BitWriter::unsignedBits(255), 8);
    EXPECT_EQ(BitWriter::unsignedBits(256), 9);
    EXPECT_EQ(BitWriter::signedBits(0), 0);
    EXPECT_EQ(BitWriter::signedBits(1), 2);   // 01
    EXPECT_EQ(BitWriter::signedBits(-1), 1);  // 1
    EXPECT_EQ(BitWriter::signedBits(-2), 2);  // 10
    EXPECT_EQ(BitWriter::signedBits(255), 9);
    EXPECT_EQ(BitWriter::signedBits(-256), 9);
    EXPECT_EQ(BitWriter::signedBits(-257), 10);
    EXPECT_EQ(BitWriter::fixedBits(1.0), 18); // 65536 needs 17 magnitude bits + sign
}

TEST(BitWriter, BitFieldsFillFromTheTopAndByteFieldsAlign)
{
    BitWriter out;
    out.writeUB(3, 0b101);
    out.writeSB(4, -3);  // 1101
    out.writeU8(0x7f);   // flushes 1011101 + one pad bit first
    out.writeU16(0x1234);
    EXPECT_EQ(out.bytes(), bytesOf({ 0b10111010, 0x7f, 0x34, 0x12 }));
}

TEST(BitWriter, RectUsesTheWidestFieldForAllFour)
{
    BitWriter out;
    out.writeRect({ 0, 11000, 0, 8000 });
    // 5 bits of 15, then 0, 11000, 0, 8000 in 15 bits each, 3 bits of padding.
    EXPECT_EQ(out.bytes(), bytesOf({ 0x78, 0x00, 0x05, 0x5f, 0x00, 0x00, 0x0f, 0xa0, 0x00 }));
}

TEST(BitWriter, MatrixWritesOnlyThePartsItHas)
{
    BitWriter translateOnly;
    translateOnly.writeMatrix(Matrix::translate(20, -20));
    // no scale, no rotate, 6-bit translation: 0 0 00110 010100 101100 + padding
    EXPECT_EQ(translateOnly.bytes(), bytesOf({ 0x0c, 0xa5, 0x80 }));

    BitWriter scaled;
    scaled.writeMatrix(Matrix::scale(2.0, 0.5));
    // 1, 19 bits (10011), 2.0 = 0x20000 and 0.5 = 0x8000 in 19 bits, no rotate, 0-bit translation
    EXPECT_EQ(scaled.bytes(), bytesOf({ 0xcd, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00 }));

    BitWriter identity;
    identity.writeMatrix(Matrix {});
    EXPECT_EQ(identity.bytes(), bytesOf({ 0x00 })); // 0 0 00000 + padding
}

TEST(BitWriter, ColourTransformWithAlphaMultipliersOnly)
{
    BitWriter out;
    CxForm halfAlpha;
    halfAlpha.mulA = 0.5;
    out.writeCxForm(halfAlpha, true);
    // no add, has mult, 10 bits (1010); 256, 256, 256, 128 in 10 bits; 2 bits padding
    EXPECT_EQ(out.bytes(), bytesOf({ 0x69, 0x00, 0x40, 0x10, 0x02, 0x00 }));

    // Without alpha, an alpha-only change writes nothing but the two flags and a zero width.
    BitWriter noAlpha;
    noAlpha.writeCxForm(halfAlpha, false);
    EXPECT_EQ(noAlpha.bytes(), bytesOf({ 0x00 }));
}

TEST(ShapeRecords, EdgesAreRelativeAndUseTheirOwnWidth)
{
    Shape horizontal;
    horizontal.lineTo(20, 0);
    BitWriter h;
    horizontal.writeRecords(h, 0, 0);
    // edge, straight, width 6 (0100), not general, horizontal, dx 010100; end (000000)
    EXPECT_EQ(h.bytes(), bytesOf({ 0xd0, 0x50, 0x00 }));

    Shape moved;
    moved.fill1(1).moveTo(-1, 1).lineTo(0, 0);
    BitWriter m;
    moved.writeRecords(m, 1, 0);
    // style change: 000101 (fill1, move), move width 00010, x 11, y 01, fill1 1;
    // edge: 1 1 0000 (2 bits), general 1, dx 01, dy 11; end 000000; padding
    EXPECT_EQ(m.bytes(), bytesOf({ 0b00010100, 0b01011011, 0b11000010, 0b11100000, 0x00 }));

    Shape curve;
    curve.curveTo(10, 0, 10, 10);
    BitWriter c;
    curve.writeRecords(c, 0, 0);
    // edge, curved, 5 bits (0011): control 01010 00000, anchor 00000 01010 from the control; end 000000
    EXPECT_EQ(c.bytes(), bytesOf({ 0b10001101, 0b01000000, 0b00000010, 0b10000000 }));
}

TEST(ShapeRecords, LongStraightEdgesAreSplitToFitTheWidthField)
{
    Shape s;
    s.lineTo(200000, 0);
    BitWriter out;
    s.writeRecords(out, 0, 0);
    // Four pieces of 50000 twips: each 1 1 1111 (17 bits) 0 0 + 17 bits = 25 bits.
    EXPECT_EQ(out.bytes().size(), (4 * 25 + 6 + 7) / 8);
}

TEST(Tags, ShortAndLongHeaders)
{
    TagList tags;
    tags.showFrame();
    EXPECT_EQ(tags.bytes(), bytesOf({ 0x40, 0x00 }));
    EXPECT_EQ(tags.frameCount(), 1);

    TagList longOne;
    longOne.doAction(QByteArray(63, '\0'));
    // code 12 with length 0x3f, then a 32-bit length
    EXPECT_EQ(longOne.bytes().left(6), bytesOf({ 0x3f, 0x03, 63, 0, 0, 0 }));
    EXPECT_EQ(longOne.bytes().size(), 6 + 63);
}

TEST(Tags, PlaceObject2WritesFieldsInFlagOrder)
{
    TagList tags;
    Placement p = Placement::place(3, 7, Matrix {});
    p.ratio = 0x0102;
    p.name = "a";
    p.clipDepth = 9;
    tags.placeObject2(p);
    // header: code 26, 12 bytes; flags clip|name|ratio|matrix|character = 0x76,
    // depth 3, character 7, identity matrix, ratio, "a", clip depth 9
    EXPECT_EQ(tags.bytes(), bytesOf({ 0x8c, 0x06, 0x76, 3, 0, 7, 0, 0x00, 0x02, 0x01, 'a', 0, 9, 0 }));
}

TEST(Movie, UncompressedHeaderAndMinimalTimeline)
{
    Movie movie(6, 550, 400, 12);
    movie.showFrame();
    const uint8_t expected[] = {
        'F', 'W', 'S', 6, // uncompressed, version 6
        25, 0, 0, 0, // file length
        0x78, 0x00, 0x05, 0x5f, 0x00, 0x00, 0x0f, 0xa0, 0x00, // stage 0..11000 x 0..8000 twips
        0x00, 0x0c, // 12 fps
        0x01, 0x00, // one frame
        0x40, 0x00, // ShowFrame
        0x00, 0x00, // End
    };
    EXPECT_EQ(movie.bytes(), QByteArray(reinterpret_cast<const char*>(expected), sizeof expected));
}

TEST(Movie, CompressedContainersDecodeToTheSameBody)
{
    Movie movie(10, 100, 100, 30);
    movie.setBackgroundColor({ 1, 2, 3 });
    for (int i = 0; i < 50; ++i)
        movie.showFrame();
    const QByteArray plain = movie.bytes(Compression::None);

    const QByteArray cws = movie.bytes(Compression::Zlib);
    ASSERT_TRUE(cws.startsWith("CWS\x0a"));
    EXPECT_EQ(cws.mid(4, 4), plain.mid(4, 4)); // the uncompressed length
    QByteArray inflated(plain.size() - 8, '\0');
    uLongf size = uLongf(inflated.size());
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(inflated.data()), &size,
                  reinterpret_cast<const Bytef*>(cws.constData() + 8), uLong(cws.size() - 8)),
        Z_OK);
    EXPECT_EQ(inflated, plain.mid(8));

    const QByteArray zws = movie.bytes(Compression::Lzma);
    ASSERT_TRUE(zws.startsWith("ZWS\x0a"));
    EXPECT_EQ(zws.mid(4, 4), plain.mid(4, 4));
    const uint32_t packed = uint8_t(zws[8]) | uint8_t(zws[9]) << 8 | uint8_t(zws[10]) << 16 | uint32_t(uint8_t(zws[11])) << 24;
    EXPECT_EQ(packed, uint32_t(zws.size() - 17)); // after the 12-byte header and 5 property bytes
    // Rebuild the .lzma form (properties, unknown length, data) to decode it.
    QByteArray alone = zws.mid(12, 5) + QByteArray(8, '\xff') + zws.mid(17);
    lzma_stream stream = LZMA_STREAM_INIT;
    ASSERT_EQ(lzma_alone_decoder(&stream, UINT64_MAX), LZMA_OK);
    QByteArray decoded(plain.size(), '\0');
    stream.next_in = reinterpret_cast<const uint8_t*>(alone.constData());
    stream.avail_in = size_t(alone.size());
    stream.next_out = reinterpret_cast<uint8_t*>(decoded.data());
    stream.avail_out = size_t(decoded.size());
    const lzma_ret ret = lzma_code(&stream, LZMA_FINISH);
    const size_t got = size_t(decoded.size()) - stream.avail_out;
    lzma_end(&stream);
    EXPECT_EQ(ret, LZMA_STREAM_END);
    EXPECT_EQ(decoded.left(qsizetype(got)), plain.mid(8));
}
