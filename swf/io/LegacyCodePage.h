#pragma once

// Which code page an old movie (version 5 and earlier) wrote its strings in.
// Those movies carry no word of it: the bytes are whatever the author's
// system used. Most of the movies our users keep are GBK; Taiwanese and
// Hong Kong movies are Big5, Japanese ones Shift-JIS. Every byte pair that
// is Big5 or Shift-JIS also decodes as *something* in GB18030, so validity
// cannot choose: instead each candidate reads the movie's strings and is
// scored by how many of the characters it reads are among the few thousand
// its writers use most (the first-level character sets and the common
// punctuation rows). GBK stays unless another reads clearly better.

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace swf {

enum class CodePage : std::uint8_t { Gbk, Big5, ShiftJis };

// How many two-byte characters of the strings read as common characters,
// and how many pairs the code page cannot read at all.
struct CodePageScore {
    int common = 0;
    int invalid = 0;
};
CodePageScore scoreCodePage(CodePage page, const char* data, qsizetype size);

// The code page of a movie's strings, judged from its body (the bytes after
// the header, decompressed): every NUL-terminated run of text-like bytes
// that holds characters beyond ASCII is scored.
CodePage detectLegacyCodePage(const QByteArray& movieBody);
// The same judgement over the given strings alone.
CodePage chooseCodePage(const char* data, qsizetype size);

// True when `byte` starts a two-byte character of the code page.
bool isLeadByte(CodePage page, unsigned char byte);

// The name Qt's converters know a code page by.
const char* codePageName(CodePage page);

} // namespace swf
