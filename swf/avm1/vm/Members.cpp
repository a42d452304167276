// Member access: the prototype chain, accessors (addProperty), watchers
// (Object.watch), __resolve, deletion, for..in order and instanceof.

#include "swf/avm1/vm/Interpreter.h"

#include <QSet>

namespace swf::avm1 {

namespace {

constexpr int MaxProtoDepth = 256;
// The accessors of one member (its getter and setter together), and each
// watcher, nest this deep; past it a getter reads and a setter writes the
// plain value, and a watcher is not called.
constexpr int MaxAccessorNesting = 65;
// Watchers of different properties calling each other stop this deep
// altogether.
constexpr int MaxWatcherChain = 1024;

struct NestingGuard {
    int& count;
    explicit NestingGuard(int& c) : count(c) { ++count; }
    ~NestingGuard() { --count; }
};

} // namespace

// One call of a member's getter or setter: refused (`entered` false) when
// that member's accessors already run MaxAccessorNesting deep.
class AccessorEntry {
public:
    AccessorEntry(Interpreter& vm, const Object* holder, const QString& name)
        : m_map(vm.m_accessorNesting), m_key(holder, holder->caseSensitive() ? name : name.toLower())
    {
        int& depth = m_map[m_key];
        entered = depth < MaxAccessorNesting;
        if (entered)
            ++depth;
        else if (depth == 0)
            m_map.remove(m_key);
    }
    ~AccessorEntry()
    {
        if (!entered)
            return;
        auto it = m_map.find(m_key);
        if (it != m_map.end() && --*it <= 0)
            m_map.erase(it);
    }
    AccessorEntry(const AccessorEntry&) = delete;
    AccessorEntry& operator=(const AccessorEntry&) = delete;
    bool entered = false;

private:
    QHash<QPair<const Object*, QString>, int>& m_map;
    QPair<const Object*, QString> m_key;
};

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
        if (own->getter) {
            AccessorEntry entry(*this, o, name);
            if (entry.entered)
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
        if (p->getter) {
            AccessorEntry entry(*this, cur, name);
            if (entry.entered)
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
    const QString key = o->caseSensitive() ? name : name.toLower();
    auto it = watches->find(key);
    if (it == watches->end())
        return;
    // Before version 7 a watcher is not called for the writes it makes
    // itself. From version 7 a watcher that sets its own property calls
    // itself again, each watcher up to the nesting bound of its own (with
    // the getters running around it); watchers of different properties
    // that set each other nest that deep each.
    if (m_version < 7 ? it->depth > 0 : it->depth >= MaxAccessorNesting)
        return;
    if (m_watcherNesting >= MaxWatcherChain)
        return;
    // The old value is the plain value, wherever on the chain it is; a getter is not asked.
    if (!existing)
        existing = findProperty(o, name);
    Value old = existing ? existing->value : Value();
    Object* callback = it->callback;
    Value userData = it->userData;
    NestingGuard nesting(m_watcherNesting);
    ++it->depth;
    value = call(Value(callback), Value(o), { Value(name), old, value, userData });
    // The callback may have unwatched (or watched anew) meanwhile.
    if (auto* after = o->watches()) {
        auto again = after->find(key);
        if (again != after->end() && again->depth > 0)
            --again->depth;
    }
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
        Property* own = o->findOwn(name);
        if (own && (own->flags & ReadOnly))
            return;
        Value v = value;
        if (o->watches())
            callWatcher(o, name, v, own);
        own = o->findOwn(name);
        // An accessor put in the member's place takes the write; the link stays.
        if (own && (own->getter || own->setter)) {
            if (own->setter) {
                AccessorEntry entry(*this, o, name);
                if (entry.entered)
                    call(Value(own->setter), object, { v });
            }
            return;
        }
        o->put(name, v);
        return;
    }
    Value v = value;
    uint8_t keptFlags = 0;
    Property* own = o->findOwn(name);
    if (own && !own->visibleIn(m_version))
        own = nullptr;
    if (o->watches() && o->watches()->contains(o->caseSensitive() ? name : name.toLower())) {
        // The member the write goes to is there (made undefined if need be)
        // before the watcher runs; a watcher that deletes it drops the write.
        if (!own && !o->hasVirtual(*this, name) && !inheritedAccessor(o, name)) {
            o->put(name, Value());
            own = o->findOwn(name);
        }
        const bool hadOwn = own != nullptr;
        callWatcher(o, name, v, own);
        if (hadOwn && !o->findOwn(name))
            return;
    }
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
            {
                AccessorEntry entry(*this, o, name);
                if (entry.entered)
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
            if (p->setter) {
                AccessorEntry entry(*this, cur, name);
                if (entry.entered)
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

bool Interpreter::inheritedAccessor(Object* o, const QString& name)
{
    int depth = 0;
    for (Object* cur = o->proto(); cur && depth < MaxProtoDepth; cur = cur->proto(), ++depth) {
        const Property* p = cur->findOwn(name);
        if (p && p->visibleIn(m_version))
            return p->getter || p->setter;
    }
    return false;
}

bool Interpreter::deleteMember(Object* o, const QString& name)
{
    if (!o)
        return false;
    Property* p = o->findOwn(name);
    if (p) {
        if (p->flags & DontDelete)
            return false;
        // Deleting the `__proto__` member cuts the link before version 7;
        // from version 7 the link stays.
        if (m_version < 7 && o->isProtoKey(name))
            o->setProto(nullptr);
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
