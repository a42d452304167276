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
    // Copy the ids first: callbacks may add or clear intervals.
    std::vector<int> ids;
    for (const Interval& iv : m_intervals)
        ids.push_back(iv.id);
    for (int id : ids) {
        auto it = std::find_if(m_intervals.begin(), m_intervals.end(), [id](const Interval& iv) { return iv.id == id; });
        if (it == m_intervals.end())
            continue;
        if (it->next < 0)
            it->next = nowMs + it->period;
        if (nowMs < it->next)
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
