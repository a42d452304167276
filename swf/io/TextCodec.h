#pragma once

// Decoding of the byte strings movies carry. Movies of version 6 and later
// store UTF-8; older ones store the author's code page, which for the movies
// our users keep is GBK (code page 936) unless the movie's strings read
// clearly better as Big5 or Shift-JIS (LegacyCodePage.h). Shared by text,
// labels and scripts.

#include "swf/io/LegacyCodePage.h"

#include <QByteArray>
#include <QString>

namespace swf {

// The code page old movies' strings are read in on this thread: GBK unless
// a LegacyCodePageScope says otherwise. A movie sets it while it is read
// and while it plays, so that strings decoded late (scripts, loaded text)
// read as the movie's own.
CodePage legacyCodePage();
class LegacyCodePageScope {
public:
    explicit LegacyCodePageScope(CodePage page);
    ~LegacyCodePageScope();
    LegacyCodePageScope(const LegacyCodePageScope&) = delete;
    LegacyCodePageScope& operator=(const LegacyCodePageScope&) = delete;

private:
    CodePage m_previous;
};

// Bytes in the author's code page (legacyCodePage()); plain ASCII passes
// through. Bytes that the code page cannot read become U+FFFD, never a lost string.
QString decodeLegacy(const char* data, qsizetype size);
QString decodeLegacy(const char* data, qsizetype size, CodePage page);
inline QString decodeLegacy(const QByteArray& bytes) { return decodeLegacy(bytes.constData(), bytes.size()); }

// The string encoding a movie of `version` uses.
QString decodeMovieString(const char* data, qsizetype size, int version);
inline QString decodeMovieString(const QByteArray& bytes, int version)
{
    return decodeMovieString(bytes.constData(), bytes.size(), version);
}

} // namespace swf
