// Boolean, Number and Math.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

#include <cmath>
#include <limits>

namespace swf::avm1 {

void Builtins::installNumeric(Interpreter& vm)
{
    Object* g = vm.global();
    const bool cs = vm.caseSensitive();

    // Boolean
    Object* bp = vm.make<Object>(Object::Kind::Boolean, vm.objectPrototype(), cs);
    bp->primitive = Value(false);
    booleanProto(vm) = bp;
    auto* booleanCtor = vm.newConstructor(QStringLiteral("Boolean"), [](Interpreter& vm, CallArgs& a) -> Value {
        bool b = vm.toBoolean(a.arg(0));
        if (!a.constructing)
            return a.args.empty() ? Value() : Value(b);
        // `new Boolean` boxes: the new object becomes a Boolean object.
        Object* o = vm.make<Object>(Object::Kind::Boolean, vm.booleanPrototype(), vm.caseSensitive());
        o->primitive = Value(b);
        return Value(o);
    }, bp);
    g->define(QStringLiteral("Boolean"), Value(static_cast<Object*>(booleanCtor)), DontEnum);
    auto boolOf = [](const Value& v) -> Value {
        if (v.isBoolean())
            return v;
        if (Object* o = v.asObject(); o && o->kind() == Object::Kind::Boolean)
            return o->primitive;
        return Value();
    };
    vm.defineMethod(bp, QStringLiteral("toString"), [boolOf](Interpreter& vm, CallArgs& a) -> Value {
        Value b = boolOf(a.thisValue);
        return b.isUndefined() ? Value() : Value(vm.toString(b));
    });
    vm.defineMethod(bp, QStringLiteral("valueOf"), [boolOf](Interpreter&, CallArgs& a) -> Value { return boolOf(a.thisValue); });

    // Number
    // Number.prototype is a plain object, not a boxed zero: its own valueOf
    // gives undefined and its toString names an object.
    Object* np = vm.make<Object>(Object::Kind::Plain, vm.objectPrototype(), cs);
    numberProto(vm) = np;
    auto* numberCtor = vm.newConstructor(QStringLiteral("Number"), [](Interpreter& vm, CallArgs& a) -> Value {
        double n = a.args.empty() ? 0.0 : vm.toNumber(a.arg(0));
        if (!a.constructing)
            return Value(n);
        Object* o = vm.make<Object>(Object::Kind::Number, vm.numberPrototype(), vm.caseSensitive());
        o->primitive = Value(n);
        return Value(o);
    }, np);
    g->define(QStringLiteral("Number"), Value(static_cast<Object*>(numberCtor)), DontEnum);
    const uint8_t constant = DontEnum | DontDelete | ReadOnly;
    numberCtor->define(QStringLiteral("MAX_VALUE"), Value(std::numeric_limits<double>::max()), constant);
    numberCtor->define(QStringLiteral("MIN_VALUE"), Value(std::numeric_limits<double>::denorm_min()), constant);
    numberCtor->define(QStringLiteral("NaN"), Value(std::numeric_limits<double>::quiet_NaN()), constant);
    numberCtor->define(QStringLiteral("NEGATIVE_INFINITY"), Value(-std::numeric_limits<double>::infinity()), constant);
    numberCtor->define(QStringLiteral("POSITIVE_INFINITY"), Value(std::numeric_limits<double>::infinity()), constant);
    auto numberOf = [](const Value& v) -> Value {
        if (v.isNumber())
            return v;
        if (Object* o = v.asObject(); o && o->kind() == Object::Kind::Number)
            return o->primitive;
        return Value();
    };
    vm.defineMethod(np, QStringLiteral("toString"), [numberOf](Interpreter& vm, CallArgs& a) -> Value {
        Value n = numberOf(a.thisValue);
        if (n.isUndefined())
            return Value(QStringLiteral("[type Object]"));
        int radix = a.arg(0).isUndefined() ? 10 : clampToInt(vm.toNumber(a.arg(0)));
        return Value(numberToRadixString(n.asNumber(), radix));
    });
    vm.defineMethod(np, QStringLiteral("valueOf"), [numberOf](Interpreter&, CallArgs& a) -> Value { return numberOf(a.thisValue); });

    // Math
    Object* math = vm.newObject();
    g->define(QStringLiteral("Math"), Value(math), DontEnum);
    math->define(QStringLiteral("E"), Value(M_E), constant);
    math->define(QStringLiteral("LN10"), Value(M_LN10), constant);
    math->define(QStringLiteral("LN2"), Value(M_LN2), constant);
    math->define(QStringLiteral("LOG10E"), Value(M_LOG10E), constant);
    math->define(QStringLiteral("LOG2E"), Value(M_LOG2E), constant);
    math->define(QStringLiteral("PI"), Value(M_PI), constant);
    math->define(QStringLiteral("SQRT1_2"), Value(M_SQRT1_2), constant);
    math->define(QStringLiteral("SQRT2"), Value(M_SQRT2), constant);
    auto unary = [&](const char* name, double (*f)(double)) {
        vm.defineMethod(math, QString::fromLatin1(name), [f](Interpreter& vm, CallArgs& a) -> Value {
            if (a.args.empty())
                return Value(std::numeric_limits<double>::quiet_NaN());
            return Value(f(vm.toNumber(a.arg(0))));
        });
    };
    unary("abs", [](double x) { return std::fabs(x); });
    unary("acos", [](double x) { return std::acos(x); });
    unary("asin", [](double x) { return std::asin(x); });
    unary("atan", [](double x) { return std::atan(x); });
    unary("ceil", [](double x) { return std::ceil(x); });
    unary("cos", [](double x) { return std::cos(x); });
    unary("exp", [](double x) { return std::exp(x); });
    unary("floor", [](double x) { return std::floor(x); });
    unary("log", [](double x) { return std::log(x); });
    unary("round", [](double x) { return std::floor(x + 0.5); });
    unary("sin", [](double x) { return std::sin(x); });
    unary("sqrt", [](double x) { return std::sqrt(x); });
    unary("tan", [](double x) { return std::tan(x); });
    vm.defineMethod(math, QStringLiteral("atan2"), [](Interpreter& vm, CallArgs& a) -> Value {
        return Value(std::atan2(vm.toNumber(a.arg(0)), vm.toNumber(a.arg(1))));
    });
    vm.defineMethod(math, QStringLiteral("pow"), [](Interpreter& vm, CallArgs& a) -> Value {
        return Value(std::pow(vm.toNumber(a.arg(0)), vm.toNumber(a.arg(1))));
    });
    vm.defineMethod(math, QStringLiteral("max"), [](Interpreter& vm, CallArgs& a) -> Value {
        double r = -std::numeric_limits<double>::infinity();
        for (const Value& v : a.args) {
            double n = vm.toNumber(v);
            if (std::isnan(n))
                return Value(n);
            r = std::max(r, n);
        }
        return Value(r);
    });
    vm.defineMethod(math, QStringLiteral("min"), [](Interpreter& vm, CallArgs& a) -> Value {
        double r = std::numeric_limits<double>::infinity();
        for (const Value& v : a.args) {
            double n = vm.toNumber(v);
            if (std::isnan(n))
                return Value(n);
            r = std::min(r, n);
        }
        return Value(r);
    });
    vm.defineMethod(math, QStringLiteral("random"), [](Interpreter& vm, CallArgs&) -> Value { return Value(vm.random01()); });
}

} // namespace swf::avm1
