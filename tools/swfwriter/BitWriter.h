#pragma once

// Writes the movie format's bit-packed and little-endian fields. Bit fields
// fill each byte from its most significant bit; byte fields first flush any
// partial byte, as the format requires.

#include "tools/swfwriter/Records.h"

#include <QByteArray>

#include <cstdint>

namespace swfw {

class BitWriter {
public:
    // Fewest bits that hold `value` unsigned, or signed (two's complement).
    static int unsignedBits(uint32_t value);
    static int signedBits(int32_t value);
    // Fewest bits for a 16.16 fixed-point value written as FB (a signed field).
    static int fixedBits(double value);
    static int32_t toFixed16(double value);

    void writeUB(int bits, uint32_t value);
    void writeSB(int bits, int32_t value);
    void writeFB(int bits, double value);
    void align(); // pads the partial byte with zero bits

    void writeU8(uint8_t value);
    void writeU16(uint16_t value);
    void writeU32(uint32_t value);
    void writeS16(int16_t value);
    void writeFixed8(double value); // 8.8, signed
    void writeBytes(const QByteArray& bytes);
    void writeString(const QByteArray& utf8); // NUL-terminated

    // Records, each byte-aligned at its start and its end.
    void writeRect(const Rect& rect);
    void writeMatrix(const Matrix& matrix);
    void writeCxForm(const CxForm& cxform, bool withAlpha);
    void writeRgb(const Rgba& color);
    void writeRgba(const Rgba& color);

    const QByteArray& bytes() const; // only complete bytes; call align() first
    int bitPosition() const { return m_bitCount; }

private:
    QByteArray m_bytes;
    uint8_t m_partial = 0;
    int m_bitCount = 0; // bits used in m_partial, 0..7
};

} // namespace swfw
