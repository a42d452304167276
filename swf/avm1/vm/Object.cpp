#include "swf/avm1/vm/Object.h"

#include "swf/avm1/vm/Interpreter.h"
#include "swf/avm1/vm/MemoryCharges.h"

#include <algorithm>

namespace swf::avm1 {

Object::Object(Kind kind, Object* proto, bool caseSensitive)
    : m_kind(kind), m_caseSensitive(caseSensitive), m_proto(proto)
{
    if (proto)
        define(QStringLiteral("__proto__"), Value(proto), DontEnum | DontDelete);
}

bool Object::isProtoKey(const QString& name) const
{
    if (name.size() != 9)
        return false;
    return name.compare(QLatin1String("__proto__"), m_caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

void Object::setProto(Object* p)
{
    m_proto = p;
    if (Property* own = findOwn(QStringLiteral("__proto__")))
        own->value = p ? Value(p) : Value();
    else if (p)
        define(QStringLiteral("__proto__"), Value(p), DontEnum | DontDelete);
}

Object::~Object() = default;

Property* Object::findOwn(const QString& name)
{
    auto it = m_index.constFind(key(name));
    return it == m_index.constEnd() ? nullptr : &m_props[size_t(*it)];
}

const Property* Object::findOwn(const QString& name) const
{
    auto it = m_index.constFind(key(name));
    return it == m_index.constEnd() ? nullptr : &m_props[size_t(*it)];
}

void Object::put(const QString& name, const Value& value, uint8_t flags)
{
    if (Property* p = findOwn(name)) {
        p->value = value;
        if (isProtoKey(name))
            m_proto = value.asObject();
        return;
    }
    define(name, value, flags);
}

void Object::define(const QString& name, const Value& value, uint8_t flags)
{
    if (Property* p = findOwn(name)) {
        p->value = value;
        p->getter = p->setter = nullptr;
        p->flags = flags;
        if (isProtoKey(name))
            m_proto = value.asObject();
        return;
    }
    if (isProtoKey(name))
        m_proto = value.asObject();
    m_index.insert(key(name), int(m_props.size()));
    Property p;
    p.name = name;
    p.value = value;
    p.flags = flags;
    m_props.push_back(std::move(p));
}

bool Object::removeOwn(const QString& name)
{
    auto it = m_index.find(key(name));
    if (it == m_index.end())
        return false;
    // Deleting the `__proto__` member leaves the link itself in place.
    Property& p = m_props[size_t(*it)];
    p.alive = false;
    p.value = Value();
    p.getter = p.setter = nullptr;
    m_index.erase(it);
    if (++m_dead > 16 && m_dead * 2 > int(m_props.size()))
        compact();
    return true;
}

void Object::compact()
{
    std::vector<Property> live;
    live.reserve(m_props.size() - size_t(m_dead));
    m_index.clear();
    for (Property& p : m_props) {
        if (!p.alive)
            continue;
        m_index.insert(key(p.name), int(live.size()));
        live.push_back(std::move(p));
    }
    m_props = std::move(live);
    m_dead = 0;
}

QStringList Object::ownNames(bool includeHidden) const
{
    QStringList names;
    for (auto it = m_props.rbegin(); it != m_props.rend(); ++it) {
        if (it->alive && (includeHidden || !(it->flags & DontEnum)))
            names.push_back(it->name);
    }
    return names;
}

QHash<QString, Object::Watch>& Object::ensureWatches()
{
    if (!m_watches)
        m_watches = std::make_unique<QHash<QString, Watch>>();
    return *m_watches;
}

void Object::markChildren(std::vector<Object*>& stack)
{
    if (m_proto)
        stack.push_back(m_proto);
    for (const Property& p : m_props) {
        if (!p.alive)
            continue;
        if (Object* o = p.value.asObject())
            stack.push_back(o);
        if (p.getter)
            stack.push_back(p.getter);
        if (p.setter)
            stack.push_back(p.setter);
    }
    if (Object* o = primitive.asObject())
        stack.push_back(o);
    for (Object* i : interfaces)
        stack.push_back(i);
    if (m_watches) {
        for (const Watch& w : *m_watches) {
            stack.push_back(w.callback);
            if (Object* o = w.userData.asObject())
                stack.push_back(o);
        }
    }
}

FunctionObject::FunctionObject(Object* proto, bool caseSensitive)
    : Object(Kind::Function, proto, caseSensitive)
{
    // Movies of version 5 do not see a function's link (they have no
    // Function class); calls through it still work.
    if (Property* p = findOwn(QStringLiteral("__proto__")))
        p->minVersion = 6;
}

void FunctionObject::markChildren(std::vector<Object*>& stack)
{
    Object::markChildren(stack);
    for (Scope* s = scope.get(); s; s = s->parent.get())
        stack.push_back(s->object);
    if (definingTarget)
        stack.push_back(definingTarget);
}

int64_t ArrayObject::indexOf(const QString& name)
{
    if (name.isEmpty() || name.size() > 10)
        return -1;
    if (name.size() > 1 && name[0] == '0')
        return -1;
    int64_t v = 0;
    for (QChar c : name) {
        if (c < '0' || c > '9')
            return -1;
        v = v * 10 + (c.unicode() - '0');
    }
    return v;
}

void ArrayObject::setBitsAt(size_t i, uint8_t bits)
{
    if (i >= elements.size())
        return;
    if (i >= elementBits.size()) {
        if (!bits)
            return;
        elementBits.resize(i + 1, 0);
    }
    elementBits[i] = bits;
}

int64_t ArrayObject::negativeIndexOf(const QString& name)
{
    if (name.size() < 2 || name[0] != QLatin1Char('-'))
        return 0;
    const int64_t i = indexOf(name.mid(1));
    return i > 0 ? -i : 0;
}

double ArrayObject::negativeLength() const
{
    if (!hasWrittenLength || writtenLengthAt != elements.size() || !writtenLength.isNumber())
        return 0;
    const double n = std::trunc(writtenLength.asNumber());
    return n < 0 ? n : 0;
}

bool ArrayObject::getVirtual(Interpreter&, const QString& name, Value& out)
{
    if (name == QLatin1String("length")) {
        const bool written = hasWrittenLength && writtenLengthAt == elements.size();
        out = written ? writtenLength : Value(double(elements.size()));
        return true;
    }
    int64_t i = indexOf(name);
    if (i >= 0 && size_t(i) < elements.size() && !isHole(size_t(i))) {
        out = elements[size_t(i)];
        return true;
    }
    return false;
}

bool ArrayObject::setVirtual(Interpreter& vm, const QString& name, const Value& value)
{
    if (name == QLatin1String("length")) {
        const double length = vm.toNumber(value);
        if (length > double(elements.size()))
            chargeGrowth(vm, elements, size_t(std::min(length, double(MaxLength))) - elements.size());
        setLength(length);
        // A length that is not a whole count (a string, -4, 3.5) cuts the
        // elements to its whole part but reads back as written.
        hasWrittenLength = !value.isNumber() || !(length >= 0 && length == std::trunc(length));
        writtenLength = hasWrittenLength ? value : Value();
        writtenLengthAt = elements.size();
        return true;
    }
    int64_t i = indexOf(name);
    if (i < 0) {
        // A negative whole index is a plain member, but on an array whose
        // length was set below zero it moves the length up past itself.
        const int64_t n = negativeIndexOf(name);
        const double length = negativeLength();
        if (n < 0 && length < 0 && double(n) >= length) {
            writtenLength = Value(double(n + 1));
            hasWrittenLength = n + 1 < 0;
            writtenLengthAt = elements.size();
        }
        return false;
    }
    if (size_t(i) >= MaxLength)
        return false;
    if (size_t(i) >= elements.size()) {
        chargeGrowth(vm, elements, size_t(i) + 1 - elements.size());
        elements.resize(size_t(i) + 1);
    } else if (const uint8_t bits = bitsAt(size_t(i))) {
        // A read-only element keeps its value; a hole is filled again.
        if (bits & ReadOnly && !(bits & Hole))
            return true;
        setBitsAt(size_t(i), 0);
    }
    elements[size_t(i)] = value;
    return true;
}

bool ArrayObject::hasVirtual(Interpreter&, const QString& name)
{
    if (name == QLatin1String("length"))
        return true;
    int64_t i = indexOf(name);
    return i >= 0 && size_t(i) < elements.size() && !isHole(size_t(i));
}

void ArrayObject::virtualNames(Interpreter&, QStringList& out)
{
    for (size_t i = elements.size(); i-- > 0;)
        if (!(bitsAt(i) & (Hole | DontEnum)))
            out.push_back(QString::number(i));
}

bool ArrayObject::deleteVirtual(Interpreter&, const QString& name)
{
    // The element goes and leaves a hole; the length stays.
    int64_t i = indexOf(name);
    if (i >= 0 && size_t(i) < elements.size() && !isHole(size_t(i))) {
        if (bitsAt(size_t(i)) & DontDelete)
            return false;
        elements[size_t(i)] = Value();
        setBitsAt(size_t(i), Hole);
        return true;
    }
    return false;
}

void ArrayObject::markChildren(std::vector<Object*>& stack)
{
    Object::markChildren(stack);
    for (const Value& v : elements)
        if (Object* o = v.asObject())
            stack.push_back(o);
    if (Object* o = writtenLength.asObject())
        stack.push_back(o);
}

void ArrayObject::setLength(double length)
{
    if (!(length >= 0))
        length = 0;
    size_t n = length > double(MaxLength) ? MaxLength : size_t(length);
    elements.resize(n);
    if (elementBits.size() > n)
        elementBits.resize(n);
}

void SuperObject::markChildren(std::vector<Object*>& stack)
{
    Object::markChildren(stack);
    if (thisObject)
        stack.push_back(thisObject);
}

} // namespace swf::avm1
