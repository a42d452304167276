// RegExp over the PCRE2 engine behind QRegularExpression, and the String
// methods that take a pattern: match, replace, search and split.

#include "swf/avm2/vm/Machine.h"

#include <QRegularExpression>

#include <cmath>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

struct Pattern {
    QString source;
    QString flags; // as given, in the order toString shows: g i m s x
    bool global = false;
    bool ignoreCase = false;
    bool multiline = false;
    bool dotall = false;
    bool extended = false;
    QRegularExpression re;
    double lastIndex = 0;
};

Pattern* patternOf(const Value& v)
{
    Object* o = v.object();
    return o && o->host && o->classObject() && o->classObject()->name == QLatin1String("RegExp")
        ? static_cast<Pattern*>(o->host.get()) : nullptr;
}

Pattern* checked(Machine& m, const Value& v)
{
    Pattern* p = patternOf(v);
    if (!p)
        m.throwError(ErrorClass::TypeError, 1034, QStringLiteral("Type Coercion failed: cannot convert %1 to RegExp.").arg(m.toString(v)));
    return p;
}

void compile(Pattern& p, const QString& source, const QString& flags)
{
    p.source = source;
    p.global = flags.contains(u'g');
    p.ignoreCase = flags.contains(u'i');
    p.multiline = flags.contains(u'm');
    p.dotall = flags.contains(u's');
    p.extended = flags.contains(u'x');
    QRegularExpression::PatternOptions options = QRegularExpression::NoPatternOption;
    if (p.ignoreCase)
        options |= QRegularExpression::CaseInsensitiveOption;
    if (p.multiline)
        options |= QRegularExpression::MultilineOption;
    if (p.dotall)
        options |= QRegularExpression::DotMatchesEverythingOption;
    if (p.extended)
        options |= QRegularExpression::ExtendedPatternSyntaxOption;
    // A lone $ ends the text only, as in ECMAScript, not before a final newline.
    QString translated;
    bool inClass = false;
    for (qsizetype i = 0; i < source.size(); ++i) {
        QChar c = source[i];
        if (c == u'\\' && i + 1 < source.size()) {
            translated += c;
            translated += source[++i];
            continue;
        }
        if (c == u'[')
            inClass = true;
        else if (c == u']')
            inClass = false;
        if (c == u'$' && !inClass && !p.multiline)
            translated += QStringLiteral("\\z");
        else
            translated += c;
    }
    p.re = QRegularExpression(translated, options);
    if (!p.re.isValid()) // what cannot compile matches nothing
        p.re = QRegularExpression(QStringLiteral("(?!)"));
}

// The array exec gives: the match, its groups (undefined when they took no
// part), then index and input, and the named groups by name.
Value matchArray(Machine& m, const QRegularExpressionMatch& match, const QString& input)
{
    std::vector<Value> parts;
    for (int i = 0; i <= match.lastCapturedIndex() || i <= match.regularExpression().captureCount(); ++i) {
        if (match.capturedStart(i) < 0)
            parts.push_back(i == 0 ? Value::string(QString()) : Value::undefined());
        else
            parts.push_back(Value::string(match.captured(i)));
    }
    Object* a = m.newArray(std::move(parts));
    a->dynamicSet(QStringLiteral("index"), Value::number(double(match.capturedStart(0))));
    a->dynamicSet(QStringLiteral("input"), Value::string(input));
    const QStringList names = match.regularExpression().namedCaptureGroups();
    for (int i = 1; i < names.size(); ++i) {
        if (!names[i].isEmpty())
            a->dynamicSet(names[i], match.capturedStart(i) < 0 ? Value::string(QString()) : Value::string(match.captured(i)));
    }
    return Value::object(a);
}

Value exec(Machine& m, Pattern& p, const QString& input)
{
    qsizetype from = p.global ? qsizetype(p.lastIndex) : 0;
    if (from > input.size() || from < 0) {
        p.lastIndex = 0;
        return Value::null();
    }
    QRegularExpressionMatch match = p.re.match(input, from);
    if (!match.hasMatch()) {
        if (p.global)
            p.lastIndex = 0;
        return Value::null();
    }
    if (p.global)
        p.lastIndex = double(match.capturedEnd(0));
    return matchArray(m, match, input);
}

// $&, $1..$99, $`, $' and $$ in a replacement text.
QString expand(const QString& with, const QRegularExpressionMatch& match, const QString& input)
{
    QString out;
    for (qsizetype i = 0; i < with.size(); ++i) {
        QChar c = with[i];
        if (c != u'$' || i + 1 >= with.size()) {
            out += c;
            continue;
        }
        QChar n = with[i + 1];
        if (n == u'$') {
            out += u'$';
            ++i;
        } else if (n == u'&') {
            out += match.captured(0);
            ++i;
        } else if (n == u'`') {
            out += input.left(match.capturedStart(0));
            ++i;
        } else if (n == u'\'') {
            out += input.mid(match.capturedEnd(0));
            ++i;
        } else if (n.isDigit()) {
            int group = n.digitValue();
            qsizetype used = 1;
            if (i + 2 < with.size() && with[i + 2].isDigit() && group * 10 + with[i + 2].digitValue() <= match.regularExpression().captureCount()) {
                group = group * 10 + with[i + 2].digitValue();
                used = 2;
            }
            if (group == 0 || group > match.regularExpression().captureCount()) {
                out += c;
                continue;
            }
            out += match.captured(group);
            i += used;
        } else {
            out += c;
        }
    }
    return out;
}

QString replaceOne(Machine& m, const QRegularExpressionMatch& match, const QString& input, const Value& with)
{
    if (with.isObject() && with.o->type() == Object::Type::Function) {
        std::vector<Value> callArgs;
        for (int i = 0; i <= match.regularExpression().captureCount(); ++i)
            callArgs.push_back(match.capturedStart(i) < 0 ? Value::string(QString()) : Value::string(match.captured(i)));
        callArgs.push_back(Value::number(double(match.capturedStart(0))));
        callArgs.push_back(Value::string(input));
        return m.toString(m.call(with, Value::null(), callArgs));
    }
    return expand(m.toString(with), match, input);
}

} // namespace

void installRegExpClass(Machine& m)
{
    auto& b = m.builtins();
    b.regexp = m.defineClass(QString(), QStringLiteral("RegExp"), b.object, InstanceKind::Plain,
        [](Machine& m, const Value& self, Args args) {
            auto p = std::make_shared<Pattern>();
            Value source = arg(args, 0);
            if (Pattern* other = patternOf(source)) {
                if (!arg(args, 1).isUndefined())
                    m.throwError(ErrorClass::TypeError, 1100, QStringLiteral("Cannot supply flags when constructing one RegExp from another."));
                compile(*p, other->source, QString(other->global ? "g" : "") + (other->ignoreCase ? "i" : "") + (other->multiline ? "m" : "") + (other->dotall ? "s" : "") + (other->extended ? "x" : ""));
            } else {
                compile(*p, source.isUndefined() ? QString() : m.toString(source), arg(args, 1).isUndefined() ? QString() : m.toString(args[1]));
            }
            self.o->host = p;
            return Value::undefined();
        });
    b.regexp->sealed = false;
    ClassObject* regexp = b.regexp;
    regexp->callAsFunction = [regexp](Machine& m, const Value&, Args args) {
        if (patternOf(arg(args, 0)) && arg(args, 1).isUndefined())
            return args[0];
        return m.constructClass(regexp, args);
    };
    auto flag = [&](const char* name, bool Pattern::*member) {
        m.addGetter(regexp, QLatin1String(name), [member](Machine& m, const Value& self, Args) {
            return Value::boolean(checked(m, self)->*member);
        });
    };
    flag("global", &Pattern::global);
    flag("ignoreCase", &Pattern::ignoreCase);
    flag("multiline", &Pattern::multiline);
    flag("dotall", &Pattern::dotall);
    flag("extended", &Pattern::extended);
    m.addGetter(regexp, QStringLiteral("source"), [](Machine& m, const Value& self, Args) {
        return Value::string(checked(m, self)->source);
    });
    m.addGetter(regexp, QStringLiteral("lastIndex"),
        [](Machine& m, const Value& self, Args) { return Value::number(checked(m, self)->lastIndex); },
        [](Machine& m, const Value& self, Args args) {
            checked(m, self)->lastIndex = double(toInt32(m.toNumber(arg(args, 0))));
            return Value::undefined();
        });
    m.addPrototypeMethod(regexp, QStringLiteral("exec"), [](Machine& m, const Value& self, Args args) {
        return exec(m, *checked(m, self), m.toString(arg(args, 0)));
    }, 1);
    m.addPrototypeMethod(regexp, QStringLiteral("test"), [](Machine& m, const Value& self, Args args) {
        return Value::boolean(!exec(m, *checked(m, self), m.toString(arg(args, 0))).isNull());
    }, 1);
    m.addPrototypeMethod(regexp, QStringLiteral("toString"), [](Machine& m, const Value& self, Args) {
        Pattern* p = checked(m, self);
        return Value::string(QLatin1Char('/') + p->source + QLatin1Char('/') + (p->global ? "g" : "") + (p->ignoreCase ? "i" : "")
            + (p->multiline ? "m" : "") + (p->dotall ? "s" : "") + (p->extended ? "x" : ""));
    });

    auto text = [](Machine& m, const Value& self) {
        return m.toString(self.isObject() && !self.o->primitive.isUndefined() ? self.o->primitive : self);
    };
    // A pattern argument as String's methods take it: a RegExp, or text made into one.
    auto patternArg = [regexp](Machine& m, const Value& v) {
        if (patternOf(v))
            return v;
        Value source[] = { Value::string(v.isUndefined() ? QString() : m.toString(v)) };
        return m.constructClass(regexp, source);
    };
    m.addPrototypeMethod(b.string, QStringLiteral("match"), [text, patternArg](Machine& m, const Value& self, Args args) {
        QString s = text(m, self);
        Value pv = patternArg(m, arg(args, 0));
        Pattern* p = patternOf(pv);
        if (!p->global)
            return exec(m, *p, s);
        std::vector<Value> all;
        auto it = p->re.globalMatch(s);
        while (it.hasNext())
            all.push_back(Value::string(it.next().captured(0)));
        p->lastIndex = 0;
        return all.empty() ? Value::null() : Value::object(m.newArray(std::move(all)));
    }, 1);
    m.addPrototypeMethod(b.string, QStringLiteral("search"), [text, patternArg](Machine& m, const Value& self, Args args) {
        QString s = text(m, self);
        Pattern* p = patternOf(patternArg(m, arg(args, 0)));
        QRegularExpressionMatch match = p->re.match(s);
        return Value::number(match.hasMatch() ? double(match.capturedStart(0)) : -1);
    }, 1);
    m.addPrototypeMethod(b.string, QStringLiteral("replace"), [text](Machine& m, const Value& self, Args args) {
        QString s = text(m, self);
        Value with = arg(args, 1);
        Pattern* p = patternOf(arg(args, 0));
        if (!p) {
            // A plain text pattern replaces its first occurrence, taken literally.
            QString pattern = m.toString(arg(args, 0));
            QRegularExpression literal(QRegularExpression::escape(pattern));
            QRegularExpressionMatch match = literal.match(s);
            if (!match.hasMatch())
                return Value::string(s);
            return Value::string(s.left(match.capturedStart(0)) + replaceOne(m, match, s, with) + s.mid(match.capturedEnd(0)));
        }
        QString out;
        qsizetype last = 0;
        auto it = p->re.globalMatch(s);
        while (it.hasNext()) {
            QRegularExpressionMatch match = it.next();
            out += s.mid(last, match.capturedStart(0) - last);
            out += replaceOne(m, match, s, with);
            last = match.capturedEnd(0);
            if (!p->global)
                break;
        }
        out += s.mid(last);
        return Value::string(out);
    }, 2);
    m.addPrototypeMethod(b.string, QStringLiteral("split"), [text](Machine& m, const Value& self, Args args) {
        QString s = text(m, self);
        std::vector<Value> parts;
        const double limitArg = args.size() > 1 && !args[1].isUndefined() ? double(toUint32(m.toNumber(args[1]))) : 4294967295.0;
        const std::size_t limit = std::size_t(std::min(limitArg, 4294967295.0));
        Value separator = arg(args, 0);
        if (Pattern* p = patternOf(separator)) {
            // Pieces between matches, with each match's groups between them.
            qsizetype last = 0;
            auto it = p->re.globalMatch(s);
            while (it.hasNext() && parts.size() < limit) {
                QRegularExpressionMatch match = it.next();
                // An empty match splits nothing.
                if (match.capturedLength(0) == 0)
                    continue;
                parts.push_back(Value::string(s.mid(last, match.capturedStart(0) - last)));
                // The limit is checked per match: its groups all come along.
                for (int g = 1; g <= p->re.captureCount(); ++g)
                    parts.push_back(match.capturedStart(g) < 0 ? Value::undefined() : Value::string(match.captured(g)));
                last = match.capturedEnd(0);
            }
            if (parts.size() < limit)
                parts.push_back(Value::string(s.mid(last)));
        } else if (separator.isUndefined()) {
            parts.push_back(Value::string(s));
        } else {
            QString sep = m.toString(separator);
            const QStringList list = sep.isEmpty() ? s.split(QString(), Qt::SkipEmptyParts) : s.split(sep);
            for (const QString& piece : list)
                parts.push_back(Value::string(piece));
        }
        if (parts.size() > limit && !patternOf(separator))
            parts.resize(limit);
        return Value::object(m.newArray(std::move(parts)));
    }, 2);
}

} // namespace swf::avm2
