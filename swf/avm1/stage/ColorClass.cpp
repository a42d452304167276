// Color: a control object over a clip's colour transform.
//
// The player keeps a clip's colour transform as 8.8 fixed-point multipliers
// and whole-number offsets, both 16-bit. Scripts see percentages, so a
// multiplier set to 10% reads back as 25/256 = 9.765625%; the rounding is
// reproduced here because movies compare what they read back.

#include "swf/avm1/stage/ColorClass.h"

#include "swf/runtime/Stage.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/avm1/stage/SpriteClip.h"
#include "swf/avm1/vm/Interpreter.h"

#include <cmath>

namespace swf::avm1 {

namespace {

// A Color object keeps its clip (or target path, from _level0) in its primitive slot.
SpriteInstance* colorTarget(Interpreter& vm, const CallArgs& a)
{
    Object* self = a.thisObject();
    if (!self)
        return nullptr;
    Value target = self->primitive;
    Object* o = target.asObject();
    if (!o && target.isString())
        o = vm.resolveTarget(vm.host() ? vm.host()->level(0) : nullptr, target.asString());
    if (!o || o->kind() != Object::Kind::Clip)
        return nullptr;
    return static_cast<SpriteClip*>(o)->sprite();
}

const ColorTransform* colorTransformOf(Interpreter& vm, const CallArgs& a)
{
    SpriteInstance* s = colorTarget(vm, a);
    return s ? &s->colorTransform() : nullptr;
}

} // namespace

int16_t colorFixed(double percent)
{
    // Truncated towards zero, then wrapped into 16 bits, as the player stores it.
    return int16_t(toInt32(percent * 256.0 / 100.0));
}

int16_t colorOffset(double offset)
{
    return int16_t(toInt32(offset));
}

int32_t colorRgb(double rAdd, double gAdd, double bAdd)
{
    // Offsets are signed: a negative one spills its sign into the channels
    // above it, as the player's own packing does.
    const int32_t r = int32_t(std::lround(rAdd)), g = int32_t(std::lround(gAdd)), b = int32_t(std::lround(bAdd));
    return int32_t(uint32_t(r) << 16) | int32_t(uint32_t(g) << 8) | b;
}

static Value colorConstructor(Interpreter&, CallArgs& a)
{
    if (Object* self = a.thisObject(); self && a.constructing)
        self->primitive = a.arg(0);
    return Value();
}

static Value colorSetRGB(Interpreter& vm, CallArgs& a)
{
    SpriteInstance* s = colorTarget(vm, a);
    if (!s)
        return Value();
    const uint32_t rgb = toUint32(vm.toNumber(a.arg(0)));
    ColorTransform cx = s->colorTransform();
    cx.rMul = cx.gMul = cx.bMul = 0;
    cx.rAdd = (rgb >> 16) & 0xFF;
    cx.gAdd = (rgb >> 8) & 0xFF;
    cx.bAdd = rgb & 0xFF;
    s->setColorTransform(cx);
    return Value();
}

static Value colorGetRGB(Interpreter& vm, CallArgs& a)
{
    const ColorTransform* transform = colorTransformOf(vm, a);
    if (!transform)
        return Value();
    const ColorTransform& cx = *transform;
    return Value(double(colorRgb(cx.rAdd, cx.gAdd, cx.bAdd)));
}

static Value colorSetTransform(Interpreter& vm, CallArgs& a)
{
    SpriteInstance* s = colorTarget(vm, a);
    Object* t = a.arg(0).asObject();
    if (!s || !t)
        return Value();
    ColorTransform cx = s->colorTransform();
    auto field = [&](const char* name, double& slot, bool multiplier) {
        const QString key = QString::fromLatin1(name);
        if (!vm.hasProperty(t, key))
            return;
        const double v = vm.toNumber(vm.getMember(Value(t), key));
        slot = multiplier ? colorFixed(v) / 256.0 : double(colorOffset(v));
    };
    field("ra", cx.rMul, true); field("rb", cx.rAdd, false);
    field("ga", cx.gMul, true); field("gb", cx.gAdd, false);
    field("ba", cx.bMul, true); field("bb", cx.bAdd, false);
    field("aa", cx.aMul, true); field("ab", cx.aAdd, false);
    s->setColorTransform(cx);
    return Value();
}

static Value colorGetTransform(Interpreter& vm, CallArgs& a)
{
    const ColorTransform* transform = colorTransformOf(vm, a);
    if (!transform)
        return Value();
    const ColorTransform& cx = *transform;
    auto percent = [](double mul) { return std::round(mul * 256.0) * 100.0 / 256.0; };
    Object* t = vm.newObject();
    t->put(QStringLiteral("ra"), Value(percent(cx.rMul)));
    t->put(QStringLiteral("rb"), Value(std::round(cx.rAdd)));
    t->put(QStringLiteral("ga"), Value(percent(cx.gMul)));
    t->put(QStringLiteral("gb"), Value(std::round(cx.gAdd)));
    t->put(QStringLiteral("ba"), Value(percent(cx.bMul)));
    t->put(QStringLiteral("bb"), Value(std::round(cx.bAdd)));
    t->put(QStringLiteral("aa"), Value(percent(cx.aMul)));
    t->put(QStringLiteral("ab"), Value(std::round(cx.aAdd)));
    return Value(t);
}

const NativeMethod colorMethods[] = {
    { "setRGB", colorSetRGB },
    { "getRGB", colorGetRGB },
    { "setTransform", colorSetTransform },
    { "getTransform", colorGetTransform },
};

void installColor(Interpreter& vm)
{
    Object* g = vm.global();

    Object* cp = vm.newObject();
    auto* color = vm.newConstructor(QStringLiteral("Color"), colorConstructor, cp);
    g->define(QStringLiteral("Color"), Value(static_cast<Object*>(color)), DontEnum);

    vm.defineMethods(cp, colorMethods);
}

} // namespace swf::avm1
