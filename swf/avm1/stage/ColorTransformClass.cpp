// flash.geom.ColorTransform: eight numbers behind accessors on the prototype.
//
// The channels are kept as numbers in the object itself, not as members: a
// value set on one is converted to a number at once (true reads back as 1,
// a string that is no number as NaN), and movies older than version 8 see
// none of the accessors, only what they put on the object themselves.

#include "swf/avm1/stage/ColorTransformClass.h"

#include "swf/avm1/stage/ClipDrawing.h"

#include <array>

namespace swf::avm1 {

namespace {

constexpr std::array<const char*, ColorTransformObject::ChannelCount> channelNames = {
    "redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
    "redOffset", "greenOffset", "blueOffset", "alphaOffset",
};

ColorTransformObject* colorTransformOf(const Value& v)
{
    return dynamic_cast<ColorTransformObject*>(v.asObject());
}

// A channel asks an object for its valueOf alone: when that gives no
// primitive the channel is NaN, without a second try through toString.
double channelNumber(Interpreter& vm, const Value& v)
{
    if (!v.isObject())
        return vm.toNumber(v);
    Value method = vm.getMember(v, QStringLiteral("valueOf"));
    Object* m = method.asObject();
    if (!m || m->kind() != Object::Kind::Function)
        return std::nan("");
    Value r = vm.call(method, v, {});
    return r.isObject() ? std::nan("") : vm.toNumber(r);
}

// The offsets packed as 0xRRGGBB, each truncated to a whole number; a
// negative one fills the channels above it with its sign bits.
Value getRgb(Interpreter&, CallArgs& a)
{
    ColorTransformObject* c = colorTransformOf(a.thisValue);
    if (!c)
        return Value();
    const int32_t r = toInt32(c->channels[4]), g = toInt32(c->channels[5]), b = toInt32(c->channels[6]);
    return Value(double(int32_t(uint32_t(r) << 16) | int32_t(uint32_t(g) << 8) | b));
}

// Setting rgb makes the colour solid: the colour multipliers drop to zero,
// the offsets take the colour's channels; alpha is left alone.
Value setRgb(Interpreter& vm, CallArgs& a)
{
    ColorTransformObject* c = colorTransformOf(a.thisValue);
    if (!c)
        return Value();
    const uint32_t rgb = toUint32(channelNumber(vm, a.arg(0)));
    c->channels[0] = c->channels[1] = c->channels[2] = 0;
    c->channels[4] = (rgb >> 16) & 0xff;
    c->channels[5] = (rgb >> 8) & 0xff;
    c->channels[6] = rgb & 0xff;
    return Value();
}

Value concat(Interpreter&, CallArgs& a)
{
    ColorTransformObject* c = colorTransformOf(a.thisValue);
    ColorTransformObject* inner = colorTransformOf(a.arg(0));
    if (c && inner)
        c->set(c->transform().concat(inner->transform()));
    return Value();
}

// Reads the channels through the accessors and joins them as a script's `+`
// would (valueOf first): a movie older than version 8, which sees none of
// the accessors, gets empty values or what it set itself.
Value toString(Interpreter& vm, CallArgs& a)
{
    QStringList parts;
    for (const char* name : channelNames) {
        const QString n = QString::fromLatin1(name);
        parts << QStringLiteral("%1=%2").arg(n, vm.toString(vm.toPrimitive(vm.getMember(a.thisValue, n), false)));
    }
    return Value(QLatin1Char('(') + parts.join(QLatin1String(", ")) + QLatin1Char(')'));
}

const NativeMethod colorTransformMethods[] = {
    { "concat", concat },
    { "toString", toString },
};

void defineAccessor(Interpreter& vm, Object* proto, const QString& name, NativeFunction get, NativeFunction set)
{
    proto->define(name, Value(), DontEnum);
    Property* p = proto->findOwn(name);
    p->getter = vm.newNative(name, std::move(get));
    p->setter = vm.newNative(name, std::move(set));
    p->minVersion = 8;
}

} // namespace

ColorTransform ColorTransformObject::transform() const
{
    ColorTransform cx;
    cx.rMul = channels[0];
    cx.gMul = channels[1];
    cx.bMul = channels[2];
    cx.aMul = channels[3];
    cx.rAdd = channels[4];
    cx.gAdd = channels[5];
    cx.bAdd = channels[6];
    cx.aAdd = channels[7];
    return cx;
}

void ColorTransformObject::set(const ColorTransform& cx)
{
    channels = { cx.rMul, cx.gMul, cx.bMul, cx.aMul, cx.rAdd, cx.gAdd, cx.bAdd, cx.aAdd };
}

ColorTransformObject* newColorTransform(Interpreter& vm, const ColorTransform& cx)
{
    // Made the way `new` makes one, so it has the class's prototype and
    // constructor links; a script that replaced the class gets nothing.
    Object* package = vm.realm().geomPackage;
    Value ctor = package ? vm.getMember(Value(package), QStringLiteral("ColorTransform")) : Value();
    if (!ctor.isObject())
        return nullptr;
    std::vector<Value> args;
    for (double c : { cx.rMul, cx.gMul, cx.bMul, cx.aMul, cx.rAdd, cx.gAdd, cx.bAdd, cx.aAdd })
        args.push_back(Value(c));
    return colorTransformOf(vm.construct(ctor, std::move(args)));
}

const ColorTransformObject* asColorTransform(const Value& v)
{
    return colorTransformOf(v);
}

void installColorTransform(Interpreter& vm, Object* package)
{
    Object* proto = vm.newObject();
    // All eight channels or none: fewer arguments leave the identity.
    auto* ctor = vm.newConstructor(QStringLiteral("ColorTransform"), [](Interpreter& vm, CallArgs& a) -> Value {
        Object* self = a.thisObject();
        if (!a.constructing || !self)
            return Value();
        auto* made = vm.make<ColorTransformObject>(self->proto(), vm.caseSensitive());
        for (const char* name : { "__constructor__", "constructor" }) {
            if (const Property* p = self->findOwn(QString::fromLatin1(name)))
                made->define(QString::fromLatin1(name), p->value, DontEnum);
        }
        if (a.args.size() >= ColorTransformObject::ChannelCount) {
            for (size_t i = 0; i < ColorTransformObject::ChannelCount; ++i)
                made->channels[i] = channelNumber(vm, a.args[i]);
        }
        return Value(static_cast<Object*>(made));
    }, proto);
    package->define(QStringLiteral("ColorTransform"), Value(static_cast<Object*>(ctor)), 0);

    vm.defineMethods(proto, colorTransformMethods);
    for (size_t i = 0; i < channelNames.size(); ++i) {
        defineAccessor(vm, proto, QString::fromLatin1(channelNames[i]),
            [i](Interpreter&, CallArgs& a) -> Value {
                ColorTransformObject* c = colorTransformOf(a.thisValue);
                return c ? Value(c->channels[i]) : Value();
            },
            [i](Interpreter& vm, CallArgs& a) -> Value {
                if (ColorTransformObject* c = colorTransformOf(a.thisValue))
                    c->channels[i] = channelNumber(vm, a.arg(0));
                return Value();
            });
    }
    defineAccessor(vm, proto, QStringLiteral("rgb"), getRgb, setRgb);
}

} // namespace swf::avm1
