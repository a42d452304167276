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

void StageScripts::installIntervalFunctions()
{
    Machine& m = *m_machine;
    // setInterval(closure, delay, ...arguments) and setTimeout: the closure
    // runs on the movie clock like a Timer of no (or one) repeat; the id
    // they answer counts from 1.
    auto schedule = [this](bool repeat) {
        return [this, repeat](Machine& m, const Value&, Args args) {
            auto state = std::make_shared<TimerState>();
            state->callback = arg(args, 0);
            if (!state->callback.object())
                m.throwError(ErrorClass::TypeError, 1034, QStringLiteral("Type Coercion failed: cannot convert %1 to Function.")
                                                              .arg(m.toString(state->callback)));
            state->delay = std::max(0.0, m.toNumber(arg(args, 1)));
            if (!std::isfinite(state->delay))
                state->delay = 0;
            state->repeatCount = repeat ? 0 : 1;
            state->arguments.assign(args.begin() + std::min<std::size_t>(2, args.size()), args.end());
            state->running = true;
            state->nextMs = clockMs() + state->delay;
            state->id = ++m_lastIntervalId;
            m_timers.push_back(state);
            return Value::number(state->id);
        };
    };
    auto clear = [this](Machine& m, const Value&, Args args) {
        const double id = m.toNumber(arg(args, 0));
        for (const auto& state : m_timers) {
            if (state->id != 0 && state->id == id)
                state->running = false;
        }
        return Value::undefined();
    };
    const QString utils = QStringLiteral("flash.utils");
    m.defineGlobal(utils, QStringLiteral("setInterval"), Value::object(m.newNative(QStringLiteral("setInterval"), schedule(true), 2)));
    m.defineGlobal(utils, QStringLiteral("setTimeout"), Value::object(m.newNative(QStringLiteral("setTimeout"), schedule(false), 2)));
    m.defineGlobal(utils, QStringLiteral("clearInterval"), Value::object(m.newNative(QStringLiteral("clearInterval"), clear, 1)));
    // getTimer(): milliseconds of the movie clock, the one timers run on.
    m.defineGlobal(utils, QStringLiteral("getTimer"), Value::object(m.newNative(QStringLiteral("getTimer"),
        [this](Machine&, const Value&, Args) { return Value::number(std::floor(std::max(0.0, clockMs()))); })));
    m.defineGlobal(utils, QStringLiteral("clearTimeout"), Value::object(m.newNative(QStringLiteral("clearTimeout"), clear, 1)));
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
        if (!state->callback.isUndefined()) {
            m.guard([&] { m.call(state->callback, Value::null(), state->arguments); });
            continue;
        }
        m.guard([&] {
            Value args[] = { Value::string(QStringLiteral("timer")), Value::boolean(false), Value::boolean(false) };
            m.dispatchEvent(Value::object(state->timer), m.constructClass(timerEvent ? timerEvent : m.builtins().event, args));
            if (last) {
                Value done[] = { Value::string(QStringLiteral("timerComplete")), Value::boolean(false), Value::boolean(false) };
                m.dispatchEvent(Value::object(state->timer), m.constructClass(timerEvent ? timerEvent : m.builtins().event, done));
            }
        });
    }
    // Finished or cleared intervals and timeouts are done with; Timer objects
    // stay, a script may start them again.
    std::erase_if(m_timers, [](const std::shared_ptr<TimerState>& state) { return !state->callback.isUndefined() && !state->running; });
}

} // namespace swf::avm2
