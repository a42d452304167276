// Conversions between values as the player makes them: to number, string,
// boolean, primitive and object; typeof; and the equality and ordering rules.

#include "swf/avm1/vm/Interpreter.h"

#include <cmath>
#include <limits>

namespace swf::avm1 {

double Interpreter::toNumber(const Value& v)
{
    switch (v.type()) {
    case ValueType::Undefined:
    case ValueType::Null:
        return m_version >= 7 ? std::numeric_limits<double>::quiet_NaN() : 0.0;
    case ValueType::Boolean: return v.asBoolean() ? 1 : 0;
    case ValueType::Number: return v.asNumber();
    case ValueType::String:
        if (m_version < 5 && v.asString().isEmpty())
            return 0;
        return stringToNumber(v.asString(), m_version);
    case ValueType::Object: {
        // A number asks valueOf alone, a Date too; what is not a primitive
        // (an object, a clip) is NaN, and an object without valueOf counts
        // as undefined.
        Object* o = v.asObject();
        if (o->kind() == Object::Kind::Clip)
            return std::numeric_limits<double>::quiet_NaN();
        Value method = getMember(v, QStringLiteral("valueOf"));
        Object* m = method.asObject();
        if (!m || m->kind() != Object::Kind::Function)
            return toNumber(Value());
        Value r = call(method, v, {});
        if (r.isObject())
            return std::numeric_limits<double>::quiet_NaN();
        return toNumber(r);
    }
    }
    return 0;
}

QString Interpreter::toString(const Value& v)
{
    switch (v.type()) {
    case ValueType::Undefined: return m_version >= 7 ? QStringLiteral("undefined") : QString();
    case ValueType::Null: return QStringLiteral("null");
    case ValueType::Boolean:
        if (m_version < 5)
            return v.asBoolean() ? QStringLiteral("1") : QStringLiteral("0");
        return v.asBoolean() ? QStringLiteral("true") : QStringLiteral("false");
    case ValueType::Number: return numberToString(v.asNumber());
    case ValueType::String: return v.asString();
    case ValueType::Object: {
        if (v.asObject()->kind() == Object::Kind::Clip)
            return static_cast<ClipObject*>(v.asObject())->dotPath();
        // A String object is its string: a toString or valueOf the script
        // puts on it is not asked.
        if (v.asObject()->kind() == Object::Kind::String && v.asObject()->primitive.isString())
            return v.asObject()->primitive.asString();
        // Text asks toString alone; anything but text it gives back (an
        // object, a clip, a number, undefined) names the type instead.
        Value method = getMember(v, QStringLiteral("toString"));
        if (Object* m = method.asObject(); m && m->kind() == Object::Kind::Function) {
            Value r = call(method, v, {});
            if (r.isString())
                return r.asString();
            return v.asObject()->kind() == Object::Kind::Function ? QStringLiteral("[type Function]")
                                                                 : QStringLiteral("[type Object]");
        }
        // No toString to ask (an object cut off from its prototypes): its
        // value if it has one, else the name of its type.
        Value p = toPrimitive(v, true);
        if (p.isObject() || (p.isUndefined() && !getMember(v, QStringLiteral("valueOf")).isObject()))
            return v.asObject()->kind() == Object::Kind::Function ? QStringLiteral("[type Function]")
                                                                 : QStringLiteral("[type Object]");
        return toString(p);
    }
    }
    return QString();
}

bool Interpreter::toBoolean(const Value& v) const
{
    switch (v.type()) {
    case ValueType::Undefined:
    case ValueType::Null: return false;
    case ValueType::Boolean: return v.asBoolean();
    case ValueType::Number: return v.asNumber() != 0 && !std::isnan(v.asNumber());
    case ValueType::String: {
        if (m_version >= 7)
            return !v.asString().isEmpty();
        // Older movies convert the string to a number first.
        double n = stringToNumber(v.asString(), m_version);
        return n != 0 && !std::isnan(n);
    }
    case ValueType::Object: return true;
    }
    return false;
}

Value Interpreter::toPrimitive(const Value& v, bool preferString, bool* unconverted)
{
    Object* o = v.asObject();
    if (!o)
        return v;
    // A Date reads as text from version 6 on; version 5 asks its valueOf first.
    if (o->kind() == Object::Kind::Date && m_version >= 6)
        preferString = true;
    // A clip's value is its path.
    if (o->kind() == Object::Kind::Clip)
        return Value(static_cast<ClipObject*>(o)->dotPath());
    const QString first = preferString ? QStringLiteral("toString") : QStringLiteral("valueOf");
    const QString second = preferString ? QStringLiteral("valueOf") : QStringLiteral("toString");
    bool callable = false;
    for (const QString& name : { first, second }) {
        Value method = getMember(v, name);
        if (Object* m = method.asObject(); m && m->kind() == Object::Kind::Function) {
            callable = true;
            Value r = call(method, v, {});
            // A clip a method hands back is taken as it is: its path.
            if (Object* ro = r.asObject(); ro && ro->kind() == Object::Kind::Clip)
                return Value(static_cast<ClipObject*>(ro)->dotPath());
            if (!r.isObject())
                return r;
        }
        // A function whose valueOf gives an object is no number: its type
        // name where text is wanted, NaN in a sum; only a toString of the
        // script's own is asked for its text.
        if (!preferString && name == first && o->kind() == Object::Kind::Function) {
            auto* toString = dynamic_cast<FunctionObject*>(getMember(v, second).asObject());
            if (!toString || toString->isNative()) {
                if (unconverted)
                    *unconverted = true;
                return Value(QStringLiteral("[type Function]"));
            }
        }
    }
    // Both methods gave objects: the player names the type instead of asking
    // again. An object without either method (one with no prototype) has no value.
    if (callable) {
        if (unconverted)
            *unconverted = true;
        return o->kind() == Object::Kind::Function ? Value(QStringLiteral("[type Function]"))
                                                   : Value(QStringLiteral("[type Object]"));
    }
    return Value();
}

Object* Interpreter::toObject(const Value& v)
{
    switch (v.type()) {
    case ValueType::Object: return v.asObject();
    case ValueType::Boolean: {
        Object* o = make<Object>(Object::Kind::Boolean, m_realm.booleanPrototype, caseSensitive());
        o->primitive = v;
        return o;
    }
    case ValueType::Number: {
        Object* o = make<Object>(Object::Kind::Number, m_realm.numberPrototype, caseSensitive());
        o->primitive = v;
        return o;
    }
    case ValueType::String: {
        Object* o = make<Object>(Object::Kind::String, m_realm.stringPrototype, caseSensitive());
        o->primitive = v;
        o->define(QStringLiteral("length"), Value(double(v.asString().size())), DontEnum);
        return o;
    }
    default: return nullptr;
    }
}

QString Interpreter::typeOf(const Value& v) const
{
    switch (v.type()) {
    case ValueType::Undefined: return QStringLiteral("undefined");
    case ValueType::Null: return QStringLiteral("null");
    case ValueType::Boolean: return QStringLiteral("boolean");
    case ValueType::Number: return QStringLiteral("number");
    case ValueType::String: return QStringLiteral("string");
    case ValueType::Object:
        switch (v.asObject()->kind()) {
        case Object::Kind::Function: return QStringLiteral("function");
        case Object::Kind::Clip: return QStringLiteral("movieclip");
        default: return QStringLiteral("object");
        }
    }
    return QString();
}

bool Interpreter::strictEquals(const Value& a, const Value& b) const
{
    if (a.type() != b.type())
        return false;
    switch (a.type()) {
    case ValueType::Undefined:
    case ValueType::Null: return true;
    case ValueType::Boolean: return a.asBoolean() == b.asBoolean();
    case ValueType::Number:
        // The player compares numbers so that NaN equals itself.
        return a.asNumber() == b.asNumber() || (std::isnan(a.asNumber()) && std::isnan(b.asNumber()));
    case ValueType::String: return a.asString() == b.asString();
    case ValueType::Object: return a.asObject() == b.asObject();
    }
    return false;
}

bool Interpreter::abstractEquals(const Value& a, const Value& b)
{
    if (a.type() == b.type())
        return strictEquals(a, b);
    if (a.isNullish() && b.isNullish())
        return true;
    // A function has no value in version 5 movies (they have no Function
    // class): it equals null and undefined.
    if (m_version < 6 && (a.isNullish() || b.isNullish())) {
        const Object* o = a.isObject() ? a.asObject() : b.asObject();
        if (o && o->kind() == Object::Kind::Function)
            return true;
    }
    // An object equals null only when it has no primitive value at all.
    if (a.isObject() && b.isNullish())
        return toPrimitive(a).isNullish();
    if (b.isObject() && a.isNullish())
        return toPrimitive(b).isNullish();
    if (a.isNullish() || b.isNullish())
        return false;
    if (a.isNumber() && b.isString())
        return a.asNumber() == toNumber(b);
    if (a.isString() && b.isNumber())
        return toNumber(a) == b.asNumber();
    if (a.isBoolean())
        return abstractEquals(Value(a.asBoolean() ? 1.0 : 0.0), b);
    if (b.isBoolean())
        return abstractEquals(a, Value(b.asBoolean() ? 1.0 : 0.0));
    if (a.isObject() && !b.isObject()) {
        Value p = toPrimitive(a);
        return p.isObject() ? false : abstractEquals(p, b);
    }
    if (b.isObject() && !a.isObject()) {
        Value p = toPrimitive(b);
        return p.isObject() ? false : abstractEquals(a, p);
    }
    return false;
}

Value Interpreter::abstractLess(const Value& a, const Value& b)
{
    // An object is compared by what its valueOf gives; toString is not
    // asked, and an object that stays an object makes the answer false.
    bool objectLeft = false;
    auto primitive = [&](const Value& v) -> Value {
        Object* o = v.asObject();
        if (!o)
            return v;
        // A clip has no value to compare: the answer is undefined.
        if (o->kind() == Object::Kind::Clip)
            return Value(std::numeric_limits<double>::quiet_NaN());
        Value method = getMember(v, QStringLiteral("valueOf"));
        Object* m = method.asObject();
        if (!m || m->kind() != Object::Kind::Function)
            return Value();
        Value r = call(method, v, {});
        if (Object* ro = r.asObject(); ro && ro->kind() == Object::Kind::Clip)
            return Value(std::numeric_limits<double>::quiet_NaN());
        if (r.isObject())
            objectLeft = true;
        return r;
    };
    // An operand left an object ends the comparison before the other is read.
    Value pa = primitive(a);
    if (objectLeft)
        return Value(false);
    Value pb = primitive(b);
    if (objectLeft)
        return Value(false);
    // Strings order by code point: a character beyond U+FFFF sorts after
    // every one below it, which its UTF-16 units alone would not.
    // The empty string sorts after every other string.
    if (pa.isString() && pb.isString()) {
        if (pa.asString().isEmpty() || pb.asString().isEmpty())
            return Value(pb.asString().isEmpty() && !pa.asString().isEmpty());
        return Value(pa.asString().toUcs4() < pb.asString().toUcs4());
    }
    double x = toNumber(pa);
    double y = toNumber(pb);
    if (std::isnan(x) || std::isnan(y))
        return Value();
    return Value(x < y);
}

} // namespace swf::avm1
