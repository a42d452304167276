// The memory budget of a movie's scripts: what is charged as scripts make
// things, and the count of what they really hold when the charges pass the
// limit (see MemoryBudget.h).

#include "swf/avm1/vm/Frame.h"
#include "swf/avm1/vm/Interpreter.h"

#include <QSet>

namespace swf::avm1 {

namespace {

// What one object costs beyond its record (Object::recordBytes, the size of
// its class): the allocator's header and rounding, and its slot in the heap
// list.
constexpr size_t ObjectOverhead = 16 + sizeof(Object*);
// A property: its record and its slot in the name index.
constexpr size_t PropertyBytes = sizeof(Property) + 32;
// Strings shorter than this are counted at each place that holds them; longer
// ones once per buffer, since assignment shares the buffer and a thousand
// references to one long string must not count a thousand times.
constexpr qsizetype SharedStringChars = 256;

class Tally {
public:
    void add(const Value& v)
    {
        if (!v.isString())
            return;
        const QString& s = v.asString();
        if (s.size() < SharedStringChars) {
            bytes += uint64_t(s.size()) * sizeof(QChar);
            return;
        }
        if (!m_seen.contains(s.constData())) {
            m_seen.insert(s.constData());
            bytes += uint64_t(s.size()) * sizeof(QChar);
        }
    }
    uint64_t bytes = 0;

private:
    QSet<const void*> m_seen;
};

} // namespace

size_t Object::heldBytes(const std::function<void(const Value&)>& value) const
{
    // The prototype link's own slot is part of the record.
    value(m_link.value);
    for (const Property& p : m_props) {
        value(p.value);
        value(Value(p.name));
    }
    return m_props.size() * PropertyBytes + m_slots.capacity() * sizeof(int32_t);
}

size_t ArrayObject::heldBytes(const std::function<void(const Value&)>& value) const
{
    size_t own = Object::heldBytes(value);
    for (const Value& v : elements)
        value(v);
    value(writtenLength);
    return own + elements.capacity() * sizeof(Value);
}

size_t Interpreter::objectRecordBytes(size_t record, size_t properties)
{
    return record + ObjectOverhead + properties * PropertyBytes;
}

uint64_t Interpreter::memoryInUse() const
{
    Tally tally;
    const std::function<void(const Value&)> visit = [&tally](const Value& v) { tally.add(v); };
    uint64_t total = 0;
    for (const Object* o : m_heap)
        total += objectRecordBytes(o->recordBytes()) + o->heldBytes(visit);
    for (const Value& v : m_stack)
        tally.add(v);
    total += m_stack.capacity() * sizeof(Value);
    for (const Frame* f : m_frames)
        for (const Value& v : f->regs)
            tally.add(v);
    return total + tally.bytes;
}

void Interpreter::chargeMemory(size_t bytes)
{
    m_memory.charge(bytes);
    if (m_memory.needsRecount())
        checkMemory(bytes);
}

void Interpreter::chargeBuilding(size_t building, size_t more)
{
    m_memory.charge(more);
    if (m_memory.needsRecount())
        checkMemory(building + more);
}

bool Interpreter::tryChargeMemory(size_t bytes, const QString& what)
{
    // Past the estimate, count what is really held before refusing: garbage
    // dropped since the last count may leave room.
    if (m_memory.estimate() + bytes > m_memory.limit()
        && (!m_memory.recount(memoryInUse()) || m_memory.estimate() + bytes > m_memory.limit())) {
        if (m_host)
            m_host->scriptFault(QStringLiteral("memory budget spent (%1 refused, %2 MB allowed)")
                                    .arg(what)
                                    .arg(m_memory.limit() >> 20));
        return false;
    }
    m_memory.charge(bytes);
    return true;
}

void Interpreter::checkMemory(size_t pending)
{
    // While a count found the budget spent, scripts are stopped without
    // counting again until they have asked for a good share more (or the
    // collector has counted after freeing): counting walks every object.
    if (!m_memory.overAtLastCount() || m_memory.chargedSinceCount() >= m_memory.limit() / 16) {
        if (m_memory.recount(memoryInUse(), pending))
            return;
    }
    // Between charges (nothing asked for now), a script is stopped only once
    // what is held passes the limit by a sixteenth: the record of a clip or
    // object made just after the charge that filled the budget must not stop
    // every later script of the movie.
    if (pending == 0 && m_memory.estimate() <= m_memory.limit() + m_memory.limit() / 16)
        return;
    const std::uint64_t asked = m_memory.estimate();
    m_memory.refuse(pending);
    m_halted = true;
    trap(QStringLiteral("memory budget spent (%1 MB held or asked for, %2 MB allowed)")
             .arg(asked >> 20)
             .arg(m_memory.limit() >> 20));
}

} // namespace swf::avm1
