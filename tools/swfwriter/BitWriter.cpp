#include "tools/swfwriter/BitWriter.h"

#include <algorithm>
#include <cmath>

namespace swfw {

Matrix Matrix::rotate(double degrees, int32_t tx, int32_t ty)
{
    const double r = degrees * M_PI / 180.0;
    return { std::cos(r), std::sin(r), -std::sin(r), std::cos(r), tx, ty };
}

int BitWriter::unsignedBits(uint32_t value)
{
    int bits = 0;
    while (value) {
        ++bits;
        value >>= 1;
    }
    return bits;
}

int BitWriter::signedBits(int32_t value)
{
    if (value == 0)
        return 0;
    // One more than the magnitude's bits; for negatives the magnitude of ~v,
    // so that -1 fits in one bit and -2 in two.
    const uint32_t magnitude = value > 0 ? uint32_t(value) : ~uint32_t(value);
    return unsignedBits(magnitude) + 1;
}

int32_t BitWriter::toFixed16(double value)
{
    return static_cast<int32_t>(std::lround(value * 65536.0));
}

int BitWriter::fixedBits(double value)
{
    return signedBits(toFixed16(value));
}

void BitWriter::writeUB(int bits, uint32_t value)
{
    for (int i = bits - 1; i >= 0; --i) {
        m_partial = uint8_t((m_partial << 1) | ((value >> i) & 1u));
        if (++m_bitCount == 8) {
            m_bytes.append(char(m_partial));
            m_partial = 0;
            m_bitCount = 0;
        }
    }
}

void BitWriter::writeSB(int bits, int32_t value)
{
    writeUB(bits, uint32_t(value) & (bits >= 32 ? 0xffffffffu : ((1u << bits) - 1)));
}

void BitWriter::writeFB(int bits, double value)
{
    writeSB(bits, toFixed16(value));
}

void BitWriter::align()
{
    if (m_bitCount > 0)
        writeUB(8 - m_bitCount, 0);
}

void BitWriter::writeU8(uint8_t value)
{
    align();
    m_bytes.append(char(value));
}

void BitWriter::writeU16(uint16_t value)
{
    writeU8(uint8_t(value));
    writeU8(uint8_t(value >> 8));
}

void BitWriter::writeU32(uint32_t value)
{
    writeU16(uint16_t(value));
    writeU16(uint16_t(value >> 16));
}

void BitWriter::writeS16(int16_t value)
{
    writeU16(uint16_t(value));
}

void BitWriter::writeFixed8(double value)
{
    writeS16(int16_t(std::lround(value * 256.0)));
}

void BitWriter::writeBytes(const QByteArray& bytes)
{
    align();
    m_bytes.append(bytes);
}

void BitWriter::writeString(const QByteArray& utf8)
{
    writeBytes(utf8);
    writeU8(0);
}

void BitWriter::writeRect(const Rect& rect)
{
    align();
    const int bits = std::max({ signedBits(rect.xMin), signedBits(rect.xMax), signedBits(rect.yMin), signedBits(rect.yMax) });
    writeUB(5, uint32_t(bits));
    writeSB(bits, rect.xMin);
    writeSB(bits, rect.xMax);
    writeSB(bits, rect.yMin);
    writeSB(bits, rect.yMax);
    align();
}

void BitWriter::writeMatrix(const Matrix& m)
{
    align();
    writeUB(1, m.hasScale());
    if (m.hasScale()) {
        const int bits = std::max(fixedBits(m.a), fixedBits(m.d));
        writeUB(5, uint32_t(bits));
        writeFB(bits, m.a);
        writeFB(bits, m.d);
    }
    writeUB(1, m.hasRotate());
    if (m.hasRotate()) {
        const int bits = std::max(fixedBits(m.b), fixedBits(m.c));
        writeUB(5, uint32_t(bits));
        writeFB(bits, m.b);
        writeFB(bits, m.c);
    }
    const int bits = std::max(signedBits(m.tx), signedBits(m.ty));
    writeUB(5, uint32_t(bits));
    writeSB(bits, m.tx);
    writeSB(bits, m.ty);
    align();
}

void BitWriter::writeCxForm(const CxForm& cx, bool withAlpha)
{
    align();
    auto mul = [](double v) { return int32_t(std::lround(v * 256.0)); };
    const bool hasAdd = withAlpha ? cx.hasAdd() : (cx.addR || cx.addG || cx.addB);
    const bool hasMul = withAlpha ? cx.hasMul() : (cx.mulR != 1 || cx.mulG != 1 || cx.mulB != 1);
    writeUB(1, hasAdd);
    writeUB(1, hasMul);
    int bits = 0;
    if (hasMul) {
        bits = std::max({ bits, signedBits(mul(cx.mulR)), signedBits(mul(cx.mulG)), signedBits(mul(cx.mulB)) });
        if (withAlpha)
            bits = std::max(bits, signedBits(mul(cx.mulA)));
    }
    if (hasAdd) {
        bits = std::max({ bits, signedBits(cx.addR), signedBits(cx.addG), signedBits(cx.addB) });
        if (withAlpha)
            bits = std::max(bits, signedBits(cx.addA));
    }
    writeUB(4, uint32_t(bits));
    if (hasMul) {
        writeSB(bits, mul(cx.mulR));
        writeSB(bits, mul(cx.mulG));
        writeSB(bits, mul(cx.mulB));
        if (withAlpha)
            writeSB(bits, mul(cx.mulA));
    }
    if (hasAdd) {
        writeSB(bits, cx.addR);
        writeSB(bits, cx.addG);
        writeSB(bits, cx.addB);
        if (withAlpha)
            writeSB(bits, cx.addA);
    }
    align();
}

void BitWriter::writeRgb(const Rgba& c)
{
    writeU8(c.r);
    writeU8(c.g);
    writeU8(c.b);
}

void BitWriter::writeRgba(const Rgba& c)
{
    writeRgb(c);
    writeU8(c.a);
}

const QByteArray& BitWriter::bytes() const
{
    return m_bytes;
}

} // namespace swfw
