// setInterval bookkeeping: the stage ticks the intervals with the movie's
// time, and each one due calls its function or method safely.

#include "swf/avm1/vm/Intervals.h"

#include "swf/avm1/vm/Interpreter.h"

#include <algorithm>

namespace swf::avm1 {

int IntervalTable::add(Interval interval)
{
    if (size() >= MaxLive)
        return 0;
    interval.id = m_nextId++;
    // A period of 0 would run every tick; the player runs such intervals once per frame at most.
    interval.period = std::max(interval.period, 1.0);
    interval.next = -1;
    m_starting.push_back(interval.id);
    const int id = interval.id;
    m_byId.emplace(id, std::move(interval));
    return id;
}

bool IntervalTable::remove(int id)
{
    // Its entries in the queue stay until they come up and find it gone.
    return m_byId.erase(id) > 0;
}

Interval* IntervalTable::find(int id)
{
    auto it = m_byId.find(id);
    return it == m_byId.end() ? nullptr : &it->second;
}

void IntervalTable::schedule(const Interval& iv) { m_due.push({ iv.next, iv.id }); }

std::vector<int> IntervalTable::takeDue(double nowMs)
{
    for (int id : m_starting) {
        if (Interval* iv = find(id)) {
            iv->next = nowMs + iv->period;
            schedule(*iv);
        }
    }
    m_starting.clear();
    struct Fell {
        double at;
        int id;
        Interval* interval;
        bool operator<(const Fell& other) const { return at != other.at ? at < other.at : id < other.id; }
    };
    std::vector<Fell> fell;
    while (!m_due.empty() && m_due.top().first <= nowMs) {
        const auto [at, id] = m_due.top();
        m_due.pop();
        Interval* iv = find(id);
        if (!iv || iv->next != at)
            continue; // cleared, or a stale entry
        fell.push_back({ at, id, iv });
    }
    // They run in the order they fell due, those due at the same time in the
    // order they were set, so that one cleared by another that fell due first
    // does not run. Each runs once a tick at most, however far behind it is;
    // rescheduled after the queue is drained so that one does not come up twice.
    std::sort(fell.begin(), fell.end());
    std::vector<int> due;
    due.reserve(fell.size());
    for (const Fell& f : fell) {
        Interval* iv = f.interval;
        iv->next = std::max(iv->next + iv->period, nowMs);
        schedule(*iv);
        due.push_back(f.id);
    }
    return due;
}

int Interpreter::addInterval(const Value& function, const Value& thisValue, const QString& method, double periodMs, std::vector<Value> args)
{
    return m_intervals.add(Interval { 0, function, thisValue, method, periodMs, -1, std::move(args) });
}

void Interpreter::clearInterval(int id) { m_intervals.remove(id); }

void Interpreter::tickIntervals(double nowMs)
{
    for (int id : m_intervals.takeDue(nowMs)) {
        // Earlier callbacks of this tick may have cleared it.
        const Interval* iv = m_intervals.find(id);
        if (!iv)
            continue;
        // Copies: the callback may clear the interval, freeing it.
        std::vector<Value> args = iv->args;
        if (!iv->method.isEmpty()) {
            const Value thisValue = iv->thisValue;
            const QString method = iv->method;
            if (Object* o = thisValue.asObject())
                callMethodSafely(o, method, std::move(args));
        } else {
            const Value function = iv->function;
            callUnboundSafely(function, std::move(args));
        }
    }
}

} // namespace swf::avm1
