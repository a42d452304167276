// The classes for the network, devices and printing, and Selection. This
// player never opens a connection, a camera or a microphone: those classes exist, so scripts that test for them see what they expect,
// and each request they make is refused (false, or null).

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

namespace swf::avm1 {

// ContextMenu and ContextMenuItem (ContextMenuClass.cpp).
void installContextMenu(Interpreter& vm);
// Video, NetConnection and NetStream (stage/VideoClasses.cpp).
void installVideoClasses(Interpreter& vm);

namespace {

Value constructNothing(Interpreter&, CallArgs&)
{
    return Value();
}

// A constructor whose instances carry nothing of their own, with `methods`
// on its prototype answering `answer`.
FunctionObject* placeholderClass(Interpreter& vm, const char* name, std::initializer_list<const char*> methods,
    NativeMethodFunction answer = Builtins::refuse, NativeMethodFunction construct = constructNothing)
{
    Object* proto = vm.newObject();
    auto* ctor = vm.newConstructor(QString::fromLatin1(name), construct, proto);
    for (const char* m : methods)
        vm.defineMethod(proto, QString::fromLatin1(m), answer);
    vm.global()->define(QString::fromLatin1(name), Value(static_cast<Object*>(ctor)), DontEnum);
    return ctor;
}

} // namespace

// A PrintJob puts its page measures on the prototype it was made from the
// first time one is made; before that the prototype has none of them.
static Value constructPrintJob(Interpreter&, CallArgs& a)
{
    Object* self = a.thisObject();
    Object* proto = self ? self->proto() : nullptr;
    if (!proto)
        return Value();
    for (const char* name : { "orientation", "pageHeight", "pageWidth", "paperHeight", "paperWidth" }) {
        if (!proto->findOwn(QString::fromLatin1(name)))
            proto->define(QString::fromLatin1(name), Value(), DontEnum);
    }
    return Value();
}

static Value selectionNoIndex(Interpreter&, CallArgs&)
{
    return Value(-1.0);
}

static Value selectionGetFocus(Interpreter&, CallArgs&)
{
    return Value::null();
}

// Selection: no text field has the focus in a render run.
const NativeMethod selectionStaticMethods[] = {
    { "getBeginIndex", selectionNoIndex },
    { "getEndIndex", selectionNoIndex },
    { "getCaretIndex", selectionNoIndex },
    { "getFocus", selectionGetFocus },
    { "setFocus", Builtins::refuse },
    { "setSelection", Builtins::nothing },
    { "addListener", Builtins::refuse },
    { "removeListener", Builtins::refuse },
};

void Builtins::installPlaceholderClasses(Interpreter& vm)
{
    // Classes for the network, devices and printing: present, and refusing.
    placeholderClass(vm, "Camera", { "setMode", "setMotionLevel", "setQuality", "setKeyFrameInterval", "setLoopback" }, Builtins::nothing);
    placeholderClass(vm, "Microphone", { "setGain", "setRate", "setSilenceLevel", "setUseEchoSuppression" }, Builtins::nothing);
    placeholderClass(vm, "LocalConnection", { "connect", "send", "close", "domain" });
    placeholderClass(vm, "XMLSocket", { "connect", "send", "close" });
    placeholderClass(vm, "PrintJob", { "start", "addPage", "send" }, Builtins::refuse, constructPrintJob);
    installVideoClasses(vm);
    // TextSnapshot is there for movies of every version, but its methods are
    // plain members that movies older than version 6 do not see.
    FunctionObject* snapshot = placeholderClass(vm, "TextSnapshot", {});
    Object* snapshotProto = vm.getMember(Value(static_cast<Object*>(snapshot)), QStringLiteral("prototype")).asObject();
    for (const char* m : { "findText", "getCount", "getSelected", "getSelectedText", "getText", "getTextRunInfo",
             "hitTestTextNearPos", "setSelectColor", "setSelected" }) {
        const QString name = QString::fromLatin1(m);
        snapshotProto->define(name, Value(static_cast<Object*>(vm.newNative(name, Builtins::nothing))), 0);
        snapshotProto->findOwn(name)->minVersion = 6;
    }
    installContextMenu(vm);
    placeholderClass(vm, "MovieClipLoader", { "loadClip", "unloadClip", "getProgress", "addListener", "removeListener" });
    // Button instances are made by the stage; scripts only ever extend its prototype.
    placeholderClass(vm, "Button", { "getDepth" }, Builtins::nothing);


    Object* selection = vm.newObject();
    // A class of static members the player builds names Object as its constructor.
    selection->define(QStringLiteral("constructor"), Value(vm.realm().objectConstructor), DontEnum | DontDelete);
    vm.global()->define(QStringLiteral("Selection"), Value(selection), DontEnum);
    vm.defineMethods(selection, selectionStaticMethods);
}

void Builtins::hideVersion6Classes(Interpreter& vm)
{
    // Classes the player of version 6 brought: movies of version 5 never saw them.
    for (const char* name : { "AsBroadcaster", "Camera", "Microphone", "LocalConnection", "NetConnection", "NetStream",
             "Video", "SharedObject", "ContextMenu", "ContextMenuItem", "PrintJob", "MovieClipLoader",
             "System" }) {
        if (Property* p = vm.global()->findOwn(QString::fromLatin1(name)))
            p->minVersion = 6;
    }
}

} // namespace swf::avm1
