#pragma once

// The intervals and timeouts of a movie's scripts, kept by id and by the time
// each is next due, so that a tick costs the ones due and not every one alive.

#include "swf/avm1/vm/Value.h"

#include <QString>

#include <functional>
#include <queue>
#include <unordered_map>
#include <vector>

namespace swf::avm1 {

struct Interval {
    int id = 0;
    Value function;
    Value thisValue;
    QString method;
    double period = 1; // milliseconds, at least 1
    double next = -1;  // when due; -1 until the first tick after it was set
    std::vector<Value> args;
};

class IntervalTable {
public:
    // More live intervals than any real movie keeps; past it setInterval gives no id.
    static constexpr int MaxLive = 16384;

    // The new interval's id, or 0 when MaxLive are alive.
    int add(Interval interval);
    bool remove(int id);
    Interval* find(int id);
    int size() const { return int(m_byId.size()); }

    // Intervals set since the last tick start their clock at `nowMs`; then the
    // ids due at `nowMs`, in the order they were set. Each is taken as run:
    // its next time is set one period on (never before `nowMs`).
    std::vector<int> takeDue(double nowMs);

    template<typename F>
    void forEach(F&& visit) const
    {
        for (const auto& [id, iv] : m_byId)
            visit(iv);
    }

private:
    void schedule(const Interval& iv);

    // Node-based, so an Interval stays where it is while others come and go.
    std::unordered_map<int, Interval> m_byId;
    std::vector<int> m_starting; // set since the last tick: their clocks start then
    // (due time, id); entries whose interval was cleared or moved are skipped.
    using Due = std::pair<double, int>;
    std::priority_queue<Due, std::vector<Due>, std::greater<Due>> m_due;
    int m_nextId = 1;
};

} // namespace swf::avm1
