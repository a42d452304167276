#pragma once

// Colour arithmetic as the reference draws it. A colour transform works in
// whole numbers: each multiplier is taken as 8.8 fixed point (1.0 = 256), the
// channel times it is shifted down by 8, the addition is added, and the sum
// is clamped to 0..255. Every drawing path (solid fills, gradients, bitmaps,
// text, lines) tints through here so that all of them agree to the level.

#include "swf/format/Records.h"
#include "swf/format/Shape.h"

#include <QColor>
#include <QImage>

#include <array>

namespace swf {

struct FixedColorTransform {
    int mul[4] = { 256, 256, 256, 256 }; // r, g, b, a in 8.8 fixed point
    int add[4] = { 0, 0, 0, 0 };

    explicit FixedColorTransform(const ColorTransform& cx);
    bool isIdentity() const;
    Rgba apply(Rgba c) const;
};

Rgba tint(const ColorTransform& cx, Rgba c);
QColor tint(const ColorTransform& cx, const QColor& c);

// A copy of `image` (premultiplied) with the colour transform applied to each
// pixel's straight (not premultiplied) colour.
QImage tintImage(const QImage& image, const ColorTransform& cx);

// The 256 colours a gradient shows from ratio 0 to 255, straight alpha,
// after the colour transform. Each entry is what one ratio looks up.
using GradientTable = std::array<QRgb, 256>;
GradientTable gradientTable(const Gradient& gradient, const ColorTransform& cx);

} // namespace swf
