#include "swf/movie/Definitions.h"

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

Result<std::pair<FillStyle, FillStyle>> readMorphFill(Reader& reader)
{
    FillStyle start, end;
    qint64 at = reader.offset();
    auto type = SWF_TRY(reader.readU8());
    switch (type) {
    case 0x00:
        start.color = SWF_TRY(readRgba(reader));
        end.color = SWF_TRY(readRgba(reader));
        break;
    case 0x10:
    case 0x12:
    case 0x13: {
        start.type = end.type = type == 0x10 ? FillStyle::Type::Linear : type == 0x12 ? FillStyle::Type::Radial : FillStyle::Type::Focal;
        start.matrix = SWF_TRY(readMatrix(reader));
        end.matrix = SWF_TRY(readMatrix(reader));
        auto header = SWF_TRY(reader.readU8());
        start.gradient.spread = end.gradient.spread = (header >> 6) & 3;
        start.gradient.interpolation = end.gradient.interpolation = (header >> 4) & 3;
        int count = header & 0x0f;
        for (int i = 0; i < count; ++i) {
            GradientStop s, e;
            s.ratio = SWF_TRY(reader.readU8());
            s.color = SWF_TRY(readRgba(reader));
            e.ratio = SWF_TRY(reader.readU8());
            e.color = SWF_TRY(readRgba(reader));
            start.gradient.stops.push_back(s);
            end.gradient.stops.push_back(e);
        }
        if (type == 0x13) {
            start.gradient.focalPoint = std::clamp(SWF_TRY(reader.readFixed8()), -1.0, 1.0);
            end.gradient.focalPoint = std::clamp(SWF_TRY(reader.readFixed8()), -1.0, 1.0);
        }
        break;
    }
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        start.type = end.type = FillStyle::Type::Bitmap;
        start.bitmapId = end.bitmapId = SWF_TRY(reader.readU16());
        start.matrix = SWF_TRY(readMatrix(reader));
        end.matrix = SWF_TRY(readMatrix(reader));
        start.repeat = end.repeat = type == 0x40 || type == 0x42;
        start.smooth = end.smooth = type == 0x40 || type == 0x41;
        break;
    default:
        return Error::at(at, QStringLiteral("unknown morph fill type 0x%1").arg(type, 2, 16, QLatin1Char('0')));
    }
    return std::pair { start, end };
}

Result<std::pair<LineStyle, LineStyle>> readMorphLine(Reader& reader, bool version2)
{
    LineStyle start, end;
    start.width = SWF_TRY(reader.readU16());
    end.width = SWF_TRY(reader.readU16());
    if (!version2) {
        start.color = SWF_TRY(readRgba(reader));
        end.color = SWF_TRY(readRgba(reader));
        return std::pair { start, end };
    }
    start.startCap = int(SWF_TRY(reader.readUB(2)));
    start.join = int(SWF_TRY(reader.readUB(2)));
    start.hasFill = SWF_TRY(reader.readUB(1));
    start.noHScale = SWF_TRY(reader.readUB(1));
    start.noVScale = SWF_TRY(reader.readUB(1));
    start.pixelHinting = SWF_TRY(reader.readUB(1));
    SWF_TRY(reader.readUB(5));
    start.noClose = SWF_TRY(reader.readUB(1));
    start.endCap = int(SWF_TRY(reader.readUB(2)));
    reader.alignByte();
    if (start.join == 2)
        start.miterLimit = SWF_TRY(reader.readFixed8());
    double startWidth = start.width, endWidth = end.width;
    if (start.hasFill) {
        auto [fs, fe] = SWF_TRY(readMorphFill(reader));
        start.fill = fs;
        end = start;
        end.fill = fe;
        start.color = fs.color;
        end.color = fe.color;
    } else {
        start.color = SWF_TRY(readRgba(reader));
        Rgba endColor = SWF_TRY(readRgba(reader));
        end = start;
        end.color = endColor;
    }
    start.width = startWidth;
    end.width = endWidth;
    return std::pair { start, end };
}

Result<unsigned> readStyleCount(Reader& reader)
{
    unsigned count = SWF_TRY(reader.readU8());
    if (count == 0xff)
        count = SWF_TRY(reader.readU16());
    if (count > reader.remaining())
        return reader.truncated("morph styles");
    return count;
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
    unsigned fillCount = SWF_TRY(readStyleCount(body));
    for (unsigned i = 0; i < fillCount; ++i) {
        auto [s, e] = SWF_TRY(readMorphFill(body));
        morph->startStyles.fills.push_back(s);
        morph->endStyles.fills.push_back(e);
    }
    unsigned lineCount = SWF_TRY(readStyleCount(body));
    for (unsigned i = 0; i < lineCount; ++i) {
        auto [s, e] = SWF_TRY(readMorphLine(body, version2));
        morph->startStyles.lines.push_back(s);
        morph->endStyles.lines.push_back(e);
    }
    ShapeRecords start;
    start.styles.push_back(morph->startStyles);
    // Morph shapes bring no new styles mid-way: read as the first shape version.
    SWF_TRY_VOID(readShapeRecords(body, 1, start));
    morph->startRecords = std::move(start.records);

    if (endPosition > body.size())
        return Error::at(body.offset(), QStringLiteral("morph end edges lie past the tag"), ErrorKind::Corrupt);
    Reader endReader(body.current() - body.position() + endPosition, body.size() - endPosition,
        body.offset() - qint64(body.position()) + qint64(endPosition));
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
