// Conversions between values, equality and ordering, the way the language defines them.

#include "swf/avm2/vm/Machine.h"

#include "swf/avm2/builtins/XmlClasses.h"

#include <cmath>

namespace swf::avm2 {

Value Machine::toPrimitive(const Value& v, bool preferString)
{
    if (!v.isObject())
        return v;
    if (!v.o->primitive.isUndefined())
        return v.o->primitive;
    if (isXmlObject(v.o))
        return Value::string(xmlObjectToString(*this, v.o));
    // Dates aside, numbers are asked of valueOf first; strings of toString first.
    const QString first = preferString ? QStringLiteral("toString") : QStringLiteral("valueOf");
    const QString second = preferString ? QStringLiteral("valueOf") : QStringLiteral("toString");
    for (const QString& method : { first, second }) {
        Name name = Name::publicName(method);
        if (!hasProperty(v, name))
            continue;
        Value fn = getProperty(v, name);
        if (fn.isObject() && fn.o->type() == Object::Type::Function) {
            Value result = call(fn, v, {});
            if (!result.isObject())
                return result;
        }
    }
    throwError(ErrorClass::TypeError, 1050, QStringLiteral("Cannot convert %1 to primitive.").arg(typeName(v)));
}

QString Machine::toString(const Value& v)
{
    switch (v.kind) {
    case Value::Kind::Undefined: return QStringLiteral("undefined");
    case Value::Kind::Null: return QStringLiteral("null");
    case Value::Kind::Boolean: return v.b ? QStringLiteral("true") : QStringLiteral("false");
    case Value::Kind::Number: return numberToString(v.d);
    case Value::Kind::String: return v.s;
    case Value::Kind::Object: return toString(toPrimitive(v, true));
    }
    return QString();
}

double Machine::toNumber(const Value& v)
{
    switch (v.kind) {
    case Value::Kind::Undefined: return std::numeric_limits<double>::quiet_NaN();
    case Value::Kind::Null: return 0;
    case Value::Kind::Boolean: return v.b ? 1 : 0;
    case Value::Kind::Number: return v.d;
    case Value::Kind::String: return stringToNumber(v.s);
    case Value::Kind::Object: return toNumber(toPrimitive(v, false));
    }
    return 0;
}

Object* Machine::toObject(const Value& v)
{
    if (v.isObject())
        return v.o;
    if (v.isNull())
        throwError(ErrorClass::TypeError, 1009, QStringLiteral("Cannot access a property or method of a null object reference."));
    if (v.isUndefined())
        throwError(ErrorClass::TypeError, 1010, QStringLiteral("A term is undefined and has no properties."));
    ClassObject* cls = classOf(v);
    auto boxed = allocate<Object>(Object::Type::Plain, cls, cls->instancePrototype, cls->instanceTraits);
    boxed->primitive = v;
    boxed->setDynamic(false);
    return boxed;
}

bool Machine::isType(const Value& v, ClassObject* type)
{
    if (!type || type == m_builtins.object)
        return !v.isNullish() || (type == nullptr && !v.isUndefined());
    const Builtins& b = m_builtins;
    switch (v.kind) {
    case Value::Kind::Undefined:
    case Value::Kind::Null:
        return false;
    case Value::Kind::Boolean:
        return type == b.boolean;
    case Value::Kind::Number:
        if (type == b.number)
            return true;
        if (type == b.intClass)
            return isInteger(v.d);
        if (type == b.uintClass)
            return v.d == std::trunc(v.d) && v.d >= 0 && v.d <= 4294967295.0;
        return false;
    case Value::Kind::String:
        return type == b.string;
    case Value::Kind::Object:
        if (v.o->type() == Object::Type::Class)
            return type == b.cls;
        if (v.o->type() == Object::Type::Function && type == b.function)
            return true;
        // Every vector is a Vector.<*>.
        if (type->isVector && !type->elementType && v.o->type() == Object::Type::Vector)
            return true;
        if (!v.o->classObject())
            return false;
        if (type->isInterface)
            resolveInterfaces(v.o->classObject());
        return v.o->classObject()->isSubclassOf(type);
    }
    return false;
}

void Machine::resolveInterfaces(ClassObject* cls)
{
    for (ClassObject* c = cls; c; c = c->base) {
        if (!c->pendingInterfaces.empty() && c->unit) {
            std::vector<std::uint32_t> pending;
            for (std::uint32_t name : c->pendingInterfaces) {
                if (ClassObject* iface = classByName(*c->unit, name))
                    c->interfaces.push_back(iface);
                else
                    pending.push_back(name);
            }
            c->pendingInterfaces = std::move(pending);
        }
        for (ClassObject* iface : c->interfaces)
            resolveInterfaces(iface);
    }
}

Value Machine::coerce(const Value& v, ClassObject* type)
{
    const Builtins& b = m_builtins;
    if (!type)
        return v;
    if (type == b.intClass)
        return Value::number(toInt32(toNumber(v)));
    if (type == b.uintClass)
        return Value::number(toUint32(toNumber(v)));
    if (type == b.number)
        return Value::number(toNumber(v));
    if (type == b.boolean)
        return Value::boolean(toBoolean(v));
    if (type == b.string)
        return v.isNullish() ? Value::null() : Value::string(toString(v));
    if (v.isNullish())
        return Value::null();
    if (type == b.object || isType(v, type))
        return v;
    throwError(ErrorClass::TypeError, 1034,
        QStringLiteral("Type Coercion failed: cannot convert %1 to %2.")
            .arg(v.isObject() && v.o->classObject() ? QStringLiteral("%1@%2").arg(typeName(v)).arg(quintptr(v.o) & 0xfffffff, 0, 16) : toString(v),
                type->packageName.isEmpty() ? type->name : type->packageName + QLatin1Char('.') + type->name));
}

Value Machine::coerceSlot(const Value& v, SlotType type, ClassObject* cls)
{
    switch (type) {
    case SlotType::Any: return v;
    case SlotType::Int: return Value::number(toInt32(toNumber(v)));
    case SlotType::Uint: return Value::number(toUint32(toNumber(v)));
    case SlotType::Number: return Value::number(toNumber(v));
    case SlotType::Boolean: return Value::boolean(toBoolean(v));
    case SlotType::String: return v.isNullish() ? Value::null() : Value::string(toString(v));
    case SlotType::Object: return cls ? coerce(v, cls) : (v.isUndefined() ? Value::null() : v);
    }
    return v;
}

bool Machine::strictEquals(const Value& a, const Value& b)
{
    if (a.kind != b.kind)
        return false;
    switch (a.kind) {
    case Value::Kind::Undefined:
    case Value::Kind::Null: return true;
    case Value::Kind::Boolean: return a.b == b.b;
    case Value::Kind::Number: return a.d == b.d;
    case Value::Kind::String: return a.s == b.s;
    case Value::Kind::Object:
        if (a.o == b.o)
            return true;
        // Two closures of one method on one receiver are the same function.
        return a.o->type() == Object::Type::Function && b.o->type() == Object::Type::Function && a.o->isBound && b.o->isBound
            && a.o->method == b.o->method && a.o->method && !a.o->method->native && strictEquals(a.o->boundThis, b.o->boundThis);
    }
    return false;
}

bool Machine::looseEquals(const Value& a, const Value& b)
{
    if (a.isObject() && isXmlObject(a.o))
        return xmlEquals(*this, a.o, b);
    if (b.isObject() && isXmlObject(b.o))
        return xmlEquals(*this, b.o, a);
    if (a.kind == b.kind)
        return strictEquals(a, b);
    if (a.isNullish() && b.isNullish())
        return true;
    if (a.isNullish() || b.isNullish())
        return false;
    if (a.isNumber() && b.isString())
        return a.d == stringToNumber(b.s);
    if (a.isString() && b.isNumber())
        return stringToNumber(a.s) == b.d;
    if (a.kind == Value::Kind::Boolean)
        return looseEquals(Value::number(a.b ? 1 : 0), b);
    if (b.kind == Value::Kind::Boolean)
        return looseEquals(a, Value::number(b.b ? 1 : 0));
    if (a.isObject() && !b.isObject())
        return looseEquals(toPrimitive(a, false), b);
    if (!a.isObject() && b.isObject())
        return looseEquals(a, toPrimitive(b, false));
    return false;
}

std::optional<bool> Machine::lessThan(const Value& a, const Value& b)
{
    Value pa = toPrimitive(a, false);
    Value pb = toPrimitive(b, false);
    if (pa.isString() && pb.isString())
        return pa.s < pb.s;
    double x = toNumber(pa), y = toNumber(pb);
    if (std::isnan(x) || std::isnan(y))
        return std::nullopt;
    return x < y;
}

Value Machine::add(const Value& a, const Value& b)
{
    if (a.isNumber() && b.isNumber())
        return Value::number(a.d + b.d);
    if (a.isObject() && b.isObject() && isXmlObject(a.o) && isXmlObject(b.o))
        return xmlConcat(*this, a, b);
    Value pa = toPrimitive(a, false);
    Value pb = toPrimitive(b, false);
    if (pa.isString() || pb.isString()) {
        QString joined = toString(pa) + toString(pb);
        chargeMemory(std::size_t(joined.size()) * sizeof(QChar));
        return Value::string(std::move(joined));
    }
    return Value::number(toNumber(pa) + toNumber(pb));
}

} // namespace swf::avm2
