// The little-endian writers: byte order, widths, and appending after what
// the array already holds.

#include "swf/io/ByteWriter.h"
#include "swf/io/Reader.h"

#include <gtest/gtest.h>

TEST(ByteWriter, WritesLowByteFirstAndAppends)
{
    QByteArray out("x");
    swf::putU8(out, 0xfe);
    swf::putU16(out, 0x1234);
    swf::putU32(out, 0x89abcdefu);
    swf::putU16(out, 0xffff);
    swf::putU32(out, 1);
    const QByteArray expected("x"
                              "\xfe"              // u8
                              "\x34\x12"          // u16 0x1234
                              "\xef\xcd\xab\x89"  // u32 0x89abcdef
                              "\xff\xff"          // u16 all ones
                              "\x01\x00\x00\x00", // u32 1
        14);
    EXPECT_EQ(out.toHex(' '), expected.toHex(' '));
}

TEST(ByteWriter, ReaderReadsBackWhatWasWritten)
{
    QByteArray out;
    swf::putU16(out, 0xbeef);
    swf::putU32(out, 0xdeadbeefu);
    swf::Reader reader(out.constData(), std::size_t(out.size()));
    EXPECT_EQ(reader.readU16().value(), 0xbeef);
    EXPECT_EQ(reader.readU32().value(), 0xdeadbeefu);
}
