#pragma once

// Builders for the font, text, edit-text and button tags the tests need.

#include "swf/Playback.h"
#include "tools/swfwriter/BitWriter.h"
#include "tools/swfwriter/Movie.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace text_support {

// A filled square glyph from (0, -size) to (size, 0): the EM box above the baseline.
inline void writeSquareGlyph(swfw::BitWriter& out, int size)
{
    out.writeUB(4, 1); // one fill bit
    out.writeUB(4, 0); // no line bits
    out.writeUB(1, 0); // style change
    out.writeUB(5, 0x05); // fill style 1 + move to
    out.writeUB(5, 18);
    out.writeSB(18, 0);
    out.writeSB(18, -size);
    out.writeUB(1, 1); // fill style 1 = 1
    const int steps[4][2] = { { size, 0 }, { 0, size }, { -size, 0 }, { 0, -size } };
    for (const auto& step : steps) {
        out.writeUB(1, 1);  // edge
        out.writeUB(1, 1);  // straight
        out.writeUB(4, 14); // 16 bits
        out.writeUB(1, 1);  // general line
        out.writeSB(16, step[0]);
        out.writeSB(16, step[1]);
    }
    out.writeUB(1, 0);
    out.writeUB(5, 0); // end of shape
    out.align();
}

// DefineFont2 (or 3) with one square glyph for `code`, with layout.
inline QByteArray fontBody(uint16_t id, const QByteArray& name, int glyphSize, uint16_t code, int advance)
{
    swfw::BitWriter glyph;
    writeSquareGlyph(glyph, glyphSize);
    swfw::BitWriter out;
    out.writeU16(id);
    out.writeU8(0x80 | 0x04); // layout, wide codes
    out.writeU8(1);           // language
    out.writeU8(uint8_t(name.size()));
    out.writeBytes(name);
    out.writeU16(1);                                   // one glyph
    out.writeU16(4);                                   // glyph 0 after the two offsets
    out.writeU16(uint16_t(4 + glyph.bytes().size())); // code table
    out.writeBytes(glyph.bytes());
    out.writeU16(code);
    out.writeU16(uint16_t(glyphSize * 8 / 10)); // ascent
    out.writeU16(uint16_t(glyphSize * 2 / 10)); // descent
    out.writeS16(0);                            // leading
    out.writeS16(int16_t(advance));
    out.writeRect(swfw::Rect { 0, glyphSize, -glyphSize, 0 });
    out.writeU16(0); // no kerning
    out.align();
    return out.bytes();
}

// DefineText with one run of `count` copies of glyph 0.
inline QByteArray textBody(uint16_t id, uint16_t fontId, swfw::Rgba color, int x, int y, int height, int count, int advance)
{
    swfw::BitWriter out;
    out.writeU16(id);
    out.writeRect(swfw::Rect { 0, 2000, 0, 2000 });
    out.writeMatrix(swfw::Matrix {});
    out.writeU8(1);  // glyph index bits
    out.writeU8(14); // advance bits
    out.writeU8(0x8f); // text record: font, colour, x, y
    out.writeU16(fontId);
    out.writeRgb(color);
    out.writeS16(int16_t(x));
    out.writeS16(int16_t(y));
    out.writeU16(uint16_t(height));
    out.writeU8(uint8_t(count));
    for (int i = 0; i < count; ++i) {
        out.writeUB(1, 0);
        out.writeSB(14, advance);
    }
    out.align();
    out.writeU8(0); // end of records
    return out.bytes();
}

// The timeline alone unless `options` says otherwise.
inline swf::PlaybackOptions timelineOnly()
{
    swf::PlaybackOptions options;
    options.scripts = false;
    return options;
}

inline std::unique_ptr<swf::Playback> load(const QByteArray& bytes, const swf::PlaybackOptions& options = timelineOnly())
{
    auto result = swf::Playback::fromBytes(bytes, options);
    EXPECT_TRUE(result.ok()) << (result.ok() ? "" : qPrintable(result.error().detail));
    return result.ok() ? result.release() : nullptr;
}

inline QImage renderStage(swf::Playback& playback)
{
    QRectF stage = playback.stageRect();
    QImage image(int(stage.width()), int(stage.height()), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    playback.setQuality(swf::Quality::Low); // hard edges, so pixel checks are exact
    playback.render(painter, QTransform());
    painter.end();
    return image;
}

inline swfw::Shape rectShape(swfw::Rgba color, int x, int y, int w, int h)
{
    swfw::Shape shape;
    int fill = shape.addFillStyle(swfw::FillStyle::solid(color));
    shape.fill1(fill).rect(x, y, w, h);
    return shape;
}

} // namespace text_support
