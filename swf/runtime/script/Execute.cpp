// The dispatch loop of the script machine, and the variable and target
// resolution the actions need.

#include "swf/runtime/script/Frame.h"
#include "swf/runtime/script/Interpreter.h"

#include <cmath>
#include <limits>

namespace swf::script {

namespace {

constexpr size_t MaxStack = 1u << 20;
constexpr double MaxMissingArgs = 256;

const char* const PropertyNames[] = {
    "_x", "_y", "_xscale", "_yscale", "_currentframe", "_totalframes", "_alpha", "_visible",
    "_width", "_height", "_rotation", "_target", "_framesloaded", "_name", "_droptarget", "_url",
    "_highquality", "_focusrect", "_soundbuftime", "_quality", "_xmouse", "_ymouse",
};
constexpr int PropertyCount = int(sizeof PropertyNames / sizeof PropertyNames[0]);

ClipObject* asClip(Object* o)
{
    return o && o->kind() == Object::Kind::Clip ? static_cast<ClipObject*>(o) : nullptr;
}

bool isFunction(const Value& v)
{
    return v.isObject() && v.asObject()->kind() == Object::Kind::Function;
}

// "_level3" -> 3, else -1.
int levelNumber(const QString& name)
{
    if (!name.startsWith(QLatin1String("_level"), Qt::CaseInsensitive) || name.size() == 6)
        return -1;
    bool ok = false;
    int n = name.mid(6).toInt(&ok);
    return ok && n >= 0 ? n : -1;
}

} // namespace

Object* Interpreter::timelineOf(Frame& f)
{
    return f.target ? f.target : f.base;
}

Object* Interpreter::resolveTarget(Object* from, const QString& path)
{
    if (path.isEmpty())
        return from;
    Object* cur = from;
    int i = 0;
    if (path[0] == '/') {
        ClipObject* c = asClip(from);
        cur = c ? c->rootClip() : nullptr;
        i = 1;
    }
    QString seg;
    auto step = [&](const QString& s) -> bool {
        if (s.isEmpty() || s == QLatin1String("."))
            return true;
        if (!cur)
            return false;
        ClipObject* c = asClip(cur);
        if (s == QLatin1String("..") || s.compare(QLatin1String("_parent"), Qt::CaseInsensitive) == 0) {
            cur = c ? c->parentClip() : nullptr;
        } else if (s.compare(QLatin1String("_root"), Qt::CaseInsensitive) == 0) {
            cur = c ? c->rootClip() : nullptr;
        } else if (s == QLatin1String("this")) {
        } else if (s == QLatin1String("_global") && m_version >= 6) {
            cur = m_global;
        } else if (int n = levelNumber(s); n >= 0) {
            cur = m_host ? m_host->level(n) : nullptr;
        } else {
            cur = getMember(Value(cur), s).asObject();
        }
        return cur != nullptr;
    };
    for (; i < path.size(); ++i) {
        QChar ch = path[i];
        if (ch == '/' || (ch == '.' && !(i + 1 < path.size() && path[i + 1] == '.') && seg != QLatin1String("."))) {
            if (!step(seg))
                return nullptr;
            seg.clear();
            if (ch == '.' && i + 1 < path.size() && path[i + 1] == '/')
                ;
        } else if (ch == ':') {
            break;
        } else {
            seg += ch;
        }
    }
    if (!step(seg))
        return nullptr;
    return cur;
}

Object* Interpreter::resolveTargetValue(Frame& f, const Value& v)
{
    if (Object* o = v.asObject())
        return o;
    QString path = toString(v);
    return resolveTarget(timelineOf(f), path);
}

bool Interpreter::lookupInScope(Frame& f, const QString& name, Value& out)
{
    for (Scope* s = f.scope.get(); s; s = s->parent.get()) {
        Object* o = s->object;
        // The outermost link is the timeline; SetTarget redirects it.
        if (!s->parent && f.target && f.target != f.base && o == f.base)
            o = f.target;
        if (o && hasProperty(o, name)) {
            out = getMember(Value(o), name);
            return true;
        }
    }
    return false;
}

Value Interpreter::getVariable(Frame& f, const QString& name)
{
    int colon = name.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        Object* o = resolveTarget(timelineOf(f), name.left(colon));
        return o ? getMember(Value(o), name.mid(colon + 1)) : Value();
    }
    if (name.contains(QLatin1Char('/'))) {
        Object* o = resolveTarget(timelineOf(f), name);
        return o ? Value(o) : Value();
    }
    if (name.contains(QLatin1Char('.')) && !name.startsWith(QLatin1Char('.')) && !name.endsWith(QLatin1Char('.'))) {
        const QStringList parts = name.split(QLatin1Char('.'));
        Value v = getVariable(f, parts[0]);
        for (int i = 1; i < parts.size() && !v.isNullish(); ++i)
            v = getMember(v, parts[i]);
        return v;
    }
    if (name == QLatin1String("this") || (!caseSensitive() && name.compare(QLatin1String("this"), Qt::CaseInsensitive) == 0))
        return f.thisObj ? Value(f.thisObj) : (timelineOf(f) ? Value(timelineOf(f)) : Value());
    Value out;
    if (lookupInScope(f, name, out))
        return out;
    if (name == QLatin1String("_global") && m_version >= 6)
        return Value(m_global);
    if (int n = levelNumber(name); n >= 0) {
        ClipObject* c = m_host ? m_host->level(n) : nullptr;
        return c ? Value(static_cast<Object*>(c)) : Value();
    }
    if (name == QLatin1String("super") && f.callee) {
        Object* start = f.home ? f.home->proto() : nullptr;
        auto* s = make<SuperObject>(f.thisObj, start, caseSensitive());
        s->define(QStringLiteral("__home__"), f.home ? Value(f.home) : Value(), DontEnum);
        return Value(static_cast<Object*>(s));
    }
    if (hasProperty(m_global, name))
        return getMember(Value(m_global), name);
    return Value();
}

void Interpreter::setVariable(Frame& f, const QString& name, const Value& value)
{
    int colon = name.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        if (Object* o = resolveTarget(timelineOf(f), name.left(colon)))
            setMember(Value(o), name.mid(colon + 1), value);
        return;
    }
    int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && dot < name.size() - 1) {
        Value holder = getVariable(f, name.left(dot));
        if (holder.isObject())
            setMember(holder, name.mid(dot + 1), value);
        return;
    }
    for (Scope* s = f.scope.get(); s; s = s->parent.get()) {
        Object* o = s->object;
        if (!s->parent && f.target && f.target != f.base && o == f.base)
            o = f.target;
        if (!o)
            continue;
        if (!s->parent || hasProperty(o, name)) {
            setMember(Value(o), name, value);
            return;
        }
    }
    if (Object* t = timelineOf(f))
        setMember(Value(t), name, value);
}

Value Interpreter::getClipProperty(Object* clip, int index)
{
    if (!clip || index < 0 || index >= PropertyCount)
        return Value();
    return getMember(Value(clip), QString::fromLatin1(PropertyNames[index]));
}

void Interpreter::setClipProperty(Object* clip, int index, const Value& v)
{
    if (!clip || index < 0 || index >= PropertyCount)
        return;
    setMember(Value(clip), QString::fromLatin1(PropertyNames[index]), v);
}

void Interpreter::doGetURL(Frame& f, const QString& url, const QString& window, int method)
{
    if (!m_host)
        return;
    if (url.startsWith(QLatin1String("FSCommand:"), Qt::CaseInsensitive))
        m_host->fscommand(url.mid(10), window);
    else
        m_host->getURL(url, window, method);
}

void Interpreter::defineFunction(Frame& f, const Instruction& ins)
{
    auto* fn = make<FunctionObject>(m_functionProto, caseSensitive());
    fn->code = ins.function;
    fn->scope = f.scope;
    fn->constantPool = f.pool;
    fn->definingTarget = f.callee ? f.base : timelineOf(f);
    Object* proto = newObject();
    proto->define(QStringLiteral("constructor"), Value(static_cast<Object*>(fn)), DontEnum);
    fn->define(QStringLiteral("prototype"), Value(proto), DontEnum);
    const QString& name = ins.function->name;
    if (name.isEmpty()) {
        if (m_stack.size() >= MaxStack)
            trap(QStringLiteral("stack overflow"));
        m_stack.push_back(Value(static_cast<Object*>(fn)));
        return;
    }
    if (f.activation)
        f.activation->put(name, Value(static_cast<Object*>(fn)));
    else
        setVariable(f, name, Value(static_cast<Object*>(fn)));
}

void Interpreter::runTry(Frame& f, const Block& block, int index, int& pc)
{
    const Instruction& ins = block.code[size_t(index)];
    const int tryStart = index + 1;
    const int catchStart = ins.catchStart;
    const int finallyStart = ins.finallyStart;
    const int end = ins.target;
    const size_t stackDepth = m_stack.size();
    const std::shared_ptr<Scope> scope = f.scope;
    const size_t frames = m_frames.size();
    const int depth = m_depth;

    bool pending = false;
    Value pendingValue;
    int next;
    auto restore = [&] {
        if (m_stack.size() > stackDepth)
            m_stack.resize(stackDepth);
        f.scope = scope;
        m_frames.resize(frames);
        m_depth = depth;
    };
    try {
        next = execute(f, block, tryStart, catchStart);
    } catch (ScriptThrow& t) {
        restore();
        next = end;
        if (ins.a & TryHasCatch) {
            if (ins.a & TryCatchInRegister) {
                if (size_t(ins.b) < f.regs.size())
                    f.regs[size_t(ins.b)] = t.value;
            } else if (f.activation) {
                f.activation->put(ins.s1, t.value);
            } else {
                setVariable(f, ins.s1, t.value);
            }
            try {
                next = execute(f, block, catchStart, finallyStart);
            } catch (ScriptThrow& t2) {
                restore();
                pending = true;
                pendingValue = t2.value;
            }
        } else {
            pending = true;
            pendingValue = t.value;
        }
    }
    if (next >= tryStart && next <= end)
        next = end;
    if (ins.a & TryHasFinally) {
        bool returned = f.returned;
        Value returnValue = f.returnValue;
        f.returned = false;
        int after = execute(f, block, finallyStart, end);
        if (f.returned) {
            pending = false; // a return in finally wins over everything
        } else {
            f.returned = returned;
            f.returnValue = returnValue;
            if (after != end)
                next = after, pending = false;
        }
    }
    if (pending)
        throw ScriptThrow { pendingValue };
    pc = next;
}

int Interpreter::execute(Frame& f, const Block& block, int from, int to)
{
    const std::vector<Instruction>& code = block.code;
    const int end = int(code.size());
    const bool v4 = m_version < 5;
    auto push = [&](Value v) {
        if (m_stack.size() >= MaxStack)
            trap(QStringLiteral("stack overflow"));
        m_stack.push_back(std::move(v));
    };
    auto pushBool = [&](bool b) { push(v4 ? Value(b ? 1.0 : 0.0) : Value(b)); };
    auto popArgs = [&](std::vector<Value>& args) {
        double n = toNumber(pop(f));
        if (!(n >= 0))
            n = 0;
        // Missing arguments read as undefined, as popping an empty stack does;
        // a count far beyond the stack is garbage and stops the block.
        if (n > double(m_stack.size() - f.stackBase) + MaxMissingArgs)
            trap(QStringLiteral("argument count %1 beyond the stack").arg(n));
        args.resize(size_t(n));
        for (size_t i = 0; i < args.size(); ++i)
            args[i] = pop(f);
    };
    auto clip = [&]() { return asClip(f.targetLost ? nullptr : timelineOf(f)); };

    int pc = from;
    while (pc >= from && pc < to) {
        const Instruction& ins = code[size_t(pc)];
        if (++m_executed - m_runStart > m_budget)
            trap(QStringLiteral("action budget spent"));
        ++pc;
        switch (ins.op) {
        case Op::End:
            return end;
        case Op::NextFrame: if (auto* c = clip()) c->nextFrame(); break;
        case Op::PrevFrame: if (auto* c = clip()) c->prevFrame(); break;
        case Op::Play: if (auto* c = clip()) c->play(); break;
        case Op::Stop: if (auto* c = clip()) c->stop(); break;
        case Op::ToggleQuality: if (m_host) m_host->toggleQuality(); break;
        case Op::StopSounds: if (m_host) m_host->stopSounds(); break;
        case Op::GotoFrame: if (auto* c = clip()) c->gotoFrame(ins.a + 1, false); break;
        case Op::GetURL: doGetURL(f, ins.s1, ins.s2, 0); break;
        case Op::WaitForFrame:
            if (auto* c = clip(); c && ins.a + 1 > c->framesLoaded())
                pc = ins.target;
            break;
        case Op::SetTarget:
        case Op::SetTarget2: {
            Value t = ins.op == Op::SetTarget ? Value(ins.s1) : pop(f);
            if (t.isString() && t.asString().isEmpty()) {
                f.target = f.base;
                f.targetLost = false;
            } else {
                // A clip is its own target; anything else names one by its string form.
                Object* o = t.isObject() && t.asObject()->kind() == Object::Kind::Clip ? t.asObject() : resolveTarget(f.base, toString(t));
                f.targetLost = o == nullptr;
                f.target = o ? o : f.base;
            }
            break;
        }
        case Op::GotoLabel: if (auto* c = clip()) c->gotoLabel(ins.s1, false); break;
        case Op::Push:
            for (const PushItem& item : ins.push) {
                switch (item.kind) {
                case PushItem::Kind::Literal: push(item.value); break;
                case PushItem::Kind::Register:
                    push(size_t(item.index) < f.regs.size() ? f.regs[size_t(item.index)] : Value());
                    break;
                case PushItem::Kind::Constant:
                    if (!f.pool || size_t(item.index) >= f.pool->size())
                        trap(QStringLiteral("constant %1 outside the pool").arg(item.index));
                    push(Value((*f.pool)[size_t(item.index)]));
                    break;
                }
            }
            break;
        case Op::Pop: pop(f); break;
        case Op::Add:
        case Op::Subtract:
        case Op::Multiply:
        case Op::Divide: {
            double b = toNumber(pop(f));
            double a = toNumber(pop(f));
            double r = 0;
            switch (ins.op) {
            case Op::Add: r = a + b; break;
            case Op::Subtract: r = a - b; break;
            case Op::Multiply: r = a * b; break;
            default:
                if (b == 0 && v4) {
                    // Movies of version 4 show division by zero as an error text.
                    push(Value(QStringLiteral("#ERROR#")));
                    continue;
                }
                r = a / b;
            }
            push(Value(r));
            break;
        }
        case Op::Equals: {
            double b = toNumber(pop(f));
            double a = toNumber(pop(f));
            pushBool(a == b);
            break;
        }
        case Op::Less: {
            double b = toNumber(pop(f));
            double a = toNumber(pop(f));
            pushBool(a < b);
            break;
        }
        case Op::And:
        case Op::Or: {
            bool b = toBoolean(pop(f));
            bool a = toBoolean(pop(f));
            pushBool(ins.op == Op::And ? (a && b) : (a || b));
            break;
        }
        case Op::Not: pushBool(!toBoolean(pop(f))); break;
        case Op::StringEquals:
        case Op::StringLess:
        case Op::StringGreater: {
            QString b = toString(pop(f));
            QString a = toString(pop(f));
            bool r = ins.op == Op::StringEquals ? a == b : ins.op == Op::StringLess ? a < b : a > b;
            pushBool(r);
            break;
        }
        case Op::StringLength:
        case Op::MBStringLength: push(Value(double(toString(pop(f)).size()))); break;
        case Op::StringAdd: {
            QString b = toString(pop(f));
            QString a = toString(pop(f));
            push(Value(a + b));
            break;
        }
        case Op::StringExtract:
        case Op::MBStringExtract: {
            double count = toIntegerValue(toNumber(pop(f)));
            double index = toIntegerValue(toNumber(pop(f)));
            QString s = toString(pop(f));
            index = std::max(index - 1, 0.0);
            if (index >= s.size()) {
                push(Value(QString()));
                break;
            }
            qsizetype n = count < 0 || index + count > s.size() ? s.size() - qsizetype(index) : qsizetype(count);
            push(Value(s.mid(qsizetype(index), n)));
            break;
        }
        case Op::ToInteger: push(Value(toIntegerValue(toNumber(pop(f))))); break;
        case Op::CharToAscii:
        case Op::MBCharToAscii: {
            QString s = toString(pop(f));
            push(Value(s.isEmpty() ? 0.0 : double(s[0].unicode())));
            break;
        }
        case Op::AsciiToChar:
        case Op::MBAsciiToChar: {
            uint32_t c = toUint32(toNumber(pop(f))) & 0xFFFF;
            push(Value(c ? QString(QChar(char16_t(c))) : QString()));
            break;
        }
        case Op::Jump: pc = ins.target; break;
        case Op::If:
            if (toBoolean(pop(f)))
                pc = ins.target;
            break;
        case Op::Call: {
            Value frame = pop(f);
            QString s = toString(frame);
            ClipObject* c = clip();
            int colon = s.lastIndexOf(QLatin1Char(':'));
            if (colon >= 0) {
                c = asClip(resolveTarget(timelineOf(f), s.left(colon)));
                s = s.mid(colon + 1);
            }
            if (!c)
                break;
            double n = stringToNumber(s, m_version);
            int number = std::isnan(n) ? c->frameOfLabel(s) : clampToInt(n);
            if (number >= 1 && number <= c->totalFrames())
                c->callFrame(number);
            break;
        }
        case Op::GetVariable: {
            QString name = toString(pop(f));
            push(getVariable(f, name));
            break;
        }
        case Op::SetVariable: {
            Value v = pop(f);
            QString name = toString(pop(f));
            setVariable(f, name, v);
            break;
        }
        case Op::GetURL2: {
            QString window = toString(pop(f));
            QString url = toString(pop(f));
            doGetURL(f, url, window, ins.a & 3);
            break;
        }
        case Op::GotoFrame2: {
            Value frame = pop(f);
            bool play = ins.a & 1;
            ClipObject* c = clip();
            if (frame.isNumber() || frame.isBoolean()) {
                if (c)
                    c->gotoFrame(clampToInt(double(clampToInt(toNumber(frame))) + ins.b), play);
                break;
            }
            QString s = toString(frame);
            int colon = s.lastIndexOf(QLatin1Char(':'));
            if (colon >= 0) {
                c = asClip(resolveTarget(timelineOf(f), s.left(colon)));
                s = s.mid(colon + 1);
            }
            if (!c)
                break;
            double n = stringToNumber(s, m_version);
            if (!std::isnan(n))
                c->gotoFrame(clampToInt(n + ins.b), play);
            else
                c->gotoLabel(s, play);
            break;
        }
        case Op::GetProperty: {
            int index = clampToInt(toNumber(pop(f)));
            Object* t = resolveTargetValue(f, pop(f));
            push(getClipProperty(t, index));
            break;
        }
        case Op::SetProperty: {
            Value v = pop(f);
            int index = clampToInt(toNumber(pop(f)));
            Object* t = resolveTargetValue(f, pop(f));
            setClipProperty(t, index, v);
            break;
        }
        case Op::CloneSprite: {
            int depth = clampToInt(toNumber(pop(f)));
            QString name = toString(pop(f));
            if (ClipObject* source = asClip(resolveTargetValue(f, pop(f))))
                source->duplicate(name, depth);
            break;
        }
        case Op::RemoveSprite:
            if (ClipObject* c = asClip(resolveTargetValue(f, pop(f))))
                c->remove();
            break;
        case Op::StartDrag: {
            Object* t = resolveTargetValue(f, pop(f));
            bool lock = toBoolean(pop(f));
            bool constrain = toBoolean(pop(f));
            double rect[4];
            if (constrain) {
                for (int i = 3; i >= 0; --i)
                    rect[i] = toNumber(pop(f));
            }
            if (ClipObject* c = asClip(t))
                c->startDrag(lock, constrain ? rect : nullptr);
            break;
        }
        case Op::EndDrag:
            if (ClipObject* c = clip())
                c->stopDrag();
            break;
        case Op::WaitForFrame2: {
            Value frame = pop(f);
            ClipObject* c = clip();
            if (c && toNumber(frame) > c->framesLoaded())
                pc = ins.target;
            break;
        }
        case Op::Trace: {
            Value v = pop(f);
            QString line = v.isUndefined() ? QStringLiteral("undefined") : toString(v);
            if (m_host)
                m_host->trace(line);
            break;
        }
        case Op::GetTime: push(Value(m_host ? std::floor(m_host->timeMs()) : 0.0)); break;
        case Op::RandomNumber: {
            double max = toIntegerValue(toNumber(pop(f)));
            push(Value(max > 0 ? std::floor(random01() * max) : 0.0));
            break;
        }
        case Op::CallFunction: {
            QString name = toString(pop(f));
            std::vector<Value> args;
            popArgs(args);
            Value fn = getVariable(f, name);
            if (!isFunction(fn)) {
                push(Value());
                break;
            }
            push(call(fn, Value(), std::move(args)));
            break;
        }
        case Op::CallMethod: {
            Value nameValue = pop(f);
            Value object = pop(f);
            std::vector<Value> args;
            popArgs(args);
            QString name = nameValue.isUndefined() ? QString() : toString(nameValue);
            Object* o = object.asObject();
            Value thisValue = object;
            Object* home = nullptr;
            Value fn;
            if (o && o->kind() == Object::Kind::Super) {
                auto* s = static_cast<SuperObject*>(o);
                thisValue = s->thisObject ? Value(s->thisObject) : Value();
                if (name.isEmpty()) {
                    // super(...) runs the constructor of the parent class.
                    Value h = s->findOwn(QStringLiteral("__home__")) ? s->findOwn(QStringLiteral("__home__"))->value : Value();
                    fn = h.isObject() ? getMember(h, QStringLiteral("__constructor__")) : Value();
                    home = s->proto();
                } else if (s->proto()) {
                    Object* holder = nullptr;
                    Property* p = findProperty(s->proto(), name, &holder);
                    fn = p ? (p->getter ? call(Value(p->getter), thisValue, {}) : p->value) : Value();
                    home = holder;
                }
            } else if (name.isEmpty()) {
                fn = object;
                thisValue = Value();
            } else {
                fn = getMember(object, name);
                if (o) {
                    Object* holder = nullptr;
                    findProperty(o, name, &holder);
                    home = holder;
                }
            }
            if (!isFunction(fn)) {
                push(Value());
                break;
            }
            auto* function = static_cast<FunctionObject*>(fn.asObject());
            if (function->isNative())
                push(call(fn, thisValue, std::move(args)));
            else
                push(callScript(function, thisValue, args, home, false));
            break;
        }
        case Op::ConstantPool: f.pool = ins.strings; break;
        case Op::DefineFunction:
        case Op::DefineFunction2: defineFunction(f, ins); break;
        case Op::DefineLocal: {
            Value v = pop(f);
            QString name = toString(pop(f));
            if (f.activation)
                f.activation->put(name, v);
            else
                setVariable(f, name, v);
            break;
        }
        case Op::DefineLocal2: {
            QString name = toString(pop(f));
            Object* holder = f.activation ? f.activation : timelineOf(f);
            if (holder && !holder->findOwn(name))
                setMember(Value(holder), name, Value());
            break;
        }
        case Op::Delete: {
            QString name = toString(pop(f));
            Value object = pop(f);
            pushBool(deleteMember(object.asObject(), name));
            break;
        }
        case Op::Delete2: {
            QString name = toString(pop(f));
            bool done = false;
            for (Scope* s = f.scope.get(); s && !done; s = s->parent.get()) {
                if (s->object && s->object->findOwn(name)) {
                    push(Value(deleteMember(s->object, name)));
                    done = true;
                }
            }
            if (!done) {
                if (m_global->findOwn(name))
                    push(Value(deleteMember(m_global, name)));
                else
                    push(Value(false));
            }
            break;
        }
        case Op::Enumerate:
        case Op::Enumerate2: {
            Value v = pop(f);
            Object* o = ins.op == Op::Enumerate ? getVariable(f, toString(v)).asObject() : v.asObject();
            push(Value());
            if (o) {
                // The loop pops names off the stack: push the last one first.
                const QStringList names = enumerate(o);
                for (auto it = names.rbegin(); it != names.rend(); ++it)
                    push(Value(*it));
            }
            break;
        }
        case Op::Equals2: {
            Value b = pop(f);
            Value a = pop(f);
            push(Value(abstractEquals(a, b)));
            break;
        }
        case Op::GetMember: {
            Value name = pop(f);
            Value object = pop(f);
            push(getMember(object, toString(name)));
            break;
        }
        case Op::InitArray: {
            std::vector<Value> items;
            popArgs(items);
            ArrayObject* a = newArray();
            a->elements = std::move(items);
            push(Value(static_cast<Object*>(a)));
            break;
        }
        case Op::InitObject: {
            double n = toNumber(pop(f));
            if (!(n >= 0))
                n = 0;
            if (n * 2 > double(m_stack.size() - f.stackBase) + MaxMissingArgs)
                trap(QStringLiteral("property count %1 beyond the stack").arg(n));
            std::vector<std::pair<QString, Value>> pairs;
            pairs.resize(size_t(n));
            for (size_t i = 0; i < pairs.size(); ++i) {
                pairs[i].second = pop(f);
                pairs[i].first = toString(pop(f));
            }
            Object* o = newObject();
            for (auto it = pairs.rbegin(); it != pairs.rend(); ++it)
                setMember(Value(o), it->first, it->second);
            push(Value(o));
            break;
        }
        case Op::NewMethod:
        case Op::NewObject: {
            Value ctor;
            if (ins.op == Op::NewObject) {
                QString name = toString(pop(f));
                std::vector<Value> args;
                popArgs(args);
                ctor = getVariable(f, name);
                push(isFunction(ctor) ? construct(ctor, std::move(args)) : Value());
            } else {
                Value nameValue = pop(f);
                Value object = pop(f);
                std::vector<Value> args;
                popArgs(args);
                QString name = nameValue.isUndefined() ? QString() : toString(nameValue);
                ctor = name.isEmpty() ? object : getMember(object, name);
                push(isFunction(ctor) ? construct(ctor, std::move(args)) : Value());
            }
            break;
        }
        case Op::SetMember: {
            Value v = pop(f);
            QString name = toString(pop(f));
            Value object = pop(f);
            setMember(object, name, v);
            break;
        }
        case Op::TargetPath: {
            Value v = pop(f);
            ClipObject* c = asClip(v.asObject());
            push(c ? Value(c->dotPath()) : Value());
            break;
        }
        case Op::With: {
            Value v = pop(f);
            Object* o = toObject(v);
            const int bodyStart = pc;
            std::shared_ptr<Scope> saved = f.scope;
            if (o)
                f.scope = std::make_shared<Scope>(Scope { o, f.scope });
            int next;
            try {
                next = execute(f, block, bodyStart, ins.target);
            } catch (...) {
                f.scope = saved;
                throw;
            }
            f.scope = saved;
            if (f.returned)
                return end;
            pc = next;
            break;
        }
        case Op::ToNumber: push(Value(toNumber(pop(f)))); break;
        case Op::ToString: push(Value(toString(pop(f)))); break;
        case Op::TypeOf: push(Value(typeOf(pop(f)))); break;
        case Op::Add2: {
            Value b = toPrimitive(pop(f));
            Value a = toPrimitive(pop(f));
            if (a.isString() || b.isString())
                push(Value(toString(a) + toString(b)));
            else
                push(Value(toNumber(a) + toNumber(b)));
            break;
        }
        case Op::Less2: {
            Value b = pop(f);
            Value a = pop(f);
            push(abstractLess(a, b));
            break;
        }
        case Op::Greater: {
            Value b = pop(f);
            Value a = pop(f);
            push(abstractLess(b, a));
            break;
        }
        case Op::Modulo: {
            double b = toNumber(pop(f));
            double a = toNumber(pop(f));
            push(Value(std::fmod(a, b)));
            break;
        }
        case Op::BitAnd:
        case Op::BitOr:
        case Op::BitXor:
        case Op::BitLShift:
        case Op::BitRShift:
        case Op::BitURShift: {
            int32_t b = toInt32(toNumber(pop(f)));
            int32_t a = toInt32(toNumber(pop(f)));
            double r = 0;
            switch (ins.op) {
            case Op::BitAnd: r = a & b; break;
            case Op::BitOr: r = a | b; break;
            case Op::BitXor: r = a ^ b; break;
            case Op::BitLShift: r = int32_t(uint32_t(a) << (b & 31)); break;
            case Op::BitRShift: r = a >> (b & 31); break;
            // The player hands the unsigned result back as a signed 32-bit value.
            default: r = int32_t(uint32_t(a) >> (b & 31)); break;
            }
            push(Value(r));
            break;
        }
        case Op::Increment: push(Value(toNumber(pop(f)) + 1)); break;
        case Op::Decrement: push(Value(toNumber(pop(f)) - 1)); break;
        case Op::PushDuplicate: {
            Value v = top(f);
            push(std::move(v));
            break;
        }
        case Op::Return:
            f.returnValue = pop(f);
            f.returned = true;
            return end;
        case Op::StackSwap: {
            Value b = pop(f);
            Value a = pop(f);
            push(std::move(b));
            push(std::move(a));
            break;
        }
        case Op::StoreRegister:
            if (size_t(ins.a) < f.regs.size())
                f.regs[size_t(ins.a)] = top(f);
            break;
        case Op::InstanceOf: {
            Value ctor = pop(f);
            Value o = pop(f);
            push(Value(isInstanceOf(o.asObject(), ctor.asObject())));
            break;
        }
        case Op::StrictEquals: {
            Value b = pop(f);
            Value a = pop(f);
            push(Value(strictEquals(a, b)));
            break;
        }
        case Op::Extends: {
            Value superclass = pop(f);
            Value subclass = pop(f);
            if (!subclass.isObject() || !superclass.isObject())
                break;
            Object* superProto = getMember(superclass, QStringLiteral("prototype")).asObject();
            Object* proto = newObject(superProto);
            proto->define(QStringLiteral("__constructor__"), superclass, DontEnum);
            setMember(subclass, QStringLiteral("prototype"), Value(proto));
            break;
        }
        case Op::CastOp: {
            Value o = pop(f);
            Value ctor = pop(f);
            push(isInstanceOf(o.asObject(), ctor.asObject()) ? o : Value::null());
            break;
        }
        case Op::ImplementsOp: {
            Value ctor = pop(f);
            std::vector<Value> list;
            popArgs(list);
            Object* proto = ctor.isObject() ? getMember(ctor, QStringLiteral("prototype")).asObject() : nullptr;
            if (proto) {
                proto->interfaces.clear();
                for (const Value& i : list)
                    if (Object* io = i.asObject())
                        proto->interfaces.push_back(io);
            }
            break;
        }
        case Op::Try:
            runTry(f, block, pc - 1, pc);
            if (f.returned)
                return end;
            break;
        case Op::Throw: throw ScriptThrow { pop(f) };
        default:
            break; // unknown actions are skipped
        }
        if (f.returned)
            return end;
    }
    return pc;
}

} // namespace swf::script
