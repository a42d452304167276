#include "swf/avm1/stage/ClipDrawing.h"

#include "swf/runtime/Drawing.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/SpriteClip.h"
#include "swf/avm1/stage/StageScripts.h"

#include <cmath>

namespace swf::avm1 {

namespace {

// Gradients hold at most this many colours, as in movies of version 8.
constexpr int MaxGradientStops = 15;

SpriteInstance* spriteOf(const CallArgs& a)
{
    auto* clip = dynamic_cast<SpriteClip*>(a.thisObject());
    return clip ? clip->sprite() : nullptr;
}

Drawing& drawingOf(SpriteInstance& sprite)
{
    if (!sprite.drawing())
        sprite.setDrawing(std::make_shared<Drawing>());
    return *sprite.drawing();
}

Rgba colorOf(Interpreter& vm, const Value& rgb, double alphaPercent)
{
    uint32_t c = toUint32(vm.toNumber(rgb));
    if (!std::isfinite(alphaPercent))
        alphaPercent = 0;
    int alpha = int(std::lround(std::clamp(alphaPercent, 0.0, 100.0) * 255 / 100));
    return Rgba { uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(alpha) };
}

double pixelsToTwips(Interpreter& vm, const Value& v)
{
    return vm.toNumber(v) * 20;
}

// The length of an array-like value, through its `length` member.
int lengthOf(Interpreter& vm, Object* o)
{
    if (!o)
        return 0;
    double n = vm.toNumber(vm.getMember(Value(o), QStringLiteral("length")));
    return std::isfinite(n) && n > 0 ? clampToInt(n) : 0;
}

} // namespace

double numberMember(Interpreter& vm, Object* o, const QString& name, double fallback)
{
    if (!o)
        return fallback;
    Value v = vm.getMember(Value(o), name);
    return v.isUndefined() ? fallback : vm.toNumber(v);
}

Matrix matrixFromObject(Interpreter& vm, Object* o)
{
    Matrix m;
    if (!o)
        return m;
    m.a = numberMember(vm, o, QStringLiteral("a"), 1);
    m.b = numberMember(vm, o, QStringLiteral("b"), 0);
    m.c = numberMember(vm, o, QStringLiteral("c"), 0);
    m.d = numberMember(vm, o, QStringLiteral("d"), 1);
    m.tx = numberMember(vm, o, QStringLiteral("tx"), 0);
    m.ty = numberMember(vm, o, QStringLiteral("ty"), 0);
    return m;
}

Matrix gradientMatrixFromObject(Interpreter& vm, Object* o)
{
    Matrix m;
    if (!o)
        return m;
    // The gradient square is 32768 units across, 1638.4 pixels in script terms.
    constexpr double SquarePixels = 1638.4;
    if (vm.toString(vm.getMember(Value(o), QStringLiteral("matrixType"))) == QLatin1String("box")) {
        double x = numberMember(vm, o, QStringLiteral("x"), 0), y = numberMember(vm, o, QStringLiteral("y"), 0);
        double w = numberMember(vm, o, QStringLiteral("w"), 0), h = numberMember(vm, o, QStringLiteral("h"), 0);
        double r = numberMember(vm, o, QStringLiteral("r"), 0);
        m.a = std::cos(r) * w / SquarePixels;
        m.b = std::sin(r) * h / SquarePixels;
        m.c = -std::sin(r) * w / SquarePixels;
        m.d = std::cos(r) * h / SquarePixels;
        m.tx = (x + w / 2) * 20;
        m.ty = (y + h / 2) * 20;
        return m;
    }
    if (vm.hasProperty(o, QStringLiteral("tx")) || vm.hasProperty(o, QStringLiteral("ty"))) {
        m = matrixFromObject(vm, o);
        m.tx *= 20;
        m.ty *= 20;
        return m;
    }
    // The older nine-member form maps a unit square centred on the origin:
    // x' = a*u + d*v + g, y' = b*u + e*v + h.
    constexpr double UnitToSquare = 20.0 / 32768;
    m.a = numberMember(vm, o, QStringLiteral("a"), 0) * UnitToSquare;
    m.b = numberMember(vm, o, QStringLiteral("b"), 0) * UnitToSquare;
    m.c = numberMember(vm, o, QStringLiteral("d"), 0) * UnitToSquare;
    m.d = numberMember(vm, o, QStringLiteral("e"), 0) * UnitToSquare;
    m.tx = numberMember(vm, o, QStringLiteral("g"), 0) * 20;
    m.ty = numberMember(vm, o, QStringLiteral("h"), 0) * 20;
    return m;
}

std::optional<FillStyle> gradientFromArguments(Interpreter& vm, const CallArgs& a)
{
    const QString type = vm.toString(a.arg(0));
    FillStyle fill;
    if (type == QLatin1String("linear"))
        fill.type = FillStyle::Type::Linear;
    else if (type == QLatin1String("radial"))
        fill.type = FillStyle::Type::Radial;
    else
        return std::nullopt; // the names are case-sensitive
    Object* colors = a.arg(1).asObject();
    Object* alphas = a.arg(2).asObject();
    Object* ratios = a.arg(3).asObject();
    if (!colors || !alphas || !ratios)
        return std::nullopt;
    int count = std::min({ lengthOf(vm, colors), lengthOf(vm, alphas), lengthOf(vm, ratios) });
    count = std::min(count, MaxGradientStops);
    if (count == 0) {
        // No colours at all: the player fills black.
        fill.type = FillStyle::Type::Solid;
        fill.color = Rgba { 0, 0, 0, 255 };
        return fill;
    }
    for (int i = 0; i < count; ++i) {
        const QString index = QString::number(i);
        double ratio = vm.toNumber(vm.getMember(Value(ratios), index));
        if (std::isnan(ratio))
            ratio = 0;
        if (ratio < 0 || ratio >= 256)
            return std::nullopt;
        GradientStop stop;
        stop.ratio = uint8_t(ratio);
        stop.color = colorOf(vm, vm.getMember(Value(colors), index), vm.toNumber(vm.getMember(Value(alphas), index)));
        fill.gradient.stops.push_back(stop);
    }
    fill.matrix = gradientMatrixFromObject(vm, a.arg(4).asObject());
    const QString spread = vm.toString(a.arg(5));
    fill.gradient.spread = spread == QLatin1String("reflect") ? 1 : spread == QLatin1String("repeat") ? 2 : 0;
    fill.gradient.interpolation = vm.toString(a.arg(6)) == QLatin1String("linearRGB") ? 1 : 0;
    if (fill.type == FillStyle::Type::Radial && a.args.size() > 7) {
        double focal = vm.toNumber(a.arg(7));
        if (std::isfinite(focal) && focal != 0) {
            fill.type = FillStyle::Type::Focal;
            fill.gradient.focalPoint = std::clamp(focal, -1.0, 1.0);
        }
    }
    return fill;
}

namespace {

// The drawing a fill or line style call sets a style on. With no first
// argument the call ends that style instead (`stop`) and there is nothing
// to set; null then, and when `this` is no clip.
Drawing* styleTarget(const CallArgs& a, void (Drawing::*stop)())
{
    SpriteInstance* s = spriteOf(a);
    if (!s)
        return nullptr;
    Drawing& d = drawingOf(*s);
    if (a.arg(0).isUndefined()) {
        (d.*stop)();
        return nullptr;
    }
    return &d;
}

} // namespace

static Value clipFiltersGet(Interpreter& vm, CallArgs& a)
{
    SpriteInstance* s = spriteOf(a);
    if (!s)
        return Value();
    ArrayObject* list = vm.newArray();
    for (const Filter& f : s->filters()) {
        if (Object* o = objectFromFilter(vm, f))
            list->elements.push_back(Value(o));
    }
    return Value(static_cast<Object*>(list));
}

static Value clipFiltersSet(Interpreter& vm, CallArgs& a)
{
    SpriteInstance* s = spriteOf(a);
    if (!s)
        return Value();
    std::vector<Filter> filters;
    Object* list = a.arg(0).asObject();
    int count = std::min(lengthOf(vm, list), 64); // more than any movie stacks
    for (int i = 0; i < count; ++i) {
        if (auto f = filterFromObject(vm, vm.getMember(Value(list), QString::number(i)).asObject()))
            filters.push_back(*f);
    }
    s->setFilters(std::move(filters));
    return Value();
}

static Value clipDrawingClear(Interpreter&, CallArgs& a)
{
    if (SpriteInstance* s = spriteOf(a); s && s->drawing())
        s->drawing()->clear();
    return Value();
}

static Value clipDrawingMoveTo(Interpreter& vm, CallArgs& a)
{
    if (SpriteInstance* s = spriteOf(a); s && a.args.size() >= 2) {
        Drawing& d = drawingOf(*s);
        const int before = d.elementCount();
        d.moveTo(QPointF(pixelsToTwips(vm, a.arg(0)), pixelsToTwips(vm, a.arg(1))));
        vm.chargeMemory(size_t(d.elementCount() - before) * SpriteClip::DrawingElementBytes);
    }
    return Value();
}

static Value clipDrawingLineTo(Interpreter& vm, CallArgs& a)
{
    if (SpriteInstance* s = spriteOf(a); s && a.args.size() >= 2) {
        Drawing& d = drawingOf(*s);
        const int before = d.elementCount();
        d.lineTo(QPointF(pixelsToTwips(vm, a.arg(0)), pixelsToTwips(vm, a.arg(1))));
        vm.chargeMemory(size_t(d.elementCount() - before) * SpriteClip::DrawingElementBytes);
    }
    return Value();
}

static Value clipDrawingCurveTo(Interpreter& vm, CallArgs& a)
{
    if (SpriteInstance* s = spriteOf(a); s && a.args.size() >= 4) {
        QPointF control(pixelsToTwips(vm, a.arg(0)), pixelsToTwips(vm, a.arg(1)));
        QPointF to(pixelsToTwips(vm, a.arg(2)), pixelsToTwips(vm, a.arg(3)));
        Drawing& d = drawingOf(*s);
        const int before = d.elementCount();
        d.curveTo(control, to);
        vm.chargeMemory(size_t(d.elementCount() - before) * SpriteClip::DrawingElementBytes);
    }
    return Value();
}

static Value clipDrawingEndFill(Interpreter&, CallArgs& a)
{
    if (SpriteInstance* s = spriteOf(a); s && s->drawing())
        s->drawing()->endFill();
    return Value();
}

static Value clipDrawingBeginFill(Interpreter& vm, CallArgs& a)
{
    Drawing* drawing = styleTarget(a, &Drawing::endFill);
    if (!drawing)
        return Value();
    Drawing& d = *drawing;
    DrawingFill fill;
    fill.style.type = FillStyle::Type::Solid;
    fill.style.color = colorOf(vm, a.arg(0), a.args.size() > 1 && !a.arg(1).isUndefined() ? vm.toNumber(a.arg(1)) : 100);
    d.beginFill(fill);
    return Value();
}

static Value clipDrawingBeginGradientFill(Interpreter& vm, CallArgs& a)
{
    SpriteInstance* s = spriteOf(a);
    if (!s)
        return Value();
    Drawing& d = drawingOf(*s);
    std::optional<FillStyle> style = gradientFromArguments(vm, a);
    if (!style) {
        d.endFill();
        return Value();
    }
    d.beginFill(DrawingFill { *style, nullptr });
    return Value();
}

static Value clipDrawingBeginBitmapFill(Interpreter& vm, CallArgs& a)
{
    SpriteInstance* s = spriteOf(a);
    if (!s)
        return Value();
    Drawing& d = drawingOf(*s);
    std::shared_ptr<BitmapPixels> pixels = bitmapPixelsOf(a.arg(0));
    if (!pixels) {
        d.endFill();
        return Value();
    }
    DrawingFill fill;
    fill.style.type = FillStyle::Type::Bitmap;
    Matrix m = matrixFromObject(vm, a.arg(1).asObject());
    // Script matrices place bitmap pixels in clip pixels; fills work in twips.
    fill.style.matrix = Matrix { m.a * 20, m.b * 20, m.c * 20, m.d * 20, m.tx * 20, m.ty * 20 };
    fill.style.repeat = a.args.size() > 2 && !a.arg(2).isUndefined() ? vm.toBoolean(a.arg(2)) : true;
    fill.style.smooth = a.args.size() > 3 && !a.arg(3).isUndefined() ? vm.toBoolean(a.arg(3)) : false;
    fill.bitmap = std::move(pixels);
    d.beginFill(fill);
    return Value();
}

static Value clipDrawingLineStyle(Interpreter& vm, CallArgs& a)
{
    Drawing* drawing = styleTarget(a, &Drawing::clearLineStyle);
    if (!drawing)
        return Value();
    Drawing& d = *drawing;
    LineStyle line;
    double thickness = vm.toNumber(a.arg(0));
    line.width = std::isfinite(thickness) ? std::clamp(thickness, 0.0, 255.0) * 20 : 0;
    line.color = colorOf(vm, a.arg(1), a.args.size() > 2 && !a.arg(2).isUndefined() ? vm.toNumber(a.arg(2)) : 100);
    line.pixelHinting = vm.toBoolean(a.arg(3));
    const QString scaleMode = vm.toString(a.arg(4));
    if (scaleMode == QLatin1String("none")) {
        line.noHScale = line.noVScale = true;
    } else if (scaleMode == QLatin1String("vertical")) {
        line.noVScale = true;
    } else if (scaleMode == QLatin1String("horizontal")) {
        line.noHScale = true;
    }
    const QString caps = vm.toString(a.arg(5));
    line.startCap = line.endCap = caps == QLatin1String("none") ? 1 : caps == QLatin1String("square") ? 2 : 0;
    const QString joint = vm.toString(a.arg(6));
    line.join = joint == QLatin1String("bevel") ? 1 : joint == QLatin1String("miter") ? 2 : 0;
    if (a.args.size() > 7 && !a.arg(7).isUndefined()) {
        double limit = vm.toNumber(a.arg(7));
        line.miterLimit = std::isfinite(limit) ? std::clamp(limit, 1.0, 255.0) : 3;
    }
    d.setLineStyle(line);
    return Value();
}

static Value clipDrawingLineGradientStyle(Interpreter& vm, CallArgs& a)
{
    SpriteInstance* s = spriteOf(a);
    if (!s || !s->drawing())
        return Value();
    if (std::optional<FillStyle> style = gradientFromArguments(vm, a))
        s->drawing()->setLineFill(*style);
    return Value();
}

const NativeMethod clipDrawingMethods[] = {
    { "clear", clipDrawingClear },
    { "moveTo", clipDrawingMoveTo },
    { "lineTo", clipDrawingLineTo },
    { "curveTo", clipDrawingCurveTo },
    { "endFill", clipDrawingEndFill },
    { "beginFill", clipDrawingBeginFill },
    { "beginGradientFill", clipDrawingBeginGradientFill },
    { "beginBitmapFill", clipDrawingBeginBitmapFill },
    { "lineStyle", clipDrawingLineStyle },
    { "lineGradientStyle", clipDrawingLineGradientStyle },
};

void installClipDrawing(Interpreter& vm, Object* proto)
{
    vm.defineMethods(proto, clipDrawingMethods);
    installClipTransform(vm, proto);

    // filters: copies of the clip's filters as script objects, and back.
    auto* getter = vm.newNative(QStringLiteral("filters"), clipFiltersGet);
    auto* setter = vm.newNative(QStringLiteral("filters"), clipFiltersSet);
    proto->define(QStringLiteral("filters"), Value(), DontEnum);
    Property* p = proto->findOwn(QStringLiteral("filters"));
    p->getter = getter;
    p->setter = setter;
}

Object* flashPackage(Interpreter& vm, const QString& name)
{
    // Read the slot itself: a lookup would not see it in older movies, and
    // each package would start a new `flash` object of its own.
    Property* slot = vm.global()->findOwn(QStringLiteral("flash"));
    Object* flash = slot ? slot->value.asObject() : nullptr;
    if (!flash) {
        flash = vm.newObject();
        vm.global()->define(QStringLiteral("flash"), Value(flash), DontEnum);
        // The flash packages came with version 8: older movies see them only
        // once ASSetPropFlags clears the version bit (0x1000) on them.
        if (Property* p = vm.global()->findOwn(QStringLiteral("flash"))) {
            p->versionBits |= 0x1000;
            p->minVersion = 8;
        }
    }
    Property* existing = flash->findOwn(name);
    Object* package = existing ? existing->value.asObject() : nullptr;
    if (!package) {
        package = vm.newObject();
        flash->define(name, Value(package), 0);
    }
    return package;
}

void installDrawingApi(StageScripts& scripts, Interpreter& vm, Object* clipProto)
{
    installClipDrawing(vm, clipProto);
    installFlashGeom(vm, flashPackage(vm, QStringLiteral("geom")));
    installBitmapData(vm, flashPackage(vm, QStringLiteral("display")), scripts.stage());
    installFlashFilters(vm, flashPackage(vm, QStringLiteral("filters")));
}

} // namespace swf::avm1
