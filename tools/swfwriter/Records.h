#pragma once

// Plain records the writer encodes. Coordinates are in twips (1/20 pixel)
// unless a name says otherwise.

#include <cstdint>
#include <vector>

namespace swfw {

constexpr int kTwips = 20;
constexpr int px(double pixels) { return static_cast<int>(pixels * kTwips + (pixels < 0 ? -0.5 : 0.5)); }

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

struct Rect {
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

// x' = a*x + c*y + tx, y' = b*x + d*y + ty (the format's ScaleX, RotateSkew0,
// RotateSkew1, ScaleY and translation, translation in twips).
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1;
    int32_t tx = 0, ty = 0;

    static Matrix translate(int32_t tx, int32_t ty) { return { 1, 0, 0, 1, tx, ty }; }
    static Matrix scale(double sx, double sy, int32_t tx = 0, int32_t ty = 0) { return { sx, 0, 0, sy, tx, ty }; }
    static Matrix rotate(double degrees, int32_t tx = 0, int32_t ty = 0);
    bool hasScale() const { return a != 1 || d != 1; }
    bool hasRotate() const { return b != 0 || c != 0; }
};

// Multipliers are 8.8 fixed point on the wire (1.0 = 256), additions -256..255.
struct CxForm {
    double mulR = 1, mulG = 1, mulB = 1, mulA = 1;
    int16_t addR = 0, addG = 0, addB = 0, addA = 0;

    bool hasMul() const { return mulR != 1 || mulG != 1 || mulB != 1 || mulA != 1; }
    bool hasAdd() const { return addR != 0 || addG != 0 || addB != 0 || addA != 0; }
};

} // namespace swfw
