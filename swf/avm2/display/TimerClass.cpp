// flash.utils.Timer on the movie clock: a running timer is due `delay`
// milliseconds after it started or last fired, and fires at most once a
// frame, sending a timer event and, at its last count, timerComplete.

#include "swf/avm2/display/StageScripts.h"

#include <cmath>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

} // namespace

void StageScripts::installTimerClass()
{
    Machine& m = *m_machine;
    auto stateOf = [](Machine& m, const Value& self) -> TimerState& {
        Object* o = self.object();
        if (!o || !o->host)
            m.throwError(ErrorClass::TypeError, 1009, QStringLiteral("Cannot access a property or method of a null object reference."));
        return *static_cast<TimerState*>(o->host.get());
    };
    auto checkDelay = [](Machine& m, double delay) {
        if (!std::isfinite(delay) || delay < 0)
            m.throwError(ErrorClass::RangeError, 2066, QStringLiteral("The Timer delay specified is out of range."));
    };
    ClassObject* timer = m.defineClass(QStringLiteral("flash.utils"), QStringLiteral("Timer"), m.builtins().eventDispatcher,
        InstanceKind::Plain, [this, checkDelay](Machine& m, const Value& self, Args args) {
            auto state = std::make_shared<TimerState>();
            state->timer = self.o;
            state->delay = m.toNumber(arg(args, 0));
            checkDelay(m, state->delay);
            state->repeatCount = args.size() > 1 ? toInt32(m.toNumber(args[1])) : 0;
            self.o->host = state;
            m_timers.push_back(state);
            return Value::undefined();
        });
    timer->sealed = true;
    m.addGetter(timer, QStringLiteral("delay"),
        [stateOf](Machine& m, const Value& self, Args) { return Value::number(stateOf(m, self).delay); },
        [this, stateOf, checkDelay](Machine& m, const Value& self, Args args) {
            TimerState& state = stateOf(m, self);
            const double delay = m.toNumber(arg(args, 0));
            checkDelay(m, delay);
            state.delay = delay;
            if (state.running)
                state.nextMs = clockMs() + delay;
            return Value::undefined();
        });
    m.addGetter(timer, QStringLiteral("repeatCount"),
        [stateOf](Machine& m, const Value& self, Args) { return Value::number(stateOf(m, self).repeatCount); },
        [stateOf](Machine& m, const Value& self, Args args) {
            TimerState& state = stateOf(m, self);
            state.repeatCount = toInt32(m.toNumber(arg(args, 0)));
            if (state.repeatCount > 0 && state.currentCount >= state.repeatCount)
                state.running = false;
            return Value::undefined();
        });
    m.addGetter(timer, QStringLiteral("currentCount"),
        [stateOf](Machine& m, const Value& self, Args) { return Value::number(stateOf(m, self).currentCount); });
    m.addGetter(timer, QStringLiteral("running"),
        [stateOf](Machine& m, const Value& self, Args) { return Value::boolean(stateOf(m, self).running); });
    m.addMethod(timer, QStringLiteral("start"), [this, stateOf](Machine& m, const Value& self, Args) {
        TimerState& state = stateOf(m, self);
        if (!state.running) {
            state.running = true;
            state.nextMs = clockMs() + state.delay;
        }
        return Value::undefined();
    });
    m.addMethod(timer, QStringLiteral("stop"), [stateOf](Machine& m, const Value& self, Args) {
        stateOf(m, self).running = false;
        return Value::undefined();
    });
    m.addMethod(timer, QStringLiteral("reset"), [stateOf](Machine& m, const Value& self, Args) {
        TimerState& state = stateOf(m, self);
        state.running = false;
        state.currentCount = 0;
        return Value::undefined();
    });
}

void StageScripts::runTimers()
{
    Machine& m = *m_machine;
    const double now = clockMs();
    ClassObject* timerEvent = m.findClass(QStringLiteral("flash.events.TimerEvent"));
    // Timers started by a listener wait for the next frame.
    const auto due = m_timers;
    for (const auto& state : due) {
        if (!state->running || state->nextMs > now)
            continue;
        ++state->currentCount;
        state->nextMs = now + std::max(state->delay, 1.0);
        const bool last = state->repeatCount > 0 && state->currentCount >= state->repeatCount;
        if (last)
            state->running = false;
        m.guard([&] {
            Value args[] = { Value::string(QStringLiteral("timer")), Value::boolean(false), Value::boolean(false) };
            m.dispatchEvent(Value::object(state->timer), m.constructClass(timerEvent ? timerEvent : m.builtins().event, args));
            if (last) {
                Value done[] = { Value::string(QStringLiteral("timerComplete")), Value::boolean(false), Value::boolean(false) };
                m.dispatchEvent(Value::object(state->timer), m.constructClass(timerEvent ? timerEvent : m.builtins().event, done));
            }
        });
    }
}

} // namespace swf::avm2
