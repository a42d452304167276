#pragma once

// Device text (a system font, no embedded outlines) drawn at its own size as
// the reference draws it: each glyph's outline hinted to the pixel grid by the
// font's own TrueType instructions, every curve cut into a few straight
// pieces by how much it bends, and the result filled with exact-area coverage (256 levels). Drawing the
// same glyphs through the painter's text cache lands up to ten levels off on
// every round stroke, because its rasteriser cuts curves more coarsely.

#include <QColor>
#include <QPointF>
#include <QString>

#include <cstdint>
#include <vector>

class QFont;
class QPainter;
class QPainterPath;

namespace swf {

// Coverage of a glyph run on whole device pixels: 0..255 per pixel.
struct GlyphCoverage {
    int left = 0, top = 0, width = 0, height = 0; // device pixels
    std::vector<std::uint8_t> alpha;              // width per row, top row first
};

// How many straight pieces a glyph's curve is cut into, from its bend (how
// far the control point lies off the middle of the ends, doubled, in 1/64
// pixel): two below half a pixel, then twice as many each time the bend
// grows fourfold (four up to two pixels, eight up to eight).
int glyphCurvePieces(long bend);

// The exact-area coverage of `path` (device pixels, non-zero rule, lines
// only), on the pixels of its box. False when the path is empty or too large.
bool exactCoverage(const QPainterPath& path, GlyphCoverage& coverage);

// Draws `text` in `font` with its baseline starting at `origin` (device
// pixels, whole) in `color`. False when the glyphs cannot be had from the
// font's file (the caller then draws the text itself).
bool drawDeviceText(QPainter& painter, const QFont& font, const QString& text, QPointF origin, const QColor& color);

} // namespace swf
