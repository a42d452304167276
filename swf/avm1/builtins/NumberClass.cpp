// Number: the constructor (a conversion when called), its constants and the
// prototype's toString(radix) and valueOf.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

#include <limits>

namespace swf::avm1 {

namespace {

// The number `this` stands for: a number, or the value a Number object boxes.
Value numberOf(const Value& v)
{
    if (v.isNumber())
        return v;
    if (Object* o = v.asObject(); o && o->kind() == Object::Kind::Number)
        return o->primitive;
    return Value();
}

} // namespace

static Value numberConstructor(Interpreter& vm, CallArgs& a)
{
    double n = a.args.empty() ? 0.0 : vm.toNumber(a.arg(0));
    if (!a.constructing)
        return Value(n);
    Object* o = vm.make<Object>(Object::Kind::Number, vm.numberPrototype(), vm.caseSensitive());
    o->primitive = Value(n);
    return Value(o);
}

static Value numberToString(Interpreter& vm, CallArgs& a)
{
    Value n = numberOf(a.thisValue);
    if (n.isUndefined())
        return Value(QStringLiteral("[type Object]"));
    int radix = a.arg(0).isUndefined() ? 10 : clampToInt(vm.toNumber(a.arg(0)));
    return Value(numberToRadixString(n.asNumber(), radix));
}

static Value numberValueOf(Interpreter&, CallArgs& a)
{
    return numberOf(a.thisValue);
}

const NativeMethod numberMethods[] = {
    { "toString", numberToString },
    { "valueOf", numberValueOf },
};

void Builtins::installNumber(Interpreter& vm)
{
    // Number.prototype is a plain object, not a boxed zero: its own valueOf
    // gives undefined and its toString names an object.
    Object* np = vm.make<Object>(Object::Kind::Plain, vm.objectPrototype(), vm.caseSensitive());
    vm.setRealmSlot(&Realm::numberPrototype, np);
    auto* ctor = vm.newConstructor(QStringLiteral("Number"), numberConstructor, np);
    vm.global()->define(QStringLiteral("Number"), Value(static_cast<Object*>(ctor)), DontEnum);
    const uint8_t constant = DontEnum | DontDelete | ReadOnly;
    ctor->define(QStringLiteral("MAX_VALUE"), Value(std::numeric_limits<double>::max()), constant);
    ctor->define(QStringLiteral("MIN_VALUE"), Value(std::numeric_limits<double>::denorm_min()), constant);
    ctor->define(QStringLiteral("NaN"), Value(std::numeric_limits<double>::quiet_NaN()), constant);
    ctor->define(QStringLiteral("NEGATIVE_INFINITY"), Value(-std::numeric_limits<double>::infinity()), constant);
    ctor->define(QStringLiteral("POSITIVE_INFINITY"), Value(std::numeric_limits<double>::infinity()), constant);
    vm.defineMethods(np, numberMethods);
}

} // namespace swf::avm1
