#include "swf/avm1/vm/Interpreter.h"

#include "swf/avm1/vm/Frame.h"
#include <new>
#include <stdexcept>
#include <utility>

namespace swf::avm1 {


Interpreter::Interpreter(int version, ScriptHost* host)
    : m_version(version), m_host(host)
{
    installBuiltins();
    // The global object is bare: it inherits nothing from Object.prototype.
    m_realm.global->setProto(nullptr);
}

Interpreter::~Interpreter()
{
    for (Object* o : m_heap)
        delete o;
}

Object* Interpreter::registeredClass(const QString& symbol)
{
    const Property* p = m_realm.classRegistry->findOwn(symbol);
    return p ? p->value.asObject() : nullptr;
}

bool Interpreter::setRealmSlot(Object* Realm::*slot, Object* object)
{
    if (m_realm.*slot)
        return false;
    m_realm.*slot = object;
    return true;
}

void Interpreter::adopt(Object* o)
{
    m_heap.push_back(o);
    ++m_allocsSinceGc;
    m_memory.charge(objectRecordBytes(o->recordBytes())); // the next script action checks the budget

}

Object* Interpreter::newObject()
{
    return make<Object>(Object::Kind::Plain, m_realm.objectPrototype, caseSensitive());
}

Object* Interpreter::newObject(Object* proto)
{
    return make<Object>(Object::Kind::Plain, proto, caseSensitive());
}

ArrayObject* Interpreter::newArray(size_t members)
{
    auto* a = make<ArrayObject>(m_realm.arrayPrototype, caseSensitive());
    a->reserveMembers(members);
    // `length` is a hidden, permanent member of its own (for..in lists it
    // once unhidden); its value always comes from the elements.
    a->define(QStringLiteral("length"), Value(0.0), DontEnum | DontDelete);
    return a;
}

FunctionObject* Interpreter::newNative(const QString& name, NativeFunction fn, Object* prototype)
{
    auto* f = make<FunctionObject>(m_realm.functionPrototype, caseSensitive());
    f->native = std::move(fn);
    giveConstructor(f);
    if (prototype)
        f->define(QStringLiteral("prototype"), Value(prototype), DontEnum | DontDelete);
    (void)name;
    return f;
}

FunctionObject* Interpreter::newConstructor(const QString& name, NativeFunction fn, Object* prototype)
{
    auto* f = newNative(name, std::move(fn), prototype);
    if (prototype)
        prototype->define(QStringLiteral("constructor"), Value(static_cast<Object*>(f)), DontEnum | DontDelete);
    return f;
}

void Interpreter::giveConstructor(FunctionObject* f)
{
    if (m_realm.functionConstructor && !f->findOwn(QStringLiteral("constructor")))
        f->define(QStringLiteral("constructor"), Value(m_realm.functionConstructor), DontEnum | DontDelete);
}

void Interpreter::defineMethod(Object* on, const QString& name, NativeFunction fn, uint8_t flags)
{
    // Built-in methods are hidden and cannot be deleted.
    if (flags == DontEnum)
        flags = DontEnum | DontDelete;
    on->define(name, Value(static_cast<Object*>(newNative(name, std::move(fn)))), flags);
}

void Interpreter::defineMethods(Object* on, std::span<const NativeMethod> methods)
{
    for (const NativeMethod& m : methods) {
        const QString name = QString::fromLatin1(m.name);
        defineMethod(on, name, m.function, m.flags);
        if (m.minVersion)
            on->findOwn(name)->minVersion = m.minVersion;
    }
}

void Interpreter::trap(const QString& message)
{
    throw ScriptTrap { message };
}

double Interpreter::random01()
{
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_random);
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
        m_nativeCalls.emplace_back(fn, m_frames.size());
        struct NativeGuard { std::vector<std::pair<Object*, size_t>>& calls; ~NativeGuard() { calls.pop_back(); } } native { m_nativeCalls };
        return fn->native(*this, ca);
    }
    return callScript(fn, thisValue, args, nullptr, false);
}

void Interpreter::markConstructed(Object* obj, const Value& constructor)
{
    // `__constructor__` is for movies of version 6 and later; `constructor`
    // is written on the object itself only up to version 6 (later movies
    // find it on the prototype).
    obj->define(QStringLiteral("__constructor__"), constructor, DontEnum);
    obj->findOwn(QStringLiteral("__constructor__"))->minVersion = 6;
    if (m_version < 7 && !obj->findOwn(QStringLiteral("constructor")))
        obj->define(QStringLiteral("constructor"), constructor, DontEnum);
}

Value Interpreter::construct(const Value& constructor, std::vector<Value> args)
{
    Object* callee = constructor.asObject();
    if (!callee || callee->kind() != Object::Kind::Function)
        return Value();
    auto* fn = static_cast<FunctionObject*>(callee);
    // A constructor without a prototype object (a built-in method used with
    // `new`) makes an object with no prototype at all.
    Object* proto = getMember(constructor, QStringLiteral("prototype")).asObject();
    Object* obj = newObject(proto);
    markConstructed(obj, constructor);
    Value result;
    if (fn->isNative()) {
        if (m_depth >= m_maxDepth)
            trap(QStringLiteral("calls nested too deeply"));
        ++m_depth;
        struct Guard { int& d; ~Guard() { --d; } } guard { m_depth };
        CallArgs ca { Value(obj), std::move(args), true, fn };
        m_nativeCalls.emplace_back(fn, m_frames.size());
        struct NativeGuard { std::vector<std::pair<Object*, size_t>>& calls; ~NativeGuard() { calls.pop_back(); } } native { m_nativeCalls };
        result = fn->native(*this, ca);
    } else {
        result = callScript(fn, Value(obj), args, proto, true);
    }
    if (fn->isNative() && result.isObject()) {
        // A built-in that makes its own kind of object (an array, a box, a
        // date) still marks it with the constructor `new` ran.
        Object* made = result.asObject();
        const Object::Kind k = made->kind();
        const bool ownKind = k == Object::Kind::Array || k == Object::Kind::Boolean || k == Object::Kind::Number
            || k == Object::Kind::String || k == Object::Kind::Date;
        if (made != obj && ownKind && !made->findOwn(QStringLiteral("__constructor__"))) {
            markConstructed(made, constructor);
        }
        return result;
    }
    return Value(obj);
}

Value Interpreter::callScript(FunctionObject* fn, const Value& thisValue, std::vector<Value>& args, Object* home, bool constructing)
{
    const bool unbound = std::exchange(m_thisUnbound, false);
    if (m_depth >= m_maxDepth)
        trap(QStringLiteral("calls nested too deeply"));
    const FunctionCode& code = *fn->code;
    // A function keeps the rules of the movie that defined it, whoever calls it.
    const int ownVersion = code.body.version > 0 ? code.body.version : m_version;
    Frame f;
    f.stackBase = m_stack.size();
    f.activation = newObject(nullptr);
    // `arguments` and the parameters.
    f.activation->reserveMembers(1 + code.params.size());
    // A function called on nothing runs on the global object, unless it was
    // called on no object at all.
    f.thisUnbound = unbound;
    if (f.thisUnbound)
        f.thisObj = nullptr;
    else
        f.thisObj = thisValue.isObject() ? thisValue.asObject() : (thisValue.isNullish() ? m_realm.global : toObject(thisValue));
    f.base = fn->definingTarget;
    if (ownVersion < 6) {
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

    ArrayObject* arguments = newArray(3); // length, callee, caller
    arguments->elements = args;
    arguments->define(QStringLiteral("callee"), Value(static_cast<Object*>(fn)), DontEnum);
    // The caller is the built-in that called, if one runs above the last
    // script frame, else the function of that frame.
    Value caller = m_frames.empty() || !m_frames.back()->callee ? Value::null() : Value(static_cast<Object*>(m_frames.back()->callee));
    if (!m_nativeCalls.empty() && m_nativeCalls.back().second == m_frames.size())
        caller = Value(m_nativeCalls.back().first);
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
            f.regs[size_t(reg++)] = f.thisObj && !f.thisUnbound ? Value(f.thisObj) : Value();
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
            f.regs[size_t(reg++)] = Value(m_realm.global);
        for (size_t i = 0; i < code.params.size(); ++i) {
            const FunctionParam& p = code.params[i];
            Value v = i < args.size() ? args[i] : Value();
            if (p.reg > 0 && size_t(p.reg) < f.regs.size())
                f.regs[size_t(p.reg)] = v;
            else
                f.activation->put(p.name, v);
        }
    }
    f.constructing = constructing;

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
    m_version = std::max(ownVersion, 5);
    execute(f, code.body, 0, int(code.body.code.size()));
    return f.returned ? f.returnValue : Value();
}

// ---------------------------------------------------------------- memory

void Interpreter::collectGarbage(const std::vector<Object*>& roots)
{
    std::vector<Object*> pending(roots.begin(), roots.end());
    m_realm.forEach([&](Object* o) {
        if (o)
            pending.push_back(o);
    });
    for (const Value& v : m_stack)
        if (Object* o = v.asObject())
            pending.push_back(o);
    m_intervals.forEach([&pending](const Interval& iv) {
        for (const Value* v : { &iv.function, &iv.thisValue })
            if (Object* o = v->asObject())
                pending.push_back(o);
        for (const Value& v : iv.args)
            if (Object* o = v.asObject())
                pending.push_back(o);
    });
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
    // The collector walked everything anyway: count what is held afresh.
    m_memory.recount(memoryInUse());
}

// ---------------------------------------------------------------- running

void Interpreter::reportFault(const QString& what, QString* out)
{
    if (what.isEmpty())
        return; // scripts halted for good: noted once, when that happened
    if (out)
        *out = what;
    if (m_host)
        m_host->scriptFault(what);
}

bool Interpreter::inConstructor() const
{
    return !m_frames.empty() && m_frames.back()->constructing;
}

Object* Interpreter::currentTarget() const
{
    return m_frames.empty() ? nullptr : m_frames.back()->target;
}

bool Interpreter::run(const Block& block, Object* target, QString* fault)
{
    if (m_halted)
        return false;
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
    // A block runs by the rules of the movie it came from: a version 5
    // movie loaded into a later one stays case-insensitive and the like.
    const int callerVersion = m_version;
    if (block.version > 0)
        m_version = block.version;
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
    } catch (const std::bad_alloc&) {
        // The system refused memory the budget allowed: stop this block alone.
        ok = false;
        reportFault(QStringLiteral("out of memory"), fault);
    } catch (const std::length_error&) {
        ok = false;
        reportFault(QStringLiteral("out of memory"), fault);
    }
    m_version = callerVersion;
    m_frames.pop_back();
    --m_runNesting;
    if (m_stack.size() > f.stackBase)
        m_stack.resize(f.stackBase);
    return ok;
}

Value Interpreter::callUnboundSafely(const Value& function, std::vector<Value> args)
{
    auto* fn = function.isObject() && function.asObject()->kind() == Object::Kind::Function ? static_cast<FunctionObject*>(function.asObject()) : nullptr;
    m_thisUnbound = fn && !fn->isNative();
    Value result = callSafely(function, Value(), std::move(args));
    m_thisUnbound = false;
    return result;
}

Value Interpreter::callSafely(const Value& function, const Value& thisValue, std::vector<Value> args, bool* ok)
{
    if (m_halted) {
        if (ok)
            *ok = false;
        return Value();
    }
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
    } catch (const std::bad_alloc&) {
        good = false;
        reportFault(QStringLiteral("out of memory"), nullptr);
    } catch (const std::length_error&) {
        good = false;
        reportFault(QStringLiteral("out of memory"), nullptr);
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
