// The interpreter: one verified method body run against its frame (locals,
// operand stack, scope stack). Errors raised while it runs go to the body's
// handlers first; what none of them takes unwinds to the caller.

#include "swf/avm2/vm/Machine.h"

#include "swf/avm2/builtins/XmlClasses.h"

#include <cmath>

namespace swf::avm2 {

namespace {

const std::vector<ScopeEntry> NoScopes;

QString typeOf(const Value& v)
{
    switch (v.kind) {
    case Value::Kind::Undefined: return QStringLiteral("undefined");
    case Value::Kind::Null: return QStringLiteral("object");
    case Value::Kind::Boolean: return QStringLiteral("boolean");
    case Value::Kind::Number: return QStringLiteral("number");
    case Value::Kind::String: return QStringLiteral("string");
    case Value::Kind::Object:
        if (v.o->type() == Object::Type::Function)
            return QStringLiteral("function");
        if (isXmlObject(v.o))
            return QStringLiteral("xml");
        if (!v.o->primitive.isUndefined() && v.o->type() != Object::Type::Namespace)
            return typeOf(v.o->primitive);
        return QStringLiteral("object");
    }
    return QString();
}

QString escapeXml(const QString& s, bool attribute)
{
    QString out;
    for (QChar c : s) {
        switch (c.unicode()) {
        case '&': out += QStringLiteral("&amp;"); break;
        case '<': out += QStringLiteral("&lt;"); break;
        case '>': out += QStringLiteral("&gt;"); break;
        case '"': out += attribute ? QStringLiteral("&quot;") : QStringLiteral("\""); break;
        default: out += c; break;
        }
    }
    return out;
}

// The declared type of a parameter, when it is one the machine converts to.
SlotType declaredType(const Unit& unit, std::uint32_t multiname)
{
    if (multiname == 0)
        return SlotType::Any;
    const Name& name = unit.names[multiname];
    if (name.namespaces.empty() || !name.namespaces[0].isPublic())
        return SlotType::Object;
    if (name.local == QLatin1String("int")) return SlotType::Int;
    if (name.local == QLatin1String("uint")) return SlotType::Uint;
    if (name.local == QLatin1String("Number")) return SlotType::Number;
    if (name.local == QLatin1String("Boolean")) return SlotType::Boolean;
    if (name.local == QLatin1String("String")) return SlotType::String;
    if (name.local == QLatin1String("Object")) return SlotType::Any;
    return SlotType::Object;
}

} // namespace

Value Machine::runBytecode(Method* method, const Value& thisValue, Args args)
{
    Object* const calledAs = m_callee && m_callee->method == method ? m_callee : nullptr;
    m_callee = nullptr;
    Unit& unit = *method->unit;
    const AbcFile& file = unit.file;
    const AbcMethod& info = file.methods[method->index];
    const DecodedBody& body = bodyOf(unit, method->index);
    const AbcBody& raw = file.bodies[std::size_t(info.body)];
    const std::vector<ScopeEntry>& outer = method->scope ? *method->scope : NoScopes;

    // The frame: `this`, the parameters (defaults filled in), then rest or arguments.
    const std::size_t declared = info.paramTypes.size();
    const std::size_t required = declared - std::min(declared, info.optional.size());
    const bool rest = info.flags & AbcMethod::NeedRest;
    const bool arguments = info.flags & AbcMethod::NeedArguments;
    // A method with a rest parameter takes any count: missing parameters are undefined.
    if ((args.size() < required && !rest) || (args.size() > declared && !rest && !arguments && !method->closure)) {
        throwError(ErrorClass::ArgumentError, 1063, QStringLiteral("Argument count mismatch on %1. Expected %2, got %3.")
                .arg(!method->name.isEmpty() ? method->name
                        : method->traceName.isEmpty() ? QStringLiteral("Function/<anonymous>()") : method->traceName + QStringLiteral("()"))
                .arg(required).arg(args.size()));
    }
    std::vector<Value> locals(std::max<std::size_t>(raw.localCount, 1));
    locals[0] = thisValue;
    // A function called on no receiver runs with its script's global object as `this`.
    if (method->closure && thisValue.isNullish() && !outer.empty())
        locals[0] = outer.front().object;
    for (std::size_t i = 0; i < declared && i + 1 < locals.size(); ++i) {
        Value v = i < args.size() ? args[i] : i >= required ? constantValue(unit, info.optional[i - required]) : Value::undefined();
        SlotType type = declaredType(unit, info.paramTypes[i]);
        locals[i + 1] = type == SlotType::Object ? coerce(v, classByName(unit, info.paramTypes[i])) : coerceSlot(v, type, nullptr);
    }
    if ((rest || arguments) && declared + 1 < locals.size()) {
        std::vector<Value> extra;
        for (std::size_t i = rest ? declared : 0; i < args.size(); ++i)
            extra.push_back(args[i]);
        Object* list = newArray(std::move(extra));
        if (arguments) {
            // arguments.callee: the function object called, or a closure of the method.
            Object* callee = calledAs ? calledAs : newFunction(method, !method->closure, thisValue);
            list->dynamicSet(QStringLiteral("callee"), Value::object(callee));
            list->dontEnum().insert(QStringLiteral("callee"), true);
        }
        locals[declared + 1] = Value::object(list);
    }

    // What a method returns is converted to its declared return type.
    auto returned = [&](const Value& v) {
        if (info.returnType == 0 || unit.names[info.returnType].local == QLatin1String("void"))
            return info.returnType == 0 ? v : Value::undefined();
        const SlotType type = declaredType(unit, info.returnType);
        return type == SlotType::Object ? coerce(v, classByName(unit, info.returnType)) : coerceSlot(v, type, nullptr);
    };
    std::vector<Value> stack;
    stack.reserve(raw.maxStack);
    std::vector<ScopeEntry> scopes;
    scopes.reserve(raw.maxScopeDepth - raw.initScopeDepth);
    auto pop = [&]() {
        Value v = std::move(stack.back());
        stack.pop_back();
        return v;
    };
    auto popArgs = [&](std::uint32_t count) {
        std::vector<Value> out(stack.end() - count, stack.end());
        stack.resize(stack.size() - count);
        return out;
    };
    // The name an instruction names, completed from the stack when it is late-bound.
    auto takeName = [&](std::uint32_t index) {
        Name name = unit.names[index];
        const AbcMultiname& m = file.multinames[index];
        if (m.runtimeName()) {
            Value local = pop();
            Name qualified;
            if (!m.runtimeNamespace() && nameFromQName(local, qualified)) {
                qualified.attribute = qualified.attribute || name.attribute;
                return qualified;
            }
            // Dictionaries key by the object itself, not by its text.
            if (local.isObject() && !stack.empty() && stack.back().isObject() && stack.back().o->type() == Object::Type::Dictionary)
                name.keyObject = local.o;
            name.local = local.isObject() && name.keyObject ? QString() : toString(local);
        }
        if (m.runtimeNamespace()) {
            Value ns = pop();
            Namespace n;
            n.uri = ns.isObject() && ns.o->type() == Object::Type::Namespace ? toString(ns.o->primitive) : toString(ns);
            name.namespaces = { n };
            name.anyNamespace = false;
        }
        return name;
    };
    // An array element named by a number takes no detour through strings.
    auto denseIndex = [&](std::uint32_t index, const Value& object, std::uint32_t& element) {
        const AbcMultiname& m = file.multinames[index];
        if (!m.runtimeName() || m.runtimeNamespace() || !stack.back().isNumber() || !object.isObject()
            || object.o->type() != Object::Type::Array)
            return false;
        double d = stack.back().d;
        if (!(d >= 0 && d < double(1u << 24) && d == std::trunc(d)))
            return false;
        element = std::uint32_t(d);
        return true;
    };
    auto chain = [&]() {
        auto all = std::make_shared<std::vector<ScopeEntry>>(outer);
        all->insert(all->end(), scopes.begin(), scopes.end());
        return all;
    };
    auto baseOf = [&]() -> ClassObject* {
        if (!method->owner || !method->owner->base)
            throwError(ErrorClass::ReferenceError, 1070, QStringLiteral("Method not found on the base class."));
        return method->owner->base;
    };
    auto compare = [&](bool swap, bool wantTrue) {
        Value b = pop();
        Value a = pop();
        auto r = swap ? lessThan(b, a) : lessThan(a, b);
        // a < b and a > b are false with NaN; a <= b is !(b < a) unless NaN.
        return wantTrue ? (r.has_value() && *r) : (r.has_value() && !*r);
    };

    const auto& code = body.code;
    std::uint32_t pc = 0;
    for (;;) {
        try {
            for (;;) {
                const Instruction& in = code[pc++];
                countInstruction();
                switch (in.op) {
                case Op::Bkpt: case Op::Nop: case Op::Label: case Op::Debug: case Op::DebugLine: case Op::DebugFile:
                case Op::BkptLine: case Op::Timestamp:
                    break;
                case Op::Throw:
                    throw Thrown { pop() };
                case Op::GetSuper: {
                    Name name = takeName(in.a);
                    Value receiver = pop();
                    const Binding* binding = baseOf()->instanceTraits->find(name);
                    if (binding && binding->kind == Binding::Kind::Accessor && binding->getter)
                        stack.push_back(callMethod(binding->getter, receiver, {}));
                    else if (binding && binding->kind == Binding::Kind::Method)
                        stack.push_back(Value::object(newFunction(binding->method, true, receiver)));
                    else
                        stack.push_back(getProperty(receiver, name));
                    break;
                }
                case Op::SetSuper: {
                    Value value = pop();
                    Name name = takeName(in.a);
                    Value receiver = pop();
                    const Binding* binding = baseOf()->instanceTraits->find(name);
                    if (binding && binding->kind == Binding::Kind::Accessor && binding->setter) {
                        Value one[] = { value };
                        callMethod(binding->setter, receiver, one);
                    } else {
                        setProperty(receiver, name, value);
                    }
                    break;
                }
                case Op::Dxns: defaultXmlNamespace = file.string(in.a); break;
                case Op::DxnsLate: defaultXmlNamespace = toString(pop()); break;
                case Op::Kill: locals[in.a] = Value::undefined(); break;
                case Op::IfNlt: if (!compare(false, true)) pc = in.a; break;
                case Op::IfNle: if (!compare(true, false)) pc = in.a; break;
                case Op::IfNgt: if (!compare(true, true)) pc = in.a; break;
                case Op::IfNge: if (!compare(false, false)) pc = in.a; break;
                case Op::IfLt: if (compare(false, true)) pc = in.a; break;
                case Op::IfLe: if (compare(true, false)) pc = in.a; break;
                case Op::IfGt: if (compare(true, true)) pc = in.a; break;
                case Op::IfGe: if (compare(false, false)) pc = in.a; break;
                case Op::Jump: pc = in.a; break;
                case Op::IfTrue: if (toBoolean(pop())) pc = in.a; break;
                case Op::IfFalse: if (!toBoolean(pop())) pc = in.a; break;
                case Op::IfEq: { Value b = pop(); Value a = pop(); if (looseEquals(a, b)) pc = in.a; break; }
                case Op::IfNe: { Value b = pop(); Value a = pop(); if (!looseEquals(a, b)) pc = in.a; break; }
                case Op::IfStrictEq: { Value b = pop(); Value a = pop(); if (strictEquals(a, b)) pc = in.a; break; }
                case Op::IfStrictNe: { Value b = pop(); Value a = pop(); if (!strictEquals(a, b)) pc = in.a; break; }
                case Op::LookupSwitch: {
                    double index = toNumber(pop());
                    const auto& targets = body.switches[in.a];
                    if (index >= 0 && index == std::trunc(index) && index < double(targets.size() - 1))
                        pc = targets[std::size_t(index) + 1];
                    else
                        pc = targets[0];
                    break;
                }
                case Op::PushWith:
                case Op::PushScope: {
                    Value v = pop();
                    if (v.isNullish())
                        throwError(ErrorClass::TypeError, 1009, QStringLiteral("Cannot access a property or method of a null object reference."));
                    scopes.push_back(ScopeEntry { v, in.op == Op::PushWith });
                    break;
                }
                case Op::PopScope: scopes.pop_back(); break;
                case Op::NextName: { Value i = pop(); Value o = pop(); stack.push_back(nameAt(o, toUint32(toNumber(i)))); break; }
                case Op::NextValue: { Value i = pop(); Value o = pop(); stack.push_back(valueAt(o, toUint32(toNumber(i)))); break; }
                case Op::HasNext: { Value i = pop(); Value o = pop(); stack.push_back(Value::number(nextIndex(o, toUint32(toNumber(i))))); break; }
                case Op::HasNext2: {
                    std::uint32_t next = nextIndex(locals[in.a], toUint32(toNumber(locals[in.b])));
                    if (next == 0)
                        locals[in.a] = Value::null();
                    locals[in.b] = Value::number(next);
                    stack.push_back(Value::boolean(next != 0));
                    break;
                }
                case Op::PushNull: stack.push_back(Value::null()); break;
                case Op::PushUndefined: stack.push_back(Value::undefined()); break;
                case Op::PushByte: stack.push_back(Value::number(std::int8_t(in.a))); break;
                case Op::PushShort: stack.push_back(Value::number(std::int16_t(in.a))); break;
                case Op::PushTrue: stack.push_back(Value::boolean(true)); break;
                case Op::PushFalse: stack.push_back(Value::boolean(false)); break;
                case Op::PushNaN: stack.push_back(Value::number(std::numeric_limits<double>::quiet_NaN())); break;
                case Op::Pop: stack.pop_back(); break;
                case Op::Dup: stack.push_back(stack.back()); break;
                case Op::Swap: std::swap(stack[stack.size() - 1], stack[stack.size() - 2]); break;
                case Op::PushString: stack.push_back(Value::string(file.string(in.a))); break;
                case Op::PushInt: stack.push_back(Value::number(file.ints[in.a])); break;
                case Op::PushUint: stack.push_back(Value::number(file.uints[in.a])); break;
                case Op::PushDouble: stack.push_back(Value::number(file.doubles[in.a])); break;
                case Op::PushNamespace: stack.push_back(constantValue(unit, AbcConstant { ConstantKind::Namespace, in.a })); break;
                case Op::NewFunction: {
                    Method* fn = newMethod();
                    fn->unit = &unit;
                    fn->index = in.a;
                    fn->scope = chain();
                    fn->paramCount = int(file.methods[in.a].paramTypes.size());
                    fn->closure = true;
                    // A function whose method has no name at all shows by its index.
                    fn->traceName = file.methods[in.a].name == 0 ? QStringLiteral("MethodInfo-%1").arg(in.a)
                                                                 : QStringLiteral("Function/<anonymous>");
                    stack.push_back(Value::object(newFunction(fn)));
                    break;
                }
                case Op::Call: {
                    auto callArgs = popArgs(in.a);
                    Value receiver = pop();
                    Value fn = pop();
                    stack.push_back(call(fn, receiver, callArgs));
                    break;
                }
                case Op::Construct: {
                    auto callArgs = popArgs(in.a);
                    Value ctor = pop();
                    stack.push_back(construct(ctor, callArgs));
                    break;
                }
                case Op::CallMethod: {
                    auto callArgs = popArgs(in.b);
                    Value receiver = pop();
                    Object* o = toObject(receiver);
                    const auto& dispatch = o->traits().dispatch;
                    if (in.a >= dispatch.size() || !dispatch[in.a])
                        throwError(ErrorClass::VerifyError, 1051, QStringLiteral("Illegal early binding access to %1.").arg(typeName(receiver)));
                    stack.push_back(callMethod(dispatch[in.a], receiver, callArgs));
                    break;
                }
                case Op::CallStatic: {
                    auto callArgs = popArgs(in.b);
                    Value receiver = pop();
                    Method target;
                    target.unit = &unit;
                    target.index = in.a;
                    target.scope = chain();
                    stack.push_back(callMethod(&target, receiver, callArgs));
                    break;
                }
                case Op::CallSuper:
                case Op::CallSuperVoid: {
                    auto callArgs = popArgs(in.b);
                    Name name = takeName(in.a);
                    Value receiver = pop();
                    const Binding* binding = baseOf()->instanceTraits->find(name);
                    Value result;
                    if (binding && binding->kind == Binding::Kind::Method)
                        result = callMethod(binding->method, receiver, callArgs);
                    else
                        result = call(getProperty(receiver, name), receiver, callArgs);
                    if (in.op == Op::CallSuper)
                        stack.push_back(result);
                    break;
                }
                case Op::CallProperty:
                case Op::CallPropLex:
                case Op::CallPropVoid: {
                    auto callArgs = popArgs(in.b);
                    Name name = takeName(in.a);
                    Value receiver = pop();
                    Value result = callProperty(receiver, name, callArgs);
                    if (in.op != Op::CallPropVoid)
                        stack.push_back(std::move(result));
                    break;
                }
                case Op::ReturnVoid:
                    return returned(Value::undefined());
                case Op::ReturnValue:
                    return returned(pop());
                case Op::ConstructSuper: {
                    auto callArgs = popArgs(in.a);
                    Value receiver = pop();
                    ClassObject* base = baseOf();
                    if (base->constructor)
                        callMethod(base->constructor, receiver, callArgs);
                    break;
                }
                case Op::ConstructProp: {
                    auto callArgs = popArgs(in.b);
                    Name name = takeName(in.a);
                    Value receiver = pop();
                    Value ctor = getProperty(receiver, name);
                    if (!ctor.isObject())
                        throwError(ErrorClass::TypeError, 1007, QStringLiteral("Instantiation attempted on a non-constructor."));
                    stack.push_back(construct(ctor, callArgs));
                    break;
                }
                case Op::Sxi1: { std::int32_t v = toInt32(toNumber(pop())); stack.push_back(Value::number(-(v & 1))); break; }
                case Op::Sxi8: { std::int32_t v = toInt32(toNumber(pop())); stack.push_back(Value::number(std::int8_t(v))); break; }
                case Op::Sxi16: { std::int32_t v = toInt32(toNumber(pop())); stack.push_back(Value::number(std::int16_t(v))); break; }
                case Op::ApplyType: {
                    auto params = popArgs(in.a);
                    Value& generic = stack.back();
                    if (!generic.isObject() || generic.o->type() != Object::Type::Class || !static_cast<ClassObject*>(generic.o)->isVectorGeneric)
                        throwError(ErrorClass::TypeError, 1127, QStringLiteral("Type application attempted on a non-parameterized type."));
                    if (params.size() != 1)
                        throwError(ErrorClass::TypeError, 1128, QStringLiteral("Incorrect number of type parameters for %1. Expected 1, got %2.").arg(typeName(generic)).arg(params.size()));
                    ClassObject* element = nullptr;
                    if (params[0].isObject() && params[0].o->type() == Object::Type::Class)
                        element = static_cast<ClassObject*>(params[0].o);
                    else if (!params[0].isNullish())
                        throwError(ErrorClass::TypeError, 1034, QStringLiteral("Type Coercion failed: cannot convert %1 to Class.").arg(toString(params[0])));
                    generic = Value::object(applyVectorType(static_cast<ClassObject*>(generic.o), element));
                    break;
                }
                case Op::NewObject: {
                    auto pairs = popArgs(in.a * 2);
                    Object* o = newObject();
                    for (std::size_t i = 0; i < pairs.size(); i += 2)
                        o->dynamicSet(toString(pairs[i]), pairs[i + 1]);
                    stack.push_back(Value::object(o));
                    break;
                }
                case Op::NewArray: stack.push_back(Value::object(newArray(popArgs(in.a)))); break;
                case Op::NewActivation: {
                    Object* activation = allocate<Object>(Object::Type::Scope, nullptr, nullptr,
                        activationTraits(unit, std::uint32_t(info.body)));
                    stack.push_back(Value::object(activation));
                    break;
                }
                case Op::NewClass: {
                    Value base = pop();
                    ClassObject* baseClass = base.isObject() && base.o->type() == Object::Type::Class ? static_cast<ClassObject*>(base.o) : nullptr;
                    stack.push_back(Value::object(newClass(unit, in.a, baseClass, chain())));
                    break;
                }
                case Op::GetDescendants: {
                    Name name = takeName(in.a);
                    Value object = pop();
                    Value found;
                    if (object.isObject() && isXmlObject(object.o) && object.o->hooks->descendants(*this, object.o, name, found)) {
                        stack.push_back(found);
                        break;
                    }
                    throwError(ErrorClass::TypeError, 1016, QStringLiteral("Descendants operator (..) not supported on type %1.").arg(typeName(object)));
                }
                case Op::NewCatch: {
                    auto traits = std::make_shared<Traits>();
                    const AbcException& handler = raw.exceptions[in.a];
                    if (handler.varName) {
                        const Name& name = unit.names[handler.varName];
                        traits->addSlot(name.namespaces.empty() ? Namespace {} : name.namespaces[0], name.local, false,
                            Value::undefined(), SlotType::Any, 1);
                    }
                    stack.push_back(Value::object(allocate<Object>(Object::Type::Scope, nullptr, nullptr, traits)));
                    break;
                }
                case Op::FindPropStrict:
                case Op::FindProperty: {
                    Name name = takeName(in.a);
                    stack.push_back(findProperty(outer, scopes, name, in.op == Op::FindPropStrict));
                    break;
                }
                case Op::FindDef: {
                    bool found = false;
                    Value holder = globalLookup(unit.names[in.a], found);
                    if (!found)
                        throwError(ErrorClass::ReferenceError, 1065, QStringLiteral("Variable %1 is not defined.").arg(unit.names[in.a].local));
                    stack.push_back(holder);
                    break;
                }
                case Op::GetLex: {
                    const Name& name = unit.names[in.a];
                    stack.push_back(getProperty(findProperty(outer, scopes, name, true), name));
                    break;
                }
                case Op::SetProperty:
                case Op::InitProperty: {
                    Value value = pop();
                    std::uint32_t element = 0;
                    if (stack.size() >= 2 && denseIndex(in.a, stack[stack.size() - 2], element)) {
                        stack.pop_back();
                        Value object = pop();
                        auto& elements = object.o->elements;
                        if (element >= elements.size())
                            elements.resize(std::size_t(element) + 1, Value::hole());
                        elements[element] = std::move(value);
                        break;
                    }
                    Name name = takeName(in.a);
                    Value object = pop();
                    setProperty(object, name, value, in.op == Op::InitProperty);
                    break;
                }
                case Op::GetLocal: stack.push_back(locals[in.a]); break;
                case Op::SetLocal: locals[in.a] = pop(); break;
                case Op::GetGlobalScope:
                    stack.push_back(!outer.empty() ? outer.front().object : (scopes.empty() ? Value::undefined() : scopes.front().object));
                    break;
                case Op::GetScopeObject: stack.push_back(scopes[in.a].object); break;
                case Op::GetProperty: {
                    std::uint32_t element = 0;
                    // Only an element that is there is read directly; holes and
                    // indexes past the end may find a value on the prototype chain.
                    if (stack.size() >= 2 && denseIndex(in.a, stack[stack.size() - 2], element)
                        && element < stack[stack.size() - 2].o->elements.size() && !stack[stack.size() - 2].o->elements[element].isHole()) {
                        stack.pop_back();
                        Value object = pop();
                        stack.push_back(object.o->elements[element]);
                        break;
                    }
                    Name name = takeName(in.a);
                    Value object = pop();
                    stack.push_back(getProperty(object, name));
                    break;
                }
                case Op::DeleteProperty: {
                    Name name = takeName(in.a);
                    Value object = pop();
                    stack.push_back(Value::boolean(deleteProperty(object, name)));
                    break;
                }
                case Op::GetSlot:
                case Op::SetSlot:
                case Op::GetGlobalSlot:
                case Op::SetGlobalSlot: {
                    Value value;
                    if (in.op == Op::SetSlot || in.op == Op::SetGlobalSlot)
                        value = pop();
                    Value object;
                    if (in.op == Op::GetSlot || in.op == Op::SetSlot)
                        object = pop();
                    else
                        object = !outer.empty() ? outer.front().object : (scopes.empty() ? Value::undefined() : scopes.front().object);
                    Object* o = toObject(object);
                    auto slot = o->traits().slotIds.value(in.a, -1);
                    if (slot < 0 || std::size_t(slot) >= o->slotValues().size())
                        throwError(ErrorClass::VerifyError, 1026, QStringLiteral("Slot %1 exceeds slotCount=%2 of %3.").arg(in.a).arg(o->slotValues().size()).arg(typeName(object)));
                    if (in.op == Op::GetSlot || in.op == Op::GetGlobalSlot)
                        stack.push_back(o->slotValues()[std::size_t(slot)]);
                    else
                        o->slotValues()[std::size_t(slot)] = coerceSlot(value, o->traits().slotTypes[std::size_t(slot)], nullptr);
                    break;
                }
                case Op::ConvertS: stack.push_back(Value::string(toString(pop()))); break;
                case Op::EscXElem: stack.push_back(Value::string(escapeXml(toString(pop()), false))); break;
                case Op::EscXAttr: stack.push_back(Value::string(escapeXml(toString(pop()), true))); break;
                case Op::ConvertI: case Op::CoerceI: stack.push_back(Value::number(toInt32(toNumber(pop())))); break;
                case Op::ConvertU: case Op::CoerceU: stack.push_back(Value::number(toUint32(toNumber(pop())))); break;
                case Op::ConvertD: case Op::CoerceD: stack.push_back(Value::number(toNumber(pop()))); break;
                case Op::ConvertB: case Op::CoerceB: stack.push_back(Value::boolean(toBoolean(pop()))); break;
                case Op::ConvertO:
                    if (stack.back().isNullish())
                        toObject(stack.back());
                    break;
                case Op::CheckFilter:
                    if (stack.back().isObject() && isXmlObject(stack.back().o))
                        break;
                    throwError(ErrorClass::TypeError, 1123, QStringLiteral("Filter operator not supported on type %1.").arg(typeName(stack.back())));
                case Op::Coerce: {
                    const Name& name = unit.names[in.a];
                    if (name.anyName)
                        break;
                    ClassObject* cls = classByName(unit, in.a);
                    if (cls)
                        stack.back() = coerce(stack.back(), cls);
                    else if (stack.back().isUndefined())
                        stack.back() = Value::null();
                    break;
                }
                case Op::CoerceA: break;
                case Op::CoerceS:
                    if (!stack.back().isNullish())
                        stack.back() = Value::string(toString(stack.back()));
                    else
                        stack.back() = Value::null();
                    break;
                case Op::CoerceO:
                    if (stack.back().isUndefined())
                        stack.back() = Value::null();
                    break;
                case Op::AsType: {
                    ClassObject* cls = classByName(unit, in.a);
                    if (!isType(stack.back(), cls))
                        stack.back() = Value::null();
                    break;
                }
                case Op::AsTypeLate:
                case Op::IsTypeLate: {
                    Value type = pop();
                    Value v = pop();
                    if (!type.isObject() || type.o->type() != Object::Type::Class)
                        throwError(ErrorClass::TypeError, 1041, QStringLiteral("The right-hand side of operator must be a class."));
                    bool is = isType(v, static_cast<ClassObject*>(type.o));
                    if (in.op == Op::IsTypeLate)
                        stack.push_back(Value::boolean(is));
                    else
                        stack.push_back(is ? v : Value::null());
                    break;
                }
                case Op::IsType: {
                    ClassObject* cls = classByName(unit, in.a);
                    stack.back() = Value::boolean(isType(stack.back(), cls));
                    break;
                }
                case Op::Negate: stack.back() = Value::number(-toNumber(stack.back())); break;
                case Op::Increment: stack.back() = Value::number(toNumber(stack.back()) + 1); break;
                case Op::Decrement: stack.back() = Value::number(toNumber(stack.back()) - 1); break;
                case Op::IncLocal: locals[in.a] = Value::number(toNumber(locals[in.a]) + 1); break;
                case Op::DecLocal: locals[in.a] = Value::number(toNumber(locals[in.a]) - 1); break;
                case Op::IncrementI: stack.back() = Value::number(toInt32(double(toInt32(toNumber(stack.back()))) + 1)); break;
                case Op::DecrementI: stack.back() = Value::number(toInt32(double(toInt32(toNumber(stack.back()))) - 1)); break;
                case Op::IncLocalI: locals[in.a] = Value::number(toInt32(double(toInt32(toNumber(locals[in.a]))) + 1)); break;
                case Op::DecLocalI: locals[in.a] = Value::number(toInt32(double(toInt32(toNumber(locals[in.a]))) - 1)); break;
                case Op::NegateI: stack.back() = Value::number(toInt32(-double(toInt32(toNumber(stack.back()))))); break;
                case Op::TypeOf: stack.back() = Value::string(typeOf(stack.back())); break;
                case Op::Not: stack.back() = Value::boolean(!toBoolean(stack.back())); break;
                case Op::BitNot: stack.back() = Value::number(~toInt32(toNumber(stack.back()))); break;
                case Op::Add: { Value b = pop(); stack.back() = add(stack.back(), b); break; }
                case Op::Subtract: { double b = toNumber(pop()); stack.back() = Value::number(toNumber(stack.back()) - b); break; }
                case Op::Multiply: { double b = toNumber(pop()); stack.back() = Value::number(toNumber(stack.back()) * b); break; }
                case Op::Divide: { double b = toNumber(pop()); stack.back() = Value::number(toNumber(stack.back()) / b); break; }
                case Op::Modulo: { double b = toNumber(pop()); stack.back() = Value::number(std::fmod(toNumber(stack.back()), b)); break; }
                case Op::LShift: { std::uint32_t b = toUint32(toNumber(pop())) & 31; stack.back() = Value::number(std::int32_t(toUint32(toNumber(stack.back())) << b)); break; }
                case Op::RShift: { std::uint32_t b = toUint32(toNumber(pop())) & 31; stack.back() = Value::number(toInt32(toNumber(stack.back())) >> b); break; }
                case Op::URShift: { std::uint32_t b = toUint32(toNumber(pop())) & 31; stack.back() = Value::number(toUint32(toNumber(stack.back())) >> b); break; }
                case Op::BitAnd: { std::int32_t b = toInt32(toNumber(pop())); stack.back() = Value::number(toInt32(toNumber(stack.back())) & b); break; }
                case Op::BitOr: { std::int32_t b = toInt32(toNumber(pop())); stack.back() = Value::number(toInt32(toNumber(stack.back())) | b); break; }
                case Op::BitXor: { std::int32_t b = toInt32(toNumber(pop())); stack.back() = Value::number(toInt32(toNumber(stack.back())) ^ b); break; }
                case Op::AddI: { double b = toInt32(toNumber(pop())); stack.back() = Value::number(toInt32(toInt32(toNumber(stack.back())) + b)); break; }
                case Op::SubtractI: { double b = toInt32(toNumber(pop())); stack.back() = Value::number(toInt32(toInt32(toNumber(stack.back())) - b)); break; }
                case Op::MultiplyI: {
                    std::int64_t b = toInt32(toNumber(pop()));
                    std::int64_t a = toInt32(toNumber(stack.back()));
                    stack.back() = Value::number(std::int32_t(std::uint32_t(std::uint64_t(a * b))));
                    break;
                }
                case Op::Equals: { Value b = pop(); stack.back() = Value::boolean(looseEquals(stack.back(), b)); break; }
                case Op::StrictEquals: { Value b = pop(); stack.back() = Value::boolean(strictEquals(stack.back(), b)); break; }
                case Op::LessThan: stack.push_back(Value::boolean(compare(false, true))); break;
                case Op::LessEquals: stack.push_back(Value::boolean(compare(true, false))); break;
                case Op::GreaterThan: stack.push_back(Value::boolean(compare(true, true))); break;
                case Op::GreaterEquals: stack.push_back(Value::boolean(compare(false, false))); break;
                case Op::InstanceOf: {
                    Value type = pop();
                    Value v = pop();
                    Object* prototype = nullptr;
                    if (type.isObject() && type.o->type() == Object::Type::Class)
                        prototype = static_cast<ClassObject*>(type.o)->instancePrototype;
                    else if (type.isObject() && type.o->type() == Object::Type::Function)
                        prototype = getProperty(type, Name::publicName(QStringLiteral("prototype"))).object();
                    else
                        throwError(ErrorClass::TypeError, 1040, QStringLiteral("The right-hand side of instanceof must be a class or function."));
                    bool found = false;
                    Object* start = v.isObject() ? v.o->prototype() : (v.isNullish() ? nullptr : classOf(v)->instancePrototype);
                    for (Object* p = start; p && !found; p = p->prototype())
                        found = p == prototype;
                    stack.push_back(Value::boolean(found));
                    break;
                }
                case Op::In: {
                    Value object = pop();
                    Value name = pop();
                    Name asked = Name::publicName(QString());
                    if (name.isObject() && object.isObject() && object.o->type() == Object::Type::Dictionary)
                        asked.keyObject = name.o;
                    else
                        asked.local = toString(name);
                    stack.push_back(Value::boolean(hasProperty(object, asked)));
                    break;
                }
                case Op::GetLocal0: case Op::GetLocal1: case Op::GetLocal2: case Op::GetLocal3:
                    stack.push_back(locals[std::uint8_t(in.op) - std::uint8_t(Op::GetLocal0)]);
                    break;
                case Op::SetLocal0: case Op::SetLocal1: case Op::SetLocal2: case Op::SetLocal3:
                    locals[std::uint8_t(in.op) - std::uint8_t(Op::SetLocal0)] = pop();
                    break;
                }
            }
        } catch (Thrown& thrown) {
            // The handler guarding the instruction that failed, if its type matches.
            const std::uint32_t at = pc - 1;
            const Handler* taken = nullptr;
            for (const Handler& handler : body.handlers) {
                if (at < handler.from || at >= handler.to)
                    continue;
                if (handler.type != 0) {
                    ClassObject* type = classByName(unit, handler.type);
                    if (type && !isType(thrown.value, type))
                        continue;
                }
                taken = &handler;
                break;
            }
            if (!taken)
                throw;
            stack.clear();
            scopes.clear();
            stack.push_back(thrown.value);
            pc = taken->target;
        }
    }
}

} // namespace swf::avm2
