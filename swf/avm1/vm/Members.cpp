// Member access: the prototype chain, accessors (addProperty), watchers
// (Object.watch), __resolve, deletion, for..in order and instanceof.

#include "swf/avm1/vm/Interpreter.h"

#include <QSet>

namespace swf::avm1 {

namespace {

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

} // namespace

Property* Interpreter::findProperty(Object* o, const QString& name, Object** holder)
{
    const uint32_t hash = foldedNameHash(name);
    int depth = 0;
    for (Object* cur = o; cur && depth < MaxProtoDepth; cur = cur->proto(), ++depth) {
        Property* p = cur->findOwn(name, hash);
        if (p && p->visibleIn(m_version)) {
            if (holder)
                *holder = cur;
            return p;
        }
    }
    return nullptr;
}

bool Interpreter::hasProperty(Object* o, const QString& name)
{
    const uint32_t hash = foldedNameHash(name);
    int depth = 0;
    for (Object* cur = o; cur && depth < MaxProtoDepth; cur = cur->proto(), ++depth) {
        if (cur->hasVirtual(*this, name))
            return true;
        const Property* p = cur->findOwn(name, hash);
        if (p && p->visibleIn(m_version))
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
            o = m_realm.stringPrototype;
            break;
        case ValueType::Number: o = m_realm.numberPrototype; break;
        case ValueType::Boolean: o = m_realm.booleanPrototype; break;
        default: return Value();
        }
        // A primitive stands for a fresh box whose link is its class's prototype.
        if (o && o->isProtoKey(name))
            return Value(o);
    }
    // The link is an object's own member, never inherited: one hidden from
    // this version reads as undefined.
    if (o->isProtoKey(name)) {
        const Property* own = o->findOwn(name);
        if (!own || !own->visibleIn(m_version))
            return Value();
        if (own->getter && m_getterNesting + m_watcherNesting < MaxAccessorNesting) {
            NestingGuard nesting(m_getterNesting);
            return call(Value(own->getter), object, {});
        }
        return own->value;
    }
    // Every clip reaches the global object as a member, as it does _root.
    if (o->kind() == Object::Kind::Clip && m_version >= 6 && name.size() == 7
        && name.compare(QLatin1String("_global"), caseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0)
        return Value(m_realm.global);
    const uint32_t hash = foldedNameHash(name);
    int depth = 0;
    for (Object* cur = o; cur; cur = cur->proto(), ++depth) {
        // A prototype chain this long loops: the script stops.
        if (depth >= MaxProtoDepth)
            trap(QStringLiteral("prototype chain too long looking up %1").arg(name));
        Value out;
        if (cur->getVirtual(*this, name, out))
            return out;
        Property* p = cur->findOwn(name, hash);
        if (!p || !p->visibleIn(m_version))
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
    // The player never keeps a member with an empty name.
    if (!o || name.isEmpty())
        return;
    // The link follows the `__proto__` member: writing it (unless it was
    // made read-only) relinks the object, whatever version hides it.
    if (o->isProtoKey(name)) {
        const Property* own = o->findOwn(name);
        if (own && (own->flags & ReadOnly))
            return;
        o->put(name, value);
        return;
    }
    Value v = value;
    uint8_t keptFlags = 0;
    Property* own = o->findOwn(name);
    if (own && !own->visibleIn(m_version))
        own = nullptr;
    if (o->watches())
        callWatcher(o, name, v, own);
    if (o->setVirtual(*this, name, v))
        return;
    own = o->findOwn(name);
    // A member this movie's version cannot see is replaced by a visible one;
    // except that a version 6 movie writes through to a member kept for
    // version 7 (bit 0x400), which stays hidden.
    if (own && !own->visibleIn(m_version) && own->minVersion == 7 && m_version == 6) {
        if (!(own->flags & ReadOnly) && !own->getter && !own->setter)
            own->value = v;
        return;
    }
    if (own && !own->visibleIn(m_version)) {
        // The plain member that takes its place keeps whether it is listed
        // and whether it can be deleted (a member of a built-in prototype
        // that only newer movies see stays permanent once an older movie
        // writes it).
        if (!own->getter && !own->setter)
            keptFlags = own->flags & (DontEnum | DontDelete);
        o->removeOwn(name);
        own = nullptr;
    }
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
        if (p && p->visibleIn(m_version) && (p->getter || p->setter)) {
            if (p->setter && m_setterNesting < MaxAccessorNesting) {
                NestingGuard nesting(m_setterNesting);
                call(Value(p->setter), object, { v });
            }
            return;
        }
    }
    o->put(name, v);
    if (keptFlags) {
        if (Property* fresh = o->findOwn(name))
            fresh->flags = keptFlags;
    }
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
            // for..in lists properties hidden from this version too.
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

} // namespace swf::avm1
