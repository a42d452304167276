#include "WinIcon.h"

#include "swf/io/ByteWriter.h"

namespace genresources {

using swf::putU16;
using swf::putU32;
using swf::putU8;

QByteArray encodeIconImage(const QImage& indexed)
{
    Q_ASSERT(indexed.format() == QImage::Format_Indexed8);
    const int w = indexed.width();
    const int h = indexed.height();
    const QList<QRgb> table = indexed.colorTable();
    const quint32 xorRow = (quint32(w) + 3) & ~3u;
    const quint32 andRow = ((quint32(w) + 31) / 32) * 4;

    QByteArray out;
    putU32(out, 40);
    putU32(out, quint32(w));
    putU32(out, quint32(h) * 2); // colour bitmap and mask, stacked
    putU16(out, 1);
    putU16(out, 8);
    putU32(out, 0);
    putU32(out, (xorRow + andRow) * quint32(h));
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, 256);
    putU32(out, 0);
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < table.size() ? table[i] : 0;
        putU8(out, quint8(qBlue(c)));
        putU8(out, quint8(qGreen(c)));
        putU8(out, quint8(qRed(c)));
        putU8(out, 0);
    }
    for (int y = h - 1; y >= 0; --y) {
        const uchar* line = indexed.constScanLine(y);
        out.append(reinterpret_cast<const char*>(line), w);
        out.append(QByteArray(int(xorRow) - w, '\0'));
    }
    // Mask: a set bit lets the desktop show through (palette entries with
    // less than half opacity).
    for (int y = h - 1; y >= 0; --y) {
        const uchar* line = indexed.constScanLine(y);
        QByteArray bits(int(andRow), '\0');
        for (int x = 0; x < w; ++x) {
            if (qAlpha(table.value(line[x])) < 128)
                bits[x / 8] = char(bits[x / 8] | (0x80 >> (x % 8)));
        }
        out.append(bits);
    }
    return out;
}

QByteArray encodeIconGroup(const QImage& indexed, int iconBytes, quint16 iconId)
{
    QByteArray out;
    putU16(out, 0);    // reserved
    putU16(out, 1);    // type: icon
    putU16(out, 1);    // one image
    putU8(out, quint8(indexed.width() & 0xff));
    putU8(out, quint8(indexed.height() & 0xff));
    putU8(out, 0);     // 256 colours is written as 0
    putU8(out, 0);     // reserved
    putU16(out, 1);    // planes
    putU16(out, 8);    // bits per pixel
    putU32(out, quint32(iconBytes));
    putU16(out, iconId);
    return out;
}

} // namespace genresources
