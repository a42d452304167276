// Math: constants and functions on one plain object.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

#include <cmath>
#include <limits>

namespace swf::avm1 {

namespace {

double roundHalfUp(double x)
{
    return std::floor(x + 0.5);
}

// Every Math function turns its first two arguments into numbers, in order,
// whether it uses them or not, and looks at no further argument: a
// `valueOf` runs for exactly those two.
struct TwoNumbers {
    double x, y;
    size_t given;
};

TwoNumbers firstTwoNumbers(Interpreter& vm, CallArgs& a)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    TwoNumbers n { nan, nan, std::min<size_t>(a.args.size(), 2) };
    if (n.given > 0)
        n.x = vm.toNumber(a.args[0]);
    if (n.given > 1)
        n.y = vm.toNumber(a.args[1]);
    return n;
}

} // namespace

// A function of one number; with no argument at all the answer is NaN.
template<double (*F)(double)>
Value mathUnary(Interpreter& vm, CallArgs& a)
{
    const TwoNumbers n = firstTwoNumbers(vm, a);
    return Value(n.given ? F(n.x) : n.x);
}

// max and min of the first two: NaN as soon as one is not a number.
template<bool Max>
Value mathExtreme(Interpreter& vm, CallArgs& a)
{
    const TwoNumbers n = firstTwoNumbers(vm, a);
    double r = Max ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < n.given; ++i) {
        const double v = i ? n.y : n.x;
        if (std::isnan(v))
            return Value(v);
        r = Max ? std::max(r, v) : std::min(r, v);
    }
    return Value(r);
}

static Value mathAtan2(Interpreter& vm, CallArgs& a)
{
    const TwoNumbers n = firstTwoNumbers(vm, a);
    return Value(std::atan2(n.x, n.y));
}

static Value mathPow(Interpreter& vm, CallArgs& a)
{
    const TwoNumbers n = firstTwoNumbers(vm, a);
    return Value(std::pow(n.x, n.y));
}

static Value mathRandom(Interpreter& vm, CallArgs& a)
{
    firstTwoNumbers(vm, a);
    return Value(vm.random01());
}

const NativeMethod mathMethods[] = {
    { "abs", mathUnary<std::fabs> },
    { "acos", mathUnary<std::acos> },
    { "asin", mathUnary<std::asin> },
    { "atan", mathUnary<std::atan> },
    { "ceil", mathUnary<std::ceil> },
    { "cos", mathUnary<std::cos> },
    { "exp", mathUnary<std::exp> },
    { "floor", mathUnary<std::floor> },
    { "log", mathUnary<std::log> },
    { "round", mathUnary<roundHalfUp> },
    { "sin", mathUnary<std::sin> },
    { "sqrt", mathUnary<std::sqrt> },
    { "tan", mathUnary<std::tan> },
    { "atan2", mathAtan2 },
    { "pow", mathPow },
    { "max", mathExtreme<true> },
    { "min", mathExtreme<false> },
    { "random", mathRandom },
};

void Builtins::installMath(Interpreter& vm)
{
    Object* math = vm.newObject();
    // A class of static members the player builds names Object as its constructor.
    math->define(QStringLiteral("constructor"), Value(vm.realm().objectConstructor), DontEnum | DontDelete);
    vm.global()->define(QStringLiteral("Math"), Value(math), DontEnum);
    const uint8_t constant = DontEnum | DontDelete | ReadOnly;
    math->define(QStringLiteral("E"), Value(M_E), constant);
    math->define(QStringLiteral("LN10"), Value(M_LN10), constant);
    math->define(QStringLiteral("LN2"), Value(M_LN2), constant);
    math->define(QStringLiteral("LOG10E"), Value(M_LOG10E), constant);
    math->define(QStringLiteral("LOG2E"), Value(M_LOG2E), constant);
    math->define(QStringLiteral("PI"), Value(M_PI), constant);
    math->define(QStringLiteral("SQRT1_2"), Value(M_SQRT1_2), constant);
    math->define(QStringLiteral("SQRT2"), Value(M_SQRT2), constant);
    vm.defineMethods(math, mathMethods);
    // Everything on Math is fixed, its links as much as its constants.
    for (const QString& name : math->ownNames(true)) {
        if (Property* p = math->findOwn(name))
            p->flags = constant;
    }
}

} // namespace swf::avm1
