#pragma once

// A script value: undefined, null, boolean, number, string or object.
// Conversions that never call script (number formatting, string to number)
// live here; those that may call valueOf/toString live in the Interpreter.

#include <QString>

#include <cstdint>

namespace swf::avm1 {

class Object;

enum class ValueType : uint8_t { Undefined, Null, Boolean, Number, String, Object };

class Value {
public:
    Value() = default;
    Value(bool b) : m_type(ValueType::Boolean), m_bool(b) { }
    Value(double n) : m_type(ValueType::Number), m_number(n) { }
    Value(int n) : m_type(ValueType::Number), m_number(n) { }
    Value(const QString& s) : m_type(ValueType::String), m_string(s) { }
    Value(QString&& s) : m_type(ValueType::String), m_string(std::move(s)) { }
    Value(const char* s) : m_type(ValueType::String), m_string(QString::fromUtf8(s)) { }
    Value(Object* o) : m_type(o ? ValueType::Object : ValueType::Null), m_object(o) { }

    static Value null() { Value v; v.m_type = ValueType::Null; return v; }

    ValueType type() const { return m_type; }
    bool isUndefined() const { return m_type == ValueType::Undefined; }
    bool isNull() const { return m_type == ValueType::Null; }
    bool isNullish() const { return m_type == ValueType::Undefined || m_type == ValueType::Null; }
    bool isBoolean() const { return m_type == ValueType::Boolean; }
    bool isNumber() const { return m_type == ValueType::Number; }
    bool isString() const { return m_type == ValueType::String; }
    bool isObject() const { return m_type == ValueType::Object; }

    bool asBoolean() const { return m_bool; }
    double asNumber() const { return m_number; }
    const QString& asString() const { return m_string; }
    Object* asObject() const { return m_type == ValueType::Object ? m_object : nullptr; }

private:
    ValueType m_type = ValueType::Undefined;
    bool m_bool = false;
    double m_number = 0;
    QString m_string;
    Object* m_object = nullptr;
};

// The player's decimal form of a number: up to 15 significant digits,
// exponent form outside 1e-5 .. 1e15, "NaN", "Infinity", "-Infinity".
QString numberToString(double n);
// Digits in another base (2..36); integral part only, as the player does.
QString numberToRadixString(double n, int radix);
// String to number as the conversion of movies of version 5 and later does it:
// surrounding whitespace allowed, "0x" hex, empty or malformed gives NaN.
double stringToNumber(const QString& s, int version);
// ECMA ToInt32 / ToUint32 of a double.
int32_t toInt32(double n);
uint32_t toUint32(double n);
// Truncation towards zero; NaN becomes 0.
double toIntegerValue(double n);
// Truncation to an int for counts, indices and frame numbers: NaN is 0 and
// values beyond the int range stop at its ends (a plain cast would be undefined).
int clampToInt(double n);

} // namespace swf::avm1
