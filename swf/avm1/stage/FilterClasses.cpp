// flash.filters for scripts: BlurFilter, DropShadowFilter, GlowFilter,
// BevelFilter and ColorMatrixFilter as objects whose members a clip's
// `filters` property turns into the runtime's filters and back.

#include "swf/avm1/stage/ClipDrawing.h"

#include <cmath>

namespace swf::avm1 {

namespace {

enum FilterType { DropShadow = 0, Blur = 1, Glow = 2, Bevel = 3, GradientGlow = 4, Convolution = 5, ColorMatrix = 6,
    GradientBevel = 7, DisplacementMap = 8 };

// A filter object remembers which class made it; its settings are members,
// or, for the classes whose settings are accessors on the prototype, kept in
// `settings`.
class FilterObject : public Object {
public:
    FilterObject(Object* proto, bool caseSensitive, int type) : Object(Kind::Plain, proto, caseSensitive), type(type) { }
    const int type;
    QHash<QString, Value> settings;

    void markChildren(std::vector<Object*>& stack) override
    {
        Object::markChildren(stack);
        for (const Value& v : std::as_const(settings))
            if (Object* o = v.asObject())
                stack.push_back(o);
    }
};

struct Param {
    const char* name;
    Value fallback;
};

struct FilterClass {
    const char* name;
    int type;
    std::vector<Param> params; // constructor arguments in order
    // The settings are accessors on the prototype (each reads undefined
    // through anything but a filter of the class) rather than members.
    bool accessors = false;
};

const std::vector<FilterClass>& filterClasses()
{
    static const std::vector<FilterClass> classes = {
        { "BlurFilter", Blur, { { "blurX", 4.0 }, { "blurY", 4.0 }, { "quality", 1.0 } } },
        { "DropShadowFilter", DropShadow,
            { { "distance", 4.0 }, { "angle", 45.0 }, { "color", 0.0 }, { "alpha", 1.0 }, { "blurX", 4.0 }, { "blurY", 4.0 },
                { "strength", 1.0 }, { "quality", 1.0 }, { "inner", false }, { "knockout", false }, { "hideObject", false } } },
        { "GlowFilter", Glow,
            { { "color", double(0xff0000) }, { "alpha", 1.0 }, { "blurX", 6.0 }, { "blurY", 6.0 }, { "strength", 2.0 },
                { "quality", 1.0 }, { "inner", false }, { "knockout", false } } },
        { "BevelFilter", Bevel,
            { { "distance", 4.0 }, { "angle", 45.0 }, { "highlightColor", double(0xffffff) }, { "highlightAlpha", 1.0 },
                { "shadowColor", 0.0 }, { "shadowAlpha", 1.0 }, { "blurX", 4.0 }, { "blurY", 4.0 }, { "strength", 1.0 },
                { "quality", 1.0 }, { "type", "inner" }, { "knockout", false } } },
        { "ColorMatrixFilter", ColorMatrix, { { "matrix", Value() } } },
        { "ConvolutionFilter", Convolution,
            { { "matrixX", 0.0 }, { "matrixY", 0.0 }, { "matrix", Value() }, { "divisor", 1.0 }, { "bias", 0.0 },
                { "preserveAlpha", true }, { "clamp", true }, { "color", 0.0 }, { "alpha", 0.0 } },
            true },
        { "DisplacementMapFilter", DisplacementMap,
            { { "mapBitmap", Value() }, { "mapPoint", Value() }, { "componentX", 0.0 }, { "componentY", 0.0 },
                { "scaleX", 0.0 }, { "scaleY", 0.0 }, { "mode", "wrap" }, { "color", 0.0 }, { "alpha", 0.0 } },
            true },
        { "GradientBevelFilter", GradientBevel,
            { { "distance", 4.0 }, { "angle", 45.0 }, { "colors", Value() }, { "alphas", Value() }, { "ratios", Value() },
                { "blurX", 4.0 }, { "blurY", 4.0 }, { "strength", 1.0 }, { "quality", 1.0 }, { "type", "inner" },
                { "knockout", false } },
            true },
        { "GradientGlowFilter", GradientGlow,
            { { "distance", 4.0 }, { "angle", 45.0 }, { "colors", Value() }, { "alphas", Value() }, { "ratios", Value() },
                { "blurX", 4.0 }, { "blurY", 4.0 }, { "strength", 1.0 }, { "quality", 1.0 }, { "type", "outer" },
                { "knockout", false } },
            true },
    };
    return classes;
}

const FilterClass* classOf(int type)
{
    for (const FilterClass& c : filterClasses())
        if (c.type == type)
            return &c;
    return nullptr;
}

double clampNumber(double v, double lo, double hi, double fallback)
{
    return std::isnan(v) ? fallback : std::clamp(v, lo, hi);
}

ArrayObject* identityMatrix(Interpreter& vm)
{
    ArrayObject* m = vm.newArray();
    for (int i = 0; i < 20; ++i)
        m->elements.push_back(Value(i % 6 == 0 ? 1.0 : 0.0));
    return m;
}

// A copy of a colour matrix given by a script: 20 numbers, missing ones 0.
ArrayObject* matrixCopy(Interpreter& vm, const Value& v)
{
    Object* source = v.asObject();
    if (!source)
        return identityMatrix(vm);
    ArrayObject* m = vm.newArray();
    for (int i = 0; i < 20; ++i) {
        double n = vm.toNumber(vm.getMember(v, QString::number(i)));
        m->elements.push_back(Value(std::isfinite(n) ? n : 0.0));
    }
    return m;
}

// Gives `o` the settings of class `c` from constructor arguments, converted
// to the type of each setting. With `keepExisting`, settings `o` already has
// stay (the arguments are still converted, as the player does).
// A setting converted to its type. Blur sizes stay within 0..255 (NaN is
// kept) and the quality is a whole count of passes within 0..15.
Value convertSetting(Interpreter& vm, const Param& p, const Value& v)
{
    if (p.fallback.isBoolean())
        return Value(vm.toBoolean(v));
    if (!p.fallback.isNumber())
        return v;
    double n = vm.toNumber(v);
    const QLatin1String name(p.name);
    if (name == QLatin1String("blurX") || name == QLatin1String("blurY"))
        n = std::isnan(n) ? n : std::clamp(n, 0.0, 255.0);
    else if (name == QLatin1String("quality"))
        n = std::isfinite(n) ? std::clamp(std::trunc(n), 0.0, 15.0) : 0.0;
    return Value(n);
}

// Gives `o` the settings of class `c` from constructor arguments, converted
// to the type of each setting. An argument given as undefined is converted
// like any other; only a missing one takes the default. With `keepExisting`,
// settings `o` already has stay (the arguments are still converted, as the
// player does).
void initFilter(Interpreter& vm, const FilterClass& c, Object* o, const std::vector<Value>& args, bool keepExisting)
{
    auto* fo = c.accessors ? dynamic_cast<FilterObject*>(o) : nullptr;
    for (size_t i = 0; i < c.params.size(); ++i) {
        const Param& p = c.params[i];
        Value v = i < args.size() ? args[i] : p.fallback;
        if (c.type == ColorMatrix && i == 0)
            v = Value(static_cast<Object*>(matrixCopy(vm, v)));
        else
            v = convertSetting(vm, p, v);
        const QString name = QString::fromLatin1(p.name);
        if (fo)
            fo->settings.insert(name, v);
        else if (!keepExisting || !o->findOwn(name))
            o->put(name, v);
    }
}

// The settings of an accessor class: a getter and a setter per setting on
// the prototype, acting on the filter they are read through.
void installSettingAccessors(Interpreter& vm, const FilterClass& c, Object* proto)
{
    for (const Param& param : c.params) {
        const QString name = QString::fromLatin1(param.name);
        const Param* p = &param;
        const int type = c.type;
        proto->define(name, Value(), 0);
        Property* prop = proto->findOwn(name);
        prop->getter = vm.newNative(name, [name, type](Interpreter&, CallArgs& a) -> Value {
            auto* fo = dynamic_cast<FilterObject*>(a.thisObject());
            return fo && fo->type == type ? fo->settings.value(name) : Value();
        });
        prop->setter = vm.newNative(name, [name, type, p](Interpreter& vm, CallArgs& a) -> Value {
            auto* fo = dynamic_cast<FilterObject*>(a.thisObject());
            if (fo && fo->type == type)
                fo->settings.insert(name, convertSetting(vm, *p, a.arg(0)));
            return Value();
        });
    }
}

Object* newFilter(Interpreter& vm, const FilterClass& c, Object* proto, const std::vector<Value>& args)
{
    auto* o = vm.make<FilterObject>(proto, vm.caseSensitive(), c.type);
    initFilter(vm, c, o, args, false);
    return o;
}

Rgba colorWithAlpha(Interpreter& vm, Object* o, const char* color, const char* alpha)
{
    uint32_t c = toUint32(numberMember(vm, o, QString::fromLatin1(color), 0));
    double a = clampNumber(numberMember(vm, o, QString::fromLatin1(alpha), 1), 0, 1, 0);
    return Rgba { uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(std::lround(a * 255)) };
}

} // namespace

std::optional<Filter> filterFromObject(Interpreter& vm, Object* o)
{
    auto* fo = dynamic_cast<FilterObject*>(o);
    // The gradient, convolution and displacement filters are kept as
    // script objects but not drawn.
    if (!fo || fo->type == GradientGlow || fo->type == Convolution || fo->type == GradientBevel
        || fo->type == DisplacementMap)
        return std::nullopt;
    Filter f;
    f.type = fo->type;
    auto number = [&](const char* name, double fallback) { return numberMember(vm, o, QString::fromLatin1(name), fallback); };
    auto flag = [&](const char* name) { return vm.toBoolean(vm.getMember(Value(o), QString::fromLatin1(name))); };
    if (f.type == ColorMatrix) {
        Value m = vm.getMember(Value(o), QStringLiteral("matrix"));
        for (int i = 0; i < 20; ++i) {
            double n = m.isObject() ? vm.toNumber(vm.getMember(m, QString::number(i))) : (i % 6 == 0 ? 1 : 0);
            f.colorMatrix.push_back(float(std::isfinite(n) ? n : 0));
        }
        return f;
    }
    f.blurX = clampNumber(number("blurX", 4), 0, 255, 0);
    f.blurY = clampNumber(number("blurY", 4), 0, 255, 0);
    // Quality is how many blur passes run; none leaves the object sharp.
    f.passes = clampToInt(clampNumber(number("quality", 1), 0, 15, 0));
    if (f.passes == 0)
        f.blurX = f.blurY = 0;
    switch (f.type) {
    case DropShadow:
    case Glow:
        f.color = colorWithAlpha(vm, o, "color", "alpha");
        f.strength = clampNumber(number("strength", 1), 0, 255, 0);
        f.inner = flag("inner");
        f.knockout = flag("knockout");
        if (f.type == DropShadow) {
            f.distance = clampNumber(number("distance", 4), -32768, 32767, 0);
            f.angle = clampNumber(number("angle", 45), -1e9, 1e9, 0) * M_PI / 180;
            f.compositeSource = !flag("hideObject");
        }
        break;
    case Bevel:
        f.color = colorWithAlpha(vm, o, "shadowColor", "shadowAlpha");
        f.strength = clampNumber(number("strength", 1), 0, 255, 0);
        f.distance = clampNumber(number("distance", 4), -32768, 32767, 0);
        f.angle = clampNumber(number("angle", 45), -1e9, 1e9, 0) * M_PI / 180;
        f.knockout = flag("knockout");
        break;
    default:
        break;
    }
    return f;
}

Object* objectFromFilter(Interpreter& vm, const Filter& f)
{
    const FilterClass* c = classOf(f.type);
    if (!c)
        return nullptr;
    Object* package = flashPackage(vm, QStringLiteral("filters"));
    Value ctor = vm.getMember(Value(package), QString::fromLatin1(c->name));
    Object* proto = ctor.isObject() ? vm.getMember(ctor, QStringLiteral("prototype")).asObject() : nullptr;
    auto color = [](Rgba c) { return Value(double(c.r << 16 | c.g << 8 | c.b)); };
    auto alpha = [](Rgba c) { return Value(c.a / 255.0); };
    auto degrees = [](double radians) { return Value(radians * 180 / M_PI); };
    std::vector<Value> args;
    switch (f.type) {
    case Blur:
        args = { f.blurX, f.blurY, double(f.passes) };
        break;
    case DropShadow:
        args = { f.distance, degrees(f.angle), color(f.color), alpha(f.color), f.blurX, f.blurY, f.strength, double(f.passes),
            f.inner, f.knockout, !f.compositeSource };
        break;
    case Glow:
        args = { color(f.color), alpha(f.color), f.blurX, f.blurY, f.strength, double(f.passes), f.inner, f.knockout };
        break;
    case Bevel:
        args = { f.distance, degrees(f.angle), Value(), Value(), color(f.color), alpha(f.color), f.blurX, f.blurY, f.strength,
            double(f.passes), Value(), f.knockout };
        break;
    case ColorMatrix: {
        ArrayObject* m = vm.newArray();
        for (float v : f.colorMatrix)
            m->elements.push_back(Value(double(v)));
        args = { Value(static_cast<Object*>(m)) };
        break;
    }
    default:
        return nullptr;
    }
    return newFilter(vm, *c, proto ? proto : vm.objectPrototype(), args);
}

static Value bitmapFilterConstructor(Interpreter&, CallArgs&)
{
    return Value();
}

static Value bitmapFilterClone(Interpreter& vm, CallArgs& a)
{
    auto* fo = dynamic_cast<FilterObject*>(a.thisObject());
    const FilterClass* c = fo ? classOf(fo->type) : nullptr;
    if (!c)
        return Value();
    std::vector<Value> args;
    for (const Param& p : c->params)
        args.push_back(vm.getMember(a.thisValue, QString::fromLatin1(p.name)));
    return Value(newFilter(vm, *c, fo->proto(), args));
}

const NativeMethod bitmapFilterMethods[] = {
    { "clone", bitmapFilterClone },
};

void installFlashFilters(Interpreter& vm, Object* package)
{
    Object* base = vm.newObject();
    auto* baseCtor = vm.newConstructor(QStringLiteral("BitmapFilter"), bitmapFilterConstructor, base);
    package->define(QStringLiteral("BitmapFilter"), Value(static_cast<Object*>(baseCtor)), 0);
    vm.defineMethods(base, bitmapFilterMethods);

    // Each filter class's constructor is made from its row of filterClasses(),
    // so it stays a closure over that row and its prototype.
    for (const FilterClass& c : filterClasses()) {
        // Each prototype is made as a BitmapFilter: it names BitmapFilter as
        // its maker and has no `constructor` of its own.
        Object* proto = vm.newObject(base);
        proto->define(QStringLiteral("__constructor__"), Value(static_cast<Object*>(baseCtor)), DontEnum);
        if (c.accessors)
            installSettingAccessors(vm, c, proto);
        auto* ctor = vm.newConstructor(QString::fromLatin1(c.name), [&c, proto](Interpreter& vm, CallArgs& a) -> Value {
            Object* self = a.thisObject();
            if (!a.constructing && self && !dynamic_cast<FilterObject*>(self)) {
                // super(...) from a script subclass: the settings go onto the object being built.
                initFilter(vm, c, self, a.args, true);
                return Value();
            }
            Object* made = newFilter(vm, c, self && self->proto() ? self->proto() : proto, a.args);
            if (a.constructing && a.callee) {
                // The filter names its class in a visible `__constructor__`;
                // `constructor` is its own up to version 6, as for any object.
                made->define(QStringLiteral("__constructor__"), Value(static_cast<Object*>(a.callee)), 0);
                if (vm.version() < 7)
                    made->define(QStringLiteral("constructor"), Value(static_cast<Object*>(a.callee)), DontEnum);
            }
            return Value(made);
        }, proto);
        proto->removeOwn(QStringLiteral("constructor"));
        package->define(QString::fromLatin1(c.name), Value(static_cast<Object*>(ctor)), 0);
    }
}

} // namespace swf::avm1
