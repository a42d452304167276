// String and its methods.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace swf::avm1 {

namespace {

QString thisString(Interpreter& vm, const CallArgs& a)
{
    if (Object* o = a.thisObject(); o && o->kind() == Object::Kind::String)
        return o->primitive.asString();
    return vm.toString(a.thisValue);
}

int clampIndex(double v, int length)
{
    if (std::isnan(v) || v < 0)
        return 0;
    return v > length ? length : int(v);
}

} // namespace

static Value stringConstructor(Interpreter& vm, CallArgs& a)
{
    QString s = a.args.empty() ? QString() : vm.toString(a.arg(0));
    if (!a.constructing)
        return Value(s);
    Object* o = vm.make<Object>(Object::Kind::String, vm.stringPrototype(), vm.caseSensitive());
    o->primitive = Value(s);
    o->define(QStringLiteral("length"), Value(double(s.size())), DontEnum | DontDelete);
    return Value(o);
}

static Value stringFromCharCode(Interpreter& vm, CallArgs& a)
{
    QString s;
    for (const Value& v : a.args) {
        uint32_t c = toUint32(vm.toNumber(v)) & 0xFFFF;
        if (c == 0)
            break;
        s += QChar(char16_t(c));
    }
    return Value(s);
}

static Value stringToString(Interpreter& vm, CallArgs& a)
{
    return Value(thisString(vm, a));
}

static Value stringValueOf(Interpreter& vm, CallArgs& a)
{
    return Value(thisString(vm, a));
}

static Value stringCharAt(Interpreter& vm, CallArgs& a)
{
    QString s = thisString(vm, a);
    double i = toIntegerValue(vm.toNumber(a.arg(0)));
    return Value(i >= 0 && i < s.size() ? QString(s[qsizetype(i)]) : QString());
}

static Value stringCharCodeAt(Interpreter& vm, CallArgs& a)
{
    QString s = thisString(vm, a);
    double i = toIntegerValue(vm.toNumber(a.arg(0)));
    if (i >= 0 && i < s.size())
        return Value(double(s[qsizetype(i)].unicode()));
    return Value(std::numeric_limits<double>::quiet_NaN());
}

static Value stringConcat(Interpreter& vm, CallArgs& a)
{
    QString s = thisString(vm, a);
    // The first piece appended copies the string itself.
    if (!a.args.empty())
        vm.chargeChars(s.size());
    for (const Value& v : a.args) {
        const QString piece = vm.toString(v);
        vm.chargeBuilding(size_t(s.size()) * sizeof(QChar), size_t(piece.size()) * sizeof(QChar));
        s += piece;
    }
    return Value(s);
}

static Value stringIndexOf(Interpreter& vm, CallArgs& a)
{
    QString s = thisString(vm, a);
    if (a.args.empty())
        return Value(-1.0);
    QString needle = vm.toString(a.arg(0));
    int from = a.args.size() > 1 ? clampIndex(toIntegerValue(vm.toNumber(a.arg(1))), int(s.size())) : 0;
    return Value(double(s.indexOf(needle, from)));
}

static Value stringLastIndexOf(Interpreter& vm, CallArgs& a)
{
    QString s = thisString(vm, a);
    if (a.args.empty())
        return Value(-1.0);
    QString needle = vm.toString(a.arg(0));
    qsizetype from = s.size();
    if (a.args.size() > 1) {
        double f = toIntegerValue(vm.toNumber(a.arg(1)));
        if (f < 0)
            return Value(-1.0);
        from = qsizetype(std::min(f, double(s.size())));
    }
    return Value(double(s.lastIndexOf(needle, from)));
}

static Value stringSlice(Interpreter& vm, CallArgs& a)
{
    QString s = thisString(vm, a);
    double len = double(s.size());
    auto rel = [&](const Value& v, double fallback) {
        if (v.isUndefined())
            return fallback;
        double i = toIntegerValue(vm.toNumber(v));
        return i < 0 ? std::max(len + i, 0.0) : std::min(i, len);
    };
    double start = rel(a.arg(0), 0);
    double end = rel(a.arg(1), len);
    vm.chargeChars(qsizetype(end - start));
    return Value(end > start ? s.mid(qsizetype(start), qsizetype(end - start)) : QString());
}

static Value stringSubstring(Interpreter& vm, CallArgs& a)
{
    QString s = thisString(vm, a);
    int len = int(s.size());
    int start = clampIndex(toIntegerValue(vm.toNumber(a.arg(0))), len);
    int end = a.arg(1).isUndefined() ? len : clampIndex(toIntegerValue(vm.toNumber(a.arg(1))), len);
    // A start at or past the end gives nothing, before the two are swapped.
    if (start >= len)
        return Value(QString());
    if (start > end)
        std::swap(start, end);
    vm.chargeChars(end - start);
    return Value(s.mid(start, end - start));
}

static Value stringSubstr(Interpreter& vm, CallArgs& a)
{
    QString s = thisString(vm, a);
    double len = double(s.size());
    double start = toIntegerValue(vm.toNumber(a.arg(0)));
    if (start < 0)
        start = std::max(len + start, 0.0);
    start = std::min(start, len);
    double count = a.arg(1).isUndefined() ? len - start : toIntegerValue(vm.toNumber(a.arg(1)));
    if (count < 0) {
        // A negative count is taken from the length of the whole string.
        count += len;
        if (count < 0 || start + count >= len)
            return Value(QString());
    }
    count = std::min(count, len - start);
    vm.chargeChars(qsizetype(count));
    return Value(s.mid(qsizetype(start), qsizetype(count)));
}

static Value stringSplit(Interpreter& vm, CallArgs& a)
{
    QString s = thisString(vm, a);
    ArrayObject* out = vm.newArray();
    const bool old = vm.version() < 6;
    double limit = double(ArrayObject::MaxLength);
    // Before version 6 an empty separator keeps the whole string whatever
    // the limit says, and a missing one is a comma. From version 6 a missing
    // separator keeps the whole string whatever the limit says.
    if (!old && a.arg(0).isUndefined()) {
        out->elements.push_back(Value(s));
        return Value(static_cast<Object*>(out));
    }
    // The separator is made text before the limit is looked at; version 5
    // makes one that is not empty text once more when a limit is given.
    QString sep = a.arg(0).isUndefined() ? QStringLiteral(",") : vm.toString(a.arg(0));
    if (old && sep.isEmpty()) {
        out->elements.push_back(Value(s));
        return Value(static_cast<Object*>(out));
    }
    // A limit is a 32-bit integer (infinities and NaN are zero); one below
    // one gives no parts in version 5 and a single empty one later.
    if (!a.arg(1).isUndefined()) {
        if (old && !a.arg(0).isUndefined())
            sep = vm.toString(a.arg(0));
        limit = double(toInt32(vm.toNumber(a.arg(1))));
        if (limit < 1) {
            if (!old)
                out->elements.push_back(Value(QString()));
            return Value(static_cast<Object*>(out));
        }
    }
    QStringList parts;
    if (old && sep.size() != 1) {
        // Before version 6 a separator that is not a single character
        // keeps the whole string.
        parts.push_back(s);
    } else if (sep.isEmpty()) {
        // One element per character, no more than the limit lets through.
        const qsizetype n = qsizetype(std::clamp(limit, 0.0, double(std::min<qsizetype>(s.size(), ArrayObject::MaxLength))));
        vm.chargeValues(size_t(n) * 2); // each element and its one-character string
        for (qsizetype i = 0; i < n; ++i)
            parts.push_back(QString(s[i]));
    } else {
        parts = s.split(sep);
        vm.chargeValues(size_t(parts.size()));
        vm.chargeChars(s.size());
    }
    for (const QString& p : parts) {
        if (double(out->elements.size()) >= limit)
            break;
        out->elements.push_back(Value(p));
    }
    return Value(static_cast<Object*>(out));
}

static Value stringToLowerCase(Interpreter& vm, CallArgs& a)
{
    const QString s = thisString(vm, a);
    vm.chargeChars(s.size());
    return Value(s.toLower());
}

static Value stringToUpperCase(Interpreter& vm, CallArgs& a)
{
    const QString s = thisString(vm, a);
    vm.chargeChars(s.size());
    return Value(s.toUpper());
}

const NativeMethod stringStaticMethods[] = {
    { "fromCharCode", stringFromCharCode },
};

const NativeMethod stringMethods[] = {
    { "toString", stringToString },
    { "valueOf", stringValueOf },
    { "charAt", stringCharAt },
    { "charCodeAt", stringCharCodeAt },
    { "concat", stringConcat },
    { "indexOf", stringIndexOf },
    { "lastIndexOf", stringLastIndexOf },
    { "slice", stringSlice },
    { "substring", stringSubstring },
    { "substr", stringSubstr },
    { "split", stringSplit },
    { "toLowerCase", stringToLowerCase },
    { "toUpperCase", stringToUpperCase },
};

void Builtins::installString(Interpreter& vm)
{
    Object* sp = vm.make<Object>(Object::Kind::String, vm.objectPrototype(), vm.caseSensitive());
    sp->primitive = Value(QString());
    vm.setRealmSlot(&Realm::stringPrototype, sp);
    auto* ctor = vm.newConstructor(QStringLiteral("String"), stringConstructor, sp);
    vm.global()->define(QStringLiteral("String"), Value(static_cast<Object*>(ctor)), DontEnum);
    vm.defineMethods(ctor, stringStaticMethods);

    vm.defineMethods(sp, stringMethods);
}

} // namespace swf::avm1
