// flash.display.BitmapData: pixels a script reads and writes. The pixels live
// premultiplied in a swf::BitmapPixels that a Bitmap on the stage shares, so
// the picture follows every change; reads hand back unpremultiplied ARGB.
// A class bound to a bitmap of the movie (SymbolClass) starts from its image.

#include "swf/avm2/display/BitmapScripts.h"

#include "swf/avm2/builtins/ByteArrayClass.h"
#include "swf/avm2/display/GeomClasses.h"
#include "swf/movie/Movie.h"
#include "swf/movie/Shapes.h"
#include "swf/runtime/Stage.h"

#include <cmath>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

int intArg(Machine& m, Args args, std::size_t i) { return i < args.size() ? toInt32(m.toNumber(args[i])) : 0; }

[[noreturn]] void invalid(Machine& m)
{
    m.throwError(ErrorClass::ArgumentError, 2015, QStringLiteral("Invalid BitmapData."));
}

[[noreturn]] void nullParameter(Machine& m, const char* name)
{
    m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter %1 must be non-null.").arg(QLatin1String(name)));
}

// The integer rectangle a Rectangle argument names (each field truncated).
QRect rectArg(Machine& m, const Value& v, const char* name)
{
    double x = 0, y = 0, w = 0, h = 0;
    if (v.isNullish())
        nullParameter(m, name);
    if (!readRectangle(m, v, x, y, w, h))
        m.throwError(ErrorClass::TypeError, 1034, QStringLiteral("Type Coercion failed: cannot convert %1 to flash.geom.Rectangle.")
                                                       .arg(m.toString(v)));
    auto toInt = [](double d) { return std::isfinite(d) ? int(std::clamp(std::trunc(d), -1e9, 1e9)) : 0; };
    return QRect(toInt(x), toInt(y), std::max(0, toInt(w)), std::max(0, toInt(h)));
}

} // namespace

std::shared_ptr<BitmapPixels> pixelsOf(const Object* o)
{
    if (!o || !o->host || !o->dynamicGet(QStringLiteral(" bitmapData")))
        return nullptr;
    return std::static_pointer_cast<BitmapPixels>(o->host);
}

std::uint32_t readPixel32(const BitmapPixels& p, int x, int y)
{
    if (x < 0 || y < 0 || x >= p.image.width() || y >= p.image.height())
        return 0;
    // Premultiplied channels scale back up with the remainder dropped, as
    // the player's reads do (so a colour stored at low alpha reads darker).
    const QRgb c = reinterpret_cast<const QRgb*>(p.image.constScanLine(y))[x];
    const std::uint32_t a = qAlpha(c);
    if (a == 255 || !p.transparent)
        return std::uint32_t(c) | 0xff000000u;
    if (a == 0)
        return 0;
    auto up = [a](std::uint32_t v) { return std::min<std::uint32_t>(255, v * 255 / a); };
    return (a << 24) | (up(std::uint32_t(qRed(c))) << 16) | (up(std::uint32_t(qGreen(c))) << 8) | up(std::uint32_t(qBlue(c)));
}

void writePixel32(BitmapPixels& p, int x, int y, std::uint32_t argb)
{
    if (x < 0 || y < 0 || x >= p.image.width() || y >= p.image.height())
        return;
    if (!p.transparent)
        argb |= 0xff000000u;
    reinterpret_cast<QRgb*>(p.image.scanLine(y))[x] = qPremultiply(QRgb(argb));
}

void StageScripts::installBitmapDataClass()
{
    Machine& m = *m_machine;
    // The live pixels of `self`, after the disposed check every member makes.
    auto live = [](Machine& m, const Value& self) -> BitmapPixels& {
        auto pixels = pixelsOf(self.object());
        if (!pixels || pixels->disposed || pixels->image.isNull())
            invalid(m);
        return *pixels;
    };
    auto sourceArg = [](Machine& m, const Value& v, const char* name) -> BitmapPixels& {
        if (v.isNullish())
            nullParameter(m, name);
        auto pixels = pixelsOf(v.object());
        if (!pixels || pixels->disposed || pixels->image.isNull())
            invalid(m);
        return *pixels;
    };

    m_bitmapDataClass = m.defineClass(QStringLiteral("flash.display"), QStringLiteral("BitmapData"), m.builtins().object,
        InstanceKind::Plain, [this](Machine& m, const Value& self, Args args) {
            Object* o = self.object();
            if (!o)
                return Value::undefined();
            auto pixels = std::make_shared<BitmapPixels>();
            pixels->transparent = args.size() < 3 || m.toBoolean(args[2]);
            // A class bound to a bitmap of the movie takes its image; the
            // sizes passed to the constructor are then ignored.
            if (const BitmapDef* def = boundBitmap(o->classObject())) {
                pixels->image = def->image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            } else {
                const int width = intArg(m, args, 0);
                const int height = intArg(m, args, 1);
                if (width <= 0 || height <= 0 || width > MaxBitmapSide || height > MaxBitmapSide
                    || qint64(width) * height > MaxBitmapPixels)
                    invalid(m);
                const std::uint32_t fill = args.size() > 3 ? toUint32(m.toNumber(args[3])) : 0xffffffffu;
                m.chargeMemory(std::size_t(width) * std::size_t(height) * 4);
                pixels->image = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
                if (pixels->image.isNull())
                    invalid(m);
                pixels->image.fill(qPremultiply(QRgb(pixels->transparent ? fill : (fill | 0xff000000u))));
            }
            o->host = pixels;
            o->hostBytes = std::size_t(pixels->image.sizeInBytes());
            hiddenSet(o, QStringLiteral(" bitmapData"), Value::boolean(true));
            return Value::undefined();
        });
    ClassObject* cls = m_bitmapDataClass;
    cls->sealed = true;

    m.addGetter(cls, QStringLiteral("width"),
        [live](Machine& m, const Value& self, Args) { return Value::number(live(m, self).image.width()); });
    m.addGetter(cls, QStringLiteral("height"),
        [live](Machine& m, const Value& self, Args) { return Value::number(live(m, self).image.height()); });
    m.addGetter(cls, QStringLiteral("transparent"),
        [live](Machine& m, const Value& self, Args) { return Value::boolean(live(m, self).transparent); });
    m.addGetter(cls, QStringLiteral("rect"), [live](Machine& m, const Value& self, Args) {
        const BitmapPixels& p = live(m, self);
        return makeRectangle(m, 0, 0, p.image.width(), p.image.height());
    });

    m.addMethod(cls, QStringLiteral("getPixel"), [live](Machine& m, const Value& self, Args args) {
        const BitmapPixels& p = live(m, self);
        return Value::number(readPixel32(p, intArg(m, args, 0), intArg(m, args, 1)) & 0xffffffu);
    }, 2);
    m.addMethod(cls, QStringLiteral("getPixel32"), [live](Machine& m, const Value& self, Args args) {
        const BitmapPixels& p = live(m, self);
        return Value::number(readPixel32(p, intArg(m, args, 0), intArg(m, args, 1)));
    }, 2);
    // setPixel keeps the alpha the pixel had.
    m.addMethod(cls, QStringLiteral("setPixel"), [live](Machine& m, const Value& self, Args args) {
        BitmapPixels& p = live(m, self);
        const int x = intArg(m, args, 0), y = intArg(m, args, 1);
        const std::uint32_t rgb = toUint32(m.toNumber(arg(args, 2))) & 0xffffffu;
        writePixel32(p, x, y, (readPixel32(p, x, y) & 0xff000000u) | rgb);
        return Value::undefined();
    }, 3);
    m.addMethod(cls, QStringLiteral("setPixel32"), [live](Machine& m, const Value& self, Args args) {
        BitmapPixels& p = live(m, self);
        writePixel32(p, intArg(m, args, 0), intArg(m, args, 1), toUint32(m.toNumber(arg(args, 2))));
        return Value::undefined();
    }, 3);
    m.addMethod(cls, QStringLiteral("fillRect"), [live](Machine& m, const Value& self, Args args) {
        BitmapPixels& p = live(m, self);
        const QRect r = rectArg(m, arg(args, 0), "rect").intersected(p.image.rect());
        const std::uint32_t argb = toUint32(m.toNumber(arg(args, 1)));
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                writePixel32(p, x, y, argb);
        return Value::undefined();
    }, 2);
    // floodFill: the 4-connected area of the colour at (x, y) takes the new one.
    m.addMethod(cls, QStringLiteral("floodFill"), [live](Machine& m, const Value& self, Args args) {
        BitmapPixels& p = live(m, self);
        const int x0 = intArg(m, args, 0), y0 = intArg(m, args, 1);
        if (!p.image.rect().contains(x0, y0))
            return Value::undefined();
        std::uint32_t argb = toUint32(m.toNumber(arg(args, 2)));
        if (!p.transparent)
            argb |= 0xff000000u;
        const std::uint32_t from = readPixel32(p, x0, y0);
        if (from == argb)
            return Value::undefined();
        std::vector<QPoint> todo { QPoint(x0, y0) };
        while (!todo.empty()) {
            const QPoint at = todo.back();
            todo.pop_back();
            if (!p.image.rect().contains(at) || readPixel32(p, at.x(), at.y()) != from)
                continue;
            writePixel32(p, at.x(), at.y(), argb);
            todo.insert(todo.end(), { at + QPoint(1, 0), at - QPoint(1, 0), at + QPoint(0, 1), at - QPoint(0, 1) });
        }
        return Value::undefined();
    }, 3);
    m.addMethod(cls, QStringLiteral("dispose"), [](Machine&, const Value& self, Args) {
        if (auto pixels = pixelsOf(self.object())) {
            self.object()->hostBytes = 0;
            pixels->disposed = true;
            pixels->image = QImage();
        }
        return Value::undefined();
    });
    m.addMethod(cls, QStringLiteral("clone"), [this, live](Machine& m, const Value& self, Args) {
        const BitmapPixels& p = live(m, self);
        Value made = m.constructClass(m_bitmapDataClass,
            std::array { Value::number(1), Value::number(1), Value::boolean(p.transparent) });
        auto copy = pixelsOf(made.object());
        copy->image = p.image.copy();
        return made;
    });
    // lock and unlock only batch redraws, which this player does per frame anyway.
    for (const char* name : { "lock", "unlock" })
        m.addMethod(cls, QLatin1String(name), [](Machine&, const Value&, Args) { return Value::undefined(); });

    // copyPixels(source, sourceRect, destPoint, alphaBitmapData, alphaPoint,
    // mergeAlpha): the source's pixels replace the destination's, or with
    // mergeAlpha are drawn over them.
    m.addMethod(cls, QStringLiteral("copyPixels"), [live, sourceArg](Machine& m, const Value& self, Args args) {
        BitmapPixels& p = live(m, self);
        const BitmapPixels& source = sourceArg(m, arg(args, 0), "sourceBitmapData");
        QRect from = rectArg(m, arg(args, 1), "sourceRect");
        double px = 0, py = 0;
        if (arg(args, 2).isNullish())
            nullParameter(m, "destPoint");
        readPoint(m, arg(args, 2), px, py);
        const bool merge = args.size() > 5 && m.toBoolean(args[5]);
        const QImage src = source.image.copy(); // the source may be this bitmap
        const int dx = toInt32(px) - from.x(), dy = toInt32(py) - from.y();
        from = from.intersected(src.rect());
        for (int y = from.top(); y <= from.bottom(); ++y) {
            for (int x = from.left(); x <= from.right(); ++x) {
                const int tx = x + dx, ty = y + dy;
                if (!p.image.rect().contains(tx, ty))
                    continue;
                const QRgb s = reinterpret_cast<const QRgb*>(src.constScanLine(y))[x];
                QRgb& d = reinterpret_cast<QRgb*>(p.image.scanLine(ty))[tx];
                if (!merge || qAlpha(s) == 255) {
                    d = source.transparent ? s : (s | 0xff000000u);
                } else {
                    const int inv = 255 - qAlpha(s);
                    auto over = [inv](int sc, int dc) { return std::min(255, sc + (dc * inv + 127) / 255); };
                    d = qRgba(over(qRed(s), qRed(d)), over(qGreen(s), qGreen(d)), over(qBlue(s), qBlue(d)),
                        over(qAlpha(s), qAlpha(d)));
                }
                if (!p.transparent)
                    d |= 0xff000000u;
            }
        }
        return Value::undefined();
    }, 3);

    m.addMethod(cls, QStringLiteral("colorTransform"), [live](Machine& m, const Value& self, Args args) {
        BitmapPixels& p = live(m, self);
        const QRect r = rectArg(m, arg(args, 0), "rect").intersected(p.image.rect());
        ColorTransform cx;
        if (arg(args, 1).isNullish())
            nullParameter(m, "colorTransform");
        readColorTransform(m, arg(args, 1), cx);
        auto channel = [](double v, double mul, double add) {
            return std::clamp(int(std::floor(v * mul + add)), 0, 255);
        };
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                const std::uint32_t c = readPixel32(p, x, y);
                const std::uint32_t out = (std::uint32_t(channel(qAlpha(c), cx.aMul, cx.aAdd)) << 24)
                    | (std::uint32_t(channel(qRed(c), cx.rMul, cx.rAdd)) << 16)
                    | (std::uint32_t(channel(qGreen(c), cx.gMul, cx.gAdd)) << 8) | std::uint32_t(channel(qBlue(c), cx.bMul, cx.bAdd));
                writePixel32(p, x, y, out);
            }
        }
        return Value::undefined();
    }, 2);

    // hitTest(firstPoint, firstAlphaThreshold, secondObject, secondPoint,
    // secondAlphaThreshold): this bitmap stands at firstPoint; a pixel hits
    // when its alpha reaches the threshold (a threshold of 0 still needs some
    // alpha). The second object is a Point, a Rectangle, or a BitmapData (or
    // Bitmap) standing at secondPoint whose pixels must hit at the same place.
    m.addMethod(cls, QStringLiteral("hitTest"), [this, live](Machine& m, const Value& self, Args args) {
        const BitmapPixels& p = live(m, self);
        double fx = 0, fy = 0;
        if (arg(args, 0).isNullish())
            nullParameter(m, "firstPoint");
        readPoint(m, arg(args, 0), fx, fy);
        const QPoint first(toInt32(fx), toInt32(fy));
        auto threshold = [&](std::size_t i, std::uint32_t fallback) {
            return std::max<std::uint32_t>(1, i < args.size() ? toUint32(m.toNumber(args[i])) & 0xff : fallback);
        };
        const std::uint32_t firstThreshold = threshold(1, 0);
        auto hits = [](const BitmapPixels& b, int x, int y, std::uint32_t limit) { return (readPixel32(b, x, y) >> 24) >= limit; };
        const Value second = arg(args, 2);
        Object* o = second.object();
        auto wrongType = [&m]() {
            m.throwError(ErrorClass::ArgumentError, 2005, QStringLiteral("Parameter 2 is of the incorrect type. Should be type BitmapData."));
        };
        if (!o)
            wrongType();
        double x = 0, y = 0, w = 0, h = 0;
        if (readPoint(m, second, x, y)) {
            const QPoint at = QPoint(toInt32(x), toInt32(y)) - first;
            return Value::boolean(p.image.rect().contains(at) && hits(p, at.x(), at.y(), firstThreshold));
        }
        if (readRectangle(m, second, x, y, w, h)) {
            const QRect area = QRect(toInt32(x), toInt32(y), std::max(0, toInt32(w)), std::max(0, toInt32(h)))
                                   .translated(-first)
                                   .intersected(p.image.rect());
            for (int py = area.top(); py <= area.bottom(); ++py)
                for (int px = area.left(); px <= area.right(); ++px)
                    if (hits(p, px, py, firstThreshold))
                        return Value::boolean(true);
            return Value::boolean(false);
        }
        std::shared_ptr<BitmapPixels> other = pixelsOf(o);
        if (!other && m_bitmapClass && m.isType(second, m_bitmapClass))
            other = pixelsOf(hiddenGet(o, QStringLiteral(" bitmapDataObject"), Value::null()).object());
        if (!other)
            wrongType();
        if (other->disposed || other->image.isNull())
            invalid(m);
        if (arg(args, 3).isNullish())
            nullParameter(m, "secondBitmapDataPoint");
        double sx = 0, sy = 0;
        readPoint(m, arg(args, 3), sx, sy);
        const QPoint secondAt(toInt32(sx), toInt32(sy));
        const std::uint32_t secondThreshold = threshold(4, 1);
        const QRect overlap = p.image.rect().translated(first).intersected(other->image.rect().translated(secondAt));
        for (int py = overlap.top(); py <= overlap.bottom(); ++py)
            for (int px = overlap.left(); px <= overlap.right(); ++px)
                if (hits(p, px - first.x(), py - first.y(), firstThreshold)
                    && hits(*other, px - secondAt.x(), py - secondAt.y(), secondThreshold))
                    return Value::boolean(true);
        return Value::boolean(false);
    }, 3);

    installBitmapDataTransfers(cls);
}

const BitmapDef* StageScripts::boundBitmap(ClassObject* cls)
{
    Machine& m = *m_machine;
    for (; cls; cls = cls->base) {
        for (auto it = m_symbolClasses.constBegin(); it != m_symbolClasses.constEnd(); ++it) {
            if (it.key() == 0 || m.findClass(it.value()) != cls)
                continue;
            const Character* c = m_stage.movie().character(it.key());
            if (c && c->kind == CharacterKind::Bitmap)
                return static_cast<const BitmapDef*>(c);
        }
    }
    return nullptr;
}

} // namespace swf::avm2
