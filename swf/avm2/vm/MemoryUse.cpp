// The memory budget of the second machine: what a count of the heap finds
// held, and the stop when a script keeps more than the movie allows.
//
// This machine frees nothing while it runs: every object stays in the heap
// until the machine goes (the movie is closed). So the count is what scripts
// made and kept plus what they made and dropped, and a movie that allocates
// without end is stopped here rather than growing without bound.

#include "swf/avm2/builtins/ByteArrayClass.h"
#include "swf/avm2/vm/Machine.h"

#include <QSet>

namespace swf::avm2 {

namespace {

// A dynamic property: its name and value records and its slot in the name index.
constexpr std::uint64_t PropertyBytes = 64;
// Strings shorter than this are counted at each place that holds them; longer
// ones once per buffer, since copies share it.
constexpr qsizetype SharedStringChars = 256;

class Tally {
public:
    void add(const Value& v)
    {
        if (!v.isString())
            return;
        add(v.s);
    }
    void add(const QString& s)
    {
        if (s.size() < SharedStringChars) {
            bytes += std::uint64_t(s.size()) * sizeof(QChar);
            return;
        }
        if (!m_seen.contains(s.constData())) {
            m_seen.insert(s.constData());
            bytes += std::uint64_t(s.size()) * sizeof(QChar);
        }
    }
    std::uint64_t bytes = 0;

private:
    QSet<const void*> m_seen;
};

} // namespace

std::uint64_t Machine::memoryInUse() const
{
    Tally tally;
    std::uint64_t total = 0;
    for (const auto& held : m_heap) {
        Object& o = *held;
        total += ObjectRecordBytes + o.hostBytes;
        if (const ByteArrayHost* bytes = byteArrayOf(&o))
            total += std::uint64_t(bytes->data.capacity());
        total += std::uint64_t(o.slotValues().capacity() + o.elements.capacity()) * sizeof(Value);
        for (const Value& v : o.slotValues())
            tally.add(v);
        for (const Value& v : o.elements)
            tally.add(v);
        for (const auto& [name, value] : o.dynamicProperties()) {
            total += PropertyBytes;
            tally.add(name);
            tally.add(value);
        }
        total += std::uint64_t(o.keyedValues.size()) * (PropertyBytes + sizeof(Value));
        for (const auto& entry : o.keyedValues)
            tally.add(entry.second);
        tally.add(o.primitive);
    }
    return total + tally.bytes;
}

void Machine::checkMemory(std::size_t pending)
{
    // Once a count found the budget spent, the heap is not walked again
    // until scripts have asked for a good share more: counting visits every object.
    if (!m_memory.overAtLastCount() || m_memory.chargedSinceCount() >= m_memory.limit() / 16) {
        if (m_memory.recount(memoryInUse(), pending))
            return;
    }
    // Outside a guarded entry (the stage making objects for its own
    // timeline) nothing is stopped: only a running script can be.
    if (m_guardDepth == 0)
        return;
    const std::uint64_t asked = m_memory.estimate();
    m_memory.refuse(pending);
    throw MemorySpent { asked };
}

} // namespace swf::avm2
