#include "swf/avm1/vm/Value.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace swf::avm1 {

QString numberToString(double n)
{
    if (std::isnan(n))
        return QStringLiteral("NaN");
    if (std::isinf(n))
        return n > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (n == 0)
        return QStringLiteral("0");
    if (n == std::trunc(n) && std::fabs(n) < 1e15) {
        // Whole numbers (counters, indices, names made of them) are most of
        // what scripts print: digits straight from the integer.
        return QString::number(qint64(n));
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", n);
    // %g writes "1e-05" / "1e+15"; the player writes "1e-5" / "1e+15".
    char* e = std::strchr(buf, 'e');
    if (e) {
        char* digits = e + 2;
        char* p = digits;
        while (*p == '0' && p[1] != '\0')
            ++p;
        if (p != digits)
            std::memmove(digits, p, std::strlen(p) + 1);
    }
    return QString::fromLatin1(buf);
}

QString numberToRadixString(double n, int radix)
{
    if (radix == 10 || radix < 2 || radix > 36)
        return numberToString(n);
    if (std::isnan(n) || std::isinf(n))
        return numberToString(n);
    // The player converts through a signed 32-bit integer for other bases.
    int64_t v = toInt32(n);
    bool negative = v < 0;
    uint64_t u = negative ? uint64_t(-v) : uint64_t(v);
    QString out;
    do {
        int d = int(u % unsigned(radix));
        out.prepend(QChar(d < 10 ? '0' + d : 'a' + d - 10));
        u /= unsigned(radix);
    } while (u);
    if (negative)
        out.prepend(QLatin1Char('-'));
    return out;
}

static bool isSpace(QChar c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

double stringToNumber(const QString& s, int version)
{
    // The player's rules: leading white space of any kind, nothing after
    // the number; from version 6, "0x" hex and, without leading space, "0"
    // octal, both wrapped to signed 32 bits; no "Infinity"; empty gives NaN.
    // Hex takes a sign after the prefix ("0x-2" is -2).
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const bool radixPrefixes = version >= 6;
    int i = 0;
    int end = s.size();
    while (i < end && isSpace(s[i]))
        ++i;
    if (i == end)
        return nan;
    QStringView v = QStringView(s).mid(i, end - i);
    const bool leadingSpace = i > 0;
    if (radixPrefixes && !leadingSpace && v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        int k = 2;
        bool negative = false;
        if (v[k] == '-' || v[k] == '+')
            negative = v[k++] == '-';
        uint32_t acc = 0;
        int digits = 0;
        for (; k < v.size(); ++k, ++digits) {
            int d;
            QChar c = v[k];
            if (c >= '0' && c <= '9') d = c.unicode() - '0';
            else if (c >= 'a' && c <= 'f') d = c.unicode() - 'a' + 10;
            else if (c >= 'A' && c <= 'F') d = c.unicode() - 'A' + 10;
            else return nan;
            acc = acc * 16 + uint32_t(d);
        }
        if (!digits)
            return nan;
        const double r = double(int32_t(acc));
        return negative ? -r : r;
    }
    int k = 0;
    bool negative = false;
    if (v[k] == '+' || v[k] == '-') {
        negative = v[k] == '-';
        ++k;
    }
    QStringView rest = v.mid(k);
    if (radixPrefixes && !leadingSpace && rest.size() > 1 && rest[0] == '0') {
        bool octal = true;
        uint32_t acc = 0;
        for (QChar c : rest) {
            if (c < '0' || c > '7') {
                octal = false;
                break;
            }
            acc = acc * 8 + uint32_t(c.unicode() - '0');
        }
        if (octal) {
            double r = double(int32_t(acc));
            return negative ? -r : r;
        }
    }
    // Validate the decimal literal: digits, optional fraction, optional exponent.
    int p = 0;
    int digits = 0;
    while (p < rest.size() && rest[p].unicode() >= '0' && rest[p].unicode() <= '9') { ++p; ++digits; }
    if (p < rest.size() && rest[p] == '.') {
        ++p;
        while (p < rest.size() && rest[p].unicode() >= '0' && rest[p].unicode() <= '9') { ++p; ++digits; }
    }
    if (digits == 0)
        return nan;
    if (p < rest.size() && (rest[p] == 'e' || rest[p] == 'E')) {
        int q = p + 1;
        if (q < rest.size() && (rest[q] == '+' || rest[q] == '-'))
            ++q;
        int expDigits = 0;
        while (q < rest.size() && rest[q].unicode() >= '0' && rest[q].unicode() <= '9') { ++q; ++expDigits; }
        if (expDigits == 0)
            return nan;
        p = q;
    }
    if (p != rest.size())
        return nan;
    QByteArray latin = rest.toLatin1();
    double r = std::strtod(latin.constData(), nullptr);
    return negative ? -r : r;
}

int32_t toInt32(double n)
{
    if (std::isnan(n) || std::isinf(n))
        return 0;
    double t = std::trunc(n);
    double m = std::fmod(t, 4294967296.0);
    if (m < 0)
        m += 4294967296.0;
    return int32_t(uint32_t(m));
}

uint32_t toUint32(double n)
{
    return uint32_t(toInt32(n));
}

double toIntegerValue(double n)
{
    if (std::isnan(n))
        return 0;
    return std::trunc(n);
}

int clampToInt(double n)
{
    if (std::isnan(n))
        return 0;
    if (n >= 2147483647.0)
        return 2147483647;
    if (n <= -2147483648.0)
        return -2147483647 - 1;
    return int(n);
}

} // namespace swf::avm1
