#pragma once

// A bounds-checked reader over a byte range of a movie. Every read either
// yields a value or an error carrying the absolute offset where it failed, so
// a damaged file can never make us read outside the buffer.

#include "swf/Result.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace swf {

class Reader {
public:
    Reader() = default;
    // `base` is the absolute offset of data[0] within the movie, for error reports.
    Reader(const char* data, std::size_t size, qint64 base = 0)
        : m_data(reinterpret_cast<const std::uint8_t*>(data)), m_size(size), m_base(base) { }
    explicit Reader(const QByteArray& bytes, qint64 base = 0)
        : Reader(bytes.constData(), std::size_t(bytes.size()), base) { }

    qint64 offset() const { return m_base + qint64(m_pos); }
    std::size_t position() const { return m_pos; }
    std::size_t size() const { return m_size; }
    std::size_t remaining() const { return m_size - m_pos; }
    bool atEnd() const { return m_pos >= m_size; }
    const char* current() const { return reinterpret_cast<const char*>(m_data + m_pos); }

    Result<std::uint8_t> readU8();
    Result<std::uint16_t> readU16();
    Result<std::uint32_t> readU32();
    Result<std::int16_t> readS16();
    Result<std::int32_t> readS32();
    Result<double> readFixed8();  // 8.8 signed fixed point
    Result<double> readFixed16(); // 16.16 signed fixed point
    Result<float> readFloat();
    Result<double> readDouble();
    Result<std::uint32_t> readEncodedU32(); // 1 to 5 bytes, 7 bits each, low first
    // A NUL-terminated string in the encoding of a movie of `swfVersion`
    // (decodeMovieString); the NUL is consumed.
    Result<QString> readString(int swfVersion);
    Result<QByteArray> readBytes(std::size_t count);
    Result<void> skip(std::size_t count);
    // A reader limited to the next `count` bytes; this reader moves past them.
    Result<Reader> subReader(std::size_t count);
    // A reader over `count` bytes starting `start` bytes into this one's range,
    // wherever this reader stands; its errors carry their place in the movie.
    Result<Reader> sliceAt(std::size_t start, std::size_t count) const;
    QByteArray rest(); // everything left, consumed

    // Bit fields, most significant bit first. Any byte-sized read realigns.
    Result<std::uint32_t> readUB(unsigned bits);
    Result<std::int32_t> readSB(unsigned bits);
    Result<double> readFB(unsigned bits); // signed 16.16 fixed point in a bit field
    void alignByte() { m_bitCount = 0; }

    Error truncated(const char* what) const;

private:
    bool need(std::size_t count) const { return count <= m_size - m_pos; }

    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
    qint64 m_base = 0;
    std::uint8_t m_bitBuffer = 0;
    unsigned m_bitCount = 0; // bits left in m_bitBuffer
};

} // namespace swf
