// ASnative, ASSetNative and ASSetNativeAccessor: the numbered tables of
// built-in functions that movies (and the player's own class library) use to
// reach a native by family and index instead of by name.
//
// A function handed out by these tables looks its target up when it is
// called, from the globals, so it never holds an object the collector could
// reclaim under it.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

#include <QStringList>

#include <array>
#include <limits>

namespace swf::avm1 {

namespace {

enum class NativeKind : uint8_t { Method, Getter, Setter };

struct NativeFamily {
    int family;
    const char* owner; // dotted path from the globals
    const char* members;
    bool accessors;    // members come in getter/setter pairs
    int first;         // index of the first member
};

// The families movies reach for. Indices follow the player's own numbering.
constexpr std::array<NativeFamily, 6> Families { {
    { 101, "Object.prototype", "watch,unwatch,addProperty,valueOf,toString,hasOwnProperty,isPrototypeOf,isPropertyEnumerable", false, 0 },
    { 100, "", "escape,unescape,parseInt,parseFloat", false, 0 },
    { 200, "Math", "abs,min,max,sin,cos,atan2,tan,exp,log,sqrt,round,random,floor,ceil,atan,asin,acos,pow", false, 0 },
    { 200, "", "isNaN,isFinite", false, 18 },
    // Loading text, shared by XML and LoadVars (XML's are seen by every version).
    { 301, "XML.prototype", "load,send,sendAndLoad", false, 0 },
    { 1109, "flash.filters.ConvolutionFilter.prototype",
        "matrixX,matrixY,matrix,divisor,bias,preserveAlpha,clamp,color,alpha", true, 1 },
} };

struct NativeTarget {
    QString owner;
    QString member;
    NativeKind kind = NativeKind::Method;
};

bool findNative(int family, int index, NativeTarget& out)
{
    for (const NativeFamily& f : Families) {
        if (f.family != family || index < f.first)
            continue;
        const QStringList names = QString::fromLatin1(f.members).split(QLatin1Char(','));
        const int offset = index - f.first;
        const int slot = f.accessors ? offset / 2 : offset;
        if (slot >= names.size())
            continue;
        out.owner = QString::fromLatin1(f.owner);
        out.member = names[slot];
        out.kind = !f.accessors ? NativeKind::Method : (offset % 2 == 0 ? NativeKind::Getter : NativeKind::Setter);
        return true;
    }
    return false;
}

Value resolvePath(Interpreter& vm, const QString& path)
{
    Value cur(vm.global());
    if (path.isEmpty())
        return cur;
    for (const QString& part : path.split(QLatin1Char('.'))) {
        if (!cur.isObject())
            return Value();
        cur = vm.getMember(cur, part);
    }
    return cur;
}

// Calls native `index` of `family` as a function of `self` with `args`.
Value callNative(Interpreter& vm, int family, int index, CallArgs& a)
{
    // ASnative(2, 0): whether the script function calling it runs as a constructor.
    if (family == 2 && index == 0)
        return Value(vm.inConstructor());
    // ASnative(102, 0) and (102, 1): the case changes of version 5 strings,
    // which touch ASCII letters only.
    if (family == 102 && (index == 0 || index == 1)) {
        QString s = vm.toString(a.thisValue);
        for (QChar& c : s) {
            const ushort u = c.unicode();
            if (index == 0 && u >= 'a' && u <= 'z')
                c = QChar(u - 32);
            else if (index == 1 && u >= 'A' && u <= 'Z')
                c = QChar(u + 32);
        }
        return Value(s);
    }
    NativeTarget t;
    if (!findNative(family, index, t))
        return Value();
    switch (t.kind) {
    case NativeKind::Getter:
        return a.thisValue.isObject() ? vm.getMember(a.thisValue, t.member) : Value();
    case NativeKind::Setter:
        if (a.thisValue.isObject())
            vm.setMember(a.thisValue, t.member, a.arg(0));
        return Value();
    case NativeKind::Method:
        break;
    }
    const Value owner = resolvePath(vm, t.owner);
    if (!owner.isObject())
        return Value();
    // The numbered function is reached whatever version bits hide its name.
    const Property* held = owner.asObject()->findOwn(t.member);
    const Value fn = held ? held->value : vm.getMember(owner, t.member);
    if (!fn.isObject() || fn.asObject()->kind() != Object::Kind::Function)
        return Value();
    return vm.call(fn, a.thisValue, a.args);
}

// A leading version marker on a name given to ASSetNative: "6name" .. "9name"
// keep the member from older movies, "10name" from movies before version 10,
// and a lone leading "1" is dropped.
QString stripVersion(const QString& name, uint8_t& minVersion)
{
    minVersion = 0;
    if (name.isEmpty())
        return name;
    const QChar c = name[0];
    if (c >= QLatin1Char('6') && c <= QLatin1Char('9')) {
        minVersion = uint8_t(c.unicode() - '0');
        return name.mid(1);
    }
    if (c == QLatin1Char('1')) {
        if (name.size() > 1 && name[1] == QLatin1Char('0')) {
            minVersion = 10;
            return name.mid(2);
        }
        return name.mid(1);
    }
    return name;
}

} // namespace

static Value globalASnative(Interpreter& vm, CallArgs& a)
{
    if (a.args.size() < 2)
        return Value();
    const int family = clampToInt(vm.toNumber(a.arg(0)));
    const int index = clampToInt(vm.toNumber(a.arg(1)));
    return Value(static_cast<Object*>(Builtins::nativeFunction(vm, family, index)));
}

// ASconstructor(family, index): the same native, made a class: it has a
// prototype whose constructor it is.
static Value globalASconstructor(Interpreter& vm, CallArgs& a)
{
    if (a.args.size() < 2)
        return Value();
    const int family = clampToInt(vm.toNumber(a.arg(0)));
    const int index = clampToInt(vm.toNumber(a.arg(1)));
    FunctionObject* f = Builtins::nativeFunction(vm, family, index);
    Object* proto = vm.newObject();
    proto->define(QStringLiteral("constructor"), Value(static_cast<Object*>(f)), DontEnum | DontDelete);
    f->define(QStringLiteral("prototype"), Value(proto), DontEnum | DontDelete);
    return Value(static_cast<Object*>(f));
}

namespace {

// What ASSetNative and ASSetNativeAccessor read from their arguments
// (object, family, "name,name,...", firstIndex): the object, and each named
// member with the index of its native; `stride` indices per name (an empty
// name still uses up its indices). `object` is null when the call does nothing.
struct NativeMember {
    QString name;
    int index;
    uint8_t minVersion;
};
struct NativeList {
    Object* object = nullptr;
    int family = 0;
    std::vector<NativeMember> members;
};

NativeList nativeList(Interpreter& vm, const CallArgs& a, int stride)
{
    NativeList list;
    Object* o = a.arg(0).asObject();
    if (!o || a.args.size() < 3)
        return list;
    list.object = o;
    list.family = clampToInt(vm.toNumber(a.arg(1)));
    const QStringList names = vm.toString(a.arg(2)).split(QLatin1Char(','));
    int index = a.args.size() > 3 ? clampToInt(vm.toNumber(a.arg(3))) : 0;
    for (const QString& raw : names) {
        const int at = index;
        index += stride;
        uint8_t minVersion = 0;
        const QString name = stripVersion(raw, minVersion);
        if (!name.isEmpty())
            list.members.push_back({ name, at, minVersion });
    }
    return list;
}

} // namespace

// ASSetNative(object, family, "name,name,...", firstIndex): one native per
// name; an empty name still uses up its index.
static Value globalASSetNative(Interpreter& vm, CallArgs& a)
{
    const NativeList list = nativeList(vm, a, 1);
    Object* o = list.object;
    if (!o)
        return Value();
    for (const NativeMember& m : list.members) {
        Value f(static_cast<Object*>(Builtins::nativeFunction(vm, list.family, m.index)));
        if (Property* p = o->findOwn(m.name)) {
            // An existing member keeps its place and its flags.
            p->getter = p->setter = nullptr;
            p->value = f;
            continue;
        }
        o->define(m.name, f, 0);
        o->findOwn(m.name)->minVersion = m.minVersion;
    }
    return Value();
}

// ASSetNativeAccessor(object, family, "name,...", firstIndex): each name
// becomes a property whose getter is native `index` and setter `index + 1`.
static Value globalASSetNativeAccessor(Interpreter& vm, CallArgs& a)
{
    const NativeList list = nativeList(vm, a, 2);
    Object* o = list.object;
    if (!o)
        return Value();
    for (const NativeMember& m : list.members) {
        FunctionObject* getter = Builtins::nativeFunction(vm, list.family, m.index);
        FunctionObject* setter = Builtins::nativeFunction(vm, list.family, m.index + 1);
        Property* p = o->findOwn(m.name);
        if (!p) {
            o->define(m.name, Value(), 0);
            p = o->findOwn(m.name);
        }
        p->value = Value();
        p->getter = getter;
        p->setter = setter;
        p->minVersion = m.minVersion;
    }
    return Value();
}

const NativeMethod nativeTableFunctions[] = {
    { "ASnative", globalASnative },
    { "ASSetNative", globalASSetNative },
    { "ASSetNativeAccessor", globalASSetNativeAccessor },
    { "ASconstructor", globalASconstructor },
};

FunctionObject* Builtins::nativeFunction(Interpreter& vm, int family, int index)
{
    return vm.newNative(QString(), [family, index](Interpreter& vm, CallArgs& a) -> Value {
        return callNative(vm, family, index, a);
    });
}

void Builtins::installNative(Interpreter& vm)
{
    vm.defineMethods(vm.global(), nativeTableFunctions);
    // The two that hand out natives are bare functions themselves: no link
    // to Function.prototype and no constructor.
    for (const char* name : { "ASnative", "ASconstructor" }) {
        if (Object* f = vm.getMember(Value(vm.global()), QString::fromLatin1(name)).asObject()) {
            f->removeOwn(QStringLiteral("__proto__"));
            f->setProto(nullptr);
            f->removeOwn(QStringLiteral("constructor"));
        }
    }
}

} // namespace swf::avm1
