// Bitmap definitions: JPEG (with shared tables, with an alpha plane), PNG and
// GIF carried in JPEG tags, and the zlib-compressed lossless formats.

#include "swf/format/TagCodes.h"
#include "swf/io/Container.h"
#include "swf/movie/Definitions.h"
#include "swf/movie/Shapes.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <algorithm>

namespace swf {

namespace {

constexpr int MaxBitmapSide = 8192;
constexpr qint64 MaxBitmapPixels = 32ll * 1024 * 1024;

bool sizeAllowed(int w, int h)
{
    return w > 0 && h > 0 && w <= MaxBitmapSide && h <= MaxBitmapSide && qint64(w) * h <= MaxBitmapPixels;
}

// Some writers put an extra EOI+SOI pair (FF D9 FF D8) at the very start; decoders choke on it.
QByteArray cleanJpeg(QByteArray data)
{
    if (data.size() >= 4 && quint8(data[0]) == 0xFF && quint8(data[1]) == 0xD9 && quint8(data[2]) == 0xFF && quint8(data[3]) == 0xD8)
        data.remove(0, 4);
    // The same marker pair can sit between the tables and the image part.
    for (qsizetype i = 2; i + 3 < data.size(); ++i) {
        if (quint8(data[i]) == 0xFF && quint8(data[i + 1]) == 0xD9 && quint8(data[i + 2]) == 0xFF && quint8(data[i + 3]) == 0xD8) {
            data.remove(i, 4);
            break;
        }
    }
    return data;
}

Result<QImage> decodeImage(const QByteArray& data, qint64 at)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Ask the size first, so a header promising a huge image never allocates it.
    QSize size = reader.size();
    if (size.isValid() && !sizeAllowed(size.width(), size.height()))
        return Error::at(at, QStringLiteral("bitmap of %1x%2 is too large").arg(size.width()).arg(size.height()), ErrorKind::TooLarge);
    QImage image = reader.read();
    if (image.isNull())
        return Error::at(at, QStringLiteral("image data does not decode"));
    if (!sizeAllowed(image.width(), image.height()))
        return Error::at(at, QStringLiteral("bitmap of %1x%2 is too large").arg(image.width()).arg(image.height()), ErrorKind::TooLarge);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Applies a JPEG's separate alpha plane: the colour is multiplied by it (premultiplied).
void applyAlpha(QImage& image, const QByteArray& alpha)
{
    image = image.convertToFormat(QImage::Format_ARGB32);
    const qint64 w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        auto line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            qint64 i = y * w + x;
            int a = i < alpha.size() ? quint8(alpha[qsizetype(i)]) : 255;
            QRgb p = line[x];
            line[x] = qRgba(qRed(p), qGreen(p), qBlue(p), a);
        }
    }
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

Result<QImage> readLossless(Reader& body, bool withAlpha)
{
    qint64 at = body.offset();
    auto format = SWF_TRY(body.readU8());
    int width = SWF_TRY(body.readU16());
    int height = SWF_TRY(body.readU16());
    if (!sizeAllowed(width, height))
        return Error::at(at, QStringLiteral("bitmap of %1x%2 is not allowed").arg(width).arg(height), ErrorKind::TooLarge);
    int tableSize = 0;
    if (format == 3)
        tableSize = SWF_TRY(body.readU8()) + 1;
    else if (format != 4 && format != 5)
        return Error::at(at, QStringLiteral("unknown lossless format %1").arg(format));

    const int tableEntry = withAlpha ? 4 : 3;
    qint64 stride = format == 3 ? (qint64(width) + 3) & ~3 : format == 4 ? (qint64(width) * 2 + 3) & ~3 : qint64(width) * 4;
    qint64 expected = qint64(tableSize) * tableEntry + stride * height;
    QByteArray data = inflateBlock(body.current(), qint64(body.remaining()), expected);
    // A short stream keeps only the rows it carries (at least one, its
    // missing pixels zero) rather than failing the movie. The image is never
    // taller than its data: a few bytes declaring 8192 x 4096 pixels must not
    // cost that much memory and time.
    const qint64 tableBytes = qint64(tableSize) * tableEntry;
    height = int(std::clamp<qint64>((data.size() - tableBytes + stride - 1) / stride, 1, height));
    expected = tableBytes + stride * height;
    if (data.size() < expected)
        data.append(QByteArray(qsizetype(expected - data.size()), '\0'));
    auto bytes = reinterpret_cast<const quint8*>(data.constData());

    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    std::vector<QRgb> table(std::size_t(tableSize), 0);
    for (int i = 0; i < tableSize; ++i) {
        const quint8* e = bytes + i * tableEntry;
        // Lossless2 colours are already premultiplied.
        table[std::size_t(i)] = withAlpha ? qRgba(e[0], e[1], e[2], e[3]) : qRgb(e[0], e[1], e[2]);
    }
    const quint8* pixels = bytes + qint64(tableSize) * tableEntry;
    for (int y = 0; y < height; ++y) {
        auto line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const quint8* row = pixels + stride * y;
        for (int x = 0; x < width; ++x) {
            if (format == 3) {
                int index = row[x];
                line[x] = index < tableSize ? table[std::size_t(index)] : 0;
            } else if (format == 4) {
                int v = (row[2 * x] << 8) | row[2 * x + 1];
                int r = (v >> 10) & 0x1f, g = (v >> 5) & 0x1f, b = v & 0x1f;
                line[x] = qRgb(r * 255 / 31, g * 255 / 31, b * 255 / 31);
            } else {
                const quint8* p = row + 4 * x;
                if (withAlpha) {
                    // Premultiplied ARGB; a colour above its alpha would overflow, so clamp it.
                    int a = p[0];
                    line[x] = qRgba(std::min<int>(p[1], a), std::min<int>(p[2], a), std::min<int>(p[3], a), a);
                } else {
                    line[x] = qRgb(p[1], p[2], p[3]);
                }
            }
        }
    }
    return image;
}

} // namespace

Result<std::shared_ptr<const Character>> readBitmapDefinition(Reader& body, int tagCode, const QByteArray& jpegTables)
{
    auto id = SWF_TRY(body.readU16());
    auto bitmap = std::make_shared<BitmapDef>(id);
    qint64 at = body.offset();
    switch (tagCode) {
    case TagDefineBits: {
        QByteArray data = body.rest();
        QByteArray joined = jpegTables.isEmpty() ? data : jpegTables + data;
        bitmap->image = SWF_TRY(decodeImage(cleanJpeg(joined), at));
        break;
    }
    case TagDefineBitsJpeg2:
        bitmap->image = SWF_TRY(decodeImage(cleanJpeg(body.rest()), at));
        break;
    case TagDefineBitsJpeg3:
    case TagDefineBitsJpeg4: {
        auto alphaOffset = SWF_TRY(body.readU32());
        if (tagCode == TagDefineBitsJpeg4)
            SWF_TRY(body.readU16()); // deblocking strength, not applied
        if (alphaOffset > body.remaining())
            return Error::at(at, QStringLiteral("alpha data offset past the tag"), ErrorKind::Corrupt);
        QByteArray imageData = SWF_TRY(body.readBytes(alphaOffset));
        bool isJpeg = imageData.size() >= 2 && quint8(imageData[0]) == 0xFF && (quint8(imageData[1]) == 0xD8 || quint8(imageData[1]) == 0xD9);
        bitmap->image = SWF_TRY(decodeImage(isJpeg ? cleanJpeg(imageData) : imageData, at));
        // PNG and GIF data carry their own alpha; only JPEG uses the separate plane.
        if (isJpeg && !body.atEnd()) {
            qint64 pixels = qint64(bitmap->image.width()) * bitmap->image.height();
            QByteArray alpha = inflateBlock(body.current(), qint64(body.remaining()), pixels);
            if (!alpha.isEmpty())
                applyAlpha(bitmap->image, alpha);
        }
        break;
    }
    case TagDefineBitsLossless:
    case TagDefineBitsLossless2:
        bitmap->image = SWF_TRY(readLossless(body, tagCode == TagDefineBitsLossless2));
        break;
    default:
        return Error::at(at, QStringLiteral("not a bitmap tag"));
    }
    return std::shared_ptr<const Character>(std::move(bitmap));
}

} // namespace swf
