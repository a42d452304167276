// Error: a constructor that keeps its message, and a prototype named "Error".

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

namespace swf::avm1 {

static Value errorConstructor(Interpreter& vm, CallArgs& a)
{
    Object* o = a.constructing ? a.thisObject() : vm.newObject(vm.realm().errorPrototype);
    if (o && !a.arg(0).isUndefined())
        o->put(QStringLiteral("message"), a.arg(0));
    return Value(o);
}

static Value errorToString(Interpreter& vm, CallArgs& a)
{
    return Value(vm.toString(vm.getMember(a.thisValue, QStringLiteral("message"))));
}

void Builtins::installError(Interpreter& vm)
{
    Object* ep = vm.newObject();
    vm.setRealmSlot(&Realm::errorPrototype, ep);
    auto* ctor = vm.newConstructor(QStringLiteral("Error"), errorConstructor, ep);
    // The prototype's members are plain ones scripts see in for..in, and
    // its toString is built as a script function would be, with a prototype.
    ep->define(QStringLiteral("name"), Value(QStringLiteral("Error")), 0);
    ep->define(QStringLiteral("message"), Value(QStringLiteral("Error")), 0);
    auto* toString = vm.newConstructor(QStringLiteral("toString"), errorToString, vm.newObject());
    ep->define(QStringLiteral("toString"), Value(static_cast<Object*>(toString)), 0);
    vm.global()->define(QStringLiteral("Error"), Value(static_cast<Object*>(ctor)), DontEnum);
}

} // namespace swf::avm1
