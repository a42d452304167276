#pragma once

// A tiny path API that builds the format's shape records: pick fill and line
// styles by their 1-based index (0 = none), then moveTo/lineTo/curveTo in
// absolute twips. The writer turns positions into the relative edges the
// format stores, choosing the fewest bits for each record.

#include "tools/swfwriter/Records.h"

#include <QByteArray>

#include <optional>
#include <vector>

namespace swfw {

class BitWriter;

struct GradientStop {
    uint8_t ratio = 0; // 0..255 along the gradient
    Rgba color;
};

struct FillStyle {
    enum class Kind : uint8_t {
        Solid = 0x00,
        Linear = 0x10,
        Radial = 0x12,
        Focal = 0x13,
        RepeatingBitmap = 0x40,
        ClippedBitmap = 0x41,
        RepeatingBitmapUnsmoothed = 0x42,
        ClippedBitmapUnsmoothed = 0x43,
    };
    Kind kind = Kind::Solid;
    Rgba color;
    Matrix matrix;                  // gradient square or bitmap placement
    std::vector<GradientStop> stops; // at most 15 are written
    uint8_t spread = 0;             // 0 pad, 1 reflect, 2 repeat
    uint8_t interpolation = 0;      // 0 normal RGB, 1 linear RGB
    double focalPoint = 0;          // -1..1, focal gradients only
    uint16_t bitmapId = 0;

    static FillStyle solid(Rgba color);
    static FillStyle linear(const Matrix& m, std::vector<GradientStop> stops);
    static FillStyle radial(const Matrix& m, std::vector<GradientStop> stops);
    static FillStyle focal(const Matrix& m, std::vector<GradientStop> stops, double focalPoint);
    static FillStyle bitmap(uint16_t bitmapId, const Matrix& m, bool repeat, bool smooth);

    // The matrix that maps the gradient square (-16384..16384 twips) onto the
    // box at x,y of size w×h (twips), turned by `degrees` about its centre.
    static Matrix gradientBox(int32_t x, int32_t y, int32_t w, int32_t h, double degrees = 0);

    bool isGradient() const { return kind == Kind::Linear || kind == Kind::Radial || kind == Kind::Focal; }
    bool isBitmap() const { return uint8_t(kind) >= 0x40; }
};

struct LineStyle {
    uint16_t width = 20; // twips
    Rgba color;
    // Read only by the second line style form (DefineShape4).
    uint8_t startCap = 0; // 0 round, 1 none, 2 square
    uint8_t endCap = 0;
    uint8_t join = 0; // 0 round, 1 bevel, 2 miter
    double miterLimit = 3;
    bool noHScale = false;
    bool noVScale = false;
    bool pixelHinting = false;
    bool noClose = false;
    std::optional<FillStyle> fill; // a fill inside the stroke instead of `color`

    static LineStyle solid(uint16_t width, Rgba color)
    {
        LineStyle l;
        l.width = width;
        l.color = color;
        return l;
    }
};

class Shape {
public:
    int addFillStyle(const FillStyle& style); // returns the 1-based index
    int addLineStyle(const LineStyle& style);

    Shape& fill0(int index);
    Shape& fill1(int index);
    Shape& line(int index);
    Shape& moveTo(int32_t x, int32_t y);
    Shape& lineTo(int32_t x, int32_t y);
    Shape& curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y);
    // A closed rectangle drawn clockwise (on screen, y down) with the current styles.
    Shape& rect(int32_t x, int32_t y, int32_t w, int32_t h);

    Rect edgeBounds() const; // the points only
    Rect bounds() const;     // widened by half the widest line

    const std::vector<FillStyle>& fillStyles() const { return m_fills; }
    const std::vector<LineStyle>& lineStyles() const { return m_lines; }

    // SHAPEWITHSTYLE for DefineShape `version` (1..4).
    void writeWithStyles(BitWriter& out, int version) const;
    // Style arrays alone and records alone: morph shapes write them apart.
    static void writeFillStyle(BitWriter& out, const FillStyle& style, int version);
    static void writeLineStyle(BitWriter& out, const LineStyle& style, int version);
    // Records with the given index widths; `geometryOnly` drops style changes
    // other than moves (a morph shape's end edges carry no styles).
    void writeRecords(BitWriter& out, int fillBits, int lineBits, bool geometryOnly = false) const;

private:
    struct Record {
        enum class Type { Style, Straight, Curve } type = Type::Style;
        bool hasMove = false;
        std::optional<int> fill0, fill1, line;
        int32_t x = 0, y = 0;   // end point (absolute)
        int32_t cx = 0, cy = 0; // control point (absolute), curves only
    };
    Record& pendingStyle();

    std::vector<FillStyle> m_fills;
    std::vector<LineStyle> m_lines;
    std::vector<Record> m_records;
};

struct MorphFillStyle {
    FillStyle start, end; // same kind; gradients with the same stop count
};

struct MorphLineStyle {
    LineStyle start, end; // width and colour morph; the rest comes from `start`
};

// A shape and its end state. `start` holds the style choices and edges
// (its own style lists are ignored), `end` the same edges moved.
struct MorphShape {
    std::vector<MorphFillStyle> fills;
    std::vector<MorphLineStyle> lines;
    Shape start;
    Shape end;

    int addFillStyle(const MorphFillStyle& style)
    {
        fills.push_back(style);
        return int(fills.size());
    }
    int addLineStyle(const MorphLineStyle& style)
    {
        lines.push_back(style);
        return int(lines.size());
    }
};

} // namespace swfw
