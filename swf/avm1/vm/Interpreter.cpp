#include "swf/avm1/vm/Interpreter.h"

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Frame.h"

#include <QSet>

#include <cmath>
#include <limits>

namespace swf::avm1 {

namespace {

constexpr size_t MaxStack = 1u << 20;
constexpr int MaxProtoDepth = 256;
// Getters and watchers together, and setters on their own, nest this deep;
// past it a getter reads and a setter writes the plain value, and a watcher
// is not called.
constexpr int MaxAccessorNesting = 65;

struct NestingGuard {
    int& count;
    explicit NestingGuard(int& c) : count(c) { ++count; }
    ~NestingGuard() { --count; }
};

const char* const PropertyNames[] = {
    "_x", "_y", "_xscale", "_yscale", "_currentframe", "_totalframes", "_alpha", "_visible",
    "_width", "_height", "_rotation", "_target", "_framesloaded", "_name", "_droptarget", "_url",
    "_highquality", "_focusrect", "_soundbuftime", "_quality", "_xmouse", "_ymouse",
};

bool isNumericString(const QString& s)
{
    return !s.isEmpty() && !std::isnan(stringToNumber(s, 7));
}

} // namespace


Interpreter::Interpreter(int version, ScriptHost* host)
    : m_version(version), m_host(host)
{
    installBuiltins();
    // The global object is bare: it inherits nothing from Object.prototype.
    m_global->setProto(nullptr);
}

Interpreter::~Interpreter()
{
    for (Object* o : m_heap)
        delete o;
}

void Interpreter::adopt(Object* o)
{
    m_heap.push_back(o);
    ++m_allocsSinceGc;
}

Object* Interpreter::newObject()
{
    return make<Object>(Object::Kind::Plain, m_objectProto, caseSensitive());
}

Object* Interpreter::newObject(Object* proto)
{
    return make<Object>(Object::Kind::Plain, proto, caseSensitive());
}

ArrayObject* Interpreter::newArray()
{
    return make<ArrayObject>(m_arrayProto, caseSensitive());
}

FunctionObject* Interpreter::newNative(const QString& name, NativeFunction fn, Object* prototype)
{
    auto* f = make<FunctionObject>(m_functionProto, caseSensitive());
    f->native = std::move(fn);
    if (prototype)
        f->define(QStringLiteral("prototype"), Value(prototype), DontEnum | DontDelete);
    (void)name;
    return f;
}

FunctionObject* Interpreter::newConstructor(const QString& name, NativeFunction fn, Object* prototype)
{
    auto* f = newNative(name, std::move(fn), prototype);
    if (prototype)
        prototype->define(QStringLiteral("constructor"), Value(static_cast<Object*>(f)), DontEnum);
    return f;
}

void Interpreter::defineMethod(Object* on, const QString& name, NativeFunction fn, uint8_t flags)
{
    on->define(name, Value(static_cast<Object*>(newNative(name, std::move(fn)))), flags);
}

void Interpreter::trap(const QString& message)
{
    throw ScriptTrap { message };
}

double Interpreter::random01()
{
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_random);
}

// ---------------------------------------------------------------- conversions

double Interpreter::toNumber(const Value& v)
{
    switch (v.type()) {
    case ValueType::Undefined:
    case ValueType::Null:
        return m_version >= 7 ? std::numeric_limits<double>::quiet_NaN() : 0.0;
    case ValueType::Boolean: return v.asBoolean() ? 1 : 0;
    case ValueType::Number: return v.asNumber();
    case ValueType::String:
        if (m_version < 5 && v.asString().isEmpty())
            return 0;
        return stringToNumber(v.asString(), m_version);
    case ValueType::Object: {
        Value p = toPrimitive(v);
        if (p.isObject())
            return std::numeric_limits<double>::quiet_NaN();
        return toNumber(p);
    }
    }
    return 0;
}

QString Interpreter::toString(const Value& v)
{
    switch (v.type()) {
    case ValueType::Undefined: return m_version >= 7 ? QStringLiteral("undefined") : QString();
    case ValueType::Null: return QStringLiteral("null");
    case ValueType::Boolean:
        if (m_version < 5)
            return v.asBoolean() ? QStringLiteral("1") : QStringLiteral("0");
        return v.asBoolean() ? QStringLiteral("true") : QStringLiteral("false");
    case ValueType::Number: return numberToString(v.asNumber());
    case ValueType::String: return v.asString();
    case ValueType::Object: {
        if (v.asObject()->kind() == Object::Kind::Clip)
            return static_cast<ClipObject*>(v.asObject())->dotPath();
        Value p = toPrimitive(v, true);
        if (p.isObject())
            return p.asObject()->kind() == Object::Kind::Function ? QStringLiteral("[type Function]")
                                                                 : QStringLiteral("[type Object]");
        return toString(p);
    }
    }
    return QString();
}

bool Interpreter::toBoolean(const Value& v) const
{
    switch (v.type()) {
    case ValueType::Undefined:
    case ValueType::Null: return false;
    case ValueType::Boolean: return v.asBoolean();
    case ValueType::Number: return v.asNumber() != 0 && !std::isnan(v.asNumber());
    case ValueType::String: {
        if (m_version >= 7)
            return !v.asString().isEmpty();
        // Older movies convert the string to a number first.
        double n = stringToNumber(v.asString(), m_version);
        return n != 0 && !std::isnan(n);
    }
    case ValueType::Object: return true;
    }
    return false;
}

Value Interpreter::toPrimitive(const Value& v, bool preferString)
{
    Object* o = v.asObject();
    if (!o)
        return v;
    if (o->kind() == Object::Kind::Date)
        preferString = true;
    // A clip's value is its path.
    if (o->kind() == Object::Kind::Clip)
        return Value(static_cast<ClipObject*>(o)->dotPath());
    const QString first = preferString ? QStringLiteral("toString") : QStringLiteral("valueOf");
    const QString second = preferString ? QStringLiteral("valueOf") : QStringLiteral("toString");
    bool callable = false;
    for (const QString& name : { first, second }) {
        Value method = getMember(v, name);
        if (Object* m = method.asObject(); m && m->kind() == Object::Kind::Function) {
            callable = true;
            Value r = call(method, v, {});
            if (!r.isObject())
                return r;
        }
        // A function used as a number stays a function: arithmetic on it gives NaN.
        if (!preferString && o->kind() == Object::Kind::Function)
            return Value(std::numeric_limits<double>::quiet_NaN());
    }
    // An object without either method (one with no prototype) has no value.
    return callable ? v : Value();
}

Object* Interpreter::toObject(const Value& v)
{
    switch (v.type()) {
    case ValueType::Object: return v.asObject();
    case ValueType::Boolean: {
        Object* o = make<Object>(Object::Kind::Boolean, m_booleanProto, caseSensitive());
        o->primitive = v;
        return o;
    }
    case ValueType::Number: {
        Object* o = make<Object>(Object::Kind::Number, m_numberProto, caseSensitive());
        o->primitive = v;
        return o;
    }
    case ValueType::String: {
        Object* o = make<Object>(Object::Kind::String, m_stringProto, caseSensitive());
        o->primitive = v;
        o->define(QStringLiteral("length"), Value(double(v.asString().size())), DontEnum);
        return o;
    }
    default: return nullptr;
    }
}

QString Interpreter::typeOf(const Value& v) const
{
    switch (v.type()) {
    case ValueType::Undefined: return QStringLiteral("undefined");
    case ValueType::Null: return QStringLiteral("null");
    case ValueType::Boolean: return QStringLiteral("boolean");
    case ValueType::Number: return QStringLiteral("number");
    case ValueType::String: return QStringLiteral("string");
    case ValueType::Object:
        switch (v.asObject()->kind()) {
        case Object::Kind::Function: return QStringLiteral("function");
        case Object::Kind::Clip: return QStringLiteral("movieclip");
        default: return QStringLiteral("object");
        }
    }
    return QString();
}

bool Interpreter::strictEquals(const Value& a, const Value& b) const
{
    if (a.type() != b.type())
        return false;
    switch (a.type()) {
    case ValueType::Undefined:
    case ValueType::Null: return true;
    case ValueType::Boolean: return a.asBoolean() == b.asBoolean();
    case ValueType::Number:
        // The player compares numbers so that NaN equals itself.
        return a.asNumber() == b.asNumber() || (std::isnan(a.asNumber()) && std::isnan(b.asNumber()));
    case ValueType::String: return a.asString() == b.asString();
    case ValueType::Object: return a.asObject() == b.asObject();
    }
    return false;
}

bool Interpreter::abstractEquals(const Value& a, const Value& b)
{
    if (a.type() == b.type())
        return strictEquals(a, b);
    if (a.isNullish() && b.isNullish())
        return true;
    // An object equals null only when it has no primitive value at all.
    if (a.isObject() && b.isNullish())
        return toPrimitive(a).isNullish();
    if (b.isObject() && a.isNullish())
        return toPrimitive(b).isNullish();
    if (a.isNullish() || b.isNullish())
        return false;
    if (a.isNumber() && b.isString())
        return a.asNumber() == toNumber(b);
    if (a.isString() && b.isNumber())
        return toNumber(a) == b.asNumber();
    if (a.isBoolean())
        return abstractEquals(Value(a.asBoolean() ? 1.0 : 0.0), b);
    if (b.isBoolean())
        return abstractEquals(a, Value(b.asBoolean() ? 1.0 : 0.0));
    if (a.isObject() && !b.isObject()) {
        Value p = toPrimitive(a);
        return p.isObject() ? false : abstractEquals(p, b);
    }
    if (b.isObject() && !a.isObject()) {
        Value p = toPrimitive(b);
        return p.isObject() ? false : abstractEquals(a, p);
    }
    return false;
}

Value Interpreter::abstractLess(const Value& a, const Value& b)
{
    Value pa = toPrimitive(a);
    Value pb = toPrimitive(b);
    if (pa.isString() && pb.isString())
        return Value(pa.asString() < pb.asString());
    double x = toNumber(pa);
    double y = toNumber(pb);
    if (std::isnan(x) || std::isnan(y))
        return Value();
    return Value(x < y);
}

// ---------------------------------------------------------------- members

Property* Interpreter::findProperty(Object* o, const QString& name, Object** holder)
{
    int depth = 0;
    for (Object* cur = o; cur && depth < MaxProtoDepth; cur = cur->proto(), ++depth) {
        Property* p = cur->findOwn(name);
        if (p && p->minVersion <= m_version) {
            if (holder)
                *holder = cur;
            return p;
        }
    }
    return nullptr;
}

bool Interpreter::hasProperty(Object* o, const QString& name)
{
    int depth = 0;
    for (Object* cur = o; cur && depth < MaxProtoDepth; cur = cur->proto(), ++depth) {
        if (cur->hasVirtual(*this, name))
            return true;
        const Property* p = cur->findOwn(name);
        if (p && p->minVersion <= m_version)
            return true;
    }
    return name == QLatin1String("__proto__") && o->proto();
}

Value Interpreter::getMember(const Value& object, const QString& name)
{
    Object* o = object.asObject();
    if (!o) {
        switch (object.type()) {
        case ValueType::String:
            if (name == QLatin1String("length"))
                return Value(double(object.asString().size()));
            o = m_stringProto;
            break;
        case ValueType::Number: o = m_numberProto; break;
        case ValueType::Boolean: o = m_booleanProto; break;
        default: return Value();
        }
    }
    if (name == QLatin1String("__proto__") && object.isObject())
        return o->proto() ? Value(o->proto()) : Value();
    // Every clip reaches the global object as a member, as it does _root.
    if (o->kind() == Object::Kind::Clip && m_version >= 6 && name.size() == 7
        && name.compare(QLatin1String("_global"), caseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0)
        return Value(m_global);
    int depth = 0;
    for (Object* cur = o; cur; cur = cur->proto(), ++depth) {
        // A prototype chain this long loops: the script stops.
        if (depth >= MaxProtoDepth)
            trap(QStringLiteral("prototype chain too long looking up %1").arg(name));
        Value out;
        if (cur->getVirtual(*this, name, out))
            return out;
        Property* p = cur->findOwn(name);
        if (!p || p->minVersion > m_version)
            continue;
        if (p->getter && m_getterNesting + m_watcherNesting < MaxAccessorNesting) {
            NestingGuard nesting(m_getterNesting);
            return call(Value(p->getter), object, {});
        }
        return p->value;
    }
    // A __resolve method answers for properties an object does not have.
    if (object.isObject() && name != QLatin1String("__resolve")) {
        Value resolver = getMember(object, QStringLiteral("__resolve"));
        if (Object* r = resolver.asObject(); r && r->kind() == Object::Kind::Function)
            return call(resolver, object, { Value(name) });
    }
    return Value();
}

void Interpreter::callWatcher(Object* o, const QString& name, Value& value, Property* existing)
{
    auto* watches = o->watches();
    if (!watches)
        return;
    auto it = watches->find(o->caseSensitive() ? name : name.toLower());
    // A watcher that sets its own property calls itself again, up to the nesting bound.
    if (it == watches->end() || m_getterNesting + m_watcherNesting >= MaxAccessorNesting)
        return;
    // The old value is the plain value, wherever on the chain it is; a getter is not asked.
    if (!existing)
        existing = findProperty(o, name);
    Value old = existing ? existing->value : Value();
    Object* callback = it->callback;
    Value userData = it->userData;
    NestingGuard nesting(m_watcherNesting);
    value = call(Value(callback), Value(o), { Value(name), old, value, userData });
}

void Interpreter::setMember(const Value& object, const QString& name, const Value& value)
{
    Object* o = object.asObject();
    if (!o)
        return;
    if (name == QLatin1String("__proto__")) {
        if (value.isObject())
            o->setProto(value.asObject());
        else if (value.isNull() || value.isUndefined())
            o->setProto(nullptr);
        return;
    }
    Value v = value;
    Property* own = o->findOwn(name);
    if (own && own->minVersion > m_version)
        own = nullptr;
    if (o->watches())
        callWatcher(o, name, v, own);
    if (o->setVirtual(*this, name, v))
        return;
    own = o->findOwn(name);
    if (own) {
        if (own->flags & ReadOnly)
            return;
        if (own->setter) {
            // The setter runs, then the plain value behind the accessor takes
            // the assignment too (a getter nested past the bound reads it).
            if (m_setterNesting < MaxAccessorNesting) {
                NestingGuard nesting(m_setterNesting);
                call(Value(own->setter), object, { v });
            }
            if (Property* p = o->findOwn(name); p && p->setter)
                p->value = v;
            return;
        }
        if (own->getter)
            return; // a read-only accessor
        own->value = v;
        return;
    }
    // Accessors defined on a prototype apply to instances.
    int depth = 0;
    for (Object* cur = o->proto(); cur && depth < MaxProtoDepth; cur = cur->proto(), ++depth) {
        Property* p = cur->findOwn(name);
        if (p && p->minVersion <= m_version && (p->getter || p->setter)) {
            if (p->setter && m_setterNesting < MaxAccessorNesting) {
                NestingGuard nesting(m_setterNesting);
                call(Value(p->setter), object, { v });
            }
            return;
        }
    }
    o->put(name, v);
}

bool Interpreter::deleteMember(Object* o, const QString& name)
{
    if (!o)
        return false;
    Property* p = o->findOwn(name);
    if (p) {
        if (p->flags & DontDelete)
            return false;
        return o->removeOwn(name);
    }
    return o->deleteVirtual(*this, name);
}

QStringList Interpreter::enumerate(Object* o)
{
    // Each object's names newest first; the prototypes' before the object's
    // own, and a name shadowed further down the chain listed where it is shadowed.
    std::vector<QStringList> levels;
    QSet<QString> seen;
    int depth = 0;
    for (Object* cur = o; cur && depth < MaxProtoDepth; cur = cur->proto(), ++depth) {
        QStringList level;
        QStringList names;
        cur->virtualNames(*this, names);
        for (const QString& n : names) {
            QString k = caseSensitive() ? n : n.toLower();
            if (!seen.contains(k)) {
                seen.insert(k);
                level.push_back(n);
            }
        }
        for (const QString& n : cur->ownNames(true)) {
            QString k = caseSensitive() ? n : n.toLower();
            if (seen.contains(k))
                continue;
            seen.insert(k);
            const Property* p = cur->findOwn(n);
            if (!(p->flags & DontEnum))
                level.push_back(n);
        }
        levels.push_back(std::move(level));
    }
    QStringList out;
    for (auto it = levels.rbegin(); it != levels.rend(); ++it)
        out += *it;
    return out;
}

bool Interpreter::isInstanceOf(Object* o, Object* constructor)
{
    if (!o || !constructor)
        return false;
    Value protoValue = getMember(Value(constructor), QStringLiteral("prototype"));
    Object* proto = protoValue.asObject();
    if (!proto)
        return false;
    int depth = 0;
    for (Object* cur = o->proto(); cur && depth < MaxProtoDepth; cur = cur->proto(), ++depth) {
        if (cur == proto)
            return true;
        // Interfaces declared with `implements`, and theirs in turn.
        std::vector<Object*> pending(cur->interfaces.begin(), cur->interfaces.end());
        int guard = 0;
        while (!pending.empty() && guard++ < 1024) {
            Object* i = pending.back();
            pending.pop_back();
            if (i == constructor)
                return true;
            if (Object* ip = getMember(Value(i), QStringLiteral("prototype")).asObject())
                pending.insert(pending.end(), ip->interfaces.begin(), ip->interfaces.end());
        }
    }
    return false;
}

// ---------------------------------------------------------------- calls

Value Interpreter::call(const Value& function, const Value& thisValue, std::vector<Value> args)
{
    Object* callee = function.asObject();
    if (!callee || callee->kind() != Object::Kind::Function)
        return Value();
    auto* fn = static_cast<FunctionObject*>(callee);
    if (fn->isNative()) {
        if (m_depth >= m_maxDepth)
            trap(QStringLiteral("calls nested too deeply"));
        ++m_depth;
        struct Guard { int& d; ~Guard() { --d; } } guard { m_depth };
        CallArgs ca { thisValue, std::move(args), false, fn };
        return fn->native(*this, ca);
    }
    return callScript(fn, thisValue, args, nullptr, false);
}

Value Interpreter::construct(const Value& constructor, std::vector<Value> args)
{
    Object* callee = constructor.asObject();
    if (!callee || callee->kind() != Object::Kind::Function)
        return Value();
    auto* fn = static_cast<FunctionObject*>(callee);
    Object* proto = getMember(constructor, QStringLiteral("prototype")).asObject();
    Object* obj = newObject(proto ? proto : m_objectProto);
    obj->define(QStringLiteral("__constructor__"), constructor, DontEnum);
    if (m_version < 6)
        obj->define(QStringLiteral("constructor"), constructor, DontEnum);
    Value result;
    if (fn->isNative()) {
        if (m_depth >= m_maxDepth)
            trap(QStringLiteral("calls nested too deeply"));
        ++m_depth;
        struct Guard { int& d; ~Guard() { --d; } } guard { m_depth };
        CallArgs ca { Value(obj), std::move(args), true, fn };
        result = fn->native(*this, ca);
    } else {
        result = callScript(fn, Value(obj), args, proto, true);
    }
    if (fn->isNative() && result.isObject())
        return result;
    return Value(obj);
}

Value Interpreter::callScript(FunctionObject* fn, const Value& thisValue, std::vector<Value>& args, Object* home, bool constructing)
{
    if (m_depth >= m_maxDepth)
        trap(QStringLiteral("calls nested too deeply"));
    const FunctionCode& code = *fn->code;
    Frame f;
    f.stackBase = m_stack.size();
    f.activation = newObject(nullptr);
    // A function called on nothing runs on the global object.
    f.thisObj = thisValue.isObject() ? thisValue.asObject() : (thisValue.isNullish() ? m_global : toObject(thisValue));
    f.base = fn->definingTarget;
    if (m_version < 6) {
        // Movies before version 6 have no closures: a function sees its own
        // locals, then the timeline it runs on, which is `this` when that is a clip.
        if (f.thisObj && f.thisObj->kind() == Object::Kind::Clip)
            f.base = f.thisObj;
        f.scope = std::make_shared<Scope>(Scope { f.activation, f.base ? std::make_shared<Scope>(Scope { f.base, nullptr }) : nullptr });
    } else {
        f.scope = std::make_shared<Scope>(Scope { f.activation, fn->scope });
    }
    f.target = f.base;
    f.pool = fn->constantPool;
    f.callee = fn;
    f.home = home ? home : (f.thisObj ? f.thisObj->proto() : nullptr);

    ArrayObject* arguments = newArray();
    arguments->elements = args;
    arguments->define(QStringLiteral("callee"), Value(static_cast<Object*>(fn)), DontEnum);
    Value caller = m_frames.empty() || !m_frames.back()->callee ? Value::null() : Value(static_cast<Object*>(m_frames.back()->callee));
    arguments->define(QStringLiteral("caller"), caller, DontEnum);

    auto superObject = [&]() -> Value {
        Object* start = f.home ? f.home->proto() : nullptr;
        auto* s = make<SuperObject>(f.thisObj, start, caseSensitive());
        s->define(QStringLiteral("__home__"), f.home ? Value(f.home) : Value(), DontEnum);
        return Value(static_cast<Object*>(s));
    };

    if (!code.isV2) {
        f.regs.resize(4);
        f.activation->define(QStringLiteral("arguments"), Value(static_cast<Object*>(arguments)), 0);
        for (size_t i = 0; i < code.params.size(); ++i)
            f.activation->put(code.params[i].name, i < args.size() ? args[i] : Value());
    } else {
        // Only the registers the function declares exist; stores past them are lost.
        // Suppressing `this` wins over preloading it: the register stays free.
        const bool preloadThis = (code.flags & PreloadThis) && !(code.flags & SuppressThis);
        int preloads = 1 + preloadThis + bool(code.flags & PreloadArguments) + bool(code.flags & PreloadSuper)
            + bool(code.flags & PreloadRoot) + bool(code.flags & PreloadParent) + bool(code.flags & PreloadGlobal);
        // A function that declares no registers gets the four every block has.
        int highest = std::max(code.registerCount == 0 ? 4 : int(code.registerCount), preloads);
        for (const FunctionParam& p : code.params)
            highest = std::max(highest, p.reg + 1);
        f.regs.resize(size_t(highest));
        int reg = 1;
        ClipObject* baseClip = f.base && f.base->kind() == Object::Kind::Clip ? static_cast<ClipObject*>(f.base) : nullptr;
        if (preloadThis)
            f.regs[size_t(reg++)] = f.thisObj ? Value(f.thisObj) : Value();
        if (code.flags & PreloadArguments)
            f.regs[size_t(reg++)] = Value(static_cast<Object*>(arguments));
        else if (!(code.flags & SuppressArguments))
            f.activation->define(QStringLiteral("arguments"), Value(static_cast<Object*>(arguments)), 0);
        if (code.flags & PreloadSuper)
            f.regs[size_t(reg++)] = superObject();
        if (code.flags & PreloadRoot)
            f.regs[size_t(reg++)] = baseClip ? Value(static_cast<Object*>(baseClip->rootClip())) : Value();
        if (code.flags & PreloadParent) {
            ClipObject* parent = baseClip ? baseClip->parentClip() : nullptr;
            f.regs[size_t(reg++)] = parent ? Value(static_cast<Object*>(parent)) : Value();
        }
        if (code.flags & PreloadGlobal)
            f.regs[size_t(reg++)] = Value(m_global);
        for (size_t i = 0; i < code.params.size(); ++i) {
            const FunctionParam& p = code.params[i];
            Value v = i < args.size() ? args[i] : Value();
            if (p.reg > 0 && size_t(p.reg) < f.regs.size())
                f.regs[size_t(p.reg)] = v;
            else
                f.activation->put(p.name, v);
        }
    }
    (void)constructing;

    m_frames.push_back(&f);
    ++m_depth;
    // A function body runs by the rules of version 5 even in an older movie:
    // booleans stay booleans and division by zero gives infinity.
    struct Guard {
        Interpreter& vm;
        size_t base;
        int version;
        ~Guard()
        {
            --vm.m_depth;
            vm.m_frames.pop_back();
            if (vm.m_stack.size() > base)
                vm.m_stack.resize(base);
            vm.m_version = version;
        }
    } guard { *this, f.stackBase, m_version };
    m_version = std::max(m_version, 5);
    execute(f, code.body, 0, int(code.body.code.size()));
    return f.returned ? f.returnValue : Value();
}

// ---------------------------------------------------------------- memory

void Interpreter::collectGarbage(const std::vector<Object*>& roots)
{
    std::vector<Object*> pending(roots.begin(), roots.end());
    for (Object* o : { m_global, m_objectProto, m_functionProto, m_arrayProto, m_stringProto, m_numberProto,
             m_booleanProto, m_dateProto, m_clipProto, m_objectCtor, m_errorProto, m_classRegistry })
        if (o)
            pending.push_back(o);
    for (const Value& v : m_stack)
        if (Object* o = v.asObject())
            pending.push_back(o);
    for (const Interval& iv : m_intervals) {
        for (const Value* v : { &iv.function, &iv.thisValue })
            if (Object* o = v->asObject())
                pending.push_back(o);
        for (const Value& v : iv.args)
            if (Object* o = v.asObject())
                pending.push_back(o);
    }
    for (Frame* f : m_frames) {
        for (Object* o : { f->thisObj, f->base, f->target, f->activation, static_cast<Object*>(f->callee), f->home })
            if (o)
                pending.push_back(o);
        for (Scope* s = f->scope.get(); s; s = s->parent.get())
            if (s->object)
                pending.push_back(s->object);
        for (const Value& v : f->regs)
            if (Object* o = v.asObject())
                pending.push_back(o);
        if (Object* o = f->returnValue.asObject())
            pending.push_back(o);
    }
    while (!pending.empty()) {
        Object* o = pending.back();
        pending.pop_back();
        if (o->marked)
            continue;
        o->marked = true;
        o->markChildren(pending);
    }
    size_t kept = 0;
    for (Object* o : m_heap) {
        if (o->marked) {
            o->marked = false;
            m_heap[kept++] = o;
        } else {
            delete o;
        }
    }
    m_heap.resize(kept);
    m_allocsSinceGc = 0;
}

// ---------------------------------------------------------------- running

void Interpreter::reportFault(const QString& what, QString* out)
{
    if (out)
        *out = what;
    if (m_host)
        m_host->scriptFault(what);
}

bool Interpreter::run(const Block& block, Object* target, QString* fault)
{
    Frame f;
    f.stackBase = m_stack.size();
    f.base = target;
    f.target = target;
    f.thisObj = target;
    f.regs.resize(4);
    if (target)
        f.scope = std::make_shared<Scope>(Scope { target, nullptr });
    if (m_runNesting == 0)
        m_runStart = m_executed;
    ++m_runNesting;
    m_frames.push_back(&f);
    bool ok = true;
    try {
        execute(f, block, 0, int(block.code.size()));
    } catch (const ScriptThrow& t) {
        ok = false;
        QString text;
        try {
            text = toString(t.value);
        } catch (...) {
        }
        reportFault(QStringLiteral("uncaught exception: %1").arg(text), fault);
    } catch (const ScriptTrap& t) {
        ok = false;
        reportFault(t.message, fault);
    }
    m_frames.pop_back();
    --m_runNesting;
    if (m_stack.size() > f.stackBase)
        m_stack.resize(f.stackBase);
    return ok;
}

Value Interpreter::callSafely(const Value& function, const Value& thisValue, std::vector<Value> args, bool* ok)
{
    if (m_runNesting == 0)
        m_runStart = m_executed;
    ++m_runNesting;
    size_t stackBase = m_stack.size();
    size_t frames = m_frames.size();
    int depth = m_depth;
    Value result;
    bool good = true;
    try {
        result = call(function, thisValue, std::move(args));
    } catch (const ScriptThrow& t) {
        good = false;
        reportFault(QStringLiteral("uncaught exception"), nullptr);
    } catch (const ScriptTrap& t) {
        good = false;
        reportFault(t.message, nullptr);
    }
    m_stack.resize(std::min(m_stack.size(), stackBase));
    m_frames.resize(frames);
    m_depth = depth;
    --m_runNesting;
    if (ok)
        *ok = good;
    return result;
}

Value Interpreter::callMethodSafely(Object* object, const QString& name, std::vector<Value> args, bool* ok)
{
    bool good = true;
    Value method;
    try {
        method = getMember(Value(object), name);
    } catch (...) {
        good = false;
    }
    if (!good || !method.isObject()) {
        if (ok)
            *ok = good;
        return Value();
    }
    return callSafely(method, Value(object), std::move(args), ok);
}

Value Interpreter::pop(Frame& f)
{
    // Movies rely on the player's answer to popping an empty stack: undefined.
    if (m_stack.size() <= f.stackBase) {
        ++m_underflows;
        return Value();
    }
    Value v = std::move(m_stack.back());
    m_stack.pop_back();
    return v;
}

Value& Interpreter::top(Frame& f)
{
    if (m_stack.size() <= f.stackBase) {
        ++m_underflows;
        m_stack.push_back(Value());
    }
    return m_stack.back();
}

} // namespace swf::avm1
