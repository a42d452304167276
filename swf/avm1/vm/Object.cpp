#include "swf/avm1/vm/Object.h"

#include "swf/avm1/vm/Interpreter.h"
#include "swf/avm1/vm/MemoryCharges.h"

#include <algorithm>

namespace swf::avm1 {

namespace {

// Objects with up to this many members (nearly all) find them by scanning
// the list, comparing hashes first; longer lists get an index.
constexpr size_t ScanLimit = 8;

} // namespace

Object::Object(Kind kind, Object* proto, bool caseSensitive)
    : m_kind(kind), m_caseSensitive(caseSensitive), m_proto(proto)
{
    m_link.name = QStringLiteral("__proto__");
    m_link.hash = foldedNameHash(m_link.name);
    m_link.alive = false;
    if (proto) {
        m_link.value = Value(proto);
        m_link.flags = DontEnum | DontDelete;
        m_link.alive = true;
    }
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

bool Object::sameName(const Property& p, const QString& name, uint32_t hash) const
{
    return p.hash == hash && p.alive && (m_caseSensitive ? p.name == name : foldedNameEqual(p.name, name));
}

int Object::indexOf(const QString& name, uint32_t hash) const
{
    if (m_slots.empty()) {
        for (size_t i = 0; i < m_props.size(); ++i) {
            if (sameName(m_props[i], name, hash))
                return int(i);
        }
        return -1;
    }
    const size_t mask = m_slots.size() - 1;
    for (size_t s = hash & mask;; s = (s + 1) & mask) {
        const int32_t i = m_slots[s];
        if (i < 0)
            return -1;
        if (sameName(m_props[size_t(i)], name, hash))
            return i;
    }
}

void Object::index(int i)
{
    // Dead members keep their slots until the list is compacted, so the
    // table only fills: it is made again at half full.
    if (m_props.size() * 2 > m_slots.size()) {
        reindex();
        return;
    }
    const size_t mask = m_slots.size() - 1;
    size_t s = m_props[size_t(i)].hash & mask;
    while (m_slots[s] >= 0)
        s = (s + 1) & mask;
    m_slots[s] = i;
}

void Object::reindex()
{
    m_slots.clear();
    if (m_props.size() <= ScanLimit)
        return;
    size_t size = 16;
    while (size < m_props.size() * 4)
        size *= 2;
    m_slots.assign(size, -1);
    const size_t mask = size - 1;
    for (size_t i = 0; i < m_props.size(); ++i) {
        if (!m_props[i].alive)
            continue;
        size_t s = m_props[i].hash & mask;
        while (m_slots[s] >= 0)
            s = (s + 1) & mask;
        m_slots[s] = int32_t(i);
    }
}

Property* Object::findOwn(const QString& name, uint32_t hash)
{
    if (m_link.alive && isProtoKey(name))
        return &m_link;
    const int i = indexOf(name, hash);
    return i < 0 ? nullptr : &m_props[size_t(i)];
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
    const uint32_t hash = foldedNameHash(name);
    if (Property* p = findOwn(name, hash)) {
        p->value = value;
        p->getter = p->setter = nullptr;
        p->flags = flags;
        if (isProtoKey(name))
            m_proto = value.asObject();
        return;
    }
    Property p;
    p.name = name;
    p.hash = hash;
    p.value = value;
    p.flags = flags;
    if (isProtoKey(name)) {
        m_proto = value.asObject();
        // With no other member standing it is the oldest, where the slot
        // of its own lists it.
        if (m_props.size() == size_t(m_dead)) {
            m_link = std::move(p);
            return;
        }
    }
    if (name.size() >= 2 && name[0].toLower() == u'o' && name[1].toLower() == u'n')
        m_mayHoldHandler = true;
    m_props.push_back(std::move(p));
    if (m_props.size() > ScanLimit)
        index(int(m_props.size()) - 1);
}

bool Object::removeOwn(const QString& name)
{
    // Deleting the `__proto__` member leaves the link itself in place.
    if (m_link.alive && isProtoKey(name)) {
        m_link.alive = false;
        m_link.value = Value();
        m_link.getter = m_link.setter = nullptr;
        return true;
    }
    const int i = indexOf(name, foldedNameHash(name));
    if (i < 0)
        return false;
    Property& p = m_props[size_t(i)];
    p.alive = false;
    p.value = Value();
    p.getter = p.setter = nullptr;
    if (++m_dead > 16 && m_dead * 2 > int(m_props.size()))
        compact();
    return true;
}

void Object::compact()
{
    std::vector<Property> live;
    live.reserve(m_props.size() - size_t(m_dead));
    for (Property& p : m_props) {
        if (p.alive)
            live.push_back(std::move(p));
    }
    m_props = std::move(live);
    m_dead = 0;
    reindex();
}

QStringList Object::ownNames(bool includeHidden) const
{
    QStringList names;
    for (auto it = m_props.rbegin(); it != m_props.rend(); ++it) {
        if (it->alive && (includeHidden || !(it->flags & DontEnum)))
            names.push_back(it->name);
    }
    if (m_link.alive && (includeHidden || !(m_link.flags & DontEnum)))
        names.push_back(m_link.name);
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
    auto markProperty = [&stack](const Property& p) {
        if (Object* o = p.value.asObject())
            stack.push_back(o);
        if (p.getter)
            stack.push_back(p.getter);
        if (p.setter)
            stack.push_back(p.setter);
    };
    if (m_link.alive)
        markProperty(m_link);
    for (const Property& p : m_props) {
        if (p.alive)
            markProperty(p);
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
