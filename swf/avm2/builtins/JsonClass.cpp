// JSON: parse with an optional reviver, stringify with an optional replacer
// (a function or a list of names) and indentation.

#include "swf/avm2/vm/Machine.h"

#include <cmath>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

constexpr int MaxNesting = 256; // deeper input is refused, not recursed into

class Parser {
public:
    Parser(Machine& m, const QString& text) : m_m(m), m_s(text) { }

    Value document()
    {
        Value v = value(0);
        skipSpace();
        if (m_at != m_s.size())
            fail();
        return v;
    }

private:
    [[noreturn]] void fail() { m_m.throwError(ErrorClass::SyntaxError, 1132, QStringLiteral("Invalid JSON parse input.")); }
    void skipSpace()
    {
        while (m_at < m_s.size() && (m_s[m_at] == u' ' || m_s[m_at] == u'\t' || m_s[m_at] == u'\n' || m_s[m_at] == u'\r'))
            ++m_at;
    }
    bool take(QChar c)
    {
        skipSpace();
        if (m_at < m_s.size() && m_s[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool word(const char* w)
    {
        const QString text = QLatin1String(w);
        if (m_s.mid(m_at, text.size()) != text)
            return false;
        m_at += text.size();
        return true;
    }
    QString string()
    {
        QString out;
        ++m_at; // the opening quote
        while (true) {
            if (m_at >= m_s.size())
                fail();
            QChar c = m_s[m_at++];
            if (c == u'"')
                return out;
            if (c.unicode() < 0x20)
                fail();
            if (c != u'\\') {
                out += c;
                continue;
            }
            if (m_at >= m_s.size())
                fail();
            QChar e = m_s[m_at++];
            switch (e.unicode()) {
            case '"': out += u'"'; break;
            case '\\': out += u'\\'; break;
            case '/': out += u'/'; break;
            case 'b': out += u'\b'; break;
            case 'f': out += u'\f'; break;
            case 'n': out += u'\n'; break;
            case 'r': out += u'\r'; break;
            case 't': out += u'\t'; break;
            case 'u': {
                bool ok = false;
                uint code = m_s.mid(m_at, 4).toUInt(&ok, 16);
                if (!ok || m_at + 4 > m_s.size())
                    fail();
                m_at += 4;
                out += QChar(char16_t(code));
                break;
            }
            default: fail();
            }
        }
    }
    Value number()
    {
        const qsizetype start = m_at;
        if (m_s[m_at] == u'-')
            ++m_at;
        auto digits = [&] {
            qsizetype from = m_at;
            while (m_at < m_s.size() && m_s[m_at].isDigit())
                ++m_at;
            return m_at - from;
        };
        if (digits() == 0)
            fail();
        if (m_at < m_s.size() && m_s[m_at] == u'.') {
            ++m_at;
            if (digits() == 0)
                fail();
        }
        if (m_at < m_s.size() && (m_s[m_at] == u'e' || m_s[m_at] == u'E')) {
            ++m_at;
            if (m_at < m_s.size() && (m_s[m_at] == u'+' || m_s[m_at] == u'-'))
                ++m_at;
            if (digits() == 0)
                fail();
        }
        return Value::number(m_s.mid(start, m_at - start).toDouble());
    }
    Value value(int depth)
    {
        if (depth > MaxNesting)
            fail();
        skipSpace();
        if (m_at >= m_s.size())
            fail();
        QChar c = m_s[m_at];
        if (c == u'"')
            return Value::string(string());
        if (c == u'-' || c.isDigit())
            return number();
        if (word("true"))
            return Value::boolean(true);
        if (word("false"))
            return Value::boolean(false);
        if (word("null"))
            return Value::null();
        if (c == u'[') {
            ++m_at;
            std::vector<Value> elements;
            if (take(u']'))
                return Value::object(m_m.newArray());
            do {
                elements.push_back(value(depth + 1));
            } while (take(u','));
            if (!take(u']'))
                fail();
            return Value::object(m_m.newArray(std::move(elements)));
        }
        if (c == u'{') {
            ++m_at;
            Object* o = m_m.newObject();
            if (take(u'}'))
                return Value::object(o);
            do {
                skipSpace();
                if (m_at >= m_s.size() || m_s[m_at] != u'"')
                    fail();
                QString key = string();
                if (!take(u':'))
                    fail();
                o->dynamicSet(key, value(depth + 1));
            } while (take(u','));
            if (!take(u'}'))
                fail();
            return Value::object(o);
        }
        fail();
    }

    Machine& m_m;
    const QString& m_s;
    qsizetype m_at = 0;
};

Value revive(Machine& m, const Value& reviver, const Value& holder, const QString& key, int depth)
{
    Name name = Name::publicName(key);
    Value v = m.getProperty(holder, name);
    if (Object* o = v.object(); o && depth < MaxNesting) {
        if (o->type() == Object::Type::Array) {
            for (std::size_t i = 0; i < o->elements.size(); ++i)
                o->elements[i] = revive(m, reviver, v, QString::number(i), depth + 1);
        } else {
            std::vector<QString> keys;
            for (const auto& [k, value] : o->dynamicProperties())
                keys.push_back(k);
            for (const QString& k : keys) {
                Value revived = revive(m, reviver, v, k, depth + 1);
                if (revived.isUndefined())
                    o->dynamicDelete(k);
                else
                    o->dynamicSet(k, revived);
            }
        }
    }
    Value callArgs[] = { Value::string(key), v };
    return m.call(reviver, holder, callArgs);
}

QString quote(const QString& s)
{
    QString out = QStringLiteral("\"");
    for (QChar c : s) {
        switch (c.unicode()) {
        case '"': out += QStringLiteral("\\\""); break;
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\b': out += QStringLiteral("\\b"); break;
        case '\f': out += QStringLiteral("\\f"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out + QLatin1Char('"');
}

struct Writer {
    Machine& m;
    Value replacer;               // a function, or undefined
    std::vector<QString> allowed; // names a list replacer keeps
    bool filtered = false;
    QString gap;
    std::vector<Object*> stack;

    // Null when the value writes nothing (undefined, functions).
    std::optional<QString> write(const Value& holder, const QString& key, Value v, const QString& indent)
    {
        if (v.isObject()) {
            Name toJson = Name::publicName(QStringLiteral("toJSON"));
            if (m.hasProperty(v, toJson)) {
                Value fn = m.getProperty(v, toJson);
                if (fn.isObject() && fn.o->type() == Object::Type::Function) {
                    Value keyArg[] = { Value::string(key) };
                    v = m.call(fn, v, keyArg);
                }
            }
        }
        if (replacer.isObject()) {
            Value callArgs[] = { Value::string(key), v };
            v = m.call(replacer, holder, callArgs);
        }
        if (v.isObject() && !v.o->primitive.isUndefined())
            v = v.o->primitive;
        switch (v.kind) {
        case Value::Kind::Null: return QStringLiteral("null");
        case Value::Kind::Boolean: return v.b ? QStringLiteral("true") : QStringLiteral("false");
        case Value::Kind::Number: return std::isfinite(v.d) ? numberToString(v.d) : QStringLiteral("null");
        case Value::Kind::String: return quote(v.s);
        case Value::Kind::Undefined: return std::nullopt;
        case Value::Kind::Object: break;
        }
        Object* o = v.o;
        if (o->type() == Object::Type::Function || o->type() == Object::Type::Class)
            return std::nullopt;
        if (std::find(stack.begin(), stack.end(), o) != stack.end() || stack.size() >= std::size_t(MaxNesting))
            m.throwError(ErrorClass::TypeError, 1129, QStringLiteral("Cyclic structure cannot be converted to JSON string."));
        stack.push_back(o);
        const QString inner = indent + gap;
        QStringList parts;
        const bool list = o->type() == Object::Type::Array || o->type() == Object::Type::Vector;
        if (list) {
            for (std::size_t i = 0; i < o->elements.size(); ++i)
                parts << write(v, QString::number(i), o->elements[i], inner).value_or(QStringLiteral("null"));
        } else {
            auto member = [&](const QString& name, const Value& value) {
                if (filtered && std::find(allowed.begin(), allowed.end(), name) == allowed.end())
                    return;
                if (auto text = write(v, name, value, inner))
                    parts << quote(name) + (gap.isEmpty() ? QStringLiteral(":") : QStringLiteral(": ")) + *text;
            };
            // Declared public variables and getters first, then the dynamic properties.
            for (const Binding& binding : o->traits().bindings) {
                if (!binding.ns.isPublic() || binding.kind == Binding::Kind::Method || (binding.kind == Binding::Kind::Accessor && !binding.getter))
                    continue;
                member(binding.local, m.getProperty(v, Name::publicName(binding.local)));
            }
            for (const auto& [name, value] : std::vector(o->dynamicProperties())) {
                if (!o->dontEnum().value(name))
                    member(name, value);
            }
        }
        stack.pop_back();
        const QChar open = list ? u'[' : u'{';
        const QChar close = list ? u']' : u'}';
        if (parts.isEmpty())
            return QString(open) + close;
        if (gap.isEmpty())
            return QString(open) + parts.join(QLatin1Char(',')) + close;
        return QString(open) + QLatin1Char('\n') + inner + parts.join(QStringLiteral(",\n") + inner) + QLatin1Char('\n') + indent + close;
    }
};

} // namespace

void installJson(Machine& m)
{
    ClassObject* json = m.defineClass(QString(), QStringLiteral("JSON"), m.builtins().object, InstanceKind::Plain, {});
    json->sealed = true;
    m.addStatic(json, QStringLiteral("parse"), [](Machine& m, const Value&, Args args) {
        const QString text = m.toString(arg(args, 0));
        Parser parser(m, text);
        Value result = parser.document();
        Value reviver = arg(args, 1);
        if (!reviver.isObject() || reviver.o->type() != Object::Type::Function)
            return result;
        Object* root = m.newObject();
        root->dynamicSet(QString(), result);
        return revive(m, reviver, Value::object(root), QString(), 0);
    }, 2);
    m.addStatic(json, QStringLiteral("stringify"), [](Machine& m, const Value&, Args args) {
        Writer writer { m, Value::undefined(), {}, false, QString(), {} };
        Value replacer = arg(args, 1);
        if (Object* r = replacer.object()) {
            if (r->type() == Object::Type::Function) {
                writer.replacer = replacer;
            } else if (r->type() == Object::Type::Array) {
                writer.filtered = true;
                for (const Value& name : r->elements)
                    writer.allowed.push_back(m.toString(name));
            } else {
                m.throwError(ErrorClass::TypeError, 1131, QStringLiteral("Replacer argument to JSON stringifier must be an array or a two parameter function."));
            }
        }
        Value space = arg(args, 2);
        if (space.isNumber())
            writer.gap = QString(int(std::clamp(space.d, 0.0, 10.0)), QLatin1Char(' '));
        else if (space.isString())
            writer.gap = space.s.left(10);
        Object* root = m.newObject();
        auto text = writer.write(Value::object(root), QString(), arg(args, 0), QString());
        return text ? Value::string(*text) : Value::undefined();
    }, 3);
}

} // namespace swf::avm2
