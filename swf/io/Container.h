#pragma once

// Opens the wrappers a movie arrives in: plain (FWS), zlib (CWS), LZMA (ZWS),
// and a projector executable with a movie appended to it. The result is the
// whole movie uncompressed, its 8-byte file header included, so offsets in
// errors match a tool that decompresses the file the same way.

#include "swf/Result.h"

#include <QByteArray>

#include <cstdint>

namespace swf {

// Nothing we open may decompress past this, whatever the header claims.
inline constexpr qint64 MaxMovieBytes = 256ll * 1024 * 1024;

struct MovieBytes {
    char compression = 'F'; // 'F', 'C' or 'Z'
    int version = 0;
    std::uint32_t declaredLength = 0; // from the header; a hint, not trusted
    QByteArray data;                  // uncompressed, starting with "FWS"
    // The compressed stream ended early or broke off: `data` is what it held.
    bool truncated = false;
};

// `limit` lowers the decompression cap (tests use it); it never raises it.
Result<MovieBytes> unwrapMovie(const QByteArray& file, qint64 limit = MaxMovieBytes);

// When the bytes end with a projector trailer, the movie it points at; otherwise none.
Result<QByteArray> extractProjectorMovie(const QByteArray& file);

} // namespace swf

namespace swf {

// Inflates a zlib block (bitmap pixels, alpha planes) into at most `maxOut`
// bytes. Output past that is dropped; a stream that ends early yields what it held.
QByteArray inflateBlock(const char* data, qint64 size, qint64 maxOut);

} // namespace swf
