// Actions on objects and functions: calls, construction, members, literals,
// enumeration, function definition and the class actions of version 6 and 7.

#include "swf/avm1/vm/Execute.h"

namespace swf::avm1 {

using namespace exec;

void Interpreter::defineFunction(Frame& f, const Instruction& ins)
{
    auto* fn = make<FunctionObject>(m_realm.functionPrototype, caseSensitive());
    fn->code = ins.function;
    fn->scope = f.scope;
    fn->constantPool = f.pool;
    fn->definingTarget = f.callee ? f.base : timelineOf(f);
    giveConstructor(fn);
    Object* proto = newObject();
    proto->define(QStringLiteral("constructor"), Value(static_cast<Object*>(fn)), DontEnum | DontDelete);
    // Scripts may replace a function's prototype but never delete it.
    fn->define(QStringLiteral("prototype"), Value(proto), DontEnum | DontDelete);
    const QString& name = ins.function->name;
    if (name.isEmpty()) {
        push(Value(static_cast<Object*>(fn)));
        return;
    }
    if (f.activation)
        f.activation->put(name, Value(static_cast<Object*>(fn)));
    else
        setVariable(f, name, Value(static_cast<Object*>(fn)));
}

void Interpreter::opDefineFunction(Exec& x, const Instruction& ins)
{
    defineFunction(x.f, ins);
}

void Interpreter::opDefineFunction2(Exec& x, const Instruction& ins)
{
    defineFunction(x.f, ins);
}

namespace {

// A name without path delimiters and no keyword: looked up on the scope chain as it is.
bool isPlainName(const QString& name)
{
    for (QChar c : name) {
        if (c == QLatin1Char(':') || c == QLatin1Char('/') || c == QLatin1Char('.'))
            return false;
    }
    return name.compare(QLatin1String("this"), Qt::CaseInsensitive) != 0
        && name.compare(QLatin1String("super"), Qt::CaseInsensitive) != 0;
}

// The link of `from`'s prototype chain whose own link is `target` (`from`
// itself when the chain does not reach it).
Object* linkBelow(Object* from, Object* target)
{
    int depth = 0;
    for (Object* cur = from; cur && depth < 256; cur = cur->proto(), ++depth) {
        if (cur->proto() == target)
            return cur;
    }
    return from;
}

} // namespace

void Interpreter::opCallFunction(Exec& x, const Instruction&)
{
    QString name = toString(pop(x.f));
    std::vector<Value> args;
    popArgs(x.f, args);
    // A function found on a link of the scope chain (a local, a `with`
    // object) runs with that object as `this`; one found on the timeline or
    // elsewhere runs with the calling timeline.
    Object* holder = nullptr;
    Value fn;
    if (!isPlainName(name) || !lookupInScope(x.f, name, fn, &holder))
        fn = getVariable(x.f, name);
    // super(...) runs the parent class's constructor on this object.
    if (Object* s = fn.asObject(); s && s->kind() == Object::Kind::Super) {
        auto* super = static_cast<SuperObject*>(s);
        const Property* h = super->findOwn(QStringLiteral("__home__"));
        Value ctor = h && h->value.isObject() ? getMember(h->value, QStringLiteral("__constructor__")) : Value();
        if (!isFunction(ctor)) {
            push(Value());
            return;
        }
        auto* function = static_cast<FunctionObject*>(ctor.asObject());
        Value self = super->thisObject ? Value(super->thisObject) : Value();
        push(function->isNative() ? call(ctor, self, std::move(args)) : callScript(function, self, args, super->proto(), false));
        return;
    }
    Object* thisObject = holder ? holder : (x.f.targetLost ? x.f.base : timelineOf(x.f));
    push(isFunction(fn) ? call(fn, Value(thisObject), std::move(args)) : Value());
}

Interpreter::MethodOperands Interpreter::popMethodOperands(Frame& f)
{
    Value nameValue = pop(f);
    MethodOperands m;
    m.object = pop(f);
    popArgs(f, m.args);
    m.name = nameValue.isUndefined() ? QString() : toString(nameValue);
    return m;
}

void Interpreter::opCallMethod(Exec& x, const Instruction&)
{
    auto [name, object, args] = popMethodOperands(x.f);
    Object* o = object.asObject();
    Value thisValue = object;
    Object* home = nullptr;
    Value fn;
    if (o && o->kind() == Object::Kind::Super) {
        auto* s = static_cast<SuperObject*>(o);
        thisValue = s->thisObject ? Value(s->thisObject) : Value();
        if (name.isEmpty()) {
            // super(...) runs the constructor of the parent class.
            const Property* h = s->findOwn(QStringLiteral("__home__"));
            fn = h && h->value.isObject() ? getMember(h->value, QStringLiteral("__constructor__")) : Value();
            home = s->proto();
        } else if (s->proto()) {
            // Version 6: the method's own super starts one link above where
            // this lookup started, wherever up the chain the method was
            // found, so a method a class does not override is found again by
            // its own `super` call, once per class in between. From version
            // 7 a method found further up has its super start at the object
            // that holds it: its `super` call finds it once more, then moves
            // on above it.
            Object* holder = nullptr;
            Property* p = findProperty(s->proto(), name, &holder);
            fn = p ? (p->getter ? call(Value(p->getter), thisValue, {}) : p->value) : Value();
            home = s->proto();
            if (m_version >= 7 && p && holder != home)
                home = linkBelow(home, holder);
        }
    } else if (name.isEmpty()) {
        fn = object;
        thisValue = Value();
    } else {
        // A method called on an object has its class where the object's
        // own link points: its super starts one link above that. From
        // version 7 a method found further up the chain has its class where
        // it was found.
        fn = getMember(object, name);
        if (m_version >= 7 && o && isFunction(fn)
            && !static_cast<FunctionObject*>(fn.asObject())->isNative()) {
            Object* holder = nullptr;
            if (findProperty(o, name, &holder) && holder != o && holder != o->proto())
                home = holder;
        }
    }
    if (!isFunction(fn)) {
        push(Value());
        return;
    }
    auto* function = static_cast<FunctionObject*>(fn.asObject());
    if (function->isNative()) {
        push(call(fn, thisValue, std::move(args)));
    } else {
        // A function value called as a method without a name has no `this`.
        m_thisUnbound = name.isEmpty() && !(o && o->kind() == Object::Kind::Super);
        push(callScript(function, thisValue, args, home, false));
    }
}

void Interpreter::opNewObject(Exec& x, const Instruction&)
{
    QString name = toString(pop(x.f));
    std::vector<Value> args;
    popArgs(x.f, args);
    Value ctor = getVariable(x.f, name);
    push(isFunction(ctor) ? construct(ctor, std::move(args)) : Value());
}

void Interpreter::opNewMethod(Exec& x, const Instruction&)
{
    auto [name, object, args] = popMethodOperands(x.f);
    Value ctor = name.isEmpty() ? object : getMember(object, name);
    push(isFunction(ctor) ? construct(ctor, std::move(args)) : Value());
}

void Interpreter::opGetMember(Exec& x, const Instruction&)
{
    Value name = pop(x.f);
    Value object = pop(x.f);
    push(getMember(object, toString(name)));
}

void Interpreter::opSetMember(Exec& x, const Instruction&)
{
    Value v = pop(x.f);
    QString name = toString(pop(x.f));
    Value object = pop(x.f);
    setMember(object, name, v);
}

void Interpreter::opDelete(Exec& x, const Instruction&)
{
    QString name = toString(pop(x.f));
    Value object = pop(x.f);
    pushBool(deleteMember(object.asObject(), name));
}

// Items missing from the stack read as undefined. A literal that claims far
// more than that is garbage: the result is undefined and the stack is left as it was.
Object* Interpreter::currentArrayPrototype() const
{
    if (const Property* ctor = m_realm.global->findOwn(QStringLiteral("Array")); ctor && ctor->value.isObject()) {
        const Property* proto = ctor->value.asObject()->findOwn(QStringLiteral("prototype"));
        if (proto && proto->value.isObject())
            return proto->value.asObject();
    }
    return nullptr;
}

void Interpreter::opInitArray(Exec& x, const Instruction&)
{
    size_t n = popCount(x.f);
    if (n > stackDepth(x.f) + MaxMissingArgs) {
        push(Value());
        return;
    }
    ArrayObject* a = newArray();
    a->setProto(currentArrayPrototype());
    a->elements.resize(n);
    for (size_t i = 0; i < n; ++i)
        a->elements[i] = pop(x.f);
    push(Value(static_cast<Object*>(a)));
}

void Interpreter::opInitObject(Exec& x, const Instruction&)
{
    Frame& f = x.f;
    size_t n = popCount(f);
    if (n > (stackDepth(f) + MaxMissingArgs) / 2) {
        push(Value());
        return;
    }
    std::vector<std::pair<QString, Value>> pairs;
    pairs.resize(n);
    for (size_t i = 0; i < pairs.size(); ++i) {
        pairs[i].second = pop(f);
        pairs[i].first = toString(pop(f));
    }
    // Members are set in the order they come off the stack, last written
    // first, so that enumeration (newest first) lists them as written.
    Object* o = newObject();
    for (auto& [name, value] : pairs)
        setMember(Value(o), name, value);
    push(Value(o));
}

void Interpreter::enumerateOnto(Object* o)
{
    push(Value());
    if (!o)
        return;
    // The loop pops names off the stack: push the last one first.
    const QStringList names = enumerate(o);
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        push(Value(*it));
}

void Interpreter::opEnumerate(Exec& x, const Instruction&)
{
    Value v = pop(x.f);
    enumerateOnto(getVariable(x.f, toString(v)).asObject());
}

void Interpreter::opEnumerate2(Exec& x, const Instruction&)
{
    enumerateOnto(pop(x.f).asObject());
}

void Interpreter::opInstanceOf(Exec& x, const Instruction&)
{
    Value ctor = pop(x.f);
    Value o = pop(x.f);
    push(Value(isInstanceOf(o.asObject(), ctor.asObject())));
}

void Interpreter::opExtends(Exec& x, const Instruction&)
{
    Value superclass = pop(x.f);
    Value subclass = pop(x.f);
    if (!subclass.isObject() || !superclass.isObject())
        return;
    Object* superProto = getMember(superclass, QStringLiteral("prototype")).asObject();
    Object* proto = newObject(superProto);
    proto->define(QStringLiteral("__constructor__"), superclass, DontEnum);
    setMember(subclass, QStringLiteral("prototype"), Value(proto));
}

void Interpreter::opCastOp(Exec& x, const Instruction&)
{
    Value o = pop(x.f);
    Value ctor = pop(x.f);
    push(isInstanceOf(o.asObject(), ctor.asObject()) ? o : Value::null());
}

void Interpreter::opImplementsOp(Exec& x, const Instruction&)
{
    Value ctor = pop(x.f);
    std::vector<Value> list;
    popArgs(x.f, list);
    Object* proto = ctor.isObject() ? getMember(ctor, QStringLiteral("prototype")).asObject() : nullptr;
    if (!proto)
        return;
    proto->interfaces.clear();
    for (const Value& i : list)
        if (Object* io = i.asObject())
            proto->interfaces.push_back(io);
}

} // namespace swf::avm1
