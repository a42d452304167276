#pragma once

// Decoding of the byte strings movies carry. Movies of version 6 and later
// store UTF-8; older ones store the author's code page, which for the movies
// our users keep is GBK (code page 936). Shared by text, labels and scripts.

#include <QByteArray>
#include <QString>

namespace swf {

// Bytes in the author's code page (GBK); plain ASCII passes through. Bytes
// that are not valid GBK become U+FFFD, never a lost string.
QString decodeLegacy(const char* data, qsizetype size);
inline QString decodeLegacy(const QByteArray& bytes) { return decodeLegacy(bytes.constData(), bytes.size()); }

// The string encoding a movie of `version` uses.
QString decodeMovieString(const char* data, qsizetype size, int version);
inline QString decodeMovieString(const QByteArray& bytes, int version)
{
    return decodeMovieString(bytes.constData(), bytes.size(), version);
}

} // namespace swf
