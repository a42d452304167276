#include "swf/io/TextCodec.h"

#include <QStringDecoder>

namespace swf {

QString decodeLegacy(const char* data, qsizetype size)
{
    bool ascii = true;
    for (qsizetype i = 0; i < size && ascii; ++i)
        ascii = static_cast<unsigned char>(data[i]) < 0x80;
    if (ascii)
        return QString::fromLatin1(data, size);
    // A decoder per call: QStringDecoder keeps state between chunks and is not thread-safe.
    QStringDecoder gbk("GBK");
    if (!gbk.isValid())
        gbk = QStringDecoder("GB18030"); // a superset of GBK, present wherever ICU is
    if (!gbk.isValid())
        return QString::fromLatin1(data, size);
    QString text = gbk(QByteArrayView(data, size));
    return text;
}

QString decodeMovieString(const char* data, qsizetype size, int version)
{
    return version >= 6 ? QString::fromUtf8(data, size) : decodeLegacy(data, size);
}

} // namespace swf
