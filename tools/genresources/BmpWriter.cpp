#include "BmpWriter.h"

#include "swf/io/ByteWriter.h"

namespace genresources {

using swf::putU16;
using swf::putU32;

QByteArray encodeBmp24(const QImage& source, int pixelsPerMetre)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    const int height = image.height();
    // Each stored row is padded to a multiple of four bytes.
    const quint32 rowBytes = (quint32(width) * 3 + 3) & ~3u;
    const quint32 pixelBytes = rowBytes * quint32(height);
    const quint32 headerBytes = 14 + 40;

    QByteArray out;
    out.reserve(int(headerBytes + pixelBytes));
    // BITMAPFILEHEADER
    out.append("BM", 2);
    putU32(out, headerBytes + pixelBytes); // file size
    putU16(out, 0);                        // reserved
    putU16(out, 0);                        // reserved
    putU32(out, headerBytes);              // offset of the pixel data
    // BITMAPINFOHEADER
    putU32(out, 40);                       // header size
    putU32(out, quint32(width));
    putU32(out, quint32(height));          // positive: rows stored bottom-up
    putU16(out, 1);                        // planes
    putU16(out, 24);                       // bits per pixel
    putU32(out, 0);                        // BI_RGB, no compression
    putU32(out, pixelBytes);
    putU32(out, quint32(pixelsPerMetre));  // horizontal resolution
    putU32(out, quint32(pixelsPerMetre));  // vertical resolution
    putU32(out, 0);                        // colours used: none, no palette
    putU32(out, 0);                        // important colours

    const QByteArray padding(int(rowBytes - quint32(width) * 3), '\0');
    for (int y = height - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            out.append(char(qBlue(line[x])));
            out.append(char(qGreen(line[x])));
            out.append(char(qRed(line[x])));
        }
        out.append(padding);
    }
    return out;
}

} // namespace genresources
