#pragma once

// Little-endian integers appended to a byte array: the byte order of every
// file the engine, its tools and its tests write (WAV, BMP, ICO, SWF). The
// counterpart of Reader's readU16/readU32, for the few places that write.

#include <QByteArray>

#include <cstdint>

namespace swf {

inline void putU8(QByteArray& out, std::uint8_t v)
{
    out.append(char(v));
}

inline void putU16(QByteArray& out, std::uint16_t v)
{
    out.append(char(v & 0xff));
    out.append(char(v >> 8));
}

inline void putU32(QByteArray& out, std::uint32_t v)
{
    putU16(out, std::uint16_t(v & 0xffff));
    putU16(out, std::uint16_t(v >> 16));
}

} // namespace swf
