#include "swf/movie/Definitions.h"

#include "swf/format/MorphShape.h"
#include "swf/format/TagCodes.h"
#include "swf/movie/Shapes.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

int shapeVersionOf(int tagCode)
{
    switch (tagCode) {
    case TagDefineShape2:
        return 2;
    case TagDefineShape3:
        return 3;
    case TagDefineShape4:
        return 4;
    default:
        return 1;
    }
}

} // namespace

Result<std::shared_ptr<const Character>> readShapeDefinition(Reader& body, int tagCode)
{
    int version = shapeVersionOf(tagCode);
    auto id = SWF_TRY(body.readU16());
    auto shape = std::make_shared<ShapeDef>(id);
    shape->bounds = SWF_TRY(readRect(body));
    if (version == 4) {
        SWF_TRY(readRect(body)); // edge bounds
        auto flags = SWF_TRY(body.readU8());
        shape->windingFill = flags & 0x04;
    }
    ShapeRecords records;
    records.styles.push_back(SWF_TRY(readStyleSet(body, version)));
    SWF_TRY_VOID(readShapeRecords(body, version, records));
    shape->layers = buildShapeLayers(records, shape->windingFill);
    return std::shared_ptr<const Character>(std::move(shape));
}

Result<std::shared_ptr<const Character>> readMorphDefinition(Reader& body, int tagCode)
{
    bool version2 = tagCode == TagDefineMorphShape2;
    auto id = SWF_TRY(body.readU16());
    auto morph = std::make_shared<MorphDef>(id);
    morph->startBounds = SWF_TRY(readRect(body));
    morph->endBounds = SWF_TRY(readRect(body));
    if (version2) {
        SWF_TRY(readRect(body));
        SWF_TRY(readRect(body));
        SWF_TRY(body.readU8());
    }
    auto endOffset = SWF_TRY(body.readU32());
    std::size_t endPosition = body.position() + endOffset;
    MorphStyles styles = SWF_TRY(readMorphStyles(body, version2));
    morph->startStyles = std::move(styles.start);
    morph->endStyles = std::move(styles.end);
    ShapeRecords start;
    start.styles.push_back(morph->startStyles);
    // Morph shapes bring no new styles mid-way: read as the first shape version.
    SWF_TRY_VOID(readShapeRecords(body, 1, start));
    morph->startRecords = std::move(start.records);

    if (endPosition > body.size())
        return Error::at(body.offset(), QStringLiteral("morph end edges lie past the tag"), ErrorKind::Corrupt);
    Reader endReader = SWF_TRY(body.sliceAt(endPosition, body.size() - endPosition));
    ShapeRecords end;
    SWF_TRY_VOID(readShapeRecords(endReader, 1, end));
    for (const ShapeRecord& record : end.records) {
        if (auto edge = std::get_if<Edge>(&record))
            morph->endEdges.push_back(*edge);
    }
    return std::shared_ptr<const Character>(std::move(morph));
}

namespace {

double lerp(double a, double b, double t) { return a + (b - a) * t; }

Rgba lerp(const Rgba& a, const Rgba& b, double t)
{
    auto ch = [t](std::uint8_t x, std::uint8_t y) { return std::uint8_t(std::lround(lerp(x, y, t))); };
    return Rgba { ch(a.r, b.r), ch(a.g, b.g), ch(a.b, b.b), ch(a.a, b.a) };
}

Matrix lerp(const Matrix& a, const Matrix& b, double t)
{
    return Matrix { lerp(a.a, b.a, t), lerp(a.b, b.b, t), lerp(a.c, b.c, t), lerp(a.d, b.d, t), lerp(a.tx, b.tx, t), lerp(a.ty, b.ty, t) };
}

FillStyle lerp(const FillStyle& a, const FillStyle& b, double t)
{
    FillStyle out = a;
    out.color = lerp(a.color, b.color, t);
    out.matrix = lerp(a.matrix, b.matrix, t);
    out.gradient.focalPoint = lerp(a.gradient.focalPoint, b.gradient.focalPoint, t);
    for (std::size_t i = 0; i < out.gradient.stops.size() && i < b.gradient.stops.size(); ++i) {
        out.gradient.stops[i].ratio = std::uint8_t(std::lround(lerp(a.gradient.stops[i].ratio, b.gradient.stops[i].ratio, t)));
        out.gradient.stops[i].color = lerp(a.gradient.stops[i].color, b.gradient.stops[i].color, t);
    }
    return out;
}

QPointF lerp(const QPointF& a, const QPointF& b, double t) { return a + (b - a) * t; }

} // namespace

std::vector<ShapeLayer> MorphDef::layersAt(int ratio) const
{
    double t = std::clamp(ratio, 0, 65535) / 65535.0;
    ShapeRecords shape;
    StyleSet styles = startStyles;
    for (std::size_t i = 0; i < styles.fills.size() && i < endStyles.fills.size(); ++i)
        styles.fills[i] = lerp(startStyles.fills[i], endStyles.fills[i], t);
    for (std::size_t i = 0; i < styles.lines.size() && i < endStyles.lines.size(); ++i) {
        styles.lines[i].width = lerp(startStyles.lines[i].width, endStyles.lines[i].width, t);
        styles.lines[i].color = lerp(startStyles.lines[i].color, endStyles.lines[i].color, t);
        styles.lines[i].fill = lerp(startStyles.lines[i].fill, endStyles.lines[i].fill, t);
    }
    shape.styles.push_back(std::move(styles));
    shape.records.reserve(startRecords.size());
    std::size_t edgeIndex = 0;
    for (const ShapeRecord& record : startRecords) {
        if (auto edge = std::get_if<Edge>(&record)) {
            Edge e = *edge;
            if (edgeIndex < endEdges.size()) {
                const Edge& other = endEdges[edgeIndex];
                e.from = lerp(e.from, other.from, t);
                e.control = lerp(e.control, other.control, t);
                e.to = lerp(e.to, other.to, t);
                e.curved = e.curved || other.curved;
            }
            ++edgeIndex;
            shape.records.emplace_back(e);
        } else {
            shape.records.push_back(record);
        }
    }
    return buildShapeLayers(shape, false);
}

} // namespace swf
