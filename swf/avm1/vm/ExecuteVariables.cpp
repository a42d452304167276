// Variables: lookup along the scope chain, slash and dot paths, locals,
// and the actions that read, write, declare and delete them.

#include "swf/avm1/vm/Execute.h"

namespace swf::avm1 {

using namespace exec;

bool Interpreter::lookupInScope(Frame& f, const QString& name, Value& out, Object** holder)
{
    for (Scope* s = f.scope.get(); s; s = s->parent.get()) {
        Object* o = s->object;
        // The outermost link is the timeline; SetTarget redirects it.
        if (!s->parent && f.target && f.target != f.base && o == f.base)
            o = f.target;
        if (o && hasProperty(o, name)) {
            out = getMember(Value(o), name);
            if (holder)
                *holder = s->parent ? o : nullptr;
            return true;
        }
    }
    return false;
}

Value Interpreter::getVariable(Frame& f, const QString& name)
{
    if (name.contains(QLatin1Char(':')) || name.contains(QLatin1Char('.')) || name.contains(QLatin1Char('/'))) {
        VariablePath p = splitVariablePath(f, name);
        switch (p.kind) {
        case VariablePath::Target: return Value(p.object);
        case VariablePath::Member: return getMember(Value(p.object), p.name);
        case VariablePath::Missing: return Value();
        case VariablePath::Plain: break;
        }
    }
    return getPlainVariable(f, name);
}

Value Interpreter::getPlainVariable(Frame& f, const QString& name)
{
    if (name == QLatin1String("this")) {
        // A parameter named `this` wins over the keyword.
        if (const Property* p = f.activation ? f.activation->findOwn(name) : nullptr)
            return p->value;
        if (f.thisUnbound)
            return Value();
        return f.thisObj ? Value(f.thisObj) : (timelineOf(f) ? Value(timelineOf(f)) : Value());
    }
    // Any other spelling is no keyword: where names ignore case it is the
    // path "this", the timeline the code runs on.
    if (!caseSensitive() && name.compare(QLatin1String("this"), Qt::CaseInsensitive) == 0)
        return timelineOf(f) ? Value(timelineOf(f)) : Value();
    Value out;
    if (lookupInScope(f, name, out))
        return out;
    if (name == QLatin1String("_global") && m_version >= 6)
        return Value(m_realm.global);
    if (int n = levelNumber(name); n >= 0) {
        ClipObject* c = m_host ? m_host->level(n) : nullptr;
        return c ? Value(static_cast<Object*>(c)) : Value();
    }
    // Movies before version 6 have no `super`.
    if (name == QLatin1String("super") && f.callee && m_version >= 6) {
        Object* start = f.home ? f.home->proto() : nullptr;
        auto* s = make<SuperObject>(f.thisObj, start, caseSensitive());
        s->define(QStringLiteral("__home__"), f.home ? Value(f.home) : Value(), DontEnum);
        return Value(static_cast<Object*>(s));
    }
    if (hasProperty(m_realm.global, name))
        return getMember(Value(m_realm.global), name);
    return Value();
}

void Interpreter::setVariable(Frame& f, const QString& name, const Value& value)
{
    if (name.contains(QLatin1Char(':')) || name.contains(QLatin1Char('.'))) {
        VariablePath p = splitVariablePath(f, name);
        if (p.kind == VariablePath::Member)
            setMember(Value(p.object), p.name, value);
        if (p.kind != VariablePath::Plain)
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

void Interpreter::opGetVariable(Exec& x, const Instruction&)
{
    QString name = toString(pop(x.f));
    push(getVariable(x.f, name));
}

void Interpreter::opSetVariable(Exec& x, const Instruction&)
{
    Value v = pop(x.f);
    QString name = toString(pop(x.f));
    setVariable(x.f, name, v);
}

void Interpreter::opDefineLocal(Exec& x, const Instruction&)
{
    Frame& f = x.f;
    Value v = pop(f);
    QString name = toString(pop(f));
    // A local named __proto__ is the activation's own prototype link, so
    // the function's names are then looked up through that object too.
    if (f.activation && name == QLatin1String("__proto__"))
        setMember(Value(f.activation), name, v);
    else if (f.activation)
        f.activation->put(name, v);
    else
        setVariable(f, name, v);
}

void Interpreter::opDefineLocal2(Exec& x, const Instruction&)
{
    Frame& f = x.f;
    QString name = toString(pop(f));
    Object* holder = f.activation ? f.activation : timelineOf(f);
    if (holder && !holder->findOwn(name))
        setMember(Value(holder), name, Value());
}

void Interpreter::opDelete2(Exec& x, const Instruction&)
{
    Frame& f = x.f;
    QString name = toString(pop(f));
    for (Scope* s = f.scope.get(); s; s = s->parent.get()) {
        if (s->object && s->object->findOwn(name)) {
            push(Value(deleteMember(s->object, name)));
            return;
        }
    }
    push(Value(m_realm.global->findOwn(name) ? deleteMember(m_realm.global, name) : false));
}

} // namespace swf::avm1
