#include "swf/io/LegacyCodePage.h"

#include <algorithm>

namespace swf {

namespace {

// One two-byte character of a code page, as lead and trail byte.
struct Pair {
    unsigned lead;
    unsigned trail;
    unsigned code() const { return lead << 8 | trail; }
};

// Lead bytes of two-byte characters; everything else at 0x80 and above
// stands alone (Shift-JIS half-width katakana) or is not text.
bool isLead(CodePage page, unsigned b)
{
    switch (page) {
    case CodePage::Gbk:
    case CodePage::Big5:
        return b >= 0x81 && b <= 0xFE;
    case CodePage::ShiftJis:
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    }
    return false;
}

bool isTrail(CodePage page, unsigned b)
{
    switch (page) {
    case CodePage::Gbk: // two-byte GBK only: no four-byte GB18030 forms
        return b >= 0x40 && b <= 0xFE && b != 0x7F;
    case CodePage::Big5:
        return (b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE);
    case CodePage::ShiftJis:
        return b >= 0x40 && b <= 0xFC && b != 0x7F;
    }
    return false;
}

// The characters each script's writers use most: the first-level sets and
// the rows of punctuation that run through ordinary sentences.
bool isCommon(CodePage page, Pair p)
{
    const unsigned c = p.code();
    switch (page) {
    case CodePage::Gbk:
        // GB2312 row 1 (、。“” …), row 3 (full-width ASCII), level 1 hanzi.
        if (p.trail < 0xA1 || p.trail > 0xFE)
            return false;
        return p.lead == 0xA1 || p.lead == 0xA3 || (p.lead >= 0xB0 && p.lead <= 0xD7);
    case CodePage::Big5:
        // Punctuation (0xA140–0xA1FE) and the frequent hanzi (0xA440–0xC67E).
        return (c >= 0xA140 && c <= 0xA1FE) || (c >= 0xA440 && c <= 0xC67E);
    case CodePage::ShiftJis:
        // Punctuation (0x8140–0x81AC), hiragana, katakana, level-1 kanji.
        return (c >= 0x8140 && c <= 0x81AC) || (c >= 0x829F && c <= 0x82F1) || (c >= 0x8340 && c <= 0x8396)
            || (c >= 0x889F && c <= 0x9872);
    }
    return false;
}

} // namespace

CodePageScore scoreCodePage(CodePage page, const char* data, qsizetype size)
{
    CodePageScore score;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    for (qsizetype i = 0; i < size;) {
        const unsigned b = bytes[i];
        if (b < 0x80 || !isLead(page, b)) {
            if (b >= 0x80 && page != CodePage::ShiftJis)
                ++score.invalid; // 0x80 and 0xFF lead nothing in GBK and Big5
            ++i;
            continue;
        }
        if (i + 1 >= size || !isTrail(page, bytes[i + 1])) {
            ++score.invalid;
            ++i;
            continue;
        }
        if (isCommon(page, { b, bytes[i + 1] }))
            ++score.common;
        i += 2;
    }
    return score;
}

CodePage chooseCodePage(const char* data, qsizetype size)
{
    // A pair the code page cannot read at all weighs as much against it as
    // a common character weighs for it.
    const auto net = [&](CodePage page) {
        const CodePageScore s = scoreCodePage(page, data, size);
        return s.common - s.invalid;
    };
    const int gbk = net(CodePage::Gbk);
    CodePage best = CodePage::Gbk;
    int bestScore = gbk;
    for (CodePage other : { CodePage::Big5, CodePage::ShiftJis }) {
        const int score = net(other);
        if (score > bestScore) {
            best = other;
            bestScore = score;
        }
    }
    // "Clearly better": a quarter more common characters than GBK reads,
    // and at least a few, so that a stray pair in binary data never wins.
    if (best != CodePage::Gbk && bestScore >= 3 && bestScore * 4 > std::max(gbk, 0) * 5)
        return best;
    return CodePage::Gbk;
}

CodePage detectLegacyCodePage(const QByteArray& movieBody)
{
    // The text of the movie's strings, each NUL-terminated run of text-like
    // bytes that goes beyond ASCII, joined with a space between runs.
    QByteArray text;
    const auto* bytes = reinterpret_cast<const unsigned char*>(movieBody.constData());
    const qsizetype size = movieBody.size();
    qsizetype start = 0;
    bool wide = false;
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned b = bytes[i];
        if (b == 0) {
            if (wide && i - start >= 2) {
                text.append(movieBody.constData() + start, i - start);
                text.append(' ');
            }
            start = i + 1;
            wide = false;
        } else if (b >= 0x80) {
            wide = true;
        } else if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') {
            start = i + 1; // control bytes: not text
            wide = false;
        }
    }
    return chooseCodePage(text.constData(), text.size());
}

bool isLeadByte(CodePage page, unsigned char byte)
{
    return isLead(page, byte);
}

const char* codePageName(CodePage page)
{
    switch (page) {
    case CodePage::Gbk: return "GBK";
    case CodePage::Big5: return "Big5";
    case CodePage::ShiftJis: return "Shift_JIS";
    }
    return "GBK";
}

} // namespace swf
