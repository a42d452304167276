// Object, Function, the global functions and Error.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace swf::avm1 {

Object*& Builtins::objectProto(Interpreter& vm) { return vm.m_objectProto; }
Object*& Builtins::functionProto(Interpreter& vm) { return vm.m_functionProto; }
Object*& Builtins::arrayProto(Interpreter& vm) { return vm.m_arrayProto; }
Object*& Builtins::stringProto(Interpreter& vm) { return vm.m_stringProto; }
Object*& Builtins::numberProto(Interpreter& vm) { return vm.m_numberProto; }
Object*& Builtins::booleanProto(Interpreter& vm) { return vm.m_booleanProto; }
Object*& Builtins::dateProto(Interpreter& vm) { return vm.m_dateProto; }
Object*& Builtins::errorProto(Interpreter& vm) { return vm.m_errorProto; }
Object*& Builtins::classRegistry(Interpreter& vm) { return vm.m_classRegistry; }
Object*& Builtins::global(Interpreter& vm) { return vm.m_global; }

void Interpreter::installBuiltins()
{
    const bool cs = caseSensitive();
    m_objectProto = make<Object>(Object::Kind::Plain, nullptr, cs);
    m_functionProto = make<Object>(Object::Kind::Plain, m_objectProto, cs);
    m_global = newObject();
    m_classRegistry = newObject(nullptr);
    Builtins::installCore(*this);
    Builtins::installNumeric(*this);
    Builtins::installArray(*this);
    Builtins::installString(*this);
    Builtins::installDate(*this);
    Builtins::installNative(*this);
    Builtins::installSystem(*this);
}

Object* Interpreter::registeredClass(const QString& symbol)
{
    const Property* p = m_classRegistry->findOwn(symbol);
    return p ? p->value.asObject() : nullptr;
}

namespace {

uint8_t minVersionOf(uint16_t bits)
{
    // Bits that keep a property from movies older than a version. The top
    // bit hides nothing: movies of every version still see the property.
    if (bits & 0x4000) return 11;
    if (bits & 0x2000) return 10;
    if (bits & 0x1000) return 9;
    if (bits & 0x0400) return 8;
    if (bits & 0x0100) return 7;
    if (bits & 0x0080) return 6;
    return 0;
}

QString escapeString(const QString& s, int version)
{
    QByteArray bytes = version >= 6 ? s.toUtf8() : s.toLocal8Bit();
    QString out;
    for (char ch : bytes) {
        uchar c = uchar(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            out += QChar(c);
        else
            out += QStringLiteral("%%1").arg(c, 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

QString unescapeString(const QString& s, int version)
{
    QByteArray bytes;
    for (int i = 0; i < s.size(); ++i) {
        QChar c = s[i];
        if (c == '%' && i + 2 < s.size() + 0 && i + 2 <= s.size() - 1) {
            bool ok = false;
            int v = s.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                bytes.append(char(v));
                i += 2;
                continue;
            }
        }
        bytes.append(QString(c).toUtf8());
    }
    return version >= 6 ? QString::fromUtf8(bytes) : QString::fromLocal8Bit(bytes);
}

// parseInt as the player does it, quirks included: a "0x" prefix is only
// seen at the very start (a sign before it is dropped with the zero), an
// explicit radix outside 2..36 gives NaN, and a leading zero means octal
// only when the whole string is octal digits.
Value parseIntImpl(const CallArgs& a, Interpreter& vm)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (a.args.empty())
        return Value();
    const QString s = vm.toString(a.arg(0));
    int radix = 0;
    if (a.args.size() > 1) {
        double r = toIntegerValue(vm.toNumber(a.arg(1)));
        if (r < 2 || r > 36)
            return Value(nan);
        radix = int(r);
    }
    int i = 0;
    auto isX = [&](int k) { return k < s.size() && (s[k] == 'x' || s[k] == 'X'); };
    if (s.size() >= 2 && (s[0] == '0' || s[0] == '-' || s[0] == '+') && isX(1) && s[0] == '0') {
        i = 2;
        if (radix == 0)
            radix = 16;
    } else if (s.size() >= 3 && (s[0] == '-' || s[0] == '+') && s[1] == '0' && isX(2)) {
        i = 2;
        if (radix == 0)
            radix = 16;
    }
    if (radix == 0) {
        static const QRegularExpression octal(QStringLiteral("^[-+]?0[0-7]+$"));
        radix = octal.match(s).hasMatch() ? 8 : 10;
    }
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    double acc = 0;
    int digits = 0;
    for (; i < s.size(); ++i) {
        ushort c = s[i].unicode();
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'z') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'Z') d = c - 'A' + 10;
        else break;
        if (d >= radix)
            break;
        acc = acc * radix + d;
        ++digits;
    }
    if (!digits)
        return Value(nan);
    return Value(negative ? -acc : acc);
}

double parseFloatImpl(const QString& input)
{
    QString s = input.trimmed();
    int i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        ++i;
    int start = i;
    bool dot = false;
    bool digits = false;
    while (i < s.size()) {
        if (s[i].isDigit() && s[i].unicode() < 128) {
            digits = true;
        } else if (s[i] == '.' && !dot) {
            dot = true;
        } else {
            break;
        }
        ++i;
    }
    if (!digits) {
        if (s.mid(start).startsWith(QLatin1String("Infinity")))
            return s.startsWith('-') ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        int k = i + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-'))
            ++k;
        int e = k;
        while (k < s.size() && s[k].isDigit() && s[k].unicode() < 128)
            ++k;
        if (k > e)
            i = k;
    }
    return std::strtod(s.left(i).toLatin1().constData(), nullptr);
}

} // namespace

void Builtins::installCore(Interpreter& vm)
{
    Object* g = vm.global();
    Object* op = vm.objectPrototype();
    Object* fp = vm.functionPrototype();

    // Object
    auto* objectCtor = vm.newConstructor(QStringLiteral("Object"), [](Interpreter& vm, CallArgs& a) -> Value {
        Value v = a.arg(0);
        if (v.isNullish())
            return a.constructing ? a.thisValue : Value(vm.newObject());
        return Value(vm.toObject(v));
    }, op);
    g->define(QStringLiteral("Object"), Value(static_cast<Object*>(objectCtor)), DontEnum);
    vm.m_objectCtor = objectCtor;

    vm.defineMethod(op, QStringLiteral("toString"), [](Interpreter&, CallArgs& a) -> Value {
        Object* o = a.thisObject();
        if (o && o->kind() == Object::Kind::Function)
            return Value(QStringLiteral("[type Function]"));
        return Value(QStringLiteral("[object Object]"));
    });
    vm.defineMethod(op, QStringLiteral("toLocaleString"), [](Interpreter& vm, CallArgs& a) -> Value {
        return vm.call(vm.getMember(a.thisValue, QStringLiteral("toString")), a.thisValue, {});
    });
    vm.defineMethod(op, QStringLiteral("valueOf"), [](Interpreter&, CallArgs& a) -> Value { return a.thisValue; });
    vm.defineMethod(op, QStringLiteral("hasOwnProperty"), [](Interpreter& vm, CallArgs& a) -> Value {
        Object* o = a.thisObject();
        if (!o || a.args.empty())
            return Value(false);
        QString name = vm.toString(a.arg(0));
        // The player never keeps a member with an empty name.
        if (name.isEmpty())
            return Value(false);
        // Every object made by the machine carries its own prototype link.
        if (name == QLatin1String("__proto__") || (!vm.caseSensitive() && name.compare(QLatin1String("__proto__"), Qt::CaseInsensitive) == 0))
            return Value(o->proto() != nullptr || o->findOwn(name) != nullptr);
        return Value(o->findOwn(name) != nullptr || o->hasVirtual(vm, name));
    });
    vm.defineMethod(op, QStringLiteral("isPropertyEnumerable"), [](Interpreter& vm, CallArgs& a) -> Value {
        Object* o = a.thisObject();
        if (!o)
            return Value(false);
        QString name = vm.toString(a.arg(0));
        const Property* p = o->findOwn(name);
        if (p)
            return Value(!(p->flags & DontEnum) && p->minVersion <= vm.version());
        return Value(o->kind() == Object::Kind::Array && ArrayObject::indexOf(name) >= 0 && o->hasVirtual(vm, name));
    });
    vm.defineMethod(op, QStringLiteral("isPrototypeOf"), [](Interpreter&, CallArgs& a) -> Value {
        Object* o = a.thisObject();
        Object* v = a.arg(0).asObject();
        int guard = 0;
        for (Object* cur = v ? v->proto() : nullptr; cur && guard < 256; cur = cur->proto(), ++guard)
            if (cur == o)
                return Value(true);
        return Value(false);
    });
    vm.defineMethod(op, QStringLiteral("addProperty"), [](Interpreter& vm, CallArgs& a) -> Value {
        Object* o = a.thisObject();
        QString name = vm.toString(a.arg(0));
        Object* getter = a.arg(1).asObject();
        Value setterValue = a.arg(2);
        Object* setter = setterValue.asObject();
        if (!o || name.isEmpty() || !getter || getter->kind() != Object::Kind::Function)
            return Value(false);
        if (setter && setter->kind() != Object::Kind::Function)
            return Value(false);
        if (!setter && !setterValue.isNull() && !setterValue.isUndefined())
            return Value(false);
        Property* existing = o->findOwn(name);
        uint8_t flags = existing ? existing->flags : 0;
        o->define(name, Value(), flags);
        Property* p = o->findOwn(name);
        p->getter = getter;
        p->setter = setter;
        return Value(true);
    });
    vm.defineMethod(op, QStringLiteral("watch"), [](Interpreter& vm, CallArgs& a) -> Value {
        Object* o = a.thisObject();
        Object* cb = a.arg(1).asObject();
        if (!o || a.args.empty() || !cb || cb->kind() != Object::Kind::Function)
            return Value(false);
        QString name = vm.toString(a.arg(0));
        o->ensureWatches().insert(o->caseSensitive() ? name : name.toLower(), Object::Watch { cb, a.arg(2), false });
        return Value(true);
    });
    vm.defineMethod(op, QStringLiteral("unwatch"), [](Interpreter& vm, CallArgs& a) -> Value {
        Object* o = a.thisObject();
        if (!o || !o->watches())
            return Value(false);
        QString name = vm.toString(a.arg(0));
        return Value(o->watches()->remove(o->caseSensitive() ? name : name.toLower()) > 0);
    });
    objectCtor->define(QStringLiteral("registerClass"), Value(static_cast<Object*>(vm.newNative(QStringLiteral("registerClass"),
        [](Interpreter& vm, CallArgs& a) -> Value {
            if (a.args.size() < 2)
                return Value(false);
            QString symbol = vm.toString(a.arg(0));
            // A function registers, null (or undefined) unregisters; anything else is refused.
            Value ctor = a.arg(1);
            if (ctor.isObject() && ctor.asObject()->kind() == Object::Kind::Function)
                vm.m_classRegistry->put(symbol, ctor);
            else if (ctor.isNullish())
                vm.m_classRegistry->removeOwn(symbol);
            else
                return Value(false);
            return Value(true);
        }))), DontEnum);

    // Function
    auto* functionCtor = vm.newConstructor(QStringLiteral("Function"), [](Interpreter& vm, CallArgs& a) -> Value {
        return a.args.empty() ? Value(vm.newObject()) : a.arg(0);
    }, fp);
    g->define(QStringLiteral("Function"), Value(static_cast<Object*>(functionCtor)), DontEnum);
    vm.defineMethod(fp, QStringLiteral("call"), [](Interpreter& vm, CallArgs& a) -> Value {
        std::vector<Value> rest;
        if (a.args.size() > 1)
            rest.assign(a.args.begin() + 1, a.args.end());
        Value thisArg = a.arg(0);
        if (thisArg.isNullish())
            thisArg = Value();
        return vm.call(a.thisValue, thisArg, std::move(rest));
    });
    vm.defineMethod(fp, QStringLiteral("apply"), [](Interpreter& vm, CallArgs& a) -> Value {
        std::vector<Value> rest;
        if (auto* arr = a.arg(1).asObject(); arr && arr->kind() == Object::Kind::Array) {
            rest = static_cast<ArrayObject*>(arr)->elements;
        } else if (Object* list = a.arg(1).asObject()) {
            // Any object with a length passes its numbered members.
            const double length = toIntegerValue(vm.toNumber(vm.getMember(a.arg(1), QStringLiteral("length"))));
            const size_t n = size_t(std::clamp(length, 0.0, double(ArrayObject::MaxLength)));
            for (size_t i = 0; i < n; ++i)
                rest.push_back(vm.getMember(Value(list), QString::number(i)));
        }
        Value thisArg = a.arg(0);
        if (thisArg.isNullish())
            thisArg = Value();
        return vm.call(a.thisValue, thisArg, std::move(rest));
    });

    // Global functions
    auto fn = [&](const char* name, NativeFunction f) { vm.defineMethod(g, QString::fromLatin1(name), std::move(f)); };
    // With no argument at all there is no number: even where undefined converts to 0.
    fn("isNaN", [](Interpreter& vm, CallArgs& a) -> Value { return Value(a.args.empty() || std::isnan(vm.toNumber(a.arg(0)))); });
    fn("isFinite", [](Interpreter& vm, CallArgs& a) -> Value { return Value(!a.args.empty() && std::isfinite(vm.toNumber(a.arg(0)))); });
    fn("parseInt", [](Interpreter& vm, CallArgs& a) -> Value { return parseIntImpl(a, vm); });
    fn("parseFloat", [](Interpreter& vm, CallArgs& a) -> Value { return Value(parseFloatImpl(vm.toString(a.arg(0)))); });
    fn("escape", [](Interpreter& vm, CallArgs& a) -> Value { return Value(escapeString(vm.toString(a.arg(0)), vm.version())); });
    fn("unescape", [](Interpreter& vm, CallArgs& a) -> Value { return Value(unescapeString(vm.toString(a.arg(0)), vm.version())); });
    g->define(QStringLiteral("NaN"), Value(std::numeric_limits<double>::quiet_NaN()), DontEnum);
    g->define(QStringLiteral("Infinity"), Value(std::numeric_limits<double>::infinity()), DontEnum);
    fn("ASSetPropFlags", [](Interpreter& vm, CallArgs& a) -> Value {
        Object* o = a.arg(0).asObject();
        if (!o)
            return Value();
        uint32_t set = toUint32(vm.toNumber(a.arg(2)));
        uint32_t clear = toUint32(vm.toNumber(a.arg(3)));
        QStringList names;
        Value list = a.arg(1);
        if (list.isNull()) {
            names = o->ownNames(true);
        } else if (Object* arr = list.asObject(); arr && arr->kind() == Object::Kind::Array) {
            for (const Value& v : static_cast<ArrayObject*>(arr)->elements)
                names.push_back(vm.toString(v));
        } else {
            names = vm.toString(list).split(QLatin1Char(','));
        }
        for (const QString& name : names) {
            Property* p = o->findOwn(name);
            if (!p)
                continue;
            uint32_t all = uint32_t(p->flags) | uint32_t(p->versionBits);
            all = (all & ~clear) | set;
            p->flags = uint8_t(all & 7);
            p->versionBits = uint16_t(all & 0xFFF8);
            p->minVersion = minVersionOf(p->versionBits);
        }
        return Value();
    });
    fn("setInterval", [](Interpreter& vm, CallArgs& a) -> Value {
            Value first = a.arg(0);
            std::vector<Value> rest;
            size_t argStart;
            Value function;
            Value thisValue;
            QString method;
            if (first.isObject() && first.asObject()->kind() == Object::Kind::Function) {
                function = first;
                argStart = 2;
            } else if (first.isObject()) {
                thisValue = first;
                method = vm.toString(a.arg(1));
                argStart = 3;
            } else {
                return Value();
            }
            double period = vm.toNumber(a.arg(argStart - 1));
            if (a.args.size() > argStart)
                rest.assign(a.args.begin() + qsizetype(argStart), a.args.end());
            int id = vm.addInterval(function, thisValue, method, std::isnan(period) ? 0 : period, std::move(rest));
            return Value(double(id));
    });
    fn("clearInterval", [](Interpreter& vm, CallArgs& a) -> Value {
        vm.clearInterval(clampToInt(vm.toNumber(a.arg(0))));
        return Value();
    });

    // Error
    Object* ep = vm.newObject();
    vm.m_errorProto = ep;
    auto* errorCtor = vm.newConstructor(QStringLiteral("Error"), [](Interpreter& vm, CallArgs& a) -> Value {
        Object* o = a.constructing ? a.thisObject() : vm.newObject(vm.m_errorProto);
        if (o && !a.arg(0).isUndefined())
            o->put(QStringLiteral("message"), a.arg(0));
        return Value(o);
    }, ep);
    ep->define(QStringLiteral("name"), Value(QStringLiteral("Error")), DontEnum);
    ep->define(QStringLiteral("message"), Value(QStringLiteral("Error")), DontEnum);
    vm.defineMethod(ep, QStringLiteral("toString"), [](Interpreter& vm, CallArgs& a) -> Value {
        return Value(vm.toString(vm.getMember(a.thisValue, QStringLiteral("message"))));
    });
    g->define(QStringLiteral("Error"), Value(static_cast<Object*>(errorCtor)), DontEnum);
}

// ---------------------------------------------------------------- intervals

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
