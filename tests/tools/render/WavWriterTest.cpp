#include "tools/render/WavWriter.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <cstdint>

using namespace swf;

TEST(WavWriter, HeaderAndSamples)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(writeWav(buffer, { 1, -2, 32767, -32768 }).ok());
    const QByteArray w = buffer.data();
    ASSERT_EQ(w.size(), 44 + 8);
    EXPECT_EQ(w.left(4), "RIFF");
    EXPECT_EQ(w.mid(8, 8), "WAVEfmt ");
    auto u32 = [&](int at) { return std::uint32_t(std::uint8_t(w[at]) | (std::uint8_t(w[at + 1]) << 8) | (std::uint8_t(w[at + 2]) << 16) | (std::uint32_t(std::uint8_t(w[at + 3])) << 24)); };
    EXPECT_EQ(u32(4), 44u); // everything after the first eight bytes
    EXPECT_EQ(u32(24), 44100u);
    EXPECT_EQ(u32(28), 44100u * 4); // bytes per second
    EXPECT_EQ(w[22], 2);            // channels
    EXPECT_EQ(w[34], 16);           // bits per sample
    EXPECT_EQ(w.mid(36, 4), "data");
    EXPECT_EQ(u32(40), 8u);
    EXPECT_EQ(w.mid(44), QByteArray::fromHex("0100feffff7f0080"));

    EXPECT_FALSE(writeWavFile(QStringLiteral("/nonexistent-dir/x.wav"), { 0, 0 }).ok());
}
