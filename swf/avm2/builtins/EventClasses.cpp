// flash.events: Event and its common kinds, and EventDispatcher with
// listeners ordered by priority then by registration, a capture phase down
// the display parents, the target, and a bubble phase back up.

#include "swf/avm2/vm/Machine.h"

#include <algorithm>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

struct EventData {
    QString type;
    bool bubbles = false;
    bool cancelable = false;
    Value target = Value::null();
    Value currentTarget = Value::null();
    int phase = 2; // capturing 1, at target 2, bubbling 3
    bool defaultPrevented = false;
    bool stopped = false;
    bool stoppedNow = false;
};

struct Listener {
    Value fn;
    bool capture = false;
    int priority = 0;
};

struct ListenerTable {
    QHash<QString, std::vector<Listener>> byType; // each list kept in calling order
};

EventData* checkedEvent(Machine& m, const Value& v)
{
    Object* o = v.object();
    if (!o || !o->classObject() || !o->classObject()->isSubclassOf(m.builtins().event) || !o->host)
        m.throwError(ErrorClass::TypeError, 1034, QStringLiteral("Type Coercion failed: cannot convert %1 to flash.events.Event.").arg(m.toString(v)));
    return static_cast<EventData*>(o->host.get());
}

ListenerTable& tableOf(Object* o)
{
    if (!o->listeners)
        o->listeners = std::make_shared<ListenerTable>();
    return *static_cast<ListenerTable*>(o->listeners.get());
}

bool sameFunction(Machine& m, const Value& a, const Value& b) { return m.strictEquals(a, b); }

// Calls the listeners of one object for one phase; a listener's error is
// reported and the others still run.
void deliver(Machine& m, Object* current, const Value& event, EventData& data, bool capture)
{
    if (!current->listeners)
        return;
    auto it = tableOf(current).byType.constFind(data.type);
    if (it == tableOf(current).byType.constEnd())
        return;
    const std::vector<Listener> snapshot = *it; // listeners added meanwhile wait for the next event
    data.currentTarget = Value::object(current);
    for (const Listener& listener : snapshot) {
        if (listener.capture != capture)
            continue;
        try {
            Value one[] = { event };
            m.call(listener.fn, Value::null(), one);
        } catch (const Thrown& thrown) {
            m.reportUncaught(thrown.value);
        }
        if (data.stoppedNow)
            break;
    }
}

QString formatEvent(Machine& m, const Value& self, Args args)
{
    QString out = QLatin1Char('[') + m.toString(arg(args, 0));
    for (std::size_t i = 1; i < args.size(); ++i) {
        const QString field = m.toString(args[i]);
        Value v = m.getProperty(self, Name::publicName(field));
        out += QLatin1Char(' ') + field + QLatin1Char('=') + (v.isString() ? QLatin1Char('"') + v.s + QLatin1Char('"') : m.toString(v));
    }
    return out + QLatin1Char(']');
}

} // namespace

bool Machine::hasListeners(Object* target, const QString& type)
{
    if (!target || !target->listeners)
        return false;
    auto& table = tableOf(target);
    auto it = table.byType.constFind(type);
    return it != table.byType.constEnd() && !it->empty();
}

bool Machine::dispatchEvent(const Value& targetValue, const Value& eventValue)
{
    Object* target = targetValue.object();
    Value event = eventValue;
    EventData* data = checkedEvent(*this, event);
    // An event sent once already goes out again as its clone, if anyone listens.
    if (!data->target.isNull() && hasListeners(target, data->type)) {
        event = callProperty(event, Name::publicName(QStringLiteral("clone")), {});
        data = checkedEvent(*this, event);
    }
    std::vector<Object*> ancestors;
    if (displayParent) {
        for (Object* p = displayParent(target); p && ancestors.size() < 1024; p = displayParent(p))
            ancestors.push_back(p);
    }
    // With no one listening anywhere on its path the event is left untouched.
    bool heard = hasListeners(target, data->type);
    for (Object* p : ancestors)
        heard = heard || hasListeners(p, data->type);
    if (!heard)
        return !data->defaultPrevented;
    data->target = targetValue;
    data->stopped = data->stoppedNow = false;
    data->phase = 1;
    for (auto it = ancestors.rbegin(); it != ancestors.rend() && !data->stopped; ++it)
        deliver(*this, *it, event, *data, true);
    if (!data->stopped) {
        data->phase = 2;
        deliver(*this, target, event, *data, false);
    }
    if (data->bubbles) {
        data->phase = 3;
        for (auto it = ancestors.begin(); it != ancestors.end() && !data->stopped; ++it)
            deliver(*this, *it, event, *data, false);
    }
    data->phase = 2;
    data->currentTarget = targetValue;
    return !data->defaultPrevented;
}

void installEventClasses(Machine& m)
{
    auto& b = m.builtins();
    const QString events = QStringLiteral("flash.events");
    b.event = m.defineClass(events, QStringLiteral("Event"), b.object, InstanceKind::Plain,
        [](Machine& m, const Value& self, Args args) {
            auto data = std::make_shared<EventData>();
            data->type = m.toString(arg(args, 0));
            data->bubbles = m.toBoolean(arg(args, 1));
            data->cancelable = m.toBoolean(arg(args, 2));
            self.o->host = data;
            return Value::undefined();
        });
    b.event->sealed = true;
    ClassObject* event = b.event;
    const std::pair<const char*, const char*> names[] = { { "ACTIVATE", "activate" }, { "ADDED", "added" },
        { "ADDED_TO_STAGE", "addedToStage" }, { "CANCEL", "cancel" }, { "CHANGE", "change" }, { "CLOSE", "close" },
        { "COMPLETE", "complete" }, { "CONNECT", "connect" }, { "DEACTIVATE", "deactivate" }, { "ENTER_FRAME", "enterFrame" },
        { "EXIT_FRAME", "exitFrame" }, { "FRAME_CONSTRUCTED", "frameConstructed" }, { "FULLSCREEN", "fullScreen" },
        { "ID3", "id3" }, { "INIT", "init" }, { "MOUSE_LEAVE", "mouseLeave" }, { "OPEN", "open" }, { "REMOVED", "removed" },
        { "REMOVED_FROM_STAGE", "removedFromStage" }, { "RENDER", "render" }, { "RESIZE", "resize" }, { "SCROLL", "scroll" },
        { "SELECT", "select" }, { "SOUND_COMPLETE", "soundComplete" }, { "TAB_CHILDREN_CHANGE", "tabChildrenChange" },
        { "TAB_ENABLED_CHANGE", "tabEnabledChange" }, { "TAB_INDEX_CHANGE", "tabIndexChange" }, { "UNLOAD", "unload" },
        { "FRAME_LABEL", "frameLabel" }, { "CLEAR", "clear" }, { "COPY", "copy" }, { "CUT", "cut" }, { "PASTE", "paste" },
        { "SELECT_ALL", "selectAll" }, { "CONTEXT3D_CREATE", "context3DCreate" } };
    for (const auto& [name, value] : names)
        m.addStaticConst(event, QLatin1String(name), Value::string(QLatin1String(value)));
    m.addStaticConst(event, QStringLiteral("CAPTURING_PHASE"), Value::number(1));
    m.addStaticConst(event, QStringLiteral("AT_TARGET"), Value::number(2));
    m.addStaticConst(event, QStringLiteral("BUBBLING_PHASE"), Value::number(3));
    auto field = [&](const char* name, auto get) {
        m.addGetter(event, QLatin1String(name), [get](Machine& m, const Value& self, Args) { return get(*checkedEvent(m, self)); });
    };
    field("type", [](EventData& d) { return Value::string(d.type); });
    field("bubbles", [](EventData& d) { return Value::boolean(d.bubbles); });
    field("cancelable", [](EventData& d) { return Value::boolean(d.cancelable); });
    field("target", [](EventData& d) { return d.target; });
    field("currentTarget", [](EventData& d) { return d.currentTarget; });
    field("eventPhase", [](EventData& d) { return Value::number(d.phase); });
    m.addMethod(event, QStringLiteral("clone"), [](Machine& m, const Value& self, Args) {
        EventData* d = checkedEvent(m, self);
        Value args[] = { Value::string(d->type), Value::boolean(d->bubbles), Value::boolean(d->cancelable) };
        return m.constructClass(m.builtins().event, args);
    });
    m.addMethod(event, QStringLiteral("toString"), [](Machine& m, const Value& self, Args) {
        Value args[] = { Value::string(QStringLiteral("Event")), Value::string(QStringLiteral("type")),
            Value::string(QStringLiteral("bubbles")), Value::string(QStringLiteral("cancelable")), Value::string(QStringLiteral("eventPhase")) };
        return Value::string(formatEvent(m, self, args));
    });
    m.addMethod(event, QStringLiteral("formatToString"), [](Machine& m, const Value& self, Args args) {
        return Value::string(formatEvent(m, self, args));
    });
    m.addMethod(event, QStringLiteral("preventDefault"), [](Machine& m, const Value& self, Args) {
        EventData* d = checkedEvent(m, self);
        if (d->cancelable)
            d->defaultPrevented = true;
        return Value::undefined();
    });
    m.addMethod(event, QStringLiteral("isDefaultPrevented"), [](Machine& m, const Value& self, Args) {
        return Value::boolean(checkedEvent(m, self)->defaultPrevented);
    });
    m.addMethod(event, QStringLiteral("stopPropagation"), [](Machine& m, const Value& self, Args) {
        checkedEvent(m, self)->stopped = true;
        return Value::undefined();
    });
    m.addMethod(event, QStringLiteral("stopImmediatePropagation"), [](Machine& m, const Value& self, Args) {
        EventData* d = checkedEvent(m, self);
        d->stopped = d->stoppedNow = true;
        return Value::undefined();
    });

    // Kinds of event with only their names here.
    const std::pair<const char*, std::vector<std::pair<const char*, const char*>>> kinds[] = {
        { "TimerEvent", { { "TIMER", "timer" }, { "TIMER_COMPLETE", "timerComplete" } } },
        { "MouseEvent", { { "CLICK", "click" }, { "DOUBLE_CLICK", "doubleClick" }, { "MOUSE_DOWN", "mouseDown" },
                            { "MOUSE_MOVE", "mouseMove" }, { "MOUSE_OUT", "mouseOut" }, { "MOUSE_OVER", "mouseOver" },
                            { "MOUSE_UP", "mouseUp" }, { "MOUSE_WHEEL", "mouseWheel" }, { "ROLL_OUT", "rollOut" },
                            { "ROLL_OVER", "rollOver" }, { "RIGHT_CLICK", "rightClick" } } },
        { "KeyboardEvent", { { "KEY_DOWN", "keyDown" }, { "KEY_UP", "keyUp" } } },
        { "FocusEvent", { { "FOCUS_IN", "focusIn" }, { "FOCUS_OUT", "focusOut" }, { "KEY_FOCUS_CHANGE", "keyFocusChange" },
                            { "MOUSE_FOCUS_CHANGE", "mouseFocusChange" } } },
        { "ProgressEvent", { { "PROGRESS", "progress" }, { "SOCKET_DATA", "socketData" } } },
        { "TextEvent", { { "LINK", "link" }, { "TEXT_INPUT", "textInput" } } },
        { "ErrorEvent", { { "ERROR", "error" } } },
        { "IOErrorEvent", { { "IO_ERROR", "ioError" } } },
        { "SecurityErrorEvent", { { "SECURITY_ERROR", "securityError" } } },
        { "HTTPStatusEvent", { { "HTTP_STATUS", "httpStatus" } } },
    };
    for (const auto& [name, constants] : kinds) {
        ClassObject* kind = m.defineClass(events, QLatin1String(name), event, InstanceKind::Plain, event->constructor->native);
        kind->sealed = true;
        for (const auto& [constant, value] : constants)
            m.addStaticConst(kind, QLatin1String(constant), Value::string(QLatin1String(value)));
    }

    b.eventDispatcher = m.defineClass(events, QStringLiteral("EventDispatcher"), b.object, InstanceKind::Plain,
        [](Machine&, const Value&, Args) { return Value::undefined(); });
    ClassObject* dispatcher = b.eventDispatcher;
    dispatcher->sealed = true;
    m.defineInterface(events, QStringLiteral("IEventDispatcher"), { dispatcher });
    m.addMethod(dispatcher, QStringLiteral("addEventListener"), [](Machine& m, const Value& self, Args args) {
        Object* o = m.toObject(self);
        Value fn = arg(args, 1);
        if (!fn.isObject() || fn.o->type() != Object::Type::Function)
            m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter listener must be non-null."));
        Listener listener { fn, m.toBoolean(arg(args, 2)), toInt32(m.toNumber(arg(args, 3))) };
        auto& list = tableOf(o).byType[m.toString(arg(args, 0))];
        for (const Listener& l : list) {
            if (l.capture == listener.capture && sameFunction(m, l.fn, fn))
                return Value::undefined(); // once per phase; a new priority is ignored
        }
        // After every listener of the same or higher priority.
        auto at = std::find_if(list.begin(), list.end(), [&](const Listener& l) { return l.priority < listener.priority; });
        list.insert(at, listener);
        if (m.listenerAdded)
            m.listenerAdded(o, m.toString(arg(args, 0)));
        return Value::undefined();
    }, 5);
    m.addMethod(dispatcher, QStringLiteral("removeEventListener"), [](Machine& m, const Value& self, Args args) {
        Object* o = m.toObject(self);
        if (!o->listeners)
            return Value::undefined();
        auto& list = tableOf(o).byType[m.toString(arg(args, 0))];
        const bool capture = m.toBoolean(arg(args, 2));
        list.erase(std::remove_if(list.begin(), list.end(), [&](const Listener& l) {
            return l.capture == capture && sameFunction(m, l.fn, arg(args, 1));
        }), list.end());
        return Value::undefined();
    }, 3);
    m.addMethod(dispatcher, QStringLiteral("hasEventListener"), [](Machine& m, const Value& self, Args args) {
        return Value::boolean(m.hasListeners(m.toObject(self), m.toString(arg(args, 0))));
    }, 1);
    m.addMethod(dispatcher, QStringLiteral("willTrigger"), [](Machine& m, const Value& self, Args args) {
        const QString type = m.toString(arg(args, 0));
        for (Object* o = m.toObject(self); o; o = m.displayParent ? m.displayParent(o) : nullptr) {
            if (m.hasListeners(o, type))
                return Value::boolean(true);
        }
        return Value::boolean(false);
    }, 1);
    m.addMethod(dispatcher, QStringLiteral("dispatchEvent"), [](Machine& m, const Value& self, Args args) {
        return Value::boolean(m.dispatchEvent(self, arg(args, 0)));
    }, 1);
}

} // namespace swf::avm2
