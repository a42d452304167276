#pragma once

// A script value: undefined, null, a boolean, a number, a string or an object.
// int, uint and Number values are all numbers here; the int and uint types
// only shape the numbers the conversions produce.

#include <QString>

#include <cstdint>

namespace swf::avm2 {

class Object;

struct Value {
    enum class Kind : std::uint8_t { Undefined, Null, Boolean, Number, String, Object };

    Kind kind = Kind::Undefined;
    bool b = false;
    double d = 0;
    Object* o = nullptr;
    QString s;

    static Value undefined() { return Value {}; }
    // An array element never set (or deleted): reads as undefined, but a
    // read looks through the prototype chain and the index is not an own property.
    static Value hole() { Value v; v.b = true; return v; }
    static Value null() { Value v; v.kind = Kind::Null; return v; }
    static Value boolean(bool x) { Value v; v.kind = Kind::Boolean; v.b = x; return v; }
    static Value number(double x) { Value v; v.kind = Kind::Number; v.d = x; return v; }
    static Value string(QString x) { Value v; v.kind = Kind::String; v.s = std::move(x); return v; }
    static Value object(Object* x)
    {
        Value v;
        if (!x) { v.kind = Kind::Null; return v; }
        v.kind = Kind::Object;
        v.o = x;
        return v;
    }

    bool isUndefined() const { return kind == Kind::Undefined; }
    bool isHole() const { return kind == Kind::Undefined && b; }
    bool isNull() const { return kind == Kind::Null; }
    bool isNullish() const { return kind == Kind::Undefined || kind == Kind::Null; }
    bool isNumber() const { return kind == Kind::Number; }
    bool isString() const { return kind == Kind::String; }
    bool isObject() const { return kind == Kind::Object; }
    Object* object() const { return kind == Kind::Object ? o : nullptr; }
};

// The conversions that need no object: numbers, strings and booleans.
QString numberToString(double n);
QString numberToRadixString(double n, int radix);
double stringToNumber(const QString& s);
std::int32_t toInt32(double n);
std::uint32_t toUint32(double n);
bool isInteger(double n); // an int value: integral and inside the int range, -0 aside
bool primitiveToBoolean(const Value& v);

} // namespace swf::avm2
