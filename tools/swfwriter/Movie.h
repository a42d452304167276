#pragma once

// Builds a whole movie: the header, definitions, and the root timeline (the
// TagList it inherits), then writes it uncompressed, zlib- or LZMA-compressed.

#include "tools/swfwriter/Shape.h"
#include "tools/swfwriter/TagList.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace swfw {

enum class Compression { None, Zlib, Lzma };

class Movie : public TagList {
public:
    Movie(int version, double widthPx, double heightPx, double frameRate);

    // The frame count written in the header; by default the ShowFrames seen.
    void setFrameCount(int frames) { m_frameCountOverride = frames; }
    void setStageRect(const Rect& twips) { m_stage = twips; }

    void fileAttributes(uint32_t flags);
    void setBackgroundColor(Rgba color);

    // `shapeVersion` 1..4 picks DefineShape, 2, 3 or 4.
    void defineShape(uint16_t id, const Shape& shape, int shapeVersion);
    // `morphVersion` 1 or 2 picks DefineMorphShape or DefineMorphShape2.
    void defineMorphShape(uint16_t id, const MorphShape& morph, int morphVersion = 1);
    // Lossless bitmaps as 32-bit pixels: opaque xRGB for the first form,
    // premultiplied ARGB for the second (`withAlpha`).
    void defineBitsLossless(uint16_t id, const QImage& image, bool withAlpha);
    // Colour-mapped lossless bitmap (format 3): `image` must be Format_Indexed8.
    void defineBitsLosslessIndexed(uint16_t id, const QImage& image, bool withAlpha);
    void defineBitsJpeg2(uint16_t id, const QImage& image, int quality = 90);
    // JPEG colour plus a zlib-compressed alpha plane taken from `image`.
    void defineBitsJpeg3(uint16_t id, const QImage& image, int quality = 90);
    void defineBitsJpeg2Raw(uint16_t id, const QByteArray& jpeg);
    void defineSprite(uint16_t id, const Sprite& sprite);
    // `format` 0..15 (0 raw, 1 ADPCM, 2 MP3, 3 raw little-endian, ...),
    // `rate` 0..3 (5.5, 11, 22, 44 kHz); `data` as it goes into the tag.
    void defineSound(uint16_t id, int format, int rate, bool is16Bit, bool stereo, uint32_t sampleCount, const QByteArray& data);

    // The movie's bytes, End tag included.
    QByteArray bytes(Compression compression = Compression::None) const;
    bool save(const QString& path, Compression compression = Compression::None, QString* error = nullptr) const;

    static QByteArray jpegBytes(const QImage& image, int quality);

private:
    int m_version;
    Rect m_stage;
    double m_frameRate;
    int m_frameCountOverride = -1;
};

} // namespace swfw
