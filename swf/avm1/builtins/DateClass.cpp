// Date: a time value in milliseconds since 1970 (UTC), shown in local time.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

#include <QDateTime>

#include <cmath>
#include <limits>

namespace swf::avm1 {

namespace {

constexpr double MsPerDay = 86400000.0;
const double NaN = std::numeric_limits<double>::quiet_NaN();

double day(double t) { return std::floor(t / MsPerDay); }
double daysInYear(double y) { return (std::fmod(y, 4) != 0) ? 365 : (std::fmod(y, 100) != 0) ? 366 : (std::fmod(y, 400) != 0) ? 365 : 366; }
double dayFromYear(double y) { return 365 * (y - 1970) + std::floor((y - 1969) / 4) - std::floor((y - 1901) / 100) + std::floor((y - 1601) / 400); }
double yearFromTime(double t)
{
    double y = std::floor(t / (MsPerDay * 365.2425)) + 1970;
    while (dayFromYear(y) * MsPerDay > t) --y;
    while (dayFromYear(y + 1) * MsPerDay <= t) ++y;
    return y;
}
bool leap(double y) { return daysInYear(y) == 366; }
int monthStart(int m, bool isLeap)
{
    static const int starts[] = { 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365 };
    return starts[m] + (m >= 2 && isLeap ? 1 : 0);
}

struct Parts {
    double year, month, date, hours, minutes, seconds, ms, weekday;
};

Parts splitInRange(double t)
{
    Parts p;
    p.year = yearFromTime(t);
    double dayInYear = day(t) - dayFromYear(p.year);
    bool l = leap(p.year);
    int m = 0;
    while (m < 11 && dayInYear >= monthStart(m + 1, l))
        ++m;
    p.month = m;
    p.date = dayInYear - monthStart(m, l) + 1;
    double msInDay = t - day(t) * MsPerDay;
    p.hours = std::floor(msInDay / 3600000);
    p.minutes = std::fmod(std::floor(msInDay / 60000), 60);
    p.seconds = std::fmod(std::floor(msInDay / 1000), 60);
    p.ms = std::fmod(msInDay, 1000);
    p.weekday = std::fmod(day(t) + 4, 7);
    if (p.weekday < 0)
        p.weekday += 7;
    return p;
}

Parts split(double t)
{
    // A time the constructor kept beyond the valid range is split within one
    // 400-year cycle of the calendar (which repeats, weekdays too), the years
    // added back; the time of day comes from the full value.
    if (std::fabs(t) <= 8.64e15)
        return splitInRange(t);
    double msInDay = std::fmod(t, MsPerDay);
    if (msInDay < 0)
        msInDay += MsPerDay;
    const double days = std::round((t - msInDay) / MsPerDay);
    const double cycles = std::floor(days / 146097);
    double dayInCycle = days - cycles * 146097;
    if (!(dayInCycle >= 0 && dayInCycle < 146097))
        dayInCycle = 0;
    Parts p = splitInRange(dayInCycle * MsPerDay + msInDay);
    p.year += cycles * 400;
    return p;
}

double makeTime(double year, double month, double date, double h, double min, double s, double ms)
{
    for (double v : { year, month, date, h, min, s, ms })
        if (!std::isfinite(v))
            return NaN;
    double y = year + std::floor(month / 12);
    double m = std::fmod(month, 12);
    if (m < 0)
        m += 12;
    double days = dayFromYear(y) + monthStart(int(m), leap(y)) + date - 1;
    return days * MsPerDay + h * 3600000 + min * 60000 + s * 1000 + ms;
}

// Time values beyond 100 million days either side of 1970 are invalid;
// fractions of a millisecond are cut off toward zero.
double timeClip(double t)
{
    return std::isfinite(t) && std::fabs(t) <= 8.64e15 ? std::trunc(t) + 0.0 : NaN;
}

double localOffset(double utc)
{
    if (!(std::fabs(utc) <= 8.64e15))
        return 0;
    return QDateTime::fromMSecsSinceEpoch(qint64(utc)).offsetFromUtc() * 1000.0;
}

double timeOf(const CallArgs& a)
{
    Object* o = a.thisObject();
    return o && o->kind() == Object::Kind::Date ? o->primitive.asNumber() : NaN;
}

} // namespace

// Getters: one field of the time split in local time or UTC, plus an offset
// (getYear counts from 1900).
template<bool Utc, double Parts::*Field, int Offset = 0>
Value dateGet(Interpreter&, CallArgs& a)
{
    double t = timeOf(a);
    if (std::isnan(t))
        return Value(NaN);
    // An infinite time reads as the epoch.
    if (std::isinf(t))
        t = 0;
    Parts p = split(Utc ? t : t + localOffset(t));
    return Value(p.*Field + Offset);
}

// Setters: field index into (year, month, date, hours, minutes, seconds, ms);
// later arguments fill the following fields, as setHours(h, m, s, ms) does.
template<bool Utc, int First, int MaxArgs>
Value dateSet(Interpreter& vm, CallArgs& a)
{
    Object* o = a.thisObject();
    if (!o || o->kind() != Object::Kind::Date)
        return Value();
    double t = o->primitive.asNumber();
    if (std::isnan(t))
        t = 0;
    double local = Utc ? t : t + localOffset(t);
    Parts p = split(local);
    double f[7] = { p.year, p.month, p.date, p.hours, p.minutes, p.seconds, p.ms };
    for (int i = 0; i < MaxArgs && size_t(i) < a.args.size(); ++i)
        f[First + i] = vm.toNumber(a.args[size_t(i)]);
    double nt = makeTime(f[0], f[1], f[2], f[3], f[4], f[5], f[6]);
    if (!Utc)
        nt -= localOffset(nt);
    nt = timeClip(nt);
    o->primitive = Value(nt);
    return Value(nt);
}

static Value dateConstructor(Interpreter& vm, CallArgs& a)
{
    Object* o = vm.make<Object>(Object::Kind::Date, vm.realm().datePrototype, vm.caseSensitive());
    double t;
    if (a.args.empty()) {
        t = double(QDateTime::currentMSecsSinceEpoch());
    } else if (a.args.size() == 1) {
        // One number is kept as it is, out of range or infinite.
        t = vm.toNumber(a.arg(0));
    } else {
        double f[7] = { 0, 0, 1, 0, 0, 0, 0 };
        for (size_t i = 0; i < 7 && i < a.args.size(); ++i)
            f[i] = vm.toNumber(a.args[i]);
        if (f[0] >= 0 && f[0] <= 99)
            f[0] += 1900;
        double local = makeTime(f[0], f[1], f[2], f[3], f[4], f[5], f[6]);
        t = local - localOffset(local);
    }
    o->primitive = Value(a.args.size() == 1 ? t : timeClip(t));
    if (a.constructing && a.thisObject()) {
        // Keep the prototype the constructor chose (subclasses of Date).
        o->setProto(a.thisObject()->proto());
    }
    return Value(o);
}

static Value dateUTC(Interpreter& vm, CallArgs& a)
{
    // A year alone is not enough: a month must come with it.
    if (a.args.size() < 2)
        return Value();
    double f[7] = { NaN, 0, 1, 0, 0, 0, 0 };
    for (size_t i = 0; i < 7 && i < a.args.size(); ++i)
        f[i] = vm.toNumber(a.args[i]);
    // Any year below 100 counts from 1900, a negative one too.
    if (f[0] < 100)
        f[0] += 1900;
    // The time is not clipped to the range a Date holds.
    return Value(makeTime(f[0], f[1], f[2], f[3], f[4], f[5], f[6]));
}

static Value dateGetTime(Interpreter&, CallArgs& a)
{
    return Value(timeOf(a));
}

static Value dateValueOf(Interpreter&, CallArgs& a)
{
    return Value(timeOf(a));
}

static Value dateGetTimezoneOffset(Interpreter&, CallArgs& a)
{
    return Value(-localOffset(timeOf(a)) / 60000);
}

static Value dateSetTime(Interpreter& vm, CallArgs& a)
{
    Object* o = a.thisObject();
    if (!o || o->kind() != Object::Kind::Date)
        return Value();
    // No time at all is no number, in every version (elsewhere version 6
    // and older count undefined as 0).
    o->primitive = Value(a.arg(0).isUndefined() ? NaN : timeClip(vm.toNumber(a.arg(0))));
    return o->primitive;
}

static Value dateSetYear(Interpreter& vm, CallArgs& a)
{
    Object* o = a.thisObject();
    if (!o || o->kind() != Object::Kind::Date)
        return Value();
    double y = vm.toNumber(a.arg(0));
    if (y >= 0 && y <= 99)
        y += 1900;
    double t = o->primitive.asNumber();
    double local = std::isnan(t) ? 0 : t + localOffset(t);
    Parts p = split(local);
    double nt = makeTime(y, p.month, p.date, p.hours, p.minutes, p.seconds, p.ms);
    nt = timeClip(nt - localOffset(nt));
    o->primitive = Value(nt);
    return Value(nt);
}

static Value dateToString(Interpreter&, CallArgs& a)
{
    double t = timeOf(a);
    if (std::isnan(t))
        return Value(QStringLiteral("Invalid Date"));
    if (std::isinf(t))
        t = 0;
    double off = localOffset(t);
    Parts p = split(t + off);
    static const char* days[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
    static const char* months[] = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    int offMin = int(off / 60000);
    QChar sign = offMin < 0 ? QLatin1Char('-') : QLatin1Char('+');
    offMin = std::abs(offMin);
    return Value(QStringLiteral("%1 %2 %3 %4:%5:%6 GMT%7%8%9 %10")
                     .arg(QLatin1String(days[int(p.weekday)]), QLatin1String(months[int(p.month)]))
                     .arg(int(p.date))
                     .arg(int(p.hours), 2, 10, QLatin1Char('0'))
                     .arg(int(p.minutes), 2, 10, QLatin1Char('0'))
                     .arg(int(p.seconds), 2, 10, QLatin1Char('0'))
                     .arg(sign)
                     .arg(offMin / 60, 2, 10, QLatin1Char('0'))
                     .arg(offMin % 60, 2, 10, QLatin1Char('0'))
                     .arg(p.year, 0, 'f', 0));
}

const NativeMethod dateStaticMethods[] = {
    { "UTC", dateUTC },
};

const NativeMethod dateMethods[] = {
    { "getFullYear", dateGet<false, &Parts::year> },
    { "getYear", dateGet<false, &Parts::year, -1900> },
    { "getMonth", dateGet<false, &Parts::month> },
    { "getDate", dateGet<false, &Parts::date> },
    { "getDay", dateGet<false, &Parts::weekday> },
    { "getHours", dateGet<false, &Parts::hours> },
    { "getMinutes", dateGet<false, &Parts::minutes> },
    { "getSeconds", dateGet<false, &Parts::seconds> },
    { "getMilliseconds", dateGet<false, &Parts::ms> },
    { "getUTCFullYear", dateGet<true, &Parts::year> },
    { "getUTCMonth", dateGet<true, &Parts::month> },
    { "getUTCDate", dateGet<true, &Parts::date> },
    { "getUTCDay", dateGet<true, &Parts::weekday> },
    { "getUTCHours", dateGet<true, &Parts::hours> },
    { "getUTCMinutes", dateGet<true, &Parts::minutes> },
    { "getUTCSeconds", dateGet<true, &Parts::seconds> },
    { "getUTCMilliseconds", dateGet<true, &Parts::ms> },
    { "getUTCYear", dateGet<true, &Parts::year, -1900> },
    { "getTime", dateGetTime },
    { "valueOf", dateValueOf },
    { "getTimezoneOffset", dateGetTimezoneOffset },
    { "setTime", dateSetTime },
    { "setFullYear", dateSet<false, 0, 3> },
    { "setMonth", dateSet<false, 1, 2> },
    { "setDate", dateSet<false, 2, 1> },
    { "setHours", dateSet<false, 3, 4> },
    { "setMinutes", dateSet<false, 4, 3> },
    { "setSeconds", dateSet<false, 5, 2> },
    { "setMilliseconds", dateSet<false, 6, 1> },
    { "setUTCFullYear", dateSet<true, 0, 3> },
    { "setUTCMonth", dateSet<true, 1, 2> },
    { "setUTCDate", dateSet<true, 2, 1> },
    { "setUTCHours", dateSet<true, 3, 4> },
    { "setUTCMinutes", dateSet<true, 4, 3> },
    { "setUTCSeconds", dateSet<true, 5, 2> },
    { "setUTCMilliseconds", dateSet<true, 6, 1> },
    { "setYear", dateSetYear },
    { "toString", dateToString },
};

void Builtins::installDate(Interpreter& vm)
{
    Object* dp = vm.newObject();
    vm.setRealmSlot(&Realm::datePrototype, dp);
    auto* ctor = vm.newConstructor(QStringLiteral("Date"), dateConstructor, dp);
    vm.global()->define(QStringLiteral("Date"), Value(static_cast<Object*>(ctor)), DontEnum);
    vm.defineMethods(ctor, dateStaticMethods);

    vm.defineMethods(dp, dateMethods);
}

} // namespace swf::avm1
