#pragma once

// Shape and morph-shape definitions, with their edges already joined into
// QPainterPaths: one fill path per fill style and one stroke path per line
// style, for each layer of styles the shape brings.

#include "swf/format/Shape.h"
#include "swf/movie/Character.h"

#include <QImage>
#include <QPainterPath>

namespace swf {

struct ShapeLayer {
    StyleSet styles;
    std::vector<std::pair<int, QPainterPath>> fills; // (0-based fill style, path), in style order
    std::vector<std::pair<int, QPainterPath>> lines; // (0-based line style, path), in style order
};

// Joins the records' edges into closed fill contours (both sides of every
// edge count) and open stroke runs.
std::vector<ShapeLayer> buildShapeLayers(const ShapeRecords& shape, bool windingFill);

struct ShapeDef : Character {
    explicit ShapeDef(std::uint16_t i) : Character(CharacterKind::Shape, i) { }
    TwipsRect bounds;
    bool windingFill = false;
    std::vector<ShapeLayer> layers;
};

struct MorphDef : Character {
    explicit MorphDef(std::uint16_t i) : Character(CharacterKind::MorphShape, i) { }
    TwipsRect startBounds, endBounds;
    StyleSet startStyles, endStyles; // matching counts
    std::vector<ShapeRecord> startRecords;
    std::vector<Edge> endEdges; // one per start edge

    // The shape at `ratio` (0 = start, 65535 = end).
    std::vector<ShapeLayer> layersAt(int ratio) const;
};

struct BitmapDef : Character {
    explicit BitmapDef(std::uint16_t i) : Character(CharacterKind::Bitmap, i) { }
    QImage image; // ARGB32 premultiplied
};

} // namespace swf
