#include "swf/avm2/vm/Value.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace swf::avm2 {

QString numberToString(double n)
{
    if (std::isnan(n))
        return QStringLiteral("NaN");
    if (std::isinf(n))
        return n > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (n == 0)
        return QStringLiteral("0");
    // The shortest digits that read back as the same number, laid out the
    // way the language prints numbers: plain between 1e-6 and 1e21, else with an exponent.
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, std::fabs(n), std::chars_format::scientific);
    *result.ptr = '\0';
    char* e = std::strchr(buf, 'e');
    int exponent = std::atoi(e + 1);
    std::string digits;
    for (char* p = buf; p < e; ++p) {
        if (*p != '.')
            digits += *p;
    }
    const int k = int(digits.size());
    const int point = exponent + 1; // digits before the decimal point
    std::string out = n < 0 ? "-" : "";
    if (k <= point && point <= 21) {
        out += digits + std::string(std::size_t(point - k), '0');
    } else if (0 < point && point <= 21) {
        out += digits.substr(0, std::size_t(point)) + "." + digits.substr(std::size_t(point));
    } else if (-6 < point && point <= 0) {
        out += "0." + std::string(std::size_t(-point), '0') + digits;
    } else {
        out += digits.substr(0, 1);
        if (k > 1)
            out += "." + digits.substr(1);
        out += point - 1 >= 0 ? "e+" : "e-";
        out += std::to_string(std::abs(point - 1));
    }
    return QString::fromLatin1(out.c_str());
}

QString numberToRadixString(double n, int radix)
{
    if (radix == 10 || std::isnan(n) || std::isinf(n))
        return numberToString(n);
    bool negative = n < 0;
    double v = std::floor(std::fabs(n));
    QString out;
    do {
        int digit = int(std::fmod(v, radix));
        out.prepend(QLatin1Char("0123456789abcdefghijklmnopqrstuvwxyz"[digit]));
        v = std::floor(v / radix);
    } while (v > 0);
    if (negative)
        out.prepend(QLatin1Char('-'));
    return out;
}

double stringToNumber(const QString& text)
{
    QString s = text.trimmed();
    if (s.isEmpty())
        return 0;
    if (s.size() > 2 && s[0] == QLatin1Char('0') && (s[1] == QLatin1Char('x') || s[1] == QLatin1Char('X'))) {
        bool ok = false;
        qulonglong v = s.mid(2).toULongLong(&ok, 16);
        return ok ? double(v) : std::numeric_limits<double>::quiet_NaN();
    }
    QString body = s;
    bool negative = false;
    if (body.startsWith(QLatin1Char('-')) || body.startsWith(QLatin1Char('+'))) {
        negative = body[0] == QLatin1Char('-');
        body = body.mid(1);
    }
    if (body == QLatin1String("Infinity"))
        return negative ? -INFINITY : INFINITY;
    // Only digits, one point and an exponent: toDouble alone would take "inf" and "nan".
    for (QChar c : body) {
        if (!(c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char('e') || c == QLatin1Char('E') || c == QLatin1Char('-')
                || c == QLatin1Char('+')))
            return std::numeric_limits<double>::quiet_NaN();
    }
    bool ok = false;
    double v = body.toDouble(&ok);
    if (!ok)
        return std::numeric_limits<double>::quiet_NaN();
    return negative ? -v : v;
}

std::int32_t toInt32(double n)
{
    return std::int32_t(toUint32(n));
}

std::uint32_t toUint32(double n)
{
    if (!std::isfinite(n))
        return 0;
    double t = std::trunc(n);
    double m = std::fmod(t, 4294967296.0);
    if (m < 0)
        m += 4294967296.0;
    return std::uint32_t(m);
}

bool isInteger(double n)
{
    return n == std::trunc(n) && n >= -2147483648.0 && n <= 2147483647.0;
}

bool primitiveToBoolean(const Value& v)
{
    switch (v.kind) {
    case Value::Kind::Undefined:
    case Value::Kind::Null:
        return false;
    case Value::Kind::Boolean:
        return v.b;
    case Value::Kind::Number:
        return v.d != 0 && !std::isnan(v.d);
    case Value::Kind::String:
        return !v.s.isEmpty();
    case Value::Kind::Object:
        return true;
    }
    return false;
}

} // namespace swf::avm2
