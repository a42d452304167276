#include "swf/avm1/stage/BitmapDataObject.h"

#include "swf/movie/Movie.h"
#include "swf/movie/Shapes.h"
#include "swf/avm1/stage/ClipDrawing.h"
#include "swf/avm1/stage/SpriteClip.h"
#include "swf/avm1/stage/StageButtonObject.h"
#include "swf/avm1/stage/TextFieldObject.h"
#include "swf/runtime/DisplayRasterizer.h"
#include "swf/runtime/EditTextInstance.h"
#include "swf/runtime/ScriptBitmapInstance.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"

#include <QPainter>

#include <cmath>

namespace swf::avm1 {

namespace {

// The deepest script depth a bitmap may be attached at.
constexpr double MaxAttachDepth = 1048575;

QRgb premultiplied(uint32_t argb, bool transparent)
{
    if (!transparent)
        argb |= 0xff000000u;
    return qPremultiply(QRgb(argb));
}

BitmapDataObject* bitmapOf(const CallArgs& a)
{
    return dynamic_cast<BitmapDataObject*>(a.thisObject());
}

Object* newRectangle(Interpreter& vm, double x, double y, double w, double h)
{
    Value ctor = vm.getMember(Value(flashPackage(vm, QStringLiteral("geom"))), QStringLiteral("Rectangle"));
    return vm.construct(ctor, { x, y, w, h }).asObject();
}

QRect rectFromObject(Interpreter& vm, Object* o)
{
    auto n = [&](const char* name) { return clampToInt(numberMember(vm, o, QString::fromLatin1(name), 0)); };
    return QRect(n("x"), n("y"), n("width"), n("height"));
}

// The display object a script value stands for: a clip, a button or a text
// field still on the stage; null for anything else.
const DisplayObject* displayObjectOf(const Value& v)
{
    Object* o = v.asObject();
    if (auto* clip = dynamic_cast<SpriteClip*>(o))
        return clip->sprite();
    if (auto* button = dynamic_cast<StageButtonObject*>(o))
        return button->button();
    if (auto* field = dynamic_cast<TextFieldObject*>(o))
        return field->field();
    return nullptr;
}

// A flash.geom.ColorTransform (or any object shaped like it); offsets are in 0..255 units.
ColorTransform colorTransformFromObject(Interpreter& vm, Object* o)
{
    ColorTransform cx;
    if (!o)
        return cx;
    auto n = [&](const char* name, double fallback) { return numberMember(vm, o, QString::fromLatin1(name), fallback); };
    cx.rMul = n("redMultiplier", 1);
    cx.gMul = n("greenMultiplier", 1);
    cx.bMul = n("blueMultiplier", 1);
    cx.aMul = n("alphaMultiplier", 1);
    cx.rAdd = n("redOffset", 0);
    cx.gAdd = n("greenOffset", 0);
    cx.bAdd = n("blueOffset", 0);
    cx.aAdd = n("alphaOffset", 0);
    return cx;
}

// A copy of premultiplied pixels with `cx` applied to their unpremultiplied colours.
QImage tinted(const QImage& image, const ColorTransform& cx)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            QRgb p = qUnpremultiply(row[x]);
            Rgba c = cx.apply(Rgba { std::uint8_t(qRed(p)), std::uint8_t(qGreen(p)), std::uint8_t(qBlue(p)), std::uint8_t(qAlpha(p)) });
            row[x] = qPremultiply(qRgba(c.r, c.g, c.b, c.a));
        }
    }
    return out;
}

} // namespace

size_t BitmapDataObject::heldBytes(const std::function<void(const Value&)>& value) const
{
    const size_t pixels = m_pixels && !m_pixels->disposed ? size_t(m_pixels->image.sizeInBytes()) : 0;
    return Object::heldBytes(value) + pixels;
}

std::shared_ptr<BitmapPixels> BitmapDataObject::makePixels(int width, int height, bool transparent, uint32_t argb)
{
    if (width < 1 || height < 1 || width > MaxSide || height > MaxSide)
        return nullptr;
    auto pixels = std::make_shared<BitmapPixels>();
    pixels->transparent = transparent;
    pixels->image = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    if (pixels->image.isNull())
        return nullptr;
    pixels->image.fill(premultiplied(argb, transparent));
    return pixels;
}

uint32_t BitmapDataObject::pixel32(const BitmapPixels& pixels, int x, int y)
{
    if (pixels.disposed || x < 0 || y < 0 || x >= pixels.image.width() || y >= pixels.image.height())
        return 0;
    QRgb p = reinterpret_cast<const QRgb*>(pixels.image.constScanLine(y))[x];
    return uint32_t(qUnpremultiply(p));
}

void BitmapDataObject::setPixel32(BitmapPixels& pixels, int x, int y, uint32_t argb)
{
    if (pixels.disposed || x < 0 || y < 0 || x >= pixels.image.width() || y >= pixels.image.height())
        return;
    reinterpret_cast<QRgb*>(pixels.image.scanLine(y))[x] = premultiplied(argb, pixels.transparent);
}

bool BitmapDataObject::getVirtual(Interpreter& vm, const QString& name, Value& out)
{
    const bool ok = usable();
    if (name == QLatin1String("width")) {
        out = Value(ok ? double(m_pixels->image.width()) : -1.0);
    } else if (name == QLatin1String("height")) {
        out = Value(ok ? double(m_pixels->image.height()) : -1.0);
    } else if (name == QLatin1String("transparent")) {
        out = ok ? Value(m_pixels->transparent) : Value(-1.0);
    } else if (name == QLatin1String("rectangle")) {
        out = ok ? Value(newRectangle(vm, 0, 0, m_pixels->image.width(), m_pixels->image.height())) : Value(-1.0);
    } else {
        return false;
    }
    return true;
}

bool BitmapDataObject::hasVirtual(Interpreter&, const QString& name)
{
    return name == QLatin1String("width") || name == QLatin1String("height") || name == QLatin1String("transparent")
        || name == QLatin1String("rectangle");
}

std::shared_ptr<BitmapPixels> bitmapPixelsOf(const Value& v)
{
    auto* o = dynamic_cast<BitmapDataObject*>(v.asObject());
    return o && o->usable() ? o->pixels() : nullptr;
}

static Value bitmapDataGetPixel(Interpreter& vm, CallArgs& a)
{
    auto* b = bitmapOf(a);
    if (!b || !b->usable())
        return Value(-1.0);
    uint32_t p = BitmapDataObject::pixel32(*b->pixels(), clampToInt(vm.toNumber(a.arg(0))), clampToInt(vm.toNumber(a.arg(1))));
    return Value(double(p & 0xffffff));
}

static Value bitmapDataGetPixel32(Interpreter& vm, CallArgs& a)
{
    auto* b = bitmapOf(a);
    if (!b || !b->usable())
        return Value(-1.0);
    uint32_t p = BitmapDataObject::pixel32(*b->pixels(), clampToInt(vm.toNumber(a.arg(0))), clampToInt(vm.toNumber(a.arg(1))));
    return Value(double(int32_t(p))); // a signed 32-bit number, as scripts of this era see it
}

static Value bitmapDataSetPixel(Interpreter& vm, CallArgs& a)
{
    auto* b = bitmapOf(a);
    if (!b || !b->usable())
        return Value();
    int x = clampToInt(vm.toNumber(a.arg(0))), y = clampToInt(vm.toNumber(a.arg(1)));
    uint32_t rgb = toUint32(vm.toNumber(a.arg(2))) & 0xffffff;
    BitmapPixels& pixels = *b->pixels();
    uint32_t alpha = BitmapDataObject::pixel32(pixels, x, y) & 0xff000000u;
    BitmapDataObject::setPixel32(pixels, x, y, alpha | rgb);
    return Value();
}

static Value bitmapDataSetPixel32(Interpreter& vm, CallArgs& a)
{
    auto* b = bitmapOf(a);
    if (b && b->usable())
        BitmapDataObject::setPixel32(*b->pixels(), clampToInt(vm.toNumber(a.arg(0))), clampToInt(vm.toNumber(a.arg(1))),
            toUint32(vm.toNumber(a.arg(2))));
    return Value();
}

static Value bitmapDataFillRect(Interpreter& vm, CallArgs& a)
{
    auto* b = bitmapOf(a);
    Object* r = a.arg(0).asObject();
    if (!b || !b->usable() || !r)
        return Value();
    BitmapPixels& pixels = *b->pixels();
    QRect area = rectFromObject(vm, r) & pixels.image.rect();
    if (area.isEmpty())
        return Value();
    const QRgb color = premultiplied(toUint32(vm.toNumber(a.arg(1))), pixels.transparent);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(pixels.image.scanLine(y));
        std::fill(row + area.left(), row + area.right() + 1, color);
    }
    return Value();
}

static Value bitmapDataCopyPixels(Interpreter& vm, CallArgs& a)
{
    auto* b = bitmapOf(a);
    std::shared_ptr<BitmapPixels> source = bitmapPixelsOf(a.arg(0));
    Object* r = a.arg(1).asObject();
    Object* at = a.arg(2).asObject();
    if (!b || !b->usable() || !source || !r || !at)
        return Value();
    QRect from = rectFromObject(vm, r) & source->image.rect();
    QPoint to(clampToInt(numberMember(vm, at, QStringLiteral("x"), 0)), clampToInt(numberMember(vm, at, QStringLiteral("y"), 0)));
    QImage copy = source->image.copy(from); // the source may be this bitmap
    QPainter p(&b->pixels()->image);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(to, copy);
    return Value();
}

static Value bitmapDataClone(Interpreter& vm, CallArgs& a)
{
    auto* b = bitmapOf(a);
    if (!b)
        return Value();
    std::shared_ptr<BitmapPixels> copy;
    if (b->usable() && vm.tryChargeMemory(size_t(b->pixels()->image.sizeInBytes()), QStringLiteral("a bitmap's copy")))
        copy = std::make_shared<BitmapPixels>(*b->pixels());
    return Value(static_cast<Object*>(vm.make<BitmapDataObject>(b->proto(), vm.caseSensitive(), std::move(copy))));
}

static Value bitmapDataDispose(Interpreter&, CallArgs& a)
{
    auto* b = bitmapOf(a);
    if (b && b->pixels()) {
        // Fills that draw these pixels stop showing them.
        b->pixels()->disposed = true;
        b->pixels()->image = QImage();
    }
    return Value();
}

// draw(source, matrix, colorTransform, blendMode, clipRect, smoothing): the
// source (a clip, button or text field drawn in its own space, its own
// matrix left out; or another bitmap's pixels) through `matrix` (pixels)
// onto these pixels. blendMode is not honoured: every source draws as
// "normal", over what the bitmap holds.
static void drawInto(Interpreter& vm, CallArgs& a, Stage& stage)
{
    auto* b = bitmapOf(a);
    if (!b || !b->usable())
        return;
    BitmapPixels& pixels = *b->pixels();
    const Matrix m = matrixFromObject(vm, a.arg(1).asObject());
    const QTransform matrix(m.a, m.b, m.c, m.d, m.tx, m.ty);
    const ColorTransform cx = colorTransformFromObject(vm, a.arg(2).asObject());
    QRect clip = pixels.image.rect();
    if (Object* r = a.arg(4).asObject())
        clip &= rectFromObject(vm, r);
    if (clip.isEmpty())
        return;
    const bool smoothing = vm.toBoolean(a.arg(5));

    if (std::shared_ptr<BitmapPixels> source = bitmapPixelsOf(a.arg(0))) {
        // A copy first: the source may be this very bitmap.
        QImage image = cx.isIdentity() ? source->image.copy() : tinted(source->image, cx);
        QPainter p(&pixels.image);
        p.setClipRect(clip);
        p.setRenderHint(QPainter::SmoothPixmapTransform, smoothing);
        p.setTransform(matrix);
        p.drawImage(0, 0, image);
    } else if (const DisplayObject* object = displayObjectOf(a.arg(0))) {
        DisplayRasterizer* rasterizer = stage.rasterizer();
        if (!rasterizer)
            return;
        // The object's space is in twips, the matrix maps pixels.
        rasterizer->rasterize(*object, pixels.image, QTransform::fromScale(1 / 20.0, 1 / 20.0) * matrix, cx, clip, smoothing);
    } else {
        return;
    }
    if (!pixels.transparent) {
        // An opaque bitmap stays opaque whatever was drawn on it.
        for (int y = clip.top(); y <= clip.bottom(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(pixels.image.scanLine(y));
            for (int x = clip.left(); x <= clip.right(); ++x)
                row[x] = qUnpremultiply(row[x]) | 0xff000000u;
        }
    }
}

// clip.attachBitmap(bitmap, depth, pixelSnapping, smoothing): shows the
// bitmap's pixels in the clip at the script depth, replacing what was there.
static Value movieClipAttachBitmap(Interpreter& vm, CallArgs& a)
{
    auto* clip = dynamic_cast<SpriteClip*>(a.thisObject());
    SpriteInstance* sprite = clip ? clip->sprite() : nullptr;
    std::shared_ptr<BitmapPixels> pixels = bitmapPixelsOf(a.arg(0));
    if (!sprite || !pixels || a.args.size() < 2)
        return Value();
    const double depth = std::trunc(vm.toNumber(a.arg(1)));
    if (!std::isfinite(depth) || depth < -SpriteInstance::ScriptDepthOffset || depth > MaxAttachDepth)
        return Value();
    sprite->attachBitmapChild(std::move(pixels), vm.toBoolean(a.arg(3)), int(depth) + SpriteInstance::ScriptDepthOffset);
    return Value();
}

const NativeMethod clipBitmapMethods[] = {
    { "attachBitmap", movieClipAttachBitmap, DontEnum, 8 },
};

const NativeMethod bitmapDataMethods[] = {
    { "getPixel", bitmapDataGetPixel },
    { "getPixel32", bitmapDataGetPixel32 },
    { "setPixel", bitmapDataSetPixel },
    { "setPixel32", bitmapDataSetPixel32 },
    { "fillRect", bitmapDataFillRect },
    { "copyPixels", bitmapDataCopyPixels },
    { "clone", bitmapDataClone },
    { "dispose", bitmapDataDispose },
};

void installBitmapData(Interpreter& vm, Object* package, Stage& stage)
{
    const Movie& movie = stage.movie();
    Object* proto = vm.newObject();
    // The constructor and loadBitmap stay closures: both make bitmaps with
    // this very prototype (and loadBitmap reads this movie's exports).
    auto* ctor = vm.newConstructor(QStringLiteral("BitmapData"), [proto](Interpreter& vm, CallArgs& a) -> Value {
        Object* self = a.thisObject();
        int width = clampToInt(vm.toNumber(a.arg(0)));
        int height = clampToInt(vm.toNumber(a.arg(1)));
        bool transparent = a.args.size() > 2 ? vm.toBoolean(a.arg(2)) : true;
        uint32_t fill = a.args.size() > 3 ? toUint32(vm.toNumber(a.arg(3))) : 0xffffffffu;
        // Pixels past the memory budget are refused as a size out of range
        // is: the bitmap is made without them (its width and height -1).
        const bool sized = width >= 1 && height >= 1 && width <= BitmapDataObject::MaxSide && height <= BitmapDataObject::MaxSide;
        const bool fits = !sized
            || vm.tryChargeMemory(size_t(width) * size_t(height) * 4, QStringLiteral("a %1x%2 bitmap").arg(width).arg(height));
        auto* made = vm.make<BitmapDataObject>(self ? self->proto() : proto, vm.caseSensitive(),
            fits ? BitmapDataObject::makePixels(width, height, transparent, fill) : nullptr);
        return Value(static_cast<Object*>(made));
    }, proto);
    package->define(QStringLiteral("BitmapData"), Value(static_cast<Object*>(ctor)), 0);

    vm.defineMethods(proto, bitmapDataMethods);
    if (Object* clipProto = vm.clipPrototype())
        vm.defineMethods(clipProto, clipBitmapMethods);
    // draw reaches the stage for its drawing port, so it is bound here.
    vm.defineMethod(proto, QStringLiteral("draw"), [&stage](Interpreter& vm, CallArgs& a) -> Value {
        drawInto(vm, a, stage);
        return Value();
    });
    vm.defineMethod(ctor, QStringLiteral("loadBitmap"), [proto, &movie](Interpreter& vm, CallArgs& a) -> Value {
        std::uint16_t id = movie.exports().characterFor(vm.toString(a.arg(0)));
        const auto* bitmap = id ? movie.characterAs<BitmapDef>(id, CharacterKind::Bitmap) : nullptr;
        if (!bitmap || bitmap->image.isNull() || bitmap->image.width() > BitmapDataObject::MaxSide
            || bitmap->image.height() > BitmapDataObject::MaxSide)
            return Value();
        auto pixels = std::make_shared<BitmapPixels>();
        pixels->image = bitmap->image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        pixels->transparent = bitmap->image.hasAlphaChannel();
        return Value(static_cast<Object*>(vm.make<BitmapDataObject>(proto, vm.caseSensitive(), std::move(pixels))));
    });
}

} // namespace swf::avm1
