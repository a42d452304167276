// AsBroadcaster: the listener list a broadcaster keeps in its _listeners
// array, and initialize, which makes any object a broadcaster.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

namespace swf::avm1 {

namespace {

ArrayObject* listenersOf(Interpreter& vm, const Value& self)
{
    Object* l = vm.getMember(self, QStringLiteral("_listeners")).asObject();
    return l && l->kind() == Object::Kind::Array ? static_cast<ArrayObject*>(l) : nullptr;
}

// Removes the first listener strictly equal to `listener`; true if there was one.
bool eraseListener(Interpreter& vm, std::vector<Value>& listeners, const Value& listener)
{
    for (auto it = listeners.begin(); it != listeners.end(); ++it) {
        if (vm.strictEquals(*it, listener)) {
            listeners.erase(it);
            return true;
        }
    }
    return false;
}

} // namespace

static Value broadcasterConstructor(Interpreter&, CallArgs&)
{
    return Value();
}

static Value broadcasterAddListener(Interpreter& vm, CallArgs& a)
{
    ArrayObject* l = listenersOf(vm, a.thisValue);
    if (!l)
        return Value(true);
    // Adding a listener twice keeps one entry, at the end.
    eraseListener(vm, l->elements, a.arg(0));
    if (l->elements.size() < ArrayObject::MaxLength)
        l->elements.push_back(a.arg(0));
    return Value(true);
}

static Value broadcasterRemoveListener(Interpreter& vm, CallArgs& a)
{
    ArrayObject* l = listenersOf(vm, a.thisValue);
    return Value(l && eraseListener(vm, l->elements, a.arg(0)));
}

static Value broadcasterBroadcastMessage(Interpreter& vm, CallArgs& a)
{
    if (a.args.empty())
        return Value();
    // The list may be any object with a length and members by index.
    const Value list = vm.getMember(a.thisValue, QStringLiteral("_listeners"));
    Object* l = list.asObject();
    if (!l)
        return Value();
    const QString message = vm.toString(a.arg(0));
    std::vector<Value> rest(a.args.begin() + 1, a.args.end());
    // Listeners may add or remove listeners while being told: tell the ones there now.
    // The answer is true when there was someone to tell: undefined and null
    // entries are no one, a string or number is asked like its object.
    std::vector<Value> listeners;
    if (l->kind() == Object::Kind::Array) {
        listeners = static_cast<ArrayObject*>(l)->elements;
    } else {
        const double n = toIntegerValue(vm.toNumber(vm.getMember(list, QStringLiteral("length"))));
        const size_t count = n <= 0 ? 0 : size_t(std::min(n, double(ArrayObject::MaxLength)));
        vm.chargeValues(count);
        for (size_t i = 0; i < count; ++i)
            listeners.push_back(vm.getMember(list, QString::number(i)));
    }
    bool told = false;
    for (const Value& listener : listeners) {
        if (listener.isNullish())
            continue;
        told = true;
        Value fn = vm.getMember(listener, message);
        if (fn.isObject() && fn.asObject()->kind() == Object::Kind::Function)
            vm.call(fn, listener, rest);
    }
    return told ? Value(true) : Value();
}

constexpr uint8_t Fixed = DontEnum | DontDelete;

// addListener and removeListener were script functions in the player, so
// each has a prototype of its own; broadcastMessage was native.
void defineWithPrototype(Interpreter& vm, Object* on, const char* name, NativeFunction fn)
{
    auto* f = vm.newConstructor(QString::fromLatin1(name), std::move(fn), vm.newObject());
    on->define(QString::fromLatin1(name), Value(static_cast<Object*>(f)), Fixed);
}

void Builtins::installBroadcaster(Interpreter& vm)
{
    Object* proto = vm.newObject();
    auto* ab = vm.newConstructor(QStringLiteral("AsBroadcaster"), broadcasterConstructor, proto);
    vm.global()->define(QStringLiteral("AsBroadcaster"), Value(static_cast<Object*>(ab)), DontEnum);
    defineWithPrototype(vm, ab, "addListener", broadcasterAddListener);
    defineWithPrototype(vm, ab, "removeListener", broadcasterRemoveListener);
    vm.defineMethod(ab, QStringLiteral("broadcastMessage"), broadcasterBroadcastMessage, Fixed);
    // initialize copies the methods from this very AsBroadcaster, whatever the
    // global name holds later, so it keeps the class object it was made with;
    // each broadcaster gets a broadcastMessage of its own, which the player
    // asks of _global.ASnative(101, 12) at that moment: a movie that replaced
    // ASnative gets whatever its replacement answers.
    const Object* nativeTable = vm.getMember(Value(vm.global()), QStringLiteral("ASnative")).asObject();
    defineWithPrototype(vm, ab, "initialize", [ab, nativeTable](Interpreter& vm, CallArgs& a) -> Value {
        Object* o = a.arg(0).asObject();
        if (!o)
            return Value();
        // Only compared, never followed: the original may be gone.
        const Value asNative = vm.getMember(Value(vm.global()), QStringLiteral("ASnative"));
        Value broadcast;
        if (asNative.asObject() == nativeTable && nativeTable)
            broadcast = Value(static_cast<Object*>(vm.newNative(QStringLiteral("broadcastMessage"), broadcasterBroadcastMessage)));
        else
            broadcast = vm.call(asNative, Value(), { Value(101.0), Value(12.0) });
        o->define(QStringLiteral("broadcastMessage"), broadcast, Fixed);
        for (const char* name : { "addListener", "removeListener" }) {
            const QString n = QString::fromLatin1(name);
            o->define(n, vm.getMember(Value(static_cast<Object*>(ab)), n), Fixed);
        }
        // The list is an array the player makes itself: it names Array as
        // its constructor in every version.
        ArrayObject* listeners = vm.newArray();
        if (Object* arrayClass = vm.getMember(Value(vm.global()), QStringLiteral("Array")).asObject())
            listeners->define(QStringLiteral("constructor"), Value(arrayClass), DontEnum | DontDelete);
        o->define(QStringLiteral("_listeners"), Value(static_cast<Object*>(listeners)), Fixed);
        return Value();
    });
}

} // namespace swf::avm1
