// setInterval bookkeeping: the stage ticks the intervals with the movie's
// time, and each one due calls its function or method safely.

#include "swf/avm1/vm/Interpreter.h"

#include <algorithm>

namespace swf::avm1 {

int Interpreter::addInterval(const Value& function, const Value& thisValue, const QString& method, double periodMs, std::vector<Value> args)
{
    // A period of 0 would run every tick; the player runs such intervals once per frame at most.
    Interval iv { m_nextInterval++, function, thisValue, method, std::max(periodMs, 1.0), -1, std::move(args) };
    m_intervals.push_back(std::move(iv));
    return m_intervals.back().id;
}

void Interpreter::clearInterval(int id)
{
    for (auto it = m_intervals.begin(); it != m_intervals.end(); ++it) {
        if (it->id == id) {
            m_intervals.erase(it);
            return;
        }
    }
}

void Interpreter::tickIntervals(double nowMs)
{
    // The intervals due in this tick run in the order they fell due (those
    // due at the same time in the order they were set), so that one cleared
    // by another that fell due first does not run. Callbacks may add or
    // clear intervals: each is looked up again before it runs.
    std::vector<std::pair<double, int>> due;
    for (Interval& iv : m_intervals) {
        if (iv.next < 0)
            iv.next = nowMs + iv.period;
        if (nowMs >= iv.next)
            due.emplace_back(iv.next, iv.id);
    }
    std::stable_sort(due.begin(), due.end());
    for (const auto& [when, id] : due) {
        auto it = std::find_if(m_intervals.begin(), m_intervals.end(), [id](const Interval& iv) { return iv.id == id; });
        if (it == m_intervals.end())
            continue;
        it->next = std::max(it->next + it->period, nowMs);
        Value function = it->function;
        Value thisValue = it->thisValue;
        QString method = it->method;
        std::vector<Value> args = it->args;
        if (!method.isEmpty()) {
            if (Object* o = thisValue.asObject())
                callMethodSafely(o, method, std::move(args));
        } else {
            callSafely(function, Value(), std::move(args));
        }
    }
}

} // namespace swf::avm1
