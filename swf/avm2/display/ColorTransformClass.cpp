// flash.geom.ColorTransform: four multipliers and four offsets, a value
// object that BitmapData.colorTransform and display transforms read.

#include "swf/avm2/display/GeomClasses.h"

#include <cmath>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

ColorTransform& transformOf(Machine& m, const Value& v)
{
    Object* o = v.object();
    if (!o || !o->host)
        m.throwError(ErrorClass::TypeError, 1009, QStringLiteral("Cannot access a property or method of a null object reference."));
    return *static_cast<ColorTransform*>(o->host.get());
}

struct Field {
    const char* name;
    double ColorTransform::*member;
};

constexpr Field Fields[] = {
    { "redMultiplier", &ColorTransform::rMul },
    { "greenMultiplier", &ColorTransform::gMul },
    { "blueMultiplier", &ColorTransform::bMul },
    { "alphaMultiplier", &ColorTransform::aMul },
    { "redOffset", &ColorTransform::rAdd },
    { "greenOffset", &ColorTransform::gAdd },
    { "blueOffset", &ColorTransform::bAdd },
    { "alphaOffset", &ColorTransform::aAdd },
};

} // namespace

ClassObject* colorTransformClass(Machine& m) { return m.findClass(QStringLiteral("flash.geom.ColorTransform")); }

bool readColorTransform(Machine& m, const Value& v, ColorTransform& out)
{
    Object* o = v.object();
    ClassObject* cls = colorTransformClass(m);
    if (!o || !o->host || !cls || !o->classObject() || !o->classObject()->isSubclassOf(cls))
        return false;
    out = *static_cast<ColorTransform*>(o->host.get());
    return true;
}

void installColorTransformClass(Machine& m)
{
    // The arguments are the multipliers then the offsets, defaults 1 and 0.
    ClassObject* cls = m.defineClass(QStringLiteral("flash.geom"), QStringLiteral("ColorTransform"), m.builtins().object,
        InstanceKind::Plain, [](Machine& m, const Value& self, Args args) {
            auto cx = std::make_shared<ColorTransform>();
            int i = 0;
            for (const Field& f : Fields) {
                if (std::size_t(i) < args.size() && !args[std::size_t(i)].isUndefined())
                    (*cx).*(f.member) = m.toNumber(args[std::size_t(i)]);
                ++i;
            }
            if (Object* o = self.object())
                o->host = cx;
            return Value::undefined();
        });
    cls->sealed = true;
    for (const Field& f : Fields) {
        auto member = f.member;
        m.addGetter(cls, QLatin1String(f.name),
            [member](Machine& m, const Value& self, Args) { return Value::number(transformOf(m, self).*member); },
            [member](Machine& m, const Value& self, Args args) {
                transformOf(m, self).*member = m.toNumber(arg(args, 0));
                return Value::undefined();
            });
    }
    // Setting `color` makes the transform paint that colour: multipliers of
    // the colour channels drop to 0, their offsets take the colour.
    m.addGetter(cls, QStringLiteral("color"),
        [](Machine& m, const Value& self, Args) {
            const ColorTransform& cx = transformOf(m, self);
            auto channel = [](double v) { return std::uint32_t(toUint32(v) & 0xff); };
            return Value::number(double((channel(cx.rAdd) << 16) | (channel(cx.gAdd) << 8) | channel(cx.bAdd)));
        },
        [](Machine& m, const Value& self, Args args) {
            ColorTransform& cx = transformOf(m, self);
            const std::uint32_t rgb = toUint32(m.toNumber(arg(args, 0)));
            cx.rMul = cx.gMul = cx.bMul = 0;
            cx.rAdd = (rgb >> 16) & 0xff;
            cx.gAdd = (rgb >> 8) & 0xff;
            cx.bAdd = rgb & 0xff;
            return Value::undefined();
        });
    // concat(second): this transform becomes `second` applied first, then this.
    m.addMethod(cls, QStringLiteral("concat"), [](Machine& m, const Value& self, Args args) {
        ColorTransform& cx = transformOf(m, self);
        ColorTransform second;
        if (!readColorTransform(m, arg(args, 0), second))
            m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter second must be non-null."));
        cx = cx.concat(second);
        return Value::undefined();
    }, 1);
    m.addMethod(cls, QStringLiteral("toString"), [](Machine& m, const Value& self, Args) {
        const ColorTransform& cx = transformOf(m, self);
        QStringList parts;
        for (const Field& f : Fields)
            parts << QStringLiteral("%1=%2").arg(QLatin1String(f.name), numberToString(cx.*(f.member)));
        return Value::string(QLatin1Char('(') + parts.join(QStringLiteral(", ")) + QLatin1Char(')'));
    });
}

} // namespace swf::avm2
