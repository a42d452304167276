// String, Number, int, uint, Boolean and Math.

#include "swf/avm2/vm/Machine.h"

#include <QLocale>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

// The primitive behind `this` of a String, Number or Boolean method.
Value unbox(const Value& self)
{
    if (self.isObject() && !self.o->primitive.isUndefined())
        return self.o->primitive;
    return self;
}

int clampIndex(double v, int length)
{
    if (std::isnan(v))
        return 0;
    v = std::trunc(v); // -0.5 is 0, not one before the end
    if (v < 0)
        v = std::max(0.0, length + v);
    return int(std::min<double>(v, length));
}

// toFixed: `digits` places after the point, but never more than 17 + digits
// significant digits (with no places, the fewest digits that read back as
// the number); past those, the integer part ends in zeros and the places
// are all zeros (1.2315e21.toFixed(1) is "1231500000000000130000.0").
QString fixedText(double v, int digits)
{
    const QString e = QString::number(std::fabs(v), 'e', digits == 0 ? int(QLocale::FloatingPointShortest) : 16 + digits);
    const int exponent = e.mid(e.indexOf(QLatin1Char('e')) + 1).toInt();
    if (exponent <= 16)
        return QString::number(v, 'f', digits);
    QString mantissa = e.left(e.indexOf(QLatin1Char('e'))).remove(QLatin1Char('.'));
    QString out = v < 0 ? QStringLiteral("-") : QString();
    out += mantissa.left(exponent + 1).leftJustified(exponent + 1, QLatin1Char('0'));
    if (digits > 0)
        out += QLatin1Char('.') + mantissa.mid(exponent + 1).leftJustified(digits, QLatin1Char('0')).left(digits);
    return out;
}

// d.ddde+N: Qt's form with the exponent's padding zeros taken off.
QString exponentText(double v, int digits)
{
    QString e = QString::number(v, 'e', digits);
    const int at = e.indexOf(QLatin1Char('e'));
    const int exponent = e.mid(at + 1).toInt();
    return e.left(at) + (exponent < 0 ? QStringLiteral("e-") : QStringLiteral("e+")) + QString::number(std::abs(exponent));
}

void installString(Machine& m)
{
    auto& b = m.builtins();
    b.string = m.defineClass(QString(), QStringLiteral("String"), b.object, InstanceKind::Boxed, {});
    b.string->sealed = true;
    b.string->callAsFunction = [](Machine& m, const Value&, Args args) {
        return Value::string(args.empty() ? QString() : m.toString(args[0]));
    };
    m.addGetter(b.string, QStringLiteral("length"), [](Machine& m, const Value& self, Args) {
        return Value::number(m.toString(unbox(self)).size());
    });
    auto text = [](Machine& m, const Value& self) { return m.toString(unbox(self)); };
    m.addPrototypeMethod(b.string, QStringLiteral("toString"), [](Machine& m, const Value& self, Args) {
        Value v = unbox(self);
        if (!v.isString())
            m.throwError(ErrorClass::TypeError, 1004, QStringLiteral("Method String.prototype.toString was invoked on an incompatible object."));
        return v;
    });
    m.addPrototypeMethod(b.string, QStringLiteral("valueOf"), [](Machine&, const Value& self, Args) { return unbox(self); });
    m.addPrototypeMethod(b.string, QStringLiteral("charAt"), [text](Machine& m, const Value& self, Args args) {
        QString s = text(m, self);
        double i = args.empty() ? 0 : std::trunc(m.toNumber(args[0]));
        return Value::string(i >= 0 && i < s.size() ? QString(s[int(i)]) : QString());
    }, 1);
    m.addPrototypeMethod(b.string, QStringLiteral("charCodeAt"), [text](Machine& m, const Value& self, Args args) {
        QString s = text(m, self);
        double i = args.empty() ? 0 : std::trunc(m.toNumber(args[0]));
        return Value::number(i >= 0 && i < s.size() ? double(s[int(i)].unicode()) : std::numeric_limits<double>::quiet_NaN());
    }, 1);
    m.addPrototypeMethod(b.string, QStringLiteral("indexOf"), [text](Machine& m, const Value& self, Args args) {
        // No text to look for (null, undefined or none) is found nowhere; a
        // start before the beginning counts from 0, not from the end.
        QString s = text(m, self);
        if (arg(args, 0).isNullish())
            return Value::number(-1);
        const double start = args.size() > 1 ? m.toNumber(args[1]) : 0;
        const int from = std::isnan(start) ? 0 : int(std::clamp<double>(start, 0, s.size()));
        return Value::number(s.indexOf(m.toString(args[0]), from));
    }, 1);
    m.addPrototypeMethod(b.string, QStringLiteral("lastIndexOf"), [text](Machine& m, const Value& self, Args args) {
        QString s = text(m, self);
        if (arg(args, 0).isNullish())
            return Value::number(-1);
        // A start that is no number (undefined among them) means the end.
        const double start = args.size() > 1 ? m.toNumber(args[1]) : double(s.size());
        const int from = std::isnan(start) ? int(s.size()) : int(std::clamp<double>(start, 0, s.size()));
        return Value::number(s.lastIndexOf(m.toString(args[0]), from));
    }, 1);
    m.addPrototypeMethod(b.string, QStringLiteral("substr"), [text](Machine& m, const Value& self, Args args) {
        QString s = text(m, self);
        int start = clampIndex(args.empty() ? 0 : m.toNumber(args[0]), int(s.size()));
        double count = args.size() > 1 && !args[1].isUndefined() ? std::trunc(m.toNumber(args[1])) : double(s.size());
        // The end is start + length; an end before 0 counts back from the
        // end of the text, as slice's does ("abc".substr(0, -1) is "ab").
        double end = double(start) + count;
        if (end < 0)
            end += double(s.size());
        int n = std::isnan(count) ? 0 : int(std::clamp<double>(end - start, 0, s.size() - start));
        return Value::string(s.mid(start, n));
    }, 2);
    m.addPrototypeMethod(b.string, QStringLiteral("substring"), [text](Machine& m, const Value& self, Args args) {
        QString s = text(m, self);
        auto at = [&](std::size_t i, double fallback) {
            double v = i < args.size() && !args[i].isUndefined() ? m.toNumber(args[i]) : fallback;
            return std::isnan(v) ? 0 : int(std::clamp<double>(v, 0, s.size()));
        };
        int a = at(0, 0), z = at(1, s.size());
        if (a > z)
            std::swap(a, z);
        return Value::string(s.mid(a, z - a));
    }, 2);
    m.addPrototypeMethod(b.string, QStringLiteral("slice"), [text](Machine& m, const Value& self, Args args) {
        QString s = text(m, self);
        int a = clampIndex(args.empty() ? 0 : m.toNumber(args[0]), int(s.size()));
        int z = args.size() > 1 && !args[1].isUndefined() ? clampIndex(m.toNumber(args[1]), int(s.size())) : int(s.size());
        return Value::string(z > a ? s.mid(a, z - a) : QString());
    }, 2);
    m.addPrototypeMethod(b.string, QStringLiteral("toUpperCase"), [text](Machine& m, const Value& self, Args) {
        return Value::string(text(m, self).toUpper());
    });
    m.addPrototypeMethod(b.string, QStringLiteral("toLowerCase"), [text](Machine& m, const Value& self, Args) {
        return Value::string(text(m, self).toLower());
    });
    m.addPrototypeMethod(b.string, QStringLiteral("concat"), [text](Machine& m, const Value& self, Args args) {
        QString s = text(m, self);
        for (const Value& v : args)
            s += m.toString(v);
        return Value::string(s);
    });
    m.addStatic(b.string, QStringLiteral("fromCharCode"), [](Machine& m, const Value&, Args args) {
        QString s;
        for (const Value& v : args)
            s += QChar(char16_t(toUint32(m.toNumber(v)) & 0xffff));
        return Value::string(s);
    });
}

void installNumbers(Machine& m)
{
    auto& b = m.builtins();
    auto numberClass = [&](const QString& name, std::function<double(double)> convert) {
        ClassObject* c = m.defineClass(QString(), name, b.object, InstanceKind::Boxed, {});
        c->sealed = true;
        c->callAsFunction = [convert](Machine& m, const Value&, Args args) {
            return Value::number(convert(args.empty() ? 0 : m.toNumber(args[0])));
        };
        m.addPrototypeMethod(c, QStringLiteral("toString"), [name](Machine& m, const Value& self, Args args) {
            Value v = unbox(self);
            if (!v.isNumber())
                m.throwError(ErrorClass::TypeError, 1004, QStringLiteral("Method %1.prototype.toString was invoked on an incompatible object.").arg(name));
            int radix = args.empty() || args[0].isUndefined() ? 10 : int(m.toNumber(args[0]));
            if (radix < 2 || radix > 36)
                m.throwError(ErrorClass::RangeError, 1003, QStringLiteral("The radix argument must be between 2 and 36; got %1.").arg(radix));
            return Value::string(numberToRadixString(v.d, radix));
        }, 1);
        m.addPrototypeMethod(c, QStringLiteral("toLocaleString"), [](Machine& m, const Value& self, Args) {
            return Value::string(numberToString(m.toNumber(unbox(self))));
        });
        m.addPrototypeMethod(c, QStringLiteral("valueOf"), [](Machine& m, const Value& self, Args) {
            return Value::number(m.toNumber(unbox(self)));
        });
        m.addPrototypeMethod(c, QStringLiteral("toFixed"), [](Machine& m, const Value& self, Args args) {
            double v = m.toNumber(unbox(self));
            double digits = args.empty() ? 0 : m.toNumber(args[0]);
            if (digits < 0 || digits > 20)
                m.throwError(ErrorClass::RangeError, 1002, QStringLiteral("Number.toPrecision has a range of 1 to 21. Number.toFixed and Number.toExponential have a range of 0 to 20. Specified value is not within expected range."));
            if (!std::isfinite(v))
                return Value::string(numberToString(v));
            return Value::string(fixedText(v, int(digits)));
        }, 1);
        // toExponential(f): one digit, the point, f digits (as many as the
        // number needs when f is not given) and the exponent without padding.
        m.addPrototypeMethod(c, QStringLiteral("toExponential"), [](Machine& m, const Value& self, Args args) {
            const double v = m.toNumber(unbox(self));
            const bool shortest = args.empty() || args[0].isUndefined();
            const double digits = shortest ? 0 : std::trunc(m.toNumber(args[0]));
            if (!(digits >= 0 && digits <= 20))
                m.throwError(ErrorClass::RangeError, 1002, QStringLiteral("Number.toPrecision has a range of 1 to 21. Number.toFixed and Number.toExponential have a range of 0 to 20. Specified value is not within expected range."));
            if (!std::isfinite(v))
                return Value::string(numberToString(v));
            return Value::string(exponentText(v, shortest ? QLocale::FloatingPointShortest : int(digits)));
        }, 1);
        // toPrecision(p): p significant digits, written with an exponent when
        // the number's own exponent is below -6 or not below p.
        m.addPrototypeMethod(c, QStringLiteral("toPrecision"), [](Machine& m, const Value& self, Args args) {
            const double v = m.toNumber(unbox(self));
            if (args.empty() || args[0].isUndefined())
                return Value::string(numberToString(v));
            const double precision = std::trunc(m.toNumber(args[0]));
            if (!(precision >= 1 && precision <= 21))
                m.throwError(ErrorClass::RangeError, 1002, QStringLiteral("Number.toPrecision has a range of 1 to 21. Number.toFixed and Number.toExponential have a range of 0 to 20. Specified value is not within expected range."));
            if (!std::isfinite(v))
                return Value::string(numberToString(v));
            const int p = int(precision);
            const QString e = QString::number(v, 'e', p - 1);
            // Zero is written as if its exponent were -1: "0.0" for one digit.
            const int exponent = v == 0 ? -1 : e.mid(e.indexOf(QLatin1Char('e')) + 1).toInt();
            if (exponent < -6 || exponent >= p)
                return Value::string(exponentText(v, p - 1));
            return Value::string(QString::number(v, 'f', p - 1 - exponent));
        }, 1);
        return c;
    };
    b.number = numberClass(QStringLiteral("Number"), [](double v) { return v; });
    b.intClass = numberClass(QStringLiteral("int"), [](double v) { return double(toInt32(v)); });
    b.uintClass = numberClass(QStringLiteral("uint"), [](double v) { return double(toUint32(v)); });
    m.addStaticConst(b.number, QStringLiteral("NaN"), Value::number(std::numeric_limits<double>::quiet_NaN()));
    m.addStaticConst(b.number, QStringLiteral("POSITIVE_INFINITY"), Value::number(INFINITY));
    m.addStaticConst(b.number, QStringLiteral("NEGATIVE_INFINITY"), Value::number(-INFINITY));
    m.addStaticConst(b.number, QStringLiteral("MAX_VALUE"), Value::number(std::numeric_limits<double>::max()));
    m.addStaticConst(b.number, QStringLiteral("MIN_VALUE"), Value::number(std::numeric_limits<double>::denorm_min()));
    m.addStaticConst(b.intClass, QStringLiteral("MAX_VALUE"), Value::number(2147483647.0));
    m.addStaticConst(b.intClass, QStringLiteral("MIN_VALUE"), Value::number(-2147483648.0));
    m.addStaticConst(b.uintClass, QStringLiteral("MAX_VALUE"), Value::number(4294967295.0));
    m.addStaticConst(b.uintClass, QStringLiteral("MIN_VALUE"), Value::number(0));

    b.boolean = m.defineClass(QString(), QStringLiteral("Boolean"), b.object, InstanceKind::Boxed, {});
    b.boolean->sealed = true;
    b.boolean->callAsFunction = [](Machine& m, const Value&, Args args) {
        return Value::boolean(!args.empty() && m.toBoolean(args[0]));
    };
    m.addPrototypeMethod(b.boolean, QStringLiteral("toString"), [](Machine& m, const Value& self, Args) {
        Value v = unbox(self);
        if (v.kind != Value::Kind::Boolean)
            m.throwError(ErrorClass::TypeError, 1004, QStringLiteral("Method Boolean.prototype.toString was invoked on an incompatible object."));
        return Value::string(v.b ? QStringLiteral("true") : QStringLiteral("false"));
    });
    m.addPrototypeMethod(b.boolean, QStringLiteral("valueOf"), [](Machine&, const Value& self, Args) { return unbox(self); });
}

void installMath(Machine& m)
{
    ClassObject* math = m.defineClass(QString(), QStringLiteral("Math"), m.builtins().object, InstanceKind::Plain, {});
    math->sealed = true;
    const std::pair<const char*, double> constants[] = { { "PI", M_PI }, { "E", M_E }, { "LN2", M_LN2 }, { "LN10", M_LN10 },
        { "LOG2E", M_LOG2E }, { "LOG10E", M_LOG10E }, { "SQRT2", M_SQRT2 }, { "SQRT1_2", M_SQRT1_2 } };
    for (const auto& [name, value] : constants)
        m.addStaticConst(math, QLatin1String(name), Value::number(value));
    using Unary = double (*)(double);
    const std::pair<const char*, Unary> unary[] = { { "abs", [](double x) { return std::fabs(x); } },
        { "floor", [](double x) { return std::floor(x); } }, { "ceil", [](double x) { return std::ceil(x); } },
        { "round", [](double x) { return std::floor(x + 0.5); } }, { "sqrt", [](double x) { return std::sqrt(x); } },
        { "sin", [](double x) { return std::sin(x); } }, { "cos", [](double x) { return std::cos(x); } },
        { "tan", [](double x) { return std::tan(x); } }, { "asin", [](double x) { return std::asin(x); } },
        { "acos", [](double x) { return std::acos(x); } }, { "atan", [](double x) { return std::atan(x); } },
        { "exp", [](double x) { return std::exp(x); } }, { "log", [](double x) { return std::log(x); } } };
    for (const auto& [name, fn] : unary) {
        Unary f = fn;
        m.addStatic(math, QLatin1String(name), [f](Machine& m, const Value&, Args args) {
            return Value::number(f(args.empty() ? std::numeric_limits<double>::quiet_NaN() : m.toNumber(args[0])));
        }, 1);
    }
    m.addStatic(math, QStringLiteral("atan2"), [](Machine& m, const Value&, Args args) {
        return Value::number(std::atan2(m.toNumber(arg(args, 0)), m.toNumber(arg(args, 1))));
    }, 2);
    m.addStatic(math, QStringLiteral("pow"), [](Machine& m, const Value&, Args args) {
        double x = m.toNumber(arg(args, 0)), y = m.toNumber(arg(args, 1));
        if (std::isnan(y) || ((x == 1 || x == -1) && std::isinf(y)))
            return Value::number(std::numeric_limits<double>::quiet_NaN());
        return Value::number(std::pow(x, y));
    }, 2);
    auto extreme = [](bool max) {
        return [max](Machine& m, const Value&, Args args) {
            double result = max ? -INFINITY : INFINITY;
            for (const Value& v : args) {
                double x = m.toNumber(v);
                if (std::isnan(x))
                    return Value::number(x);
                if (max ? (x > result || (x == 0 && result == 0 && !std::signbit(x))) : (x < result || (x == 0 && result == 0 && std::signbit(x))))
                    result = x;
            }
            return Value::number(result);
        };
    };
    m.addStatic(math, QStringLiteral("max"), extreme(true), 2);
    m.addStatic(math, QStringLiteral("min"), extreme(false), 2);
    m.addStatic(math, QStringLiteral("random"), [](Machine&, const Value&, Args) {
        return Value::number(QRandomGenerator::global()->generateDouble());
    });
}

} // namespace

void installPrimitiveClasses(Machine& m)
{
    installString(m);
    installNumbers(m);
    installMath(m);
}

} // namespace swf::avm2
