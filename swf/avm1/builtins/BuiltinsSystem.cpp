// The player-facing globals: getVersion, updateAfterEvent, System and its
// capabilities, AsBroadcaster, and the network and device classes a movie
// may look for. This player never opens a connection, a camera or a
// microphone: those classes exist, so scripts that test for them see what
// they expect, and each request they make is refused (false, or null).

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace swf::avm1 {

QString Builtins::playerVersion()
{
    return QStringLiteral("LNX 8,0,0,0");
}

namespace {

Value refuse(Interpreter&, CallArgs&) { return Value(false); }
Value nothing(Interpreter&, CallArgs&) { return Value(); }

// A constructor whose instances carry nothing of their own, with `methods`
// on its prototype answering `answer`.
FunctionObject* placeholderClass(Interpreter& vm, const char* name, std::initializer_list<const char*> methods,
    NativeFunction answer = refuse)
{
    Object* proto = vm.newObject();
    auto* ctor = vm.newConstructor(QString::fromLatin1(name), [](Interpreter&, CallArgs&) -> Value { return Value(); }, proto);
    for (const char* m : methods)
        vm.defineMethod(proto, QString::fromLatin1(m), answer);
    vm.global()->define(QString::fromLatin1(name), Value(static_cast<Object*>(ctor)), DontEnum);
    return ctor;
}

ArrayObject* listenersOf(Interpreter& vm, const Value& self)
{
    Object* l = vm.getMember(self, QStringLiteral("_listeners")).asObject();
    return l && l->kind() == Object::Kind::Array ? static_cast<ArrayObject*>(l) : nullptr;
}

void installBroadcaster(Interpreter& vm)
{
    Object* g = vm.global();
    Object* proto = vm.newObject();
    auto* ab = vm.newConstructor(QStringLiteral("AsBroadcaster"), [](Interpreter&, CallArgs&) -> Value { return Value(); }, proto);
    g->define(QStringLiteral("AsBroadcaster"), Value(static_cast<Object*>(ab)), DontEnum);

    vm.defineMethod(ab, QStringLiteral("addListener"), [](Interpreter& vm, CallArgs& a) -> Value {
        ArrayObject* l = listenersOf(vm, a.thisValue);
        if (!l)
            return Value(true);
        // Adding a listener twice keeps one entry, at the end.
        auto& e = l->elements;
        for (auto it = e.begin(); it != e.end(); ++it) {
            if (vm.strictEquals(*it, a.arg(0))) {
                e.erase(it);
                break;
            }
        }
        if (e.size() < ArrayObject::MaxLength)
            e.push_back(a.arg(0));
        return Value(true);
    });
    vm.defineMethod(ab, QStringLiteral("removeListener"), [](Interpreter& vm, CallArgs& a) -> Value {
        ArrayObject* l = listenersOf(vm, a.thisValue);
        if (!l)
            return Value(false);
        auto& e = l->elements;
        for (auto it = e.begin(); it != e.end(); ++it) {
            if (vm.strictEquals(*it, a.arg(0))) {
                e.erase(it);
                return Value(true);
            }
        }
        return Value(false);
    });
    vm.defineMethod(ab, QStringLiteral("broadcastMessage"), [](Interpreter& vm, CallArgs& a) -> Value {
        ArrayObject* l = listenersOf(vm, a.thisValue);
        if (!l || a.args.empty())
            return Value();
        const QString message = vm.toString(a.arg(0));
        std::vector<Value> rest(a.args.begin() + 1, a.args.end());
        // Listeners may add or remove listeners while being told: tell the ones there now.
        const std::vector<Value> listeners = l->elements;
        for (const Value& listener : listeners) {
            if (!listener.isObject())
                continue;
            Value fn = vm.getMember(listener, message);
            if (fn.isObject() && fn.asObject()->kind() == Object::Kind::Function)
                vm.call(fn, listener, rest);
        }
        return Value(!listeners.empty());
    });
    vm.defineMethod(ab, QStringLiteral("initialize"), [ab](Interpreter& vm, CallArgs& a) -> Value {
        Object* o = a.arg(0).asObject();
        if (!o)
            return Value();
        for (const char* name : { "broadcastMessage", "addListener", "removeListener" }) {
            const QString n = QString::fromLatin1(name);
            o->define(n, vm.getMember(Value(static_cast<Object*>(ab)), n), DontEnum);
        }
        o->define(QStringLiteral("_listeners"), Value(static_cast<Object*>(vm.newArray())), DontEnum);
        return Value();
    });
}

void installSystem(Interpreter& vm)
{
    Object* g = vm.global();
    const uint8_t fixed = DontDelete | ReadOnly;

    Object* system = vm.newObject();
    g->define(QStringLiteral("System"), Value(system), DontEnum);
    system->define(QStringLiteral("useCodepage"), Value(false), 0);
    system->define(QStringLiteral("exactSettings"), Value(vm.version() >= 7), 0);
    vm.defineMethod(system, QStringLiteral("setClipboard"), refuse);
    vm.defineMethod(system, QStringLiteral("showSettings"), nothing);

    // What this player is and what it can do; a render run has no screen, so
    // it reports a common desktop size then.
    Object* caps = vm.newObject();
    system->define(QStringLiteral("capabilities"), Value(caps), 0);
    int width = 1024, height = 768;
    double dpi = 72;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            width = screen->size().width();
            height = screen->size().height();
            dpi = std::round(screen->logicalDotsPerInch());
        }
    }
    auto cap = [&](const char* name, const Value& v) { caps->define(QString::fromLatin1(name), v, fixed); };
    cap("avHardwareDisable", Value(true));
    cap("hasAccessibility", Value(false));
    cap("hasAudio", Value(true));
    cap("hasAudioEncoder", Value(false));
    cap("hasEmbeddedVideo", Value(false));
    cap("hasMP3", Value(true));
    cap("hasPrinting", Value(false));
    cap("hasScreenBroadcast", Value(false));
    cap("hasScreenPlayback", Value(false));
    cap("hasStreamingAudio", Value(true));
    cap("hasStreamingVideo", Value(false));
    cap("hasVideoEncoder", Value(false));
    cap("isDebugger", Value(false));
    cap("language", Value(QStringLiteral("zh-CN")));
    cap("localFileReadDisable", Value(true));
    cap("manufacturer", Value(QStringLiteral("Vantrel Linux")));
    cap("os", Value(QStringLiteral("Linux")));
    cap("pixelAspectRatio", Value(1.0));
    cap("playerType", Value(QStringLiteral("StandAlone")));
    cap("screenColor", Value(QStringLiteral("color")));
    cap("screenDPI", Value(dpi));
    cap("screenResolutionX", Value(double(width)));
    cap("screenResolutionY", Value(double(height)));
    cap("version", Value(Builtins::playerVersion()));
    cap("serverString", Value(QStringLiteral("A=t&SA=t&SV=f&EV=f&MP3=t&AE=f&VE=f&ACC=f&PR=f&SP=f&SB=f&DEB=f&V=LNX%208%2C0%2C0%2C0"
                                              "&M=Vantrel%20Linux&R=%1x%2&DP=%3&COL=color&AR=1.0&OS=Linux&L=zh-CN&PT=StandAlone&AVD=t&LFD=t")
                                   .arg(width).arg(height).arg(dpi)));

    Object* security = vm.newObject();
    system->define(QStringLiteral("security"), Value(security), 0);
    vm.defineMethod(security, QStringLiteral("allowDomain"), nothing);
    vm.defineMethod(security, QStringLiteral("allowInsecureDomain"), nothing);
    vm.defineMethod(security, QStringLiteral("loadPolicyFile"), nothing);

    // No input method editor is ever attached to the movie.
    Object* ime = vm.newObject();
    system->define(QStringLiteral("IME"), Value(ime), 0);
    const std::pair<const char*, const char*> modes[] = {
        { "ALPHANUMERIC_FULL", "ALPHANUMERIC_FULL" }, { "ALPHANUMERIC_HALF", "ALPHANUMERIC_HALF" },
        { "CHINESE", "CHINESE" }, { "JAPANESE_HIRAGANA", "JAPANESE_HIRAGANA" },
        { "JAPANESE_KATAKANA_FULL", "JAPANESE_KATAKANA_FULL" }, { "JAPANESE_KATAKANA_HALF", "JAPANESE_KATAKANA_HALF" },
        { "KOREAN", "KOREAN" }, { "UNKNOWN", "UNKNOWN" },
    };
    for (const auto& [name, value] : modes)
        ime->define(QString::fromLatin1(name), Value(QString::fromLatin1(value)), DontEnum | DontDelete | ReadOnly);
    vm.defineMethod(ime, QStringLiteral("getEnabled"), refuse);
    vm.defineMethod(ime, QStringLiteral("setEnabled"), refuse);
    vm.defineMethod(ime, QStringLiteral("getConversionMode"), [](Interpreter&, CallArgs&) -> Value { return Value(QStringLiteral("UNKNOWN")); });
    vm.defineMethod(ime, QStringLiteral("setConversionMode"), refuse);
    vm.defineMethod(ime, QStringLiteral("setCompositionString"), refuse);
    vm.defineMethod(ime, QStringLiteral("doConversion"), refuse);
    vm.defineMethod(ime, QStringLiteral("addListener"), refuse);
    vm.defineMethod(ime, QStringLiteral("removeListener"), refuse);
}

} // namespace

void Builtins::installSystem(Interpreter& vm)
{
    Object* g = vm.global();
    vm.defineMethod(g, QStringLiteral("getVersion"), [](Interpreter&, CallArgs&) -> Value { return Value(playerVersion()); });
    // The stage redraws after every frame anyway.
    vm.defineMethod(g, QStringLiteral("updateAfterEvent"), nothing);

    installBroadcaster(vm);
    swf::avm1::installSystem(vm);

    // Classes for the network, devices and printing: present, and refusing.
    placeholderClass(vm, "Camera", { "setMode", "setMotionLevel", "setQuality", "setKeyFrameInterval", "setLoopback" }, nothing);
    placeholderClass(vm, "Microphone", { "setGain", "setRate", "setSilenceLevel", "setUseEchoSuppression" }, nothing);
    placeholderClass(vm, "LocalConnection", { "connect", "send", "close", "domain" });
    placeholderClass(vm, "NetConnection", { "connect", "close" });
    placeholderClass(vm, "NetStream", { "play", "pause", "seek", "close", "setBufferTime" });
    placeholderClass(vm, "XMLSocket", { "connect", "send", "close" });
    placeholderClass(vm, "PrintJob", { "start", "addPage", "send" });
    placeholderClass(vm, "Video", { "attachVideo", "clear" }, nothing);
    placeholderClass(vm, "TextSnapshot", { "findText", "getCount", "getSelected", "getSelectedText", "getText",
        "hitTestTextNearPos", "setSelectColor", "setSelected" }, nothing);
    placeholderClass(vm, "ContextMenu", { "copy", "hideBuiltInItems" }, nothing);
    placeholderClass(vm, "ContextMenuItem", { "copy" }, nothing);
    placeholderClass(vm, "MovieClipLoader", { "loadClip", "unloadClip", "getProgress", "addListener", "removeListener" });
    // Button instances are made by the stage; scripts only ever extend its prototype.
    placeholderClass(vm, "Button", { "getDepth" }, nothing);
    placeholderClass(vm, "XMLNode", { "appendChild", "cloneNode", "hasChildNodes", "insertBefore", "removeNode", "toString" }, nothing);
    placeholderClass(vm, "XML", { "load", "send", "sendAndLoad" });
    placeholderClass(vm, "LoadVars", { "load", "send", "sendAndLoad" });

    FunctionObject* sharedObject = placeholderClass(vm, "SharedObject", { "flush", "clear", "getSize", "close", "connect", "send" });
    // Saved games live for the session only: nothing is written to disk, and
    // getLocal hands the same object back for the same name.
    Object* store = vm.newObject(nullptr);
    sharedObject->define(QStringLiteral("_store"), Value(store), DontEnum | DontDelete);
    vm.defineMethod(sharedObject, QStringLiteral("getLocal"), [store](Interpreter& vm, CallArgs& a) -> Value {
        const QString name = vm.toString(a.arg(0));
        if (name.isEmpty())
            return Value::null();
        if (const Property* p = store->findOwn(name))
            return p->value;
        Value ctor = vm.getMember(Value(vm.global()), QStringLiteral("SharedObject"));
        Object* proto = vm.getMember(ctor, QStringLiteral("prototype")).asObject();
        Object* so = vm.newObject(proto ? proto : vm.objectPrototype());
        so->put(QStringLiteral("data"), Value(vm.newObject()));
        store->put(name, Value(so));
        return Value(so);
    });
    if (Object* proto = vm.getMember(Value(static_cast<Object*>(sharedObject)), QStringLiteral("prototype")).asObject())
        vm.defineMethod(proto, QStringLiteral("flush"), [](Interpreter&, CallArgs&) -> Value { return Value(true); });
    vm.defineMethod(sharedObject, QStringLiteral("getRemote"), [](Interpreter&, CallArgs&) -> Value { return Value::null(); });

    // Selection: no text field has the focus in a render run.
    Object* selection = vm.newObject();
    g->define(QStringLiteral("Selection"), Value(selection), DontEnum);
    for (const char* m : { "getBeginIndex", "getEndIndex", "getCaretIndex" })
        vm.defineMethod(selection, QString::fromLatin1(m), [](Interpreter&, CallArgs&) -> Value { return Value(-1.0); });
    vm.defineMethod(selection, QStringLiteral("getFocus"), [](Interpreter&, CallArgs&) -> Value { return Value::null(); });
    vm.defineMethod(selection, QStringLiteral("setFocus"), refuse);
    vm.defineMethod(selection, QStringLiteral("setSelection"), nothing);
    vm.defineMethod(selection, QStringLiteral("addListener"), refuse);
    vm.defineMethod(selection, QStringLiteral("removeListener"), refuse);

    // Classes the player of version 6 brought: movies of version 5 never saw them.
    for (const char* name : { "AsBroadcaster", "Camera", "Microphone", "LocalConnection", "NetConnection", "NetStream",
             "Video", "SharedObject", "LoadVars", "ContextMenu", "ContextMenuItem", "PrintJob", "MovieClipLoader",
             "TextSnapshot", "System" }) {
        if (Property* p = g->findOwn(QString::fromLatin1(name)))
            p->minVersion = 6;
    }
}

} // namespace swf::avm1
