// The global functions: isNaN, isFinite, parseInt, parseFloat, escape,
// unescape, ASSetPropFlags, setInterval and clearInterval, and the NaN and
// Infinity constants.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>
#include <optional>

namespace swf::avm1 {

namespace {

uint8_t minVersionOf(uint16_t bits)
{
    // Bits that keep a property from movies older than a version. Bit 0x100
    // hides it from version 6 alone (see Property::visibleIn); the top bit
    // hides nothing.
    if (bits & 0x4000) return 10;
    if (bits & 0x2000) return 9;
    if (bits & 0x1000) return 8;
    if (bits & 0x0400) return 7;
    if (bits & 0x0080) return 6;
    return 0;
}

uint16_t versionBitOf(uint8_t minVersion)
{
    switch (minVersion) {
    case 6: return 0x0080;
    case 7: return 0x0400;
    case 8: return 0x1000;
    case 9: return 0x2000;
    case 10: return 0x4000;
    default: return 0;
    }
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

// UTF-8 as far as the bytes form it. A byte that continues no sequence
// stands for the Latin-1 character of its value; a lead byte without its
// continuation bytes is dropped.
QString decodeUtf8Leniently(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const uchar c = uchar(bytes[i]);
        if (c < 0xC0) {
            out += QChar(c);
            ++i;
            continue;
        }
        const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
        bool whole = c >= 0xC2 && c < 0xF5 && i + extra < n;
        for (int k = 1; whole && k <= extra; ++k)
            whole = (uchar(bytes[i + k]) & 0xC0) == 0x80;
        if (whole)
            out += QString::fromUtf8(bytes.constData() + i, extra + 1);
        i += whole ? extra + 1 : 1;
    }
    return out;
}

// unescape. Version 5 reads characters and takes each escaped byte as the
// Latin-1 character of its value; it gives nothing (undefined) for text that
// comes out empty without a zero byte ending it. From version 6 escapes are
// read from the UTF-8 bytes of the text, so a broken escape takes a byte,
// not a character, with it, and the bytes are read back as UTF-8.
std::optional<QString> unescapeString(const QString& s, int version)
{
    auto hexDigit = [](char16_t c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    const bool old = version < 6;
    const QByteArray utf8 = old ? QByteArray() : s.toUtf8();
    const qsizetype n = old ? s.size() : utf8.size();
    auto unit = [&](qsizetype i) -> char16_t { return old ? s[i].unicode() : char16_t(uchar(utf8[i])); };
    QString text;    // version 5
    QByteArray bytes; // version 6 on
    auto append = [&](char16_t c) {
        if (old)
            text += QChar(c);
        else
            bytes.append(char(c));
    };
    bool ended = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = unit(i);
        if (c == '%') {
            const int high = i + 1 < n ? hexDigit(unit(i + 1)) : -1;
            const int low = high >= 0 && i + 2 < n ? hexDigit(unit(i + 2)) : -1;
            if (high >= 0 && low >= 0) {
                // A zero byte ends the text.
                if (high == 0 && low == 0) {
                    ended = true;
                    break;
                }
                append(char16_t(high * 16 + low));
                i += 2;
                continue;
            }
            // A broken escape is dropped with what was read to find it
            // broken: the unit after the percent sign, and the next one when
            // that was a hex digit.
            i += high >= 0 ? 2 : 1;
            continue;
        }
        // A plus sign stands for a space, as in a form's fields.
        append(c == '+' ? char16_t(' ') : c);
    }
    if (!old)
        return decodeUtf8Leniently(bytes);
    if (text.isEmpty() && !ended)
        return std::nullopt;
    return text;
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
    // "Infinity" is no number to parseFloat either.
    if (!digits)
        return std::numeric_limits<double>::quiet_NaN();
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

// With no argument at all there is no number: even where undefined converts to 0.
static Value globalIsNaN(Interpreter& vm, CallArgs& a)
{
    return Value(a.args.empty() || std::isnan(vm.toNumber(a.arg(0))));
}

static Value globalIsFinite(Interpreter& vm, CallArgs& a)
{
    return Value(!a.args.empty() && std::isfinite(vm.toNumber(a.arg(0))));
}

static Value globalParseInt(Interpreter& vm, CallArgs& a)
{
    return parseIntImpl(a, vm);
}

static Value globalParseFloat(Interpreter& vm, CallArgs& a)
{
    if (a.args.empty())
        return Value();
    // An object is read through its toString, which must give a string:
    // any other answer leaves no number to read.
    if (Object* o = a.arg(0).asObject(); o && o->kind() != Object::Kind::Clip && o->kind() != Object::Kind::String) {
        Value method = vm.getMember(a.arg(0), QStringLiteral("toString"));
        Object* m = method.asObject();
        Value text = m && m->kind() == Object::Kind::Function ? vm.call(method, a.arg(0), {}) : Value();
        return Value(text.isString() ? parseFloatImpl(text.asString()) : std::numeric_limits<double>::quiet_NaN());
    }
    return Value(parseFloatImpl(vm.toString(a.arg(0))));
}

static Value globalEscape(Interpreter& vm, CallArgs& a)
{
    return Value(escapeString(vm.toString(a.arg(0)), vm.version()));
}

static Value globalUnescape(Interpreter& vm, CallArgs& a)
{
    const std::optional<QString> text = unescapeString(vm.toString(a.arg(0)), vm.version());
    return text ? Value(*text) : Value();
}

// AsSetupError("A,B"): makes an error object (by whatever _global.Error is
// now) for each comma-separated name, with AsSetupError as the caller.
static Value globalAsSetupError(Interpreter& vm, CallArgs& a)
{
    if (a.args.empty())
        return Value();
    const QStringList names = vm.toString(a.arg(0)).split(u',');
    const Value error = vm.getMember(Value(vm.global()), QStringLiteral("Error"));
    for (qsizetype i = 0; i < names.size(); ++i)
        vm.construct(error, {});
    return Value();
}

static Value globalASSetPropFlags(Interpreter& vm, CallArgs& a)
{
    Object* o = a.arg(0).asObject();
    if (!o)
        return Value();
    uint32_t set = toUint32(vm.toNumber(a.arg(2)));
    uint32_t clear = toUint32(vm.toNumber(a.arg(3)));
    QStringList names;
    Value list = a.arg(1);
    auto* array = o->kind() == Object::Kind::Array ? static_cast<ArrayObject*>(o) : nullptr;
    if (list.isNull()) {
        names = o->ownNames(true);
        if (array)
            for (size_t i = 0; i < array->elements.size(); ++i)
                names.push_back(QString::number(i));
    } else if (Object* arr = list.asObject(); arr && arr->kind() == Object::Kind::Array) {
        for (const Value& v : static_cast<ArrayObject*>(arr)->elements)
            names.push_back(vm.toString(v));
    } else {
        names = vm.toString(list).split(QLatin1Char(','));
    }
    for (const QString& name : names) {
        Property* p = o->findOwn(name);
        if (!p && array) {
            // An element has the three attribute bits; the version bits do
            // not apply to it.
            const int64_t i = ArrayObject::indexOf(name);
            if (i >= 0 && size_t(i) < array->elements.size() && !array->isHole(size_t(i))) {
                const uint32_t bits = array->bitsAt(size_t(i));
                array->setBitsAt(size_t(i), uint8_t(((bits & ~clear) | set) & 7));
            }
            continue;
        }
        if (!p)
            continue;
        // A member the player itself keeps from older movies carries the
        // bit of that version, which the flags can clear like any other.
        uint16_t versionBits = p->versionBits;
        if (!versionBits)
            versionBits = versionBitOf(p->minVersion);
        uint32_t all = uint32_t(p->flags) | uint32_t(versionBits);
        all = (all & ~clear) | set;
        p->flags = uint8_t(all & 7);
        p->versionBits = uint16_t(all & 0xFFF8);
        p->minVersion = minVersionOf(p->versionBits);
    }
    return Value();
}

static Value globalSetInterval(Interpreter& vm, CallArgs& a)
{
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
}

static Value globalClearInterval(Interpreter& vm, CallArgs& a)
{
    vm.clearInterval(clampToInt(vm.toNumber(a.arg(0))));
    return Value();
}

const NativeMethod globalConversionFunctions[] = {
    { "isNaN", globalIsNaN },
    { "isFinite", globalIsFinite },
    { "parseInt", globalParseInt },
    { "parseFloat", globalParseFloat },
    { "escape", globalEscape },
    { "unescape", globalUnescape },
};

const NativeMethod globalFunctions[] = {
    { "ASSetPropFlags", globalASSetPropFlags },
    { "setInterval", globalSetInterval },
    { "clearInterval", globalClearInterval },
    { "AsSetupError", globalAsSetupError },
};

void Builtins::installGlobalFunctions(Interpreter& vm)
{
    Object* g = vm.global();
    vm.defineMethods(g, globalConversionFunctions);
    g->define(QStringLiteral("NaN"), Value(std::numeric_limits<double>::quiet_NaN()), DontEnum);
    g->define(QStringLiteral("Infinity"), Value(std::numeric_limits<double>::infinity()), DontEnum);
    vm.defineMethods(g, globalFunctions);
}

} // namespace swf::avm1
