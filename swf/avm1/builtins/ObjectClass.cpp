// Object: the constructor, Object.prototype's methods (ownership, accessors,
// watchers) and Object.registerClass.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

namespace swf::avm1 {

static Value objectConstructor(Interpreter& vm, CallArgs& a)
{
    Value v = a.arg(0);
    // Called as a function on nothing, Object gives an object without a
    // prototype: it has no methods, so it converts to undefined.
    if (v.isNullish()) {
        if (a.constructing)
            return a.thisValue;
        if (a.args.empty())
            return Value(vm.newObject());
        return Value(vm.make<Object>(Object::Kind::Plain, nullptr, vm.caseSensitive()));
    }
    return Value(vm.toObject(v));
}

static Value objectToString(Interpreter&, CallArgs& a)
{
    Object* o = a.thisObject();
    if (o && o->kind() == Object::Kind::Function)
        return Value(QStringLiteral("[type Function]"));
    return Value(QStringLiteral("[object Object]"));
}

static Value objectToLocaleString(Interpreter& vm, CallArgs& a)
{
    return vm.call(vm.getMember(a.thisValue, QStringLiteral("toString")), a.thisValue, {});
}

static Value objectValueOf(Interpreter&, CallArgs& a)
{
    return a.thisValue;
}

static Value objectHasOwnProperty(Interpreter& vm, CallArgs& a)
{
    Object* o = a.thisObject();
    if (!o || a.args.empty())
        return Value(false);
    QString name = vm.toString(a.arg(0));
    // The player never keeps a member with an empty name.
    if (name.isEmpty())
        return Value(false);
    // Bit 0x100 makes hasOwnProperty deny a member in every version (the
    // version bits that keep members from older movies do not).
    if (const Property* p = o->findOwn(name); p && (p->versionBits & Property::HiddenIn6))
        return Value(false);
    return Value(o->findOwn(name) != nullptr || o->hasVirtual(vm, name));
}

static Value objectIsPropertyEnumerable(Interpreter& vm, CallArgs& a)
{
    Object* o = a.thisObject();
    if (!o)
        return Value(false);
    QString name = vm.toString(a.arg(0));
    const Property* p = o->findOwn(name);
    // Only the enumeration flag counts: the version bits that hide a member
    // from some movies leave it enumerable here.
    if (p)
        return Value(!(p->flags & DontEnum));
    if (o->kind() != Object::Kind::Array || ArrayObject::indexOf(name) < 0 || !o->hasVirtual(vm, name))
        return Value(false);
    return Value(!(static_cast<ArrayObject*>(o)->bitsAt(size_t(ArrayObject::indexOf(name))) & DontEnum));
}

static Value objectIsPrototypeOf(Interpreter& vm, CallArgs& a)
{
    Object* o = a.thisObject();
    const Value& arg = a.arg(0);
    // A string, number or boolean stands for its box: its chain starts at
    // its class's prototype.
    Object* start = nullptr;
    switch (arg.type()) {
    case ValueType::Object: start = arg.asObject()->proto(); break;
    case ValueType::String: start = vm.stringPrototype(); break;
    case ValueType::Number: start = vm.numberPrototype(); break;
    case ValueType::Boolean: start = vm.booleanPrototype(); break;
    default: break;
    }
    int guard = 0;
    for (Object* cur = start; cur && guard < 256; cur = cur->proto(), ++guard)
        if (cur == o)
            return Value(true);
    return Value(false);
}

static Value objectAddProperty(Interpreter& vm, CallArgs& a)
{
    Object* o = a.thisObject();
    QString name = vm.toString(a.arg(0));
    Object* getter = a.arg(1).asObject();
    Value setterValue = a.arg(2);
    Object* setter = setterValue.asObject();
    if (!o || name.isEmpty() || !getter || getter->kind() != Object::Kind::Function)
        return Value(false);
    if (setter && setter->kind() != Object::Kind::Function)
        return Value(false);
    if (!setter && !setterValue.isNull() && !setterValue.isUndefined())
        return Value(false);
    // The accessor takes the place of a member of that name, whose flags
    // and plain value it keeps (a watcher is handed that value as the old one).
    Property* existing = o->findOwn(name);
    uint8_t flags = existing ? existing->flags : 0;
    const Value plain = existing ? existing->value : Value();
    o->define(name, plain, flags);
    Property* p = o->findOwn(name);
    p->getter = getter;
    p->setter = setter;
    return Value(true);
}

static Value objectWatch(Interpreter& vm, CallArgs& a)
{
    Object* o = a.thisObject();
    Object* cb = a.arg(1).asObject();
    if (!o || a.args.empty() || !cb || cb->kind() != Object::Kind::Function)
        return Value(false);
    QString name = vm.toString(a.arg(0));
    o->ensureWatches().insert(o->caseSensitive() ? name : name.toLower(), Object::Watch { cb, a.arg(2), 0 });
    return Value(true);
}

static Value objectUnwatch(Interpreter& vm, CallArgs& a)
{
    Object* o = a.thisObject();
    if (!o || !o->watches())
        return Value(false);
    QString name = vm.toString(a.arg(0));
    // A member made an accessor keeps its watcher: unwatch fails on it.
    if (const Property* p = o->findOwn(name); p && (p->getter || p->setter))
        return Value(false);
    return Value(o->watches()->remove(o->caseSensitive() ? name : name.toLower()) > 0);
}

// Object.registerClass(symbol, constructor): a function registers, null (or
// undefined) unregisters; anything else is refused.
static Value objectRegisterClass(Interpreter& vm, CallArgs& a)
{
    if (a.args.size() < 2)
        return Value(false);
    QString symbol = vm.toString(a.arg(0));
    Value ctor = a.arg(1);
    if (ctor.isObject() && ctor.asObject()->kind() == Object::Kind::Function)
        vm.realm().classRegistry->put(symbol, ctor);
    else if (ctor.isNullish())
        vm.realm().classRegistry->removeOwn(symbol);
    else
        return Value(false);
    return Value(true);
}

// Movies of version 5 see only the first three (bit 0x80 on the rest).
const NativeMethod objectMethods[] = {
    { "toString", objectToString },
    { "toLocaleString", objectToLocaleString },
    { "valueOf", objectValueOf },
    { "hasOwnProperty", objectHasOwnProperty, DontEnum, 6 },
    { "isPropertyEnumerable", objectIsPropertyEnumerable, DontEnum, 6 },
    { "isPrototypeOf", objectIsPrototypeOf, DontEnum, 6 },
    { "addProperty", objectAddProperty, DontEnum, 6 },
    { "watch", objectWatch, DontEnum, 6 },
    { "unwatch", objectUnwatch, DontEnum, 6 },
};

const NativeMethod objectStaticMethods[] = {
    { "registerClass", objectRegisterClass },
};

void Builtins::installObject(Interpreter& vm)
{
    Object* op = vm.objectPrototype();
    auto* ctor = vm.newConstructor(QStringLiteral("Object"), objectConstructor, op);
    vm.global()->define(QStringLiteral("Object"), Value(static_cast<Object*>(ctor)), DontEnum);
    vm.setRealmSlot(&Realm::objectConstructor, ctor);
    vm.defineMethods(op, objectMethods);
    vm.defineMethods(ctor, objectStaticMethods);
}

} // namespace swf::avm1
