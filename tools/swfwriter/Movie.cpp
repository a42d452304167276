#include "tools/swfwriter/Movie.h"

#include "tools/swfwriter/BitWriter.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>

namespace swfw {

Movie::Movie(int version, double widthPx, double heightPx, double frameRate)
    : m_version(version)
    , m_stage { 0, px(widthPx), 0, px(heightPx) }
    , m_frameRate(frameRate)
{
}

void Movie::fileAttributes(uint32_t flags)
{
    BitWriter out;
    out.writeU32(flags);
    tag(TagCode::FileAttributes, out.bytes());
}

void Movie::setBackgroundColor(Rgba color)
{
    BitWriter out;
    out.writeRgb(color);
    tag(TagCode::SetBackgroundColor, out.bytes());
}

void Movie::defineShape(uint16_t id, const Shape& shape, int shapeVersion)
{
    static constexpr TagCode codes[] = { TagCode::DefineShape, TagCode::DefineShape2, TagCode::DefineShape3, TagCode::DefineShape4 };
    shapeVersion = std::clamp(shapeVersion, 1, 4);
    BitWriter out;
    out.writeU16(id);
    out.writeRect(shape.bounds());
    if (shapeVersion == 4) {
        out.writeRect(shape.edgeBounds());
        bool nonScaling = false, scaling = false;
        for (const LineStyle& l : shape.lineStyles()) {
            (l.noHScale || l.noVScale ? nonScaling : scaling) = true;
        }
        out.writeUB(5, 0);
        out.writeUB(1, 0); // even-odd fill rule
        out.writeUB(1, nonScaling);
        out.writeUB(1, scaling);
    }
    shape.writeWithStyles(out, shapeVersion);
    tag(codes[shapeVersion - 1], out.bytes(), true);
}

static void writeMorphFill(BitWriter& out, const MorphFillStyle& f)
{
    out.writeU8(uint8_t(f.start.kind));
    if (f.start.kind == FillStyle::Kind::Solid) {
        out.writeRgba(f.start.color);
        out.writeRgba(f.end.color);
    } else if (f.start.isGradient()) {
        out.writeMatrix(f.start.matrix);
        out.writeMatrix(f.end.matrix);
        const size_t count = std::min({ f.start.stops.size(), f.end.stops.size(), size_t(15) });
        out.writeU8(uint8_t(count));
        for (size_t i = 0; i < count; ++i) {
            out.writeU8(f.start.stops[i].ratio);
            out.writeRgba(f.start.stops[i].color);
            out.writeU8(f.end.stops[i].ratio);
            out.writeRgba(f.end.stops[i].color);
        }
        if (f.start.kind == FillStyle::Kind::Focal) {
            out.writeFixed8(f.start.focalPoint);
            out.writeFixed8(f.end.focalPoint);
        }
    } else {
        out.writeU16(f.start.bitmapId);
        out.writeMatrix(f.start.matrix);
        out.writeMatrix(f.end.matrix);
    }
}

static void writeMorphLine(BitWriter& out, const MorphLineStyle& l, int morphVersion)
{
    out.writeU16(l.start.width);
    out.writeU16(l.end.width);
    if (morphVersion == 1) {
        out.writeRgba(l.start.color);
        out.writeRgba(l.end.color);
        return;
    }
    const LineStyle& s = l.start;
    out.writeUB(2, s.startCap);
    out.writeUB(2, s.join);
    out.writeUB(1, s.fill.has_value() && l.end.fill.has_value());
    out.writeUB(1, s.noHScale);
    out.writeUB(1, s.noVScale);
    out.writeUB(1, s.pixelHinting);
    out.writeUB(5, 0);
    out.writeUB(1, s.noClose);
    out.writeUB(2, s.endCap);
    if (s.join == 2)
        out.writeFixed8(s.miterLimit);
    if (s.fill && l.end.fill) {
        writeMorphFill(out, MorphFillStyle { *s.fill, *l.end.fill });
    } else {
        out.writeRgba(l.start.color);
        out.writeRgba(l.end.color);
    }
}

void Movie::defineMorphShape(uint16_t id, const MorphShape& morph, int morphVersion)
{
    morphVersion = std::clamp(morphVersion, 1, 2);
    int widest = 0;
    for (const MorphLineStyle& l : morph.lines)
        widest = std::max({ widest, int(l.start.width), int(l.end.width) });
    auto widen = [half = (widest + 1) / 2](Rect r) { return Rect { r.xMin - half, r.xMax + half, r.yMin - half, r.yMax + half }; };

    BitWriter out;
    out.writeU16(id);
    out.writeRect(widen(morph.start.edgeBounds()));
    out.writeRect(widen(morph.end.edgeBounds()));
    if (morphVersion == 2) {
        out.writeRect(morph.start.edgeBounds());
        out.writeRect(morph.end.edgeBounds());
        out.writeUB(6, 0);
        out.writeUB(1, 0); // non-scaling strokes
        out.writeUB(1, !morph.lines.empty());
    }

    // Styles and start edges go into their own buffer first: the offset to
    // the end edges is counted from just after the offset field.
    BitWriter body;
    auto count = [&](size_t n) {
        if (n >= 0xff) {
            body.writeU8(0xff);
            body.writeU16(uint16_t(std::min<size_t>(n, 0xffff)));
        } else {
            body.writeU8(uint8_t(n));
        }
    };
    count(morph.fills.size());
    for (const MorphFillStyle& f : morph.fills)
        writeMorphFill(body, f);
    count(morph.lines.size());
    for (const MorphLineStyle& l : morph.lines)
        writeMorphLine(body, l, morphVersion);
    const int fillBits = BitWriter::unsignedBits(uint32_t(morph.fills.size()));
    const int lineBits = BitWriter::unsignedBits(uint32_t(morph.lines.size()));
    body.writeUB(4, uint32_t(fillBits));
    body.writeUB(4, uint32_t(lineBits));
    morph.start.writeRecords(body, fillBits, lineBits);

    BitWriter end;
    end.writeUB(4, 0);
    end.writeUB(4, 0);
    morph.end.writeRecords(end, 0, 0, true);

    out.writeU32(uint32_t(body.bytes().size()));
    out.writeBytes(body.bytes());
    out.writeBytes(end.bytes());
    tag(morphVersion == 1 ? TagCode::DefineMorphShape : TagCode::DefineMorphShape2, out.bytes(), true);
}

static QByteArray zlibCompress(const QByteArray& data)
{
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(int(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size()), 9) != Z_OK)
        return {};
    out.resize(int(size));
    return out;
}

void Movie::defineBitsLossless(uint16_t id, const QImage& image, bool withAlpha)
{
    const QImage img = image.convertToFormat(withAlpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    // Each pixel as A R G B bytes (the first form stores a reserved byte
    // where the alpha would be, written 0xff).
    QByteArray pixels;
    pixels.reserve(img.width() * img.height() * 4);
    for (int y = 0; y < img.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            pixels.append(char(withAlpha ? qAlpha(row[x]) : 0xff));
            pixels.append(char(qRed(row[x])));
            pixels.append(char(qGreen(row[x])));
            pixels.append(char(qBlue(row[x])));
        }
    }
    BitWriter out;
    out.writeU16(id);
    out.writeU8(5); // 32-bit pixels
    out.writeU16(uint16_t(img.width()));
    out.writeU16(uint16_t(img.height()));
    out.writeBytes(zlibCompress(pixels));
    tag(withAlpha ? TagCode::DefineBitsLossless2 : TagCode::DefineBitsLossless, out.bytes(), true);
}

void Movie::defineBitsLosslessIndexed(uint16_t id, const QImage& image, bool withAlpha)
{
    const QImage img = image.format() == QImage::Format_Indexed8 ? image : image.convertToFormat(QImage::Format_Indexed8);
    const QList<QRgb> table = img.colorTable();
    QByteArray data;
    for (QRgb c : table) {
        // The second form stores premultiplied RGBA entries, the first RGB.
        const int a = withAlpha ? qAlpha(c) : 255;
        data.append(char(qRed(c) * a / 255));
        data.append(char(qGreen(c) * a / 255));
        data.append(char(qBlue(c) * a / 255));
        if (withAlpha)
            data.append(char(a));
    }
    const int stride = (img.width() + 3) & ~3; // rows padded to 32 bits
    for (int y = 0; y < img.height(); ++y) {
        QByteArray row(reinterpret_cast<const char*>(img.constScanLine(y)), img.width());
        row.append(QByteArray(stride - img.width(), '\0'));
        data.append(row);
    }
    BitWriter out;
    out.writeU16(id);
    out.writeU8(3); // colour-mapped
    out.writeU16(uint16_t(img.width()));
    out.writeU16(uint16_t(img.height()));
    out.writeU8(uint8_t(std::max<qsizetype>(table.size(), 1) - 1));
    out.writeBytes(zlibCompress(data));
    tag(withAlpha ? TagCode::DefineBitsLossless2 : TagCode::DefineBitsLossless, out.bytes(), true);
}

QByteArray Movie::jpegBytes(const QImage& image, int quality)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_RGB32).save(&buffer, "JPEG", quality);
    return jpeg;
}

void Movie::defineBitsJpeg2(uint16_t id, const QImage& image, int quality)
{
    defineBitsJpeg2Raw(id, jpegBytes(image, quality));
}

void Movie::defineBitsJpeg2Raw(uint16_t id, const QByteArray& jpeg)
{
    BitWriter out;
    out.writeU16(id);
    out.writeBytes(jpeg);
    tag(TagCode::DefineBitsJPEG2, out.bytes(), true);
}

void Movie::defineBitsJpeg3(uint16_t id, const QImage& image, int quality)
{
    const QByteArray jpeg = jpegBytes(image, quality);
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QByteArray alpha;
    alpha.reserve(argb.width() * argb.height());
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            alpha.append(char(qAlpha(row[x])));
    }
    BitWriter out;
    out.writeU16(id);
    out.writeU32(uint32_t(jpeg.size()));
    out.writeBytes(jpeg);
    out.writeBytes(zlibCompress(alpha));
    tag(TagCode::DefineBitsJPEG3, out.bytes(), true);
}

void Movie::defineSprite(uint16_t id, const Sprite& sprite)
{
    BitWriter out;
    out.writeU16(id);
    out.writeU16(uint16_t(sprite.frameCount()));
    out.writeBytes(sprite.bytes());
    out.writeU16(0); // End
    tag(TagCode::DefineSprite, out.bytes(), true);
}

void Movie::defineSound(uint16_t id, int format, int rate, bool is16Bit, bool stereo, uint32_t sampleCount, const QByteArray& data)
{
    BitWriter out;
    out.writeU16(id);
    out.writeUB(4, uint32_t(format));
    out.writeUB(2, uint32_t(rate));
    out.writeUB(1, is16Bit);
    out.writeUB(1, stereo);
    out.writeU32(sampleCount);
    out.writeBytes(data);
    tag(TagCode::DefineSound, out.bytes(), true);
}

static QByteArray lzmaCompress(const QByteArray& data, QByteArray* props)
{
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&stream, &options) != LZMA_OK)
        return {};
    QByteArray out(int(data.size() + data.size() / 2 + 1024), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<const uint8_t*>(data.constData());
    stream.avail_in = size_t(data.size());
    stream.next_out = reinterpret_cast<uint8_t*>(out.data());
    stream.avail_out = size_t(out.size());
    const lzma_ret ret = lzma_code(&stream, LZMA_FINISH);
    const size_t written = size_t(out.size()) - stream.avail_out;
    lzma_end(&stream);
    if (ret != LZMA_STREAM_END || written < 13)
        return {};
    // The .lzma header is 5 property bytes and an 8-byte length; the movie
    // container keeps the properties and drops the length.
    *props = out.left(5);
    return out.mid(13, qsizetype(written) - 13);
}

QByteArray Movie::bytes(Compression compression) const
{
    BitWriter body;
    body.writeRect(m_stage);
    body.writeU16(uint16_t(std::lround(m_frameRate * 256.0)));
    const int frames = m_frameCountOverride >= 0 ? m_frameCountOverride : std::max(1, frameCount());
    body.writeU16(uint16_t(frames));
    body.writeBytes(TagList::bytes());
    body.writeU16(0); // End

    const QByteArray& payload = body.bytes();
    const uint32_t fileLength = uint32_t(8 + payload.size());
    BitWriter out;
    switch (compression) {
    case Compression::None:
        out.writeBytes("FWS");
        break;
    case Compression::Zlib:
        out.writeBytes("CWS");
        break;
    case Compression::Lzma:
        out.writeBytes("ZWS");
        break;
    }
    out.writeU8(uint8_t(m_version));
    out.writeU32(fileLength);
    switch (compression) {
    case Compression::None:
        out.writeBytes(payload);
        break;
    case Compression::Zlib:
        out.writeBytes(zlibCompress(payload));
        break;
    case Compression::Lzma: {
        QByteArray props;
        const QByteArray packed = lzmaCompress(payload, &props);
        out.writeU32(uint32_t(packed.size()));
        out.writeBytes(props);
        out.writeBytes(packed);
        break;
    }
    }
    return out.bytes();
}

bool Movie::save(const QString& path, Compression compression, QString* error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes(compression)) < 0 || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace swfw
