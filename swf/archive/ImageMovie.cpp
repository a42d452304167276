#include "swf/archive/ImageMovie.h"

#include <QBuffer>
#include <QImageReader>

#include <cstdint>

namespace swf::archive {

namespace {

void u16(QByteArray& out, unsigned v)
{
    out.append(char(v & 0xff));
    out.append(char((v >> 8) & 0xff));
}

void u32(QByteArray& out, std::uint32_t v)
{
    u16(out, v & 0xffff);
    u16(out, v >> 16);
}

void tag(QByteArray& out, int code, const QByteArray& body)
{
    if (body.size() < 0x3f) {
        u16(out, unsigned(code << 6 | body.size()));
    } else {
        u16(out, unsigned(code << 6 | 0x3f));
        u32(out, std::uint32_t(body.size()));
    }
    out.append(body);
}

// A RECT of 0..width, 0..height twips.
QByteArray rect(std::uint32_t width, std::uint32_t height)
{
    const unsigned bits = 31; // enough for any size we accept, sign bit included
    std::uint64_t acc = 0;
    int count = 0;
    QByteArray out;
    const auto put = [&](std::uint32_t value, unsigned n) {
        for (int i = int(n) - 1; i >= 0; --i) {
            acc = acc << 1 | ((value >> i) & 1);
            if (++count == 8) {
                out.append(char(acc & 0xff));
                acc = 0;
                count = 0;
            }
        }
    };
    put(bits, 5);
    put(0, bits);
    put(width, bits);
    put(0, bits);
    put(height, bits);
    if (count > 0)
        out.append(char((acc << (8 - count)) & 0xff));
    return out;
}

} // namespace

bool looksLikeImage(const QByteArray& bytes)
{
    return bytes.startsWith("\xFF\xD8") || bytes.startsWith("\x89PNG\r\n\x1A\n") || bytes.startsWith("GIF87a")
        || bytes.startsWith("GIF89a");
}

QByteArray movieFromImage(const QByteArray& bytes)
{
    if (!looksLikeImage(bytes))
        return {};
    // Only the header is read here, for the size; the pixels are decoded by
    // the movie's bitmap decoding when the movie is read.
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > 8191 || size.height() > 8191)
        return {};

    QByteArray body;
    body.append(rect(std::uint32_t(size.width()) * 20, std::uint32_t(size.height()) * 20));
    u16(body, 12 << 8); // 12 frames a second (the stage's rate rules anyway)
    u16(body, 1);       // one frame
    QByteArray bitmap;
    u16(bitmap, 1); // character 1: the picture (JPEG, PNG and GIF all travel in DefineBitsJPEG2)
    bitmap.append(bytes);
    tag(body, 21, bitmap);
    QByteArray place;
    place.append(char(0x02)); // PlaceObject2 with a character
    u16(place, 1);            // depth 1
    u16(place, 1);            // character 1
    tag(body, 26, place);
    tag(body, 1, {}); // ShowFrame
    tag(body, 0, {}); // End

    QByteArray movie("FWS");
    movie.append(char(8));
    u32(movie, std::uint32_t(8 + body.size()));
    movie.append(body);
    return movie;
}

} // namespace swf::archive
