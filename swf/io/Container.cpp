#include "swf/io/Container.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace swf {

namespace {

constexpr std::uint8_t ProjectorMagic[4] = { 0x56, 0x34, 0x12, 0xFA };

std::uint32_t le32(const char* p)
{
    auto b = reinterpret_cast<const std::uint8_t*>(p);
    return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) | (std::uint32_t(b[3]) << 24);
}

bool hasSignature(const QByteArray& bytes)
{
    if (bytes.size() < 3 || bytes[1] != 'W' || bytes[2] != 'S')
        return false;
    return bytes[0] == 'F' || bytes[0] == 'C' || bytes[0] == 'Z';
}

// The declared length only decides how much to reserve up front, and never more than this.
qint64 reserveHint(std::uint32_t declared, qint64 limit)
{
    return std::min<qint64>({ qint64(declared), limit, 16ll * 1024 * 1024 });
}

// Appends what one decompression step produced; false when the movie (with
// its 8-byte header) would grow past `limit`.
bool appendWithin(QByteArray& out, const char* chunk, qint64 produced, qint64 limit)
{
    if (qint64(out.size()) + 8 + produced > limit)
        return false;
    out.append(chunk, qsizetype(produced));
    return true;
}

Error tooLarge(qint64 limit)
{
    return Error::at(8, QStringLiteral("movie decompresses past %1 bytes").arg(limit), ErrorKind::TooLarge);
}

Result<QByteArray> inflateZlib(const char* data, qint64 size, std::uint32_t declared, qint64 limit, bool* truncated)
{
    QByteArray out;
    out.reserve(qsizetype(reserveHint(declared, limit)));
    z_stream zs {};
    if (inflateInit(&zs) != Z_OK)
        return Error::at(8, QStringLiteral("zlib could not start"), ErrorKind::Corrupt);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    zs.avail_in = uInt(std::min<qint64>(size, 0x7fffffff));
    char chunk[65536];
    int status = Z_OK;
    while (true) {
        zs.next_out = reinterpret_cast<Bytef*>(chunk);
        zs.avail_out = sizeof chunk;
        status = inflate(&zs, Z_NO_FLUSH);
        if (!appendWithin(out, chunk, qint64(sizeof chunk - zs.avail_out), limit)) {
            inflateEnd(&zs);
            return tooLarge(limit);
        }
        if (status == Z_STREAM_END)
            break;
        if (status == Z_OK)
            continue;
        if (status == Z_BUF_ERROR && zs.avail_in == 0)
            break; // input ran out before the stream's end
        // Damaged data: what came before the damage still plays.
        if (out.isEmpty()) {
            inflateEnd(&zs);
            return Error::at(8, QStringLiteral("zlib data is damaged"), ErrorKind::Corrupt);
        }
        break;
    }
    inflateEnd(&zs);
    // A stream cut short keeps what it held; the movie reader plays the frames that are whole.
    if (status != Z_STREAM_END && qint64(out.size()) + 8 < qint64(declared)) {
        if (out.isEmpty())
            return Error::at(8, QStringLiteral("compressed movie ends early"), ErrorKind::Truncated);
        if (truncated)
            *truncated = true;
    }
    return out;
}

Result<QByteArray> inflateLzma(const char* data, qint64 size, std::uint32_t declared, qint64 limit, bool* truncated)
{
    // ZWS: u32 compressed length, 5 bytes of LZMA properties, then raw LZMA data.
    // liblzma's .lzma ("alone") decoder wants properties + u64 size in front; we
    // rebuild that header with an unknown size so data with or without an end marker decodes.
    if (size < 9)
        return Error::at(8, QStringLiteral("LZMA header cut short"), ErrorKind::Truncated);
    unsigned char header[13];
    std::memcpy(header, data + 4, 5);
    std::memset(header + 5, 0xff, 8);
    const char* payload = data + 9;
    qint64 payloadSize = size - 9;

    lzma_stream ls = LZMA_STREAM_INIT;
    if (lzma_alone_decoder(&ls, std::uint64_t(limit)) != LZMA_OK)
        return Error::at(8, QStringLiteral("LZMA could not start"), ErrorKind::Corrupt);
    QByteArray out;
    out.reserve(qsizetype(reserveHint(declared, limit)));
    char chunk[65536];
    lzma_ret status = LZMA_OK;
    bool headerFed = false;
    ls.next_in = header;
    ls.avail_in = sizeof header;
    const qint64 wanted = declared >= 8 ? qint64(declared) - 8 : 0;
    while (true) {
        if (ls.avail_in == 0 && !headerFed) {
            headerFed = true;
            ls.next_in = reinterpret_cast<const uint8_t*>(payload);
            ls.avail_in = size_t(payloadSize);
        }
        ls.next_out = reinterpret_cast<uint8_t*>(chunk);
        ls.avail_out = sizeof chunk;
        status = lzma_code(&ls, headerFed ? LZMA_FINISH : LZMA_RUN);
        if (!appendWithin(out, chunk, qint64(sizeof chunk - ls.avail_out), limit)) {
            lzma_end(&ls);
            return tooLarge(limit);
        }
        if (status == LZMA_STREAM_END)
            break;
        if (status == LZMA_OK) {
            // Without an end marker the stream never ends by itself; stop at the declared size.
            if (headerFed && wanted > 0 && out.size() >= wanted)
                break;
            continue;
        }
        if (status == LZMA_BUF_ERROR)
            break; // input exhausted
        lzma_end(&ls);
        if (status == LZMA_MEMLIMIT_ERROR)
            return Error::at(8, QStringLiteral("LZMA dictionary too large"), ErrorKind::TooLarge);
        if (qint64(out.size()) >= wanted && wanted > 0)
            break;
        if (out.isEmpty())
            return Error::at(8, QStringLiteral("LZMA data is damaged"), ErrorKind::Corrupt);
        break; // damaged data: what came before the damage still plays
    }
    lzma_end(&ls);
    if (wanted > 0 && out.size() > wanted)
        out.truncate(qsizetype(wanted));
    if (status != LZMA_STREAM_END && out.size() < wanted) {
        if (out.isEmpty())
            return Error::at(8, QStringLiteral("compressed movie ends early"), ErrorKind::Truncated);
        if (truncated)
            *truncated = true;
    }
    return out;
}

} // namespace

Result<QByteArray> extractProjectorMovie(const QByteArray& file)
{
    if (file.size() < 8)
        return QByteArray();
    const char* trailer = file.constData() + file.size() - 8;
    if (std::memcmp(trailer, ProjectorMagic, 4) != 0)
        return QByteArray();
    std::uint32_t length = le32(trailer + 4);
    qint64 available = qint64(file.size()) - 8;
    if (length < 8 || qint64(length) > available)
        return Error::at(available, QStringLiteral("projector trailer names a movie larger than the file"), ErrorKind::Corrupt);
    return file.mid(qsizetype(available - length), qsizetype(length));
}

Result<MovieBytes> unwrapMovie(const QByteArray& file, qint64 limit)
{
    limit = std::min(limit, MaxMovieBytes);
    QByteArray bytes = file;
    if (!hasSignature(bytes)) {
        auto carried = SWF_TRY(extractProjectorMovie(file));
        if (carried.isEmpty() || !hasSignature(carried))
            return Error::at(0, QStringLiteral("not a movie: no FWS/CWS/ZWS signature"), ErrorKind::NotAMovie);
        bytes = carried;
    }
    if (bytes.size() < 8)
        return Error::at(bytes.size(), QStringLiteral("file header cut short"), ErrorKind::Truncated);

    MovieBytes movie;
    movie.compression = bytes[0];
    movie.version = std::uint8_t(bytes[3]);
    movie.declaredLength = le32(bytes.constData() + 4);
    const char* body = bytes.constData() + 8;
    qint64 bodySize = bytes.size() - 8;

    QByteArray uncompressed;
    switch (movie.compression) {
    case 'F':
        if (qint64(bytes.size()) > limit)
            return Error::at(0, QStringLiteral("movie larger than %1 bytes").arg(limit), ErrorKind::TooLarge);
        uncompressed = bytes.mid(8);
        break;
    case 'C':
        uncompressed = SWF_TRY(inflateZlib(body, bodySize, movie.declaredLength, limit, &movie.truncated));
        break;
    default:
        uncompressed = SWF_TRY(inflateLzma(body, bodySize, movie.declaredLength, limit, &movie.truncated));
        break;
    }
    movie.data.reserve(uncompressed.size() + 8);
    movie.data.append("FWS", 3);
    movie.data.append(char(movie.version));
    movie.data.append(bytes.constData() + 4, 4);
    movie.data.append(uncompressed);
    return movie;
}

} // namespace swf

namespace swf {

QByteArray inflateBlock(const char* data, qint64 size, qint64 maxOut)
{
    QByteArray out;
    if (maxOut <= 0 || size <= 0)
        return out;
    z_stream zs {};
    if (inflateInit(&zs) != Z_OK)
        return QByteArray();
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    zs.avail_in = uInt(std::min<qint64>(size, 0x7fffffff));
    // The output grows with what the stream really holds, up to maxOut: a
    // header may declare far more than a few compressed bytes expand to, and
    // reserving the declared size up front costs that memory for nothing.
    qint64 produced = 0;
    qint64 capacity = std::min<qint64>(maxOut, std::max<qint64>(qint64(1) << 16, size * 4));
    out.resize(qsizetype(capacity));
    for (;;) {
        const qint64 room = std::min<qint64>(capacity - produced, 0x7fffffff);
        zs.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        zs.avail_out = uInt(room);
        const int status = inflate(&zs, Z_NO_FLUSH);
        produced += room - qint64(zs.avail_out);
        if (status != Z_OK || (zs.avail_out > 0 && zs.avail_in == 0))
            break;
        if (produced < capacity)
            continue;
        if (capacity == maxOut)
            break;
        capacity = std::min<qint64>(maxOut, capacity * 2);
        out.resize(qsizetype(capacity));
    }
    out.resize(qsizetype(produced));
    inflateEnd(&zs);
    return out;
}

} // namespace swf
