#include "swf/io/Reader.h"

#include "swf/io/TextCodec.h"

#include <algorithm>
#include <cstring>

namespace swf {

Error Reader::truncated(const char* what) const
{
    return Error::at(offset(), QStringLiteral("%1 runs past the end of its record").arg(QLatin1String(what)), ErrorKind::Truncated);
}

Result<std::uint8_t> Reader::readU8()
{
    alignByte();
    if (!need(1))
        return truncated("a byte");
    return m_data[m_pos++];
}

Result<std::uint16_t> Reader::readU16()
{
    alignByte();
    if (!need(2))
        return truncated("a 16-bit value");
    std::uint16_t v = std::uint16_t(m_data[m_pos] | (m_data[m_pos + 1] << 8));
    m_pos += 2;
    return v;
}

Result<std::uint32_t> Reader::readU32()
{
    alignByte();
    if (!need(4))
        return truncated("a 32-bit value");
    std::uint32_t v = std::uint32_t(m_data[m_pos]) | (std::uint32_t(m_data[m_pos + 1]) << 8)
        | (std::uint32_t(m_data[m_pos + 2]) << 16) | (std::uint32_t(m_data[m_pos + 3]) << 24);
    m_pos += 4;
    return v;
}

Result<std::int16_t> Reader::readS16()
{
    auto v = SWF_TRY(readU16());
    return std::int16_t(v);
}

Result<std::int32_t> Reader::readS32()
{
    auto v = SWF_TRY(readU32());
    return std::int32_t(v);
}

Result<double> Reader::readFixed8()
{
    auto v = SWF_TRY(readS16());
    return v / 256.0;
}

Result<double> Reader::readFixed16()
{
    auto v = SWF_TRY(readS32());
    return v / 65536.0;
}

Result<float> Reader::readFloat()
{
    auto v = SWF_TRY(readU32());
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}

Result<double> Reader::readDouble()
{
    // Stored as two little-endian 32-bit halves, high half first.
    auto hi = SWF_TRY(readU32());
    auto lo = SWF_TRY(readU32());
    std::uint64_t bits = (std::uint64_t(hi) << 32) | lo;
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

Result<std::uint32_t> Reader::readEncodedU32()
{
    std::uint32_t value = 0;
    for (int i = 0; i < 5; ++i) {
        auto byte = SWF_TRY(readU8());
        value |= std::uint32_t(byte & 0x7f) << (7 * i);
        if (!(byte & 0x80))
            break;
    }
    return value;
}

Result<QString> Reader::readString(int swfVersion)
{
    alignByte();
    const void* end = atEnd() ? nullptr : std::memchr(m_data + m_pos, 0, m_size - m_pos);
    if (!end)
        return truncated("a string without terminator");
    std::size_t length = static_cast<const std::uint8_t*>(end) - (m_data + m_pos);
    const char* start = current();
    m_pos += length + 1;
    return decodeMovieString(start, qsizetype(length), swfVersion);
}

Result<QByteArray> Reader::readBytes(std::size_t count)
{
    alignByte();
    if (!need(count))
        return truncated("a byte block");
    QByteArray out(current(), qsizetype(count));
    m_pos += count;
    return out;
}

Result<void> Reader::skip(std::size_t count)
{
    alignByte();
    if (!need(count))
        return truncated("skipped data");
    m_pos += count;
    return {};
}

Result<Reader> Reader::subReader(std::size_t count)
{
    alignByte();
    if (!need(count))
        return truncated("a record");
    Reader sub(current(), count, offset());
    m_pos += count;
    return sub;
}

Result<Reader> Reader::sliceAt(std::size_t start, std::size_t count) const
{
    if (start > m_size || count > m_size - start)
        return Error::at(m_base + qint64(std::min(start, m_size)), QStringLiteral("a record lies past the end of its tag"), ErrorKind::Truncated);
    return Reader(reinterpret_cast<const char*>(m_data) + start, count, m_base + qint64(start));
}

QByteArray Reader::rest()
{
    alignByte();
    QByteArray out(current(), qsizetype(remaining()));
    m_pos = m_size;
    return out;
}

Result<std::uint32_t> Reader::readUB(unsigned bits)
{
    if (bits > 32)
        return Error::at(offset(), QStringLiteral("bit field wider than 32 bits"));
    std::uint32_t value = 0;
    while (bits > 0) {
        if (m_bitCount == 0) {
            if (!need(1))
                return truncated("a bit field");
            m_bitBuffer = m_data[m_pos++];
            m_bitCount = 8;
        }
        unsigned take = bits < m_bitCount ? bits : m_bitCount;
        unsigned shift = m_bitCount - take;
        std::uint32_t chunk = (m_bitBuffer >> shift) & ((1u << take) - 1);
        value = take == 32 ? chunk : (value << take) | chunk;
        m_bitCount -= take;
        bits -= take;
    }
    return value;
}

Result<std::int32_t> Reader::readSB(unsigned bits)
{
    auto raw = SWF_TRY(readUB(bits));
    if (bits == 0)
        return 0;
    if (bits < 32 && (raw & (1u << (bits - 1))))
        raw |= ~((1u << bits) - 1); // sign-extend
    return std::int32_t(raw);
}

Result<double> Reader::readFB(unsigned bits)
{
    auto v = SWF_TRY(readSB(bits));
    return v / 65536.0;
}

} // namespace swf
