#include "swf/format/Shape.h"

#include <algorithm>

namespace swf {

namespace {

Result<Gradient> readGradient(Reader& reader, int shapeVersion, bool focal)
{
    Gradient g;
    reader.alignByte();
    g.spread = int(SWF_TRY(reader.readUB(2)));
    g.interpolation = int(SWF_TRY(reader.readUB(2)));
    unsigned count = SWF_TRY(reader.readUB(4));
    reader.alignByte();
    for (unsigned i = 0; i < count; ++i) {
        GradientStop stop;
        stop.ratio = SWF_TRY(reader.readU8());
        stop.color = shapeVersion >= 3 ? SWF_TRY(readRgba(reader)) : SWF_TRY(readRgb(reader));
        g.stops.push_back(stop);
    }
    if (focal)
        g.focalPoint = std::clamp(SWF_TRY(reader.readFixed8()), -1.0, 1.0);
    return g;
}

} // namespace

Result<FillStyle> readFillStyle(Reader& reader, int shapeVersion)
{
    FillStyle fill;
    qint64 at = reader.offset();
    auto type = SWF_TRY(reader.readU8());
    switch (type) {
    case 0x00:
        fill.type = FillStyle::Type::Solid;
        fill.color = shapeVersion >= 3 ? SWF_TRY(readRgba(reader)) : SWF_TRY(readRgb(reader));
        break;
    case 0x10:
    case 0x12:
    case 0x13:
        fill.type = type == 0x10 ? FillStyle::Type::Linear : type == 0x12 ? FillStyle::Type::Radial : FillStyle::Type::Focal;
        fill.matrix = SWF_TRY(readMatrix(reader));
        fill.gradient = SWF_TRY(readGradient(reader, shapeVersion, type == 0x13));
        break;
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        fill.type = FillStyle::Type::Bitmap;
        fill.bitmapId = SWF_TRY(reader.readU16());
        fill.matrix = SWF_TRY(readMatrix(reader));
        fill.repeat = type == 0x40 || type == 0x42;
        fill.smooth = type == 0x40 || type == 0x41;
        break;
    default:
        return Error::at(at, QStringLiteral("unknown fill style type 0x%1").arg(type, 2, 16, QLatin1Char('0')));
    }
    return fill;
}

Result<void> readLineStyleFlags(Reader& reader, LineStyle& line)
{
    line.startCap = int(SWF_TRY(reader.readUB(2)));
    line.join = int(SWF_TRY(reader.readUB(2)));
    line.hasFill = SWF_TRY(reader.readUB(1));
    line.noHScale = SWF_TRY(reader.readUB(1));
    line.noVScale = SWF_TRY(reader.readUB(1));
    line.pixelHinting = SWF_TRY(reader.readUB(1));
    SWF_TRY(reader.readUB(5)); // reserved
    line.noClose = SWF_TRY(reader.readUB(1));
    line.endCap = int(SWF_TRY(reader.readUB(2)));
    reader.alignByte();
    if (line.join == 2)
        line.miterLimit = SWF_TRY(reader.readFixed8());
    return {};
}

Result<LineStyle> readLineStyle(Reader& reader, int shapeVersion)
{
    LineStyle line;
    line.width = SWF_TRY(reader.readU16());
    if (shapeVersion < 4) {
        line.color = shapeVersion >= 3 ? SWF_TRY(readRgba(reader)) : SWF_TRY(readRgb(reader));
        return line;
    }
    SWF_TRY_VOID(readLineStyleFlags(reader, line));
    if (line.hasFill) {
        line.fill = SWF_TRY(readFillStyle(reader, shapeVersion));
        line.color = line.fill.color;
    } else {
        line.color = SWF_TRY(readRgba(reader));
    }
    return line;
}

Result<unsigned> readStyleCount(Reader& reader, bool extended, const char* what)
{
    unsigned count = SWF_TRY(reader.readU8());
    if (count == 0xff && extended)
        count = SWF_TRY(reader.readU16());
    // Each style takes at least one byte, so the tag's length bounds the count.
    if (count > reader.remaining())
        return reader.truncated(what);
    return count;
}

Result<StyleSet> readStyleSet(Reader& reader, int shapeVersion)
{
    StyleSet set;
    const unsigned fillCount = SWF_TRY(readStyleCount(reader, shapeVersion >= 2, "the fill style list"));
    set.fills.reserve(fillCount);
    for (unsigned i = 0; i < fillCount; ++i)
        set.fills.push_back(SWF_TRY(readFillStyle(reader, shapeVersion)));
    const unsigned lineCount = SWF_TRY(readStyleCount(reader, true, "the line style list"));
    set.lines.reserve(lineCount);
    for (unsigned i = 0; i < lineCount; ++i)
        set.lines.push_back(SWF_TRY(readLineStyle(reader, shapeVersion)));
    return set;
}

Result<void> readShapeRecords(Reader& reader, int shapeVersion, ShapeRecords& out)
{
    reader.alignByte();
    unsigned fillBits = SWF_TRY(reader.readUB(4));
    unsigned lineBits = SWF_TRY(reader.readUB(4));
    QPointF pen(0, 0);
    int count = 0;
    while (true) {
        if (++count > MaxShapeRecords)
            return Error::at(reader.offset(), QStringLiteral("shape has too many records"), ErrorKind::TooLarge);
        bool isEdge = SWF_TRY(reader.readUB(1));
        if (!isEdge) {
            unsigned flags = SWF_TRY(reader.readUB(5));
            if (flags == 0)
                break; // end of shape
            StyleChange change;
            if (flags & 0x01) {
                unsigned bits = SWF_TRY(reader.readUB(5));
                int x = SWF_TRY(reader.readSB(bits));
                int y = SWF_TRY(reader.readSB(bits));
                pen = QPointF(x, y);
                change.moveTo = true;
                change.moveTarget = pen;
            }
            if (flags & 0x02)
                change.fill0 = int(SWF_TRY(reader.readUB(fillBits)));
            if (flags & 0x04)
                change.fill1 = int(SWF_TRY(reader.readUB(fillBits)));
            if (flags & 0x08)
                change.line = int(SWF_TRY(reader.readUB(lineBits)));
            if ((flags & 0x10) && shapeVersion >= 2) {
                out.styles.push_back(SWF_TRY(readStyleSet(reader, shapeVersion)));
                change.newStyles = int(out.styles.size()) - 1;
                fillBits = SWF_TRY(reader.readUB(4));
                lineBits = SWF_TRY(reader.readUB(4));
            }
            out.records.emplace_back(change);
            continue;
        }
        bool straight = SWF_TRY(reader.readUB(1));
        unsigned bits = SWF_TRY(reader.readUB(4)) + 2;
        Edge edge;
        edge.from = pen;
        if (straight) {
            int dx = 0, dy = 0;
            bool general = SWF_TRY(reader.readUB(1));
            if (general) {
                dx = SWF_TRY(reader.readSB(bits));
                dy = SWF_TRY(reader.readSB(bits));
            } else {
                bool vertical = SWF_TRY(reader.readUB(1));
                (vertical ? dy : dx) = SWF_TRY(reader.readSB(bits));
            }
            edge.to = pen + QPointF(dx, dy);
            edge.control = (edge.from + edge.to) / 2;
        } else {
            int cdx = SWF_TRY(reader.readSB(bits));
            int cdy = SWF_TRY(reader.readSB(bits));
            int adx = SWF_TRY(reader.readSB(bits));
            int ady = SWF_TRY(reader.readSB(bits));
            edge.control = pen + QPointF(cdx, cdy);
            edge.to = edge.control + QPointF(adx, ady);
            edge.curved = true;
        }
        pen = edge.to;
        out.records.emplace_back(edge);
    }
    reader.alignByte();
    return {};
}

} // namespace swf
