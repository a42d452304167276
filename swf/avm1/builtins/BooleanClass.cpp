// Boolean: the constructor (a conversion when called) and its prototype, a
// boxed false.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

namespace swf::avm1 {

namespace {

// The boolean `this` stands for: a boolean, or the value a Boolean object boxes.
Value booleanOf(const Value& v)
{
    if (v.isBoolean())
        return v;
    if (Object* o = v.asObject(); o && o->kind() == Object::Kind::Boolean)
        return o->primitive;
    return Value();
}

} // namespace

static Value booleanConstructor(Interpreter& vm, CallArgs& a)
{
    bool b = vm.toBoolean(a.arg(0));
    if (!a.constructing)
        return a.args.empty() ? Value() : Value(b);
    // `new Boolean` boxes: the new object becomes a Boolean object.
    Object* o = vm.make<Object>(Object::Kind::Boolean, vm.booleanPrototype(), vm.caseSensitive());
    o->primitive = Value(b);
    return Value(o);
}

static Value booleanToString(Interpreter& vm, CallArgs& a)
{
    Value b = booleanOf(a.thisValue);
    return b.isUndefined() ? Value() : Value(vm.toString(b));
}

static Value booleanValueOf(Interpreter&, CallArgs& a)
{
    return booleanOf(a.thisValue);
}

const NativeMethod booleanMethods[] = {
    { "toString", booleanToString },
    { "valueOf", booleanValueOf },
};

void Builtins::installBoolean(Interpreter& vm)
{
    Object* bp = vm.make<Object>(Object::Kind::Boolean, vm.objectPrototype(), vm.caseSensitive());
    bp->primitive = Value(false);
    vm.setRealmSlot(&Realm::booleanPrototype, bp);
    auto* ctor = vm.newConstructor(QStringLiteral("Boolean"), booleanConstructor, bp);
    vm.global()->define(QStringLiteral("Boolean"), Value(static_cast<Object*>(ctor)), DontEnum);
    vm.defineMethods(bp, booleanMethods);
}

} // namespace swf::avm1
