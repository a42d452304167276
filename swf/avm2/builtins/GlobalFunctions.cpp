// The functions of the top level (trace, isNaN, parseInt, ...) and of flash.utils.

#include "swf/avm2/vm/Machine.h"

#include <cmath>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

double parseInt(const QString& text, int radix)
{
    QString s = text.trimmed();
    bool negative = false;
    if (s.startsWith(QLatin1Char('-')) || s.startsWith(QLatin1Char('+'))) {
        negative = s[0] == QLatin1Char('-');
        s = s.mid(1);
    }
    if ((radix == 0 || radix == 16) && (s.startsWith(QLatin1String("0x")) || s.startsWith(QLatin1String("0X")))) {
        s = s.mid(2);
        radix = 16;
    }
    if (radix == 0)
        radix = 10;
    if (radix < 2 || radix > 36)
        return std::numeric_limits<double>::quiet_NaN();
    double value = 0;
    int digits = 0;
    for (QChar c : s) {
        int d = c.isDigit() ? c.unicode() - '0' : (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('z')) ? c.toLower().unicode() - 'a' + 10 : 99;
        if (d >= radix)
            break;
        value = value * radix + d;
        ++digits;
    }
    if (digits == 0)
        return std::numeric_limits<double>::quiet_NaN();
    return negative ? -value : value;
}

double parseFloat(const QString& text)
{
    QString s = text.trimmed();
    int end = 0;
    bool digits = false, point = false, exponent = false;
    if (end < s.size() && (s[end] == QLatin1Char('-') || s[end] == QLatin1Char('+')))
        ++end;
    if (s.mid(end).startsWith(QLatin1String("Infinity")))
        return s[0] == QLatin1Char('-') ? -INFINITY : INFINITY;
    for (; end < s.size(); ++end) {
        QChar c = s[end];
        if (c.isDigit()) {
            digits = true;
        } else if (c == QLatin1Char('.') && !point && !exponent) {
            point = true;
        } else if ((c == QLatin1Char('e') || c == QLatin1Char('E')) && digits && !exponent) {
            int next = end + 1;
            if (next < s.size() && (s[next] == QLatin1Char('-') || s[next] == QLatin1Char('+')))
                ++next;
            if (next >= s.size() || !s[next].isDigit())
                break;
            exponent = true;
            end = next;
        } else {
            break;
        }
    }
    if (!digits)
        return std::numeric_limits<double>::quiet_NaN();
    return s.left(end).toDouble();
}

} // namespace

void installGlobalFunctions(Machine& m)
{
    m.defineGlobal(QString(), QStringLiteral("trace"), Value::object(m.newNative(QStringLiteral("trace"), [](Machine& m, const Value&, Args args) {
        QStringList parts;
        for (const Value& v : args)
            parts << m.toString(v);
        // The player's log is C text: a zero character ends nothing but is not printed.
        m.trace(parts.join(QLatin1Char(' ')).remove(QChar(0)));
        return Value::undefined();
    })));
    m.defineGlobal(QString(), QStringLiteral("isNaN"), Value::object(m.newNative(QStringLiteral("isNaN"), [](Machine& m, const Value&, Args args) {
        return Value::boolean(std::isnan(m.toNumber(arg(args, 0))));
    }, 1)));
    m.defineGlobal(QString(), QStringLiteral("isFinite"), Value::object(m.newNative(QStringLiteral("isFinite"), [](Machine& m, const Value&, Args args) {
        return Value::boolean(std::isfinite(m.toNumber(arg(args, 0))));
    }, 1)));
    m.defineGlobal(QString(), QStringLiteral("parseInt"), Value::object(m.newNative(QStringLiteral("parseInt"), [](Machine& m, const Value&, Args args) {
        int radix = args.size() > 1 ? toInt32(m.toNumber(args[1])) : 0;
        return Value::number(parseInt(m.toString(arg(args, 0)), radix));
    }, 2)));
    m.defineGlobal(QString(), QStringLiteral("parseFloat"), Value::object(m.newNative(QStringLiteral("parseFloat"), [](Machine& m, const Value&, Args args) {
        return Value::number(parseFloat(m.toString(arg(args, 0))));
    }, 1)));
    m.defineGlobal(QString(), QStringLiteral("NaN"), Value::number(std::numeric_limits<double>::quiet_NaN()));
    m.defineGlobal(QString(), QStringLiteral("Infinity"), Value::number(INFINITY));
    m.defineGlobal(QString(), QStringLiteral("undefined"), Value::undefined());
    const QString utils = QStringLiteral("flash.utils");
    m.defineGlobal(utils, QStringLiteral("getQualifiedClassName"), Value::object(m.newNative(QStringLiteral("getQualifiedClassName"), [](Machine& m, const Value&, Args args) {
        Value v = arg(args, 0);
        ClassObject* cls = v.isObject() && v.o->type() == Object::Type::Class ? static_cast<ClassObject*>(v.o) : m.classOf(v);
        if (v.isNull())
            return Value::string(QStringLiteral("null"));
        if (v.isUndefined())
            return Value::string(QStringLiteral("void"));
        return Value::string(cls ? cls->qualifiedName() : QStringLiteral("Object"));
    }, 1)));
    m.defineGlobal(utils, QStringLiteral("getQualifiedSuperclassName"), Value::object(m.newNative(QStringLiteral("getQualifiedSuperclassName"), [](Machine& m, const Value&, Args args) {
        Value v = arg(args, 0);
        ClassObject* cls = v.isObject() && v.o->type() == Object::Type::Class ? static_cast<ClassObject*>(v.o) : m.classOf(v);
        return cls && cls->base ? Value::string(cls->base->qualifiedName()) : Value::null();
    }, 1)));
}

} // namespace swf::avm2
