#pragma once

// The small records most tags share: rectangles, matrices, colours and colour
// transforms, decoded into plain values.

#include "swf/io/Reader.h"

#include <QColor>
#include <QRectF>
#include <QTransform>

#include <cstdint>

namespace swf {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
    QColor toQColor() const { return QColor(r, g, b, a); }
    bool operator==(const Rgba&) const = default;
};

// Twips (1/20 pixel), as stored.
struct TwipsRect {
    std::int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    QRectF toPixels() const { return QRectF(xMin / 20.0, yMin / 20.0, (xMax - xMin) / 20.0, (yMax - yMin) / 20.0); }
    QRectF toTwips() const { return QRectF(xMin, yMin, xMax - xMin, yMax - yMin); }
};

// An affine matrix; translation in twips.
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1; // x' = a*x + c*y + tx; y' = b*x + d*y + ty
    double tx = 0, ty = 0;
    QTransform toQTransform() const { return QTransform(a, b, c, d, tx, ty); }
    bool operator==(const Matrix&) const = default;
};

// A colour transform: channel' = channel * mult + add, clamped to 0..255.
struct ColorTransform {
    double rMul = 1, gMul = 1, bMul = 1, aMul = 1;
    double rAdd = 0, gAdd = 0, bAdd = 0, aAdd = 0;

    bool isIdentity() const
    {
        return rMul == 1 && gMul == 1 && bMul == 1 && aMul == 1 && rAdd == 0 && gAdd == 0 && bAdd == 0 && aAdd == 0;
    }
    // The transform that applies `inner` first and then this one.
    ColorTransform concat(const ColorTransform& inner) const;
    QColor apply(const QColor& color) const;
    Rgba apply(Rgba color) const;
    bool operator==(const ColorTransform&) const = default;
};

Result<TwipsRect> readRect(Reader& reader);
Result<Matrix> readMatrix(Reader& reader);
Result<ColorTransform> readColorTransform(Reader& reader, bool withAlpha);
Result<Rgba> readRgb(Reader& reader);
Result<Rgba> readRgba(Reader& reader);
Result<Rgba> readArgb(Reader& reader);

} // namespace swf
