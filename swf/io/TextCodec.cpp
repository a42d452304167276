#include "swf/io/TextCodec.h"

#include <QStringDecoder>

namespace swf {

namespace {
thread_local CodePage t_codePage = CodePage::Gbk;
} // namespace

CodePage legacyCodePage()
{
    return t_codePage;
}

LegacyCodePageScope::LegacyCodePageScope(CodePage page)
    : m_previous(t_codePage)
{
    t_codePage = page;
}

LegacyCodePageScope::~LegacyCodePageScope()
{
    t_codePage = m_previous;
}

QString decodeLegacy(const char* data, qsizetype size)
{
    return decodeLegacy(data, size, t_codePage);
}

QString decodeLegacy(const char* data, qsizetype size, CodePage page)
{
    bool ascii = true;
    for (qsizetype i = 0; i < size && ascii; ++i)
        ascii = static_cast<unsigned char>(data[i]) < 0x80;
    if (ascii)
        return QString::fromLatin1(data, size);
    // A decoder per call: QStringDecoder keeps state between chunks and is not thread-safe.
    // Stateless: a lead byte cut off at the end shows as U+FFFD instead of vanishing.
    QStringDecoder decoder(codePageName(page), QStringConverter::Flag::Stateless);
    if (!decoder.isValid() && page != CodePage::Gbk)
        return decodeLegacy(data, size, CodePage::Gbk);
    if (!decoder.isValid())
        decoder = QStringDecoder("GB18030", QStringConverter::Flag::Stateless); // a superset of GBK
    if (!decoder.isValid())
        return QString::fromLatin1(data, size);
    // A lead byte cut off by the end of the string would vanish in the
    // decoder; it shows as U+FFFD instead.
    qsizetype whole = 0;
    for (qsizetype i = 0; i < size;) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        std::size_t width = isLeadByte(page, c) ? 2 : 1;
        if (i + qsizetype(width) > size)
            break;
        i += qsizetype(width);
        whole = i;
    }
    QString text = decoder(QByteArrayView(data, whole));
    if (whole < size)
        text += QChar(QChar::ReplacementCharacter);
    return text;
}

QString decodeMovieString(const char* data, qsizetype size, int version)
{
    return version >= 6 ? QString::fromUtf8(data, size) : decodeLegacy(data, size);
}

} // namespace swf
