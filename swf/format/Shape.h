#pragma once

// Shape records: fill and line styles and the edge list of DefineShape 1-4
// and DefineMorphShape 1-2, decoded with absolute coordinates (twips).

#include "swf/format/Records.h"

#include <QPointF>

#include <variant>
#include <vector>

namespace swf {

struct GradientStop {
    std::uint8_t ratio = 0;
    Rgba color;
};

struct Gradient {
    int spread = 0;        // 0 pad, 1 reflect, 2 repeat
    int interpolation = 0; // 0 sRGB, 1 linear RGB
    double focalPoint = 0; // -1..1, focal gradients only
    std::vector<GradientStop> stops;
};

struct FillStyle {
    enum class Type { Solid, Linear, Radial, Focal, Bitmap };
    Type type = Type::Solid;
    Rgba color;
    Matrix matrix; // gradient square or bitmap pixels → shape twips
    Gradient gradient;
    std::uint16_t bitmapId = 0;
    bool repeat = true;
    bool smooth = true;
};

struct LineStyle {
    double width = 20; // twips
    Rgba color;
    int startCap = 0, endCap = 0; // 0 round, 1 none, 2 square
    int join = 0;                 // 0 round, 1 bevel, 2 miter
    double miterLimit = 3;
    bool hasFill = false;
    FillStyle fill;
    bool noHScale = false, noVScale = false, pixelHinting = false, noClose = false;
};

struct StyleSet {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
};

// A style change: which styles are current from here (0 = none, 1-based
// otherwise) and, when the record brings new style arrays, their index.
struct StyleChange {
    int fill0 = -1, fill1 = -1, line = -1; // -1 = unchanged
    int newStyles = -1;                    // index into the shape's style sets
    bool moveTo = false;
    QPointF moveTarget;
};

// An edge with absolute end points; a straight edge has its control at the middle.
struct Edge {
    QPointF from, control, to;
    bool curved = false;
};

using ShapeRecord = std::variant<StyleChange, Edge>;

struct ShapeRecords {
    std::vector<StyleSet> styles; // [0] is the initial set
    std::vector<ShapeRecord> records;
};

// Caps on what one shape may hold.
inline constexpr int MaxShapeRecords = 2'000'000;
inline constexpr int MaxStyles = 65535;

Result<FillStyle> readFillStyle(Reader& reader, int shapeVersion);
Result<LineStyle> readLineStyle(Reader& reader, int shapeVersion);
// The caps, join and scaling flags that open a DefineShape4 line style (and a
// DefineMorphShape2 one), with the miter limit a miter join brings.
Result<void> readLineStyleFlags(Reader& reader, LineStyle& line);
// A style count: a byte, or 0xff and then a 16-bit count where `extended`.
// The count is checked against the bytes left before anything is reserved.
Result<unsigned> readStyleCount(Reader& reader, bool extended, const char* what);
Result<StyleSet> readStyleSet(Reader& reader, int shapeVersion);

// Reads style-change and edge records up to the end record. The initial style
// set must already be in `out.styles` (empty for a morph's end shape).
Result<void> readShapeRecords(Reader& reader, int shapeVersion, ShapeRecords& out);

// "Version" here is the DefineShape number (1-4); morph shapes read as 3 (v1) or 4 (v2).

} // namespace swf
