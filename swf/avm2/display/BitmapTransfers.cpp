// BitmapData's bulk transfers: pixels to and from a ByteArray (big-endian
// ARGB, one uint a pixel) or a Vector.<uint>, and the channel histogram.
// Each works on the part of its rectangle inside the bitmap, row by row.

#include "swf/avm2/display/BitmapScripts.h"

#include "swf/avm2/builtins/ByteArrayClass.h"
#include "swf/avm2/display/GeomClasses.h"

#include <cmath>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

[[noreturn]] void nullParameter(Machine& m, const char* name)
{
    m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter %1 must be non-null.").arg(QLatin1String(name)));
}

BitmapPixels& livePixels(Machine& m, const Value& self)
{
    auto pixels = pixelsOf(self.object());
    if (!pixels || pixels->disposed || pixels->image.isNull())
        m.throwError(ErrorClass::ArgumentError, 2015, QStringLiteral("Invalid BitmapData."));
    return *pixels;
}

// The part of a Rectangle argument inside the bitmap; fields are truncated,
// and far-off values stay far off rather than wrapping round.
QRect clippedRect(Machine& m, const BitmapPixels& p, const Value& v, const char* name)
{
    double x = 0, y = 0, w = 0, h = 0;
    if (v.isNullish())
        nullParameter(m, name);
    if (!readRectangle(m, v, x, y, w, h))
        m.throwError(ErrorClass::TypeError, 1034,
            QStringLiteral("Type Coercion failed: cannot convert %1 to flash.geom.Rectangle.").arg(m.toString(v)));
    auto toInt = [](double d) { return std::isfinite(d) ? int(std::clamp(std::trunc(d), -1e9, 1e9)) : 0; };
    const QRect r(toInt(x), toInt(y), std::max(0, toInt(w)), std::max(0, toInt(h)));
    return r.intersected(p.image.rect());
}

ByteArrayHost& byteArrayArg(Machine& m, const Value& v, const char* name)
{
    if (v.isNullish())
        nullParameter(m, name);
    ByteArrayHost* bytes = byteArrayOf(v.object());
    if (!bytes)
        m.throwError(ErrorClass::TypeError, 1034,
            QStringLiteral("Type Coercion failed: cannot convert %1 to flash.utils.ByteArray.").arg(m.toString(v)));
    return *bytes;
}

// Writes the pixels of `r` at the cursor of `out`, moving the cursor past them.
void writePixels(const BitmapPixels& p, const QRect& r, ByteArrayHost& out)
{
    const qint64 end = qint64(out.position) + qint64(r.width()) * r.height() * 4;
    if (r.isEmpty())
        return;
    if (end > out.data.size())
        out.data.resize(qsizetype(end), '\0');
    auto* at = reinterpret_cast<unsigned char*>(out.data.data()) + out.position;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const std::uint32_t c = readPixel32(p, x, y);
            *at++ = (c >> 24) & 0xff;
            *at++ = (c >> 16) & 0xff;
            *at++ = (c >> 8) & 0xff;
            *at++ = c & 0xff;
        }
    }
    out.position = std::uint32_t(end);
}

} // namespace

void StageScripts::installBitmapDataTransfers(ClassObject* cls)
{
    Machine& m = *m_machine;
    m.addMethod(cls, QStringLiteral("getPixels"), [](Machine& m, const Value& self, Args args) {
        const BitmapPixels& p = livePixels(m, self);
        const QRect r = clippedRect(m, p, arg(args, 0), "rect");
        Object* bytes = newByteArray(m, QByteArray());
        writePixels(p, r, *byteArrayOf(bytes));
        return Value::object(bytes);
    }, 1);
    m.addMethod(cls, QStringLiteral("copyPixelsToByteArray"), [](Machine& m, const Value& self, Args args) {
        const BitmapPixels& p = livePixels(m, self);
        const QRect r = clippedRect(m, p, arg(args, 0), "rect");
        writePixels(p, r, byteArrayArg(m, arg(args, 1), "data"));
        return Value::undefined();
    }, 2);
    // setPixels reads a uint a pixel from the cursor; running out of bytes
    // ends the copy with an EOFError, the pixels already read stay written.
    m.addMethod(cls, QStringLiteral("setPixels"), [](Machine& m, const Value& self, Args args) {
        BitmapPixels& p = livePixels(m, self);
        const QRect r = clippedRect(m, p, arg(args, 0), "rect");
        ByteArrayHost& in = byteArrayArg(m, arg(args, 1), "inputByteArray");
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                if (qint64(in.position) + 4 > in.data.size())
                    throwPackageError(m, QStringLiteral("EOFError"), 2030, QStringLiteral("End of file was encountered."));
                const auto* at = reinterpret_cast<const unsigned char*>(in.data.constData()) + in.position;
                writePixel32(p, x, y, (std::uint32_t(at[0]) << 24) | (std::uint32_t(at[1]) << 16) | (std::uint32_t(at[2]) << 8) | at[3]);
                in.position += 4;
            }
        }
        return Value::undefined();
    }, 2);
    m.addMethod(cls, QStringLiteral("getVector"), [](Machine& m, const Value& self, Args args) {
        const BitmapPixels& p = livePixels(m, self);
        const QRect r = clippedRect(m, p, arg(args, 0), "rect");
        std::vector<Value> out;
        out.reserve(std::size_t(r.width()) * std::size_t(r.height()));
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                out.push_back(Value::number(readPixel32(p, x, y)));
        ClassObject* type = m.applyVectorType(m.builtins().vector, m.builtins().uintClass);
        return Value::object(m.newVector(type, std::move(out)));
    }, 1);
    // setVector checks the vector holds a pixel for the whole rectangle
    // before it writes any; extra elements are ignored.
    m.addMethod(cls, QStringLiteral("setVector"), [](Machine& m, const Value& self, Args args) {
        BitmapPixels& p = livePixels(m, self);
        const QRect r = clippedRect(m, p, arg(args, 0), "rect");
        Object* vector = arg(args, 1).object();
        if (!vector)
            nullParameter(m, "imputVector");
        const std::vector<Value> elements = vector->elements;
        if (qint64(elements.size()) < qint64(r.width()) * r.height())
            m.throwError(ErrorClass::RangeError, 2006, QStringLiteral("The supplied index is out of bounds."));
        std::size_t i = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                writePixel32(p, x, y, toUint32(m.toNumber(elements[i++])));
        return Value::undefined();
    }, 2);
    // noise(randomSeed, low, high, channelOptions, grayScale): each channel
    // chosen (1 red, 2 green, 4 blue, 8 alpha) takes low + r % (high - low + 1)
    // from the minimal standard generator (r = r * 16807 mod 2^31 - 1), pixel
    // by pixel in row order, red first; alpha not chosen is opaque.
    m.addMethod(cls, QStringLiteral("noise"), [](Machine& m, const Value& self, Args args) {
        BitmapPixels& p = livePixels(m, self);
        constexpr std::int64_t Modulus = 2147483647;
        std::int64_t seed = std::abs(std::int64_t(toInt32(m.toNumber(arg(args, 0))))) % Modulus;
        if (seed == 0)
            seed = 1;
        const std::uint32_t low = args.size() > 1 ? toUint32(m.toNumber(args[1])) & 0xff : 0;
        const std::uint32_t high = args.size() > 2 ? toUint32(m.toNumber(args[2])) & 0xff : 255;
        const std::uint32_t channels = args.size() > 3 ? toUint32(m.toNumber(args[3])) : 7;
        const bool gray = args.size() > 4 && m.toBoolean(args[4]);
        const std::uint32_t span = high >= low ? high - low + 1 : 1;
        auto next = [&] {
            seed = seed * 16807 % Modulus;
            return std::uint32_t(low + std::uint32_t(seed) % span) & 0xff;
        };
        for (int y = 0; y < p.image.height(); ++y) {
            for (int x = 0; x < p.image.width(); ++x) {
                std::uint32_t r = 0, g = 0, b = 0, a = 255;
                if (gray) {
                    r = g = b = next();
                } else {
                    if (channels & 1)
                        r = next();
                    if (channels & 2)
                        g = next();
                    if (channels & 4)
                        b = next();
                }
                if (channels & 8)
                    a = next();
                writePixel32(p, x, y, (a << 24) | (r << 16) | (g << 8) | b);
            }
        }
        return Value::undefined();
    }, 1);
    // histogram: four Vector.<Number> of 256 counts, red, green, blue, alpha.
    m.addMethod(cls, QStringLiteral("histogram"), [](Machine& m, const Value& self, Args args) {
        const BitmapPixels& p = livePixels(m, self);
        const QRect r = arg(args, 0).isNullish() ? p.image.rect() : clippedRect(m, p, arg(args, 0), "hRect");
        std::vector<double> counts(4 * 256, 0.0);
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                const std::uint32_t c = readPixel32(p, x, y);
                counts[(c >> 16) & 0xff] += 1;
                counts[256 + ((c >> 8) & 0xff)] += 1;
                counts[512 + (c & 0xff)] += 1;
                counts[768 + (c >> 24)] += 1;
            }
        }
        ClassObject* numbers = m.applyVectorType(m.builtins().vector, m.builtins().number);
        std::vector<Value> channels;
        for (int channel = 0; channel < 4; ++channel) {
            std::vector<Value> one;
            for (int i = 0; i < 256; ++i)
                one.push_back(Value::number(counts[std::size_t(channel * 256 + i)]));
            channels.push_back(Value::object(m.newVector(numbers, std::move(one))));
        }
        ClassObject* outer = m.applyVectorType(m.builtins().vector, numbers);
        return Value::object(m.newVector(outer, std::move(channels)));
    }, 1);
}

} // namespace swf::avm2
