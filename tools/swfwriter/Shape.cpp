#include "tools/swfwriter/Shape.h"

#include "tools/swfwriter/BitWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace swfw {

FillStyle FillStyle::solid(Rgba color)
{
    FillStyle f;
    f.kind = Kind::Solid;
    f.color = color;
    return f;
}

static FillStyle gradient(FillStyle::Kind kind, const Matrix& m, std::vector<GradientStop> stops)
{
    FillStyle f;
    f.kind = kind;
    f.matrix = m;
    f.stops = std::move(stops);
    return f;
}

FillStyle FillStyle::linear(const Matrix& m, std::vector<GradientStop> stops)
{
    return gradient(Kind::Linear, m, std::move(stops));
}

FillStyle FillStyle::radial(const Matrix& m, std::vector<GradientStop> stops)
{
    return gradient(Kind::Radial, m, std::move(stops));
}

FillStyle FillStyle::focal(const Matrix& m, std::vector<GradientStop> stops, double focalPoint)
{
    FillStyle f = gradient(Kind::Focal, m, std::move(stops));
    f.focalPoint = focalPoint;
    return f;
}

FillStyle FillStyle::bitmap(uint16_t bitmapId, const Matrix& m, bool repeat, bool smooth)
{
    FillStyle f;
    f.kind = repeat ? (smooth ? Kind::RepeatingBitmap : Kind::RepeatingBitmapUnsmoothed)
                    : (smooth ? Kind::ClippedBitmap : Kind::ClippedBitmapUnsmoothed);
    f.bitmapId = bitmapId;
    f.matrix = m;
    return f;
}

Matrix FillStyle::gradientBox(int32_t x, int32_t y, int32_t w, int32_t h, double degrees)
{
    const double r = degrees * M_PI / 180.0;
    const double sx = w / 32768.0;
    const double sy = h / 32768.0;
    return { sx * std::cos(r), sx * std::sin(r), -sy * std::sin(r), sy * std::cos(r), x + w / 2, y + h / 2 };
}

int Shape::addFillStyle(const FillStyle& style)
{
    m_fills.push_back(style);
    return int(m_fills.size());
}

int Shape::addLineStyle(const LineStyle& style)
{
    m_lines.push_back(style);
    return int(m_lines.size());
}

Shape::Record& Shape::pendingStyle()
{
    // Style choices made before the next edge share one style-change record.
    if (m_records.empty() || m_records.back().type != Record::Type::Style)
        m_records.push_back(Record {});
    return m_records.back();
}

Shape& Shape::fill0(int index)
{
    pendingStyle().fill0 = index;
    return *this;
}

Shape& Shape::fill1(int index)
{
    pendingStyle().fill1 = index;
    return *this;
}

Shape& Shape::line(int index)
{
    pendingStyle().line = index;
    return *this;
}

Shape& Shape::moveTo(int32_t x, int32_t y)
{
    Record& r = pendingStyle();
    r.hasMove = true;
    r.x = x;
    r.y = y;
    return *this;
}

Shape& Shape::lineTo(int32_t x, int32_t y)
{
    Record r;
    r.type = Record::Type::Straight;
    r.x = x;
    r.y = y;
    m_records.push_back(r);
    return *this;
}

Shape& Shape::curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y)
{
    Record r;
    r.type = Record::Type::Curve;
    r.cx = cx;
    r.cy = cy;
    r.x = x;
    r.y = y;
    m_records.push_back(r);
    return *this;
}

Shape& Shape::rect(int32_t x, int32_t y, int32_t w, int32_t h)
{
    return moveTo(x, y).lineTo(x + w, y).lineTo(x + w, y + h).lineTo(x, y + h).lineTo(x, y);
}

Rect Shape::edgeBounds() const
{
    bool any = false;
    Rect b;
    auto add = [&](int32_t x, int32_t y) {
        if (!any) {
            b = { x, x, y, y };
            any = true;
            return;
        }
        b.xMin = std::min(b.xMin, x);
        b.xMax = std::max(b.xMax, x);
        b.yMin = std::min(b.yMin, y);
        b.yMax = std::max(b.yMax, y);
    };
    for (const Record& r : m_records) {
        if (r.type == Record::Type::Curve)
            add(r.cx, r.cy);
        if (r.type != Record::Type::Style || r.hasMove)
            add(r.x, r.y);
    }
    return b;
}

Rect Shape::bounds() const
{
    Rect b = edgeBounds();
    int widest = 0;
    for (const LineStyle& l : m_lines)
        widest = std::max(widest, int(l.width));
    const int half = (widest + 1) / 2;
    return { b.xMin - half, b.xMax + half, b.yMin - half, b.yMax + half };
}

static void writeStyleCount(BitWriter& out, size_t count, int version)
{
    // Counts of 255 or more take the extended form, which only the second
    // and later shape versions read.
    if (count >= 0xff && version >= 2) {
        out.writeU8(0xff);
        out.writeU16(uint16_t(std::min<size_t>(count, 0xffff)));
    } else {
        out.writeU8(uint8_t(std::min<size_t>(count, 0xfe)));
    }
}

static void writeColor(BitWriter& out, const Rgba& c, int version)
{
    if (version >= 3)
        out.writeRgba(c);
    else
        out.writeRgb(c);
}

void Shape::writeFillStyle(BitWriter& out, const FillStyle& f, int version)
{
    out.writeU8(uint8_t(f.kind));
    if (f.kind == FillStyle::Kind::Solid) {
        writeColor(out, f.color, version);
    } else if (f.isGradient()) {
        out.writeMatrix(f.matrix);
        const size_t count = std::min<size_t>(f.stops.size(), 15);
        // Spread and interpolation exist from the fourth shape version on.
        out.writeUB(2, version >= 4 ? f.spread : 0);
        out.writeUB(2, version >= 4 ? f.interpolation : 0);
        out.writeUB(4, uint32_t(count));
        for (size_t i = 0; i < count; ++i) {
            out.writeU8(f.stops[i].ratio);
            writeColor(out, f.stops[i].color, version);
        }
        if (f.kind == FillStyle::Kind::Focal)
            out.writeFixed8(f.focalPoint);
    } else {
        out.writeU16(f.bitmapId);
        out.writeMatrix(f.matrix);
    }
}

void Shape::writeLineStyle(BitWriter& out, const LineStyle& l, int version)
{
    out.writeU16(l.width);
    if (version < 4) {
        writeColor(out, l.color, version);
        return;
    }
    out.writeUB(2, l.startCap);
    out.writeUB(2, l.join);
    out.writeUB(1, l.fill.has_value());
    out.writeUB(1, l.noHScale);
    out.writeUB(1, l.noVScale);
    out.writeUB(1, l.pixelHinting);
    out.writeUB(5, 0);
    out.writeUB(1, l.noClose);
    out.writeUB(2, l.endCap);
    if (l.join == 2)
        out.writeFixed8(l.miterLimit);
    if (l.fill)
        writeFillStyle(out, *l.fill, version);
    else
        out.writeRgba(l.color);
}

void Shape::writeWithStyles(BitWriter& out, int version) const
{
    writeStyleCount(out, m_fills.size(), version);
    for (const FillStyle& f : m_fills)
        writeFillStyle(out, f, version);
    writeStyleCount(out, m_lines.size(), version);
    for (const LineStyle& l : m_lines)
        writeLineStyle(out, l, version);
    const int fillBits = BitWriter::unsignedBits(uint32_t(m_fills.size()));
    const int lineBits = BitWriter::unsignedBits(uint32_t(m_lines.size()));
    out.writeUB(4, uint32_t(fillBits));
    out.writeUB(4, uint32_t(lineBits));
    writeRecords(out, fillBits, lineBits);
}

// Edge deltas are at most 17 bits wide (the 4-bit count stores bits - 2), so
// longer straight edges are written as several pieces.
static constexpr int32_t kMaxDelta = (1 << 16) - 1;

static void writeStraight(BitWriter& out, int32_t dx, int32_t dy)
{
    if (std::abs(dx) > kMaxDelta || std::abs(dy) > kMaxDelta) {
        writeStraight(out, dx / 2, dy / 2);
        writeStraight(out, dx - dx / 2, dy - dy / 2);
        return;
    }
    out.writeUB(1, 1); // edge record
    out.writeUB(1, 1); // straight
    const bool general = dx != 0 && dy != 0;
    const int bits = std::max({ 2, BitWriter::signedBits(dx), BitWriter::signedBits(dy) });
    out.writeUB(4, uint32_t(bits - 2));
    out.writeUB(1, general);
    if (general) {
        out.writeSB(bits, dx);
        out.writeSB(bits, dy);
    } else {
        const bool vertical = dx == 0 && dy != 0;
        out.writeUB(1, vertical);
        out.writeSB(bits, vertical ? dy : dx);
    }
}

// Curves too wide for one record are split in half (de Casteljau) until they fit.
static void writeCurve(BitWriter& out, int32_t x0, int32_t y0, int32_t cx, int32_t cy, int32_t x1, int32_t y1)
{
    const int32_t cdx = cx - x0, cdy = cy - y0;
    const int32_t adx = x1 - cx, ady = y1 - cy;
    const int bits = std::max({ 2, BitWriter::signedBits(cdx), BitWriter::signedBits(cdy),
        BitWriter::signedBits(adx), BitWriter::signedBits(ady) });
    if (bits > 17) {
        const int32_t ax = (x0 + cx) / 2, ay = (y0 + cy) / 2;
        const int32_t bx = (cx + x1) / 2, by = (cy + y1) / 2;
        const int32_t mx = (ax + bx) / 2, my = (ay + by) / 2;
        writeCurve(out, x0, y0, ax, ay, mx, my);
        writeCurve(out, mx, my, bx, by, x1, y1);
        return;
    }
    out.writeUB(1, 1); // edge record
    out.writeUB(1, 0); // curved
    out.writeUB(4, uint32_t(bits - 2));
    out.writeSB(bits, cdx);
    out.writeSB(bits, cdy);
    out.writeSB(bits, adx);
    out.writeSB(bits, ady);
}

void Shape::writeRecords(BitWriter& out, int fillBits, int lineBits, bool geometryOnly) const
{
    int32_t x = 0, y = 0;
    for (const Record& r : m_records) {
        switch (r.type) {
        case Record::Type::Style: {
            const bool f0 = !geometryOnly && r.fill0.has_value();
            const bool f1 = !geometryOnly && r.fill1.has_value();
            const bool ln = !geometryOnly && r.line.has_value();
            // A style record with no flag set would read as the end of the shape.
            if (!r.hasMove && !f0 && !f1 && !ln)
                break;
            out.writeUB(1, 0);     // non-edge record
            out.writeUB(1, 0);     // no new styles
            out.writeUB(1, ln);
            out.writeUB(1, f1);
            out.writeUB(1, f0);
            out.writeUB(1, r.hasMove);
            if (r.hasMove) {
                const int bits = std::max(BitWriter::signedBits(r.x), BitWriter::signedBits(r.y));
                out.writeUB(5, uint32_t(bits));
                out.writeSB(bits, r.x);
                out.writeSB(bits, r.y);
                x = r.x;
                y = r.y;
            }
            if (f0)
                out.writeUB(fillBits, uint32_t(*r.fill0));
            if (f1)
                out.writeUB(fillBits, uint32_t(*r.fill1));
            if (ln)
                out.writeUB(lineBits, uint32_t(*r.line));
            break;
        }
        case Record::Type::Straight:
            writeStraight(out, r.x - x, r.y - y);
            x = r.x;
            y = r.y;
            break;
        case Record::Type::Curve:
            writeCurve(out, x, y, r.cx, r.cy, r.x, r.y);
            x = r.x;
            y = r.y;
            break;
        }
    }
    out.writeUB(6, 0); // end of shape
    out.align();
}

} // namespace swfw
