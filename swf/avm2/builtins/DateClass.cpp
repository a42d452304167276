// Date: a time value in milliseconds since 1970 (UTC), read and set through
// local or UTC fields, parsed from the text forms the player accepts and
// printed as the player prints it ("Tue Feb 1 00:00:00 GMT+0000 2005").

#include "swf/avm2/vm/Machine.h"

#include <QDateTime>
#include <QTimeZone>

#include <cmath>

namespace swf::avm2 {

namespace {

constexpr double MsPerDay = 86400000.0;
const char* const Days[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
const char* const Months[] = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

double day(double t) { return std::floor(t / MsPerDay); }
double timeWithinDay(double t) { double r = std::fmod(t, MsPerDay); return r < 0 ? r + MsPerDay : r; }
double daysInYear(double y) { return (std::fmod(y, 4) != 0) ? 365 : (std::fmod(y, 100) != 0) ? 366 : (std::fmod(y, 400) != 0) ? 365 : 366; }
double dayFromYear(double y) { return 365 * (y - 1970) + std::floor((y - 1969) / 4) - std::floor((y - 1901) / 100) + std::floor((y - 1601) / 400); }
double yearFromTime(double t)
{
    double y = std::floor(t / (MsPerDay * 365.2425)) + 1970;
    while (dayFromYear(y) * MsPerDay > t)
        --y;
    while (dayFromYear(y + 1) * MsPerDay <= t)
        ++y;
    return y;
}
bool leap(double y) { return daysInYear(y) == 366; }
int monthStart(int m, bool isLeap)
{
    static const int starts[] = { 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365 };
    return starts[m] + (m >= 2 && isLeap ? 1 : 0);
}
double monthFromTime(double t)
{
    const double y = yearFromTime(t);
    const double d = day(t) - dayFromYear(y);
    for (int m = 0; m < 12; ++m) {
        if (d < monthStart(m + 1, leap(y)))
            return m;
    }
    return 11;
}
double dateFromTime(double t)
{
    const double y = yearFromTime(t);
    return day(t) - dayFromYear(y) - monthStart(int(monthFromTime(t)), leap(y)) + 1;
}
double weekDay(double t) { double r = std::fmod(day(t) + 4, 7); return r < 0 ? r + 7 : r; }
double makeTime(double h, double m, double s, double ms) { return h * 3600000 + m * 60000 + s * 1000 + ms; }
double makeDay(double year, double month, double date)
{
    if (!std::isfinite(year) || !std::isfinite(month) || !std::isfinite(date))
        return NAN;
    const double y = year + std::floor(month / 12);
    const double mn = std::fmod(month, 12) < 0 ? std::fmod(month, 12) + 12 : std::fmod(month, 12);
    return dayFromYear(std::trunc(y)) + monthStart(int(mn), leap(std::trunc(y))) + date - 1;
}
double makeDate(double dayValue, double time) { return dayValue * MsPerDay + time; }
double timeClip(double t)
{
    if (!std::isfinite(t) || std::fabs(t) > 8.64e15)
        return NAN;
    return std::trunc(t) + 0.0;
}

double localOffset(double utc)
{
    if (!std::isfinite(utc))
        return 0;
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(qint64(utc), QTimeZone::utc());
    return double(QTimeZone::systemTimeZone().offsetFromUtc(at)) * 1000.0;
}
double toLocal(double t) { return t + localOffset(t); }
double toUtc(double local) { return local - localOffset(local - localOffset(local)); }

double& timeOf(Machine& m, const Value& self)
{
    Object* o = self.object();
    if (!o || o->classObject() != m.builtins().date || !o->host)
        m.throwError(ErrorClass::TypeError, 1034, QStringLiteral("Type Coercion failed: cannot convert %1 to Date.").arg(m.typeName(self)));
    return *static_cast<double*>(o->host.get());
}

QString two(double v) { return QString::number(int(v)).rightJustified(2, QLatin1Char('0')); }

QString offsetText(double offsetMs)
{
    const int minutes = int(std::lround(offsetMs / 60000));
    const int a = std::abs(minutes);
    return QStringLiteral("GMT%1%2%3").arg(minutes < 0 ? QLatin1Char('-') : QLatin1Char('+')).arg(two(a / 60)).arg(two(a % 60));
}

QString dateText(double t, bool date, bool time)
{
    if (std::isnan(t))
        return QStringLiteral("Invalid Date");
    const double l = toLocal(t);
    QString days = QStringLiteral("%1 %2 %3").arg(QLatin1String(Days[int(weekDay(l))]), QLatin1String(Months[int(monthFromTime(l))])).arg(int(dateFromTime(l)));
    const double within = timeWithinDay(l);
    QString clock = QStringLiteral("%1:%2:%3").arg(two(std::floor(within / 3600000)), two(std::fmod(std::floor(within / 60000), 60)), two(std::fmod(std::floor(within / 1000), 60)));
    const QString year = QString::number(qint64(yearFromTime(l)));
    if (date && time)
        return days + QLatin1Char(' ') + clock + QLatin1Char(' ') + offsetText(l - t) + QLatin1Char(' ') + year;
    if (date)
        return days + QLatin1Char(' ') + year;
    return clock + QLatin1Char(' ') + offsetText(l - t);
}

// The loose text forms: weekday and month names, "hh:mm:ss", "GMT+hhmm",
// "m/d/y" or "Mon/d/y", and bare numbers for the day and year.
double parseDate(const QString& text)
{
    double year = NAN, month = NAN, date = NAN, h = 0, mi = 0, s = 0;
    double offset = NAN;
    const QString src = text.trimmed();
    qsizetype i = 0;
    auto isDigit = [&](qsizetype at) { return at < src.size() && src[at].isDigit(); };
    auto number = [&](qsizetype& at) {
        double v = 0;
        while (isDigit(at))
            v = v * 10 + (src[at++].unicode() - '0');
        return v;
    };
    while (i < src.size()) {
        const QChar c = src[i];
        if (c.isSpace() || c == QLatin1Char(',')) {
            ++i;
            continue;
        }
        if (c.isLetter()) {
            qsizetype end = i;
            while (end < src.size() && src[end].isLetter())
                ++end;
            const QString word = src.mid(i, end - i).toLower();
            i = end;
            if (word == QLatin1String("gmt") || word == QLatin1String("utc") || word == QLatin1String("z")) {
                offset = 0;
                if (i < src.size() && (src[i] == QLatin1Char('+') || src[i] == QLatin1Char('-'))) {
                    const double sign = src[i] == QLatin1Char('-') ? -1 : 1;
                    ++i;
                    const qsizetype start = i;
                    const double v = number(i);
                    const double hhmm = i - start <= 2 ? v * 100 : v;
                    offset = sign * (std::floor(hhmm / 100) * 60 + std::fmod(hhmm, 100)) * 60000;
                }
                continue;
            }
            bool known = false;
            for (int k = 0; k < 12; ++k) {
                if (word.startsWith(QString::fromLatin1(Months[k]).toLower()) && word.size() >= 3) {
                    month = k;
                    known = true;
                }
            }
            for (int k = 0; k < 7 && !known; ++k)
                known = word.startsWith(QString::fromLatin1(Days[k]).toLower()) && word.size() >= 3;
            if (!known && word != QLatin1String("am") && word != QLatin1String("pm"))
                return NAN;
            if (word == QLatin1String("pm") && h < 12)
                h += 12;
            if (word == QLatin1String("am") && h == 12)
                h = 0;
            if (i < src.size() && src[i] == QLatin1Char('/'))
                ++i;
            continue;
        }
        if (c.isDigit()) {
            const double v = number(i);
            if (i < src.size() && src[i] == QLatin1Char(':')) {
                h = v;
                ++i;
                mi = number(i);
                if (i < src.size() && src[i] == QLatin1Char(':')) {
                    ++i;
                    s = number(i);
                }
                continue;
            }
            if (i < src.size() && src[i] == QLatin1Char('/')) {
                // m/d/y, or d/y after a month name.
                ++i;
                const double second = number(i);
                if (i < src.size() && src[i] == QLatin1Char('/')) {
                    ++i;
                    month = v - 1;
                    date = second;
                    year = number(i);
                } else if (!std::isnan(month)) {
                    date = v;
                    year = second;
                } else {
                    return NAN;
                }
                continue;
            }
            if (std::isnan(date) && v <= 31 && !std::isnan(month))
                date = v;
            else if (std::isnan(year))
                year = v < 100 ? v + 1900 : v;
            else if (std::isnan(date) && v <= 31)
                date = v;
            else
                return NAN;
            continue;
        }
        if (c == QLatin1Char('+') || c == QLatin1Char('-')) {
            const double sign = c == QLatin1Char('-') ? -1 : 1;
            ++i;
            const double hhmm = number(i);
            offset = sign * (std::floor(hhmm / 100) * 60 + std::fmod(hhmm, 100)) * 60000;
            continue;
        }
        return NAN;
    }
    if (std::isnan(year) || std::isnan(month) || std::isnan(date))
        return NAN;
    const double local = makeDate(makeDay(year, month, date), makeTime(h, mi, s, 0));
    return timeClip(std::isnan(offset) ? toUtc(local) : local - offset);
}

double fromFields(Machine& m, Args args)
{
    double f[7] = { NAN, 0, 1, 0, 0, 0, 0 };
    for (std::size_t i = 0; i < 7 && i < args.size(); ++i)
        f[i] = m.toNumber(args[i]);
    if (std::isfinite(f[0]) && std::trunc(f[0]) >= 0 && std::trunc(f[0]) <= 99)
        f[0] = 1900 + std::trunc(f[0]);
    return makeDate(makeDay(f[0], f[1], f[2]), makeTime(f[3], f[4], f[5], f[6]));
}

// The fields a getter reads and a setter writes: year, month, date, hours, minutes, seconds, milliseconds.
enum Field { Year, Month, Date, Hours, Minutes, Seconds, Millis, Day };

double getField(double t, Field f)
{
    if (std::isnan(t))
        return NAN;
    switch (f) {
    case Year: return yearFromTime(t);
    case Month: return monthFromTime(t);
    case Date: return dateFromTime(t);
    case Hours: return std::floor(timeWithinDay(t) / 3600000);
    case Minutes: return std::fmod(std::floor(timeWithinDay(t) / 60000), 60);
    case Seconds: return std::fmod(std::floor(timeWithinDay(t) / 1000), 60);
    case Millis: return std::fmod(timeWithinDay(t), 1000);
    case Day: return weekDay(t);
    }
    return NAN;
}

// setX(a, b, ...) replaces field `first` and the ones after it, as many as are given (up to `count`).
double setFields(Machine& m, double t, Field first, int count, Args args, bool utc)
{
    double local = utc ? t : toLocal(t);
    if (std::isnan(local)) {
        if (first != Year)
            return NAN;
        local = 0;
    }
    double f[7];
    for (int k = 0; k < 7; ++k)
        f[k] = getField(local, Field(k));
    if (args.empty())
        return NAN;
    for (int k = 0; k < count && std::size_t(k) < args.size(); ++k)
        f[first + k] = m.toNumber(args[std::size_t(k)]);
    const double made = makeDate(makeDay(f[0], f[1], f[2]), makeTime(f[3], f[4], f[5], f[6]));
    return timeClip(utc ? made : toUtc(made));
}

void addField(Machine& m, ClassObject* cls, const char* name, Field field, int count, bool utc)
{
    const QString getter = QStringLiteral("get%1%2").arg(utc ? QStringLiteral("UTC") : QString(), QLatin1String(name));
    m.addPrototypeMethod(cls, getter, [field, utc](Machine& m, const Value& self, Args) {
        const double t = timeOf(m, self);
        return Value::number(getField(utc ? t : toLocal(t), field));
    });
    if (field == Day)
        return;
    const QString setter = QStringLiteral("set%1%2").arg(utc ? QStringLiteral("UTC") : QString(), QLatin1String(name));
    NativeFn set = [field, count, utc](Machine& m, const Value& self, Args args) {
        double& t = timeOf(m, self);
        t = setFields(m, t, field, count, args, utc);
        return Value::number(t);
    };
    m.addPrototypeMethod(cls, setter, set, count);
    // The property form: date.fullYear, date.monthUTC, ...
    QString property = QLatin1String(name);
    property[0] = property[0].toLower();
    m.addGetter(cls, utc ? property + QStringLiteral("UTC") : property,
        [field, utc](Machine& m, const Value& self, Args) {
            const double t = timeOf(m, self);
            return Value::number(getField(utc ? t : toLocal(t), field));
        },
        [field, utc](Machine& m, const Value& self, Args args) {
            double& t = timeOf(m, self);
            t = setFields(m, t, field, 1, args.first(std::min<std::size_t>(args.size(), 1)), utc);
            return Value::undefined();
        });
}

} // namespace

void installDateClass(Machine& m)
{
    auto& b = m.builtins();
    ClassObject* cls = m.defineClass(QString(), QStringLiteral("Date"), b.object, InstanceKind::Plain,
        [](Machine& m, const Value& self, Args args) {
            double t;
            if (args.empty()) {
                t = double(QDateTime::currentMSecsSinceEpoch());
            } else if (args.size() == 1) {
                Value v = args[0];
                Object* o = v.object();
                if (o && o->classObject() == m.builtins().date && o->host)
                    t = *static_cast<double*>(o->host.get());
                else {
                    v = m.toPrimitive(v, false);
                    t = v.isString() ? parseDate(v.s) : timeClip(m.toNumber(v));
                }
            } else {
                t = timeClip(toUtc(fromFields(m, args)));
            }
            self.o->host = std::make_shared<double>(t);
            return Value::undefined();
        });
    b.date = cls;
    cls->sealed = false;
    cls->callAsFunction = [](Machine&, const Value&, Args) {
        return Value::string(dateText(double(QDateTime::currentMSecsSinceEpoch()), true, true));
    };
    addField(m, cls, "FullYear", Year, 3, false);
    addField(m, cls, "Month", Month, 2, false);
    addField(m, cls, "Date", Date, 1, false);
    addField(m, cls, "Hours", Hours, 4, false);
    addField(m, cls, "Minutes", Minutes, 3, false);
    addField(m, cls, "Seconds", Seconds, 2, false);
    addField(m, cls, "Milliseconds", Millis, 1, false);
    addField(m, cls, "Day", Day, 0, false);
    addField(m, cls, "FullYear", Year, 3, true);
    addField(m, cls, "Month", Month, 2, true);
    addField(m, cls, "Date", Date, 1, true);
    addField(m, cls, "Hours", Hours, 4, true);
    addField(m, cls, "Minutes", Minutes, 3, true);
    addField(m, cls, "Seconds", Seconds, 2, true);
    addField(m, cls, "Milliseconds", Millis, 1, true);
    addField(m, cls, "Day", Day, 0, true);
    auto proto = [&](const char* name, NativeFn fn, int length = 0) { m.addPrototypeMethod(cls, QLatin1String(name), std::move(fn), length); };
    proto("getTime", [](Machine& m, const Value& self, Args) { return Value::number(timeOf(m, self)); });
    proto("valueOf", [](Machine& m, const Value& self, Args) { return Value::number(timeOf(m, self)); });
    proto("setTime", [](Machine& m, const Value& self, Args args) {
        double& t = timeOf(m, self);
        t = timeClip(m.toNumber(arg(args, 0)));
        return Value::number(t);
    }, 1);
    proto("getTimezoneOffset", [](Machine& m, const Value& self, Args) {
        const double t = timeOf(m, self);
        return Value::number(std::isnan(t) ? NAN : -localOffset(t) / 60000);
    });
    proto("toString", [](Machine& m, const Value& self, Args) { return Value::string(dateText(timeOf(m, self), true, true)); });
    proto("toLocaleString", [](Machine& m, const Value& self, Args) { return Value::string(dateText(timeOf(m, self), true, true)); });
    proto("toDateString", [](Machine& m, const Value& self, Args) { return Value::string(dateText(timeOf(m, self), true, false)); });
    proto("toTimeString", [](Machine& m, const Value& self, Args) { return Value::string(dateText(timeOf(m, self), false, true)); });
    proto("toUTCString", [](Machine& m, const Value& self, Args) {
        const double t = timeOf(m, self);
        if (std::isnan(t))
            return Value::string(QStringLiteral("Invalid Date"));
        const double within = timeWithinDay(t);
        return Value::string(QStringLiteral("%1 %2 %3 %4:%5:%6 %7 UTC").arg(QLatin1String(Days[int(weekDay(t))]), QLatin1String(Months[int(monthFromTime(t))]))
                .arg(int(dateFromTime(t)))
                .arg(two(std::floor(within / 3600000)), two(std::fmod(std::floor(within / 60000), 60)), two(std::fmod(std::floor(within / 1000), 60)))
                .arg(qint64(yearFromTime(t))));
    });
    m.addGetter(cls, QStringLiteral("time"), [](Machine& m, const Value& self, Args) { return Value::number(timeOf(m, self)); },
        [](Machine& m, const Value& self, Args args) {
            timeOf(m, self) = timeClip(m.toNumber(arg(args, 0)));
            return Value::undefined();
        });
    m.addGetter(cls, QStringLiteral("timezoneOffset"), [](Machine& m, const Value& self, Args) {
        const double t = timeOf(m, self);
        return Value::number(std::isnan(t) ? NAN : -localOffset(t) / 60000);
    });
    m.addStatic(cls, QStringLiteral("parse"), [](Machine& m, const Value&, Args args) { return Value::number(parseDate(m.toString(arg(args, 0)))); }, 1);
    m.addStatic(cls, QStringLiteral("UTC"), [](Machine& m, const Value&, Args args) { return Value::number(timeClip(fromFields(m, args))); }, 7);
}

} // namespace swf::avm2
