#include "swf/format/Records.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

int clampChannel(double v)
{
    if (!(v > 0))
        return 0;
    return v >= 255 ? 255 : int(v);
}

} // namespace

ColorTransform ColorTransform::concat(const ColorTransform& inner) const
{
    ColorTransform out;
    out.rMul = rMul * inner.rMul;
    out.gMul = gMul * inner.gMul;
    out.bMul = bMul * inner.bMul;
    out.aMul = aMul * inner.aMul;
    out.rAdd = rMul * inner.rAdd + rAdd;
    out.gAdd = gMul * inner.gAdd + gAdd;
    out.bAdd = bMul * inner.bAdd + bAdd;
    out.aAdd = aMul * inner.aAdd + aAdd;
    return out;
}

Rgba ColorTransform::apply(Rgba c) const
{
    return Rgba { std::uint8_t(clampChannel(c.r * rMul + rAdd)), std::uint8_t(clampChannel(c.g * gMul + gAdd)),
        std::uint8_t(clampChannel(c.b * bMul + bAdd)), std::uint8_t(clampChannel(c.a * aMul + aAdd)) };
}

QColor ColorTransform::apply(const QColor& color) const
{
    Rgba in { std::uint8_t(color.red()), std::uint8_t(color.green()), std::uint8_t(color.blue()), std::uint8_t(color.alpha()) };
    return apply(in).toQColor();
}

Result<TwipsRect> readRect(Reader& reader)
{
    reader.alignByte();
    unsigned bits = SWF_TRY(reader.readUB(5));
    TwipsRect rect;
    rect.xMin = SWF_TRY(reader.readSB(bits));
    rect.xMax = SWF_TRY(reader.readSB(bits));
    rect.yMin = SWF_TRY(reader.readSB(bits));
    rect.yMax = SWF_TRY(reader.readSB(bits));
    reader.alignByte();
    return rect;
}

Result<Matrix> readMatrix(Reader& reader)
{
    reader.alignByte();
    Matrix m;
    if (SWF_TRY(reader.readUB(1))) {
        unsigned bits = SWF_TRY(reader.readUB(5));
        m.a = SWF_TRY(reader.readFB(bits));
        m.d = SWF_TRY(reader.readFB(bits));
    }
    if (SWF_TRY(reader.readUB(1))) {
        unsigned bits = SWF_TRY(reader.readUB(5));
        m.b = SWF_TRY(reader.readFB(bits));
        m.c = SWF_TRY(reader.readFB(bits));
    }
    unsigned bits = SWF_TRY(reader.readUB(5));
    m.tx = SWF_TRY(reader.readSB(bits));
    m.ty = SWF_TRY(reader.readSB(bits));
    reader.alignByte();
    return m;
}

Result<ColorTransform> readColorTransform(Reader& reader, bool withAlpha)
{
    reader.alignByte();
    ColorTransform cx;
    bool hasAdd = SWF_TRY(reader.readUB(1));
    bool hasMul = SWF_TRY(reader.readUB(1));
    unsigned bits = SWF_TRY(reader.readUB(4));
    if (hasMul) {
        cx.rMul = SWF_TRY(reader.readSB(bits)) / 256.0;
        cx.gMul = SWF_TRY(reader.readSB(bits)) / 256.0;
        cx.bMul = SWF_TRY(reader.readSB(bits)) / 256.0;
        if (withAlpha)
            cx.aMul = SWF_TRY(reader.readSB(bits)) / 256.0;
    }
    if (hasAdd) {
        cx.rAdd = SWF_TRY(reader.readSB(bits));
        cx.gAdd = SWF_TRY(reader.readSB(bits));
        cx.bAdd = SWF_TRY(reader.readSB(bits));
        if (withAlpha)
            cx.aAdd = SWF_TRY(reader.readSB(bits));
    }
    reader.alignByte();
    return cx;
}

Result<Rgba> readRgb(Reader& reader)
{
    Rgba c;
    c.r = SWF_TRY(reader.readU8());
    c.g = SWF_TRY(reader.readU8());
    c.b = SWF_TRY(reader.readU8());
    return c;
}

Result<Rgba> readRgba(Reader& reader)
{
    Rgba c = SWF_TRY(readRgb(reader));
    c.a = SWF_TRY(reader.readU8());
    return c;
}

Result<Rgba> readArgb(Reader& reader)
{
    const std::uint8_t alpha = SWF_TRY(reader.readU8());
    Rgba c = SWF_TRY(readRgb(reader));
    c.a = alpha;
    return c;
}

} // namespace swf
