// LoadVars: name=value pairs read from a file beside the movie (or decoded
// from a string) and written back as one form-encoded line.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/builtins/LoadRequests.h"
#include "swf/avm1/vm/Interpreter.h"

namespace swf::avm1 {

namespace {

// Form encoding as escape() does it: letters and digits stay, every other
// byte of the UTF-8 form (the code page before version 6) becomes %XX.
QString formEscape(const QString& s, int version)
{
    const QByteArray bytes = version >= 6 ? s.toUtf8() : s.toLocal8Bit();
    QString out;
    for (char ch : bytes) {
        const uchar c = uchar(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            out += QChar(c);
        else
            out += QStringLiteral("%%1").arg(c, 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

} // namespace

static Value loadVarsConstructor(Interpreter&, CallArgs&)
{
    return Value();
}

static Value loadVarsDecode(Interpreter& vm, CallArgs& a)
{
    if (!a.thisObject() || a.args.empty())
        return Value();
    for (const auto& [name, value] : decodeVariables(vm.toString(a.arg(0)), textInCodePage(vm)))
        vm.setMember(a.thisValue, name, Value(value));
    return Value();
}

static Value loadVarsToString(Interpreter& vm, CallArgs& a)
{
    Object* self = a.thisObject();
    if (!self)
        return Value();
    QStringList pairs;
    for (const QString& name : vm.enumerate(self)) {
        const Value v = vm.getMember(a.thisValue, name);
        pairs += formEscape(name, vm.version()) + QLatin1Char('=') + formEscape(vm.toString(v), vm.version());
    }
    return Value(pairs.join(QLatin1Char('&')));
}

static Value loadVarsLoad(Interpreter& vm, CallArgs& a)
{
    if (!a.thisObject() || a.args.empty())
        return Value(false);
    return Value(requestText(vm, a.thisObject(), vm.toString(a.arg(0))));
}

static Value loadVarsSendAndLoad(Interpreter& vm, CallArgs& a)
{
    // Nothing is sent: the target loads the address as a plain load would.
    Object* target = a.arg(1).asObject();
    if (!a.thisObject() || !target || a.args.empty())
        return Value(false);
    return Value(requestText(vm, target, vm.toString(a.arg(0))));
}

// The default onData: decode what came, mark the object loaded, tell onLoad.
static Value loadVarsOnData(Interpreter& vm, CallArgs& a)
{
    if (!a.thisObject())
        return Value();
    if (a.arg(0).isUndefined()) {
        vm.call(vm.getMember(a.thisValue, QStringLiteral("onLoad")), a.thisValue, { Value(false) });
        return Value();
    }
    vm.call(vm.getMember(a.thisValue, QStringLiteral("decode")), a.thisValue, { a.arg(0) });
    vm.setMember(a.thisValue, QStringLiteral("loaded"), Value(true));
    vm.call(vm.getMember(a.thisValue, QStringLiteral("onLoad")), a.thisValue, { Value(true) });
    return Value();
}

const NativeMethod loadVarsMethods[] = {
    { "decode", loadVarsDecode, DontEnum | DontDelete },
    { "load", loadVarsLoad, DontEnum | DontDelete },
    { "send", Builtins::refuse, DontEnum | DontDelete },
    { "sendAndLoad", loadVarsSendAndLoad, DontEnum | DontDelete },
};

void installLoadVars(Interpreter& vm)
{
    Object* proto = vm.newObject();
    auto* ctor = vm.newConstructor(QStringLiteral("LoadVars"), loadVarsConstructor, proto);
    vm.global()->define(QStringLiteral("LoadVars"), Value(static_cast<Object*>(ctor)), DontEnum);
    vm.defineMethods(proto, loadVarsMethods);
    defineScriptLikeMethod(vm, proto, "toString", loadVarsToString, DontEnum | DontDelete);
    installLoadingMethods(vm, proto, loadVarsOnData, DontEnum | DontDelete);
    proto->define(QStringLiteral("contentType"), Value(QStringLiteral("application/x-www-form-urlencoded")),
        DontEnum | DontDelete);
    // The class is there for version 5 movies too, but everything on its
    // prototype (its link to Object.prototype and its constructor included)
    // is for version 6 and later: a version 5 movie reads what Object.prototype has.
    for (const QString& name : proto->ownNames(true)) {
        if (Property* p = proto->findOwn(name))
            p->minVersion = 6;
    }
}

} // namespace swf::avm1
