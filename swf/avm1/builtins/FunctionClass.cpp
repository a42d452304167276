// Function: the constructor and Function.prototype's call and apply.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

#include <algorithm>

namespace swf::avm1 {

static Value functionConstructor(Interpreter& vm, CallArgs& a)
{
    return a.args.empty() ? Value(vm.newObject()) : a.arg(0);
}

static Value functionCall(Interpreter& vm, CallArgs& a)
{
    std::vector<Value> rest;
    if (a.args.size() > 1)
        rest.assign(a.args.begin() + 1, a.args.end());
    Value thisArg = a.arg(0);
    if (thisArg.isNullish())
        thisArg = Value();
    return vm.call(a.thisValue, thisArg, std::move(rest));
}

static Value functionApply(Interpreter& vm, CallArgs& a)
{
    std::vector<Value> rest;
    if (auto* arr = a.arg(1).asObject(); arr && arr->kind() == Object::Kind::Array) {
        rest = static_cast<ArrayObject*>(arr)->elements;
    } else if (Object* list = a.arg(1).asObject()) {
        // Any object with a length passes its numbered members.
        const double length = toIntegerValue(vm.toNumber(vm.getMember(a.arg(1), QStringLiteral("length"))));
        const size_t n = size_t(std::clamp(length, 0.0, double(ArrayObject::MaxLength)));
        for (size_t i = 0; i < n; ++i)
            rest.push_back(vm.getMember(Value(list), QString::number(i)));
    }
    Value thisArg = a.arg(0);
    if (thisArg.isNullish())
        thisArg = Value();
    return vm.call(a.thisValue, thisArg, std::move(rest));
}

const NativeMethod functionMethods[] = {
    { "call", functionCall },
    { "apply", functionApply },
};

void Builtins::installFunction(Interpreter& vm)
{
    Object* fp = vm.functionPrototype();
    auto* ctor = vm.newConstructor(QStringLiteral("Function"), functionConstructor, fp);
    vm.global()->define(QStringLiteral("Function"), Value(static_cast<Object*>(ctor)), DontEnum);
    vm.setRealmSlot(&Realm::functionConstructor, ctor);
    // Movies of version 5 have no Function global.
    if (Property* p = vm.global()->findOwn(QStringLiteral("Function")))
        p->minVersion = 6;
    vm.defineMethods(fp, functionMethods);
}

} // namespace swf::avm1
