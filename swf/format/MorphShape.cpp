#include "swf/format/MorphShape.h"

#include <algorithm>

namespace swf {

namespace {

// One morph fill style: the start and end state of each field, interleaved.
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
    SWF_TRY_VOID(readLineStyleFlags(reader, start));
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

} // namespace

Result<MorphStyles> readMorphStyles(Reader& reader, bool version2)
{
    MorphStyles styles;
    const unsigned fillCount = SWF_TRY(readStyleCount(reader, true, "the morph fill style list"));
    for (unsigned i = 0; i < fillCount; ++i) {
        auto [start, end] = SWF_TRY(readMorphFill(reader));
        styles.start.fills.push_back(start);
        styles.end.fills.push_back(end);
    }
    const unsigned lineCount = SWF_TRY(readStyleCount(reader, true, "the morph line style list"));
    for (unsigned i = 0; i < lineCount; ++i) {
        auto [start, end] = SWF_TRY(readMorphLine(reader, version2));
        styles.start.lines.push_back(start);
        styles.end.lines.push_back(end);
    }
    return styles;
}

} // namespace swf
