// Actions on numbers and truth values: arithmetic, comparison, logic,
// conversion and 32-bit bit operations, in their version 4 and 5 forms.

#include "swf/avm1/vm/Execute.h"

#include <cmath>
#include <limits>

namespace swf::avm1 {

using namespace exec;

// Version 4 arithmetic converts both operands to numbers.
void Interpreter::opAdd(Exec& x, const Instruction&)
{
    auto [a, b] = popNumbers(x.f);
    push(Value(a + b));
}

void Interpreter::opSubtract(Exec& x, const Instruction&)
{
    auto [a, b] = popNumbers(x.f);
    push(Value(a - b));
}

void Interpreter::opMultiply(Exec& x, const Instruction&)
{
    auto [a, b] = popNumbers(x.f);
    push(Value(a * b));
}

void Interpreter::opDivide(Exec& x, const Instruction&)
{
    auto [a, b] = popNumbers(x.f);
    // Movies of version 4 show division by zero as an error text.
    if (b == 0 && m_version < 5)
        push(Value(QStringLiteral("#ERROR#")));
    else
        push(Value(a / b));
}

void Interpreter::opModulo(Exec& x, const Instruction&)
{
    auto [a, b] = popNumbers(x.f);
    push(Value(std::fmod(a, b)));
}

void Interpreter::opEquals(Exec& x, const Instruction&)
{
    auto [a, b] = popNumbers(x.f);
    pushBool(a == b);
}

void Interpreter::opLess(Exec& x, const Instruction&)
{
    // Unlike the arithmetic actions, the old Less reads its left operand first.
    Value vb = pop(x.f);
    Value va = pop(x.f);
    const double a = toNumber(va);
    const double b = toNumber(vb);
    pushBool(a < b);
}

void Interpreter::opAnd(Exec& x, const Instruction&)
{
    auto [a, b] = popBooleans(x.f);
    pushBool(a && b);
}

void Interpreter::opOr(Exec& x, const Instruction&)
{
    auto [a, b] = popBooleans(x.f);
    pushBool(a || b);
}

void Interpreter::opNot(Exec& x, const Instruction&)
{
    pushBool(!toBoolean(pop(x.f)));
}

// Version 5: sum or concatenation, decided on the primitive values.
void Interpreter::opAdd2(Exec& x, const Instruction&)
{
    bool ua = false;
    bool ub = false;
    Value b = toPrimitive(pop(x.f), false, &ub);
    Value a = toPrimitive(pop(x.f), false, &ua);
    // An object that gave no primitive joins a string by its type name and
    // is NaN in a sum.
    if ((a.isString() && !ua) || (b.isString() && !ub)) {
        QString sa = toString(a);
        QString sb = toString(b);
        // Charged before it is made: a doubling string stops at the budget.
        chargeMemory(size_t(sa.size() + sb.size()) * sizeof(QChar));
        push(Value(sa + sb));
    }
    else {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        push(Value((ua ? nan : toNumber(a)) + (ub ? nan : toNumber(b))));
    }
}

void Interpreter::opLess2(Exec& x, const Instruction&)
{
    Value b = pop(x.f);
    Value a = pop(x.f);
    push(abstractLess(a, b));
}

void Interpreter::opGreater(Exec& x, const Instruction&)
{
    Value b = pop(x.f);
    Value a = pop(x.f);
    push(abstractLess(b, a));
}

void Interpreter::opEquals2(Exec& x, const Instruction&)
{
    Value b = pop(x.f);
    Value a = pop(x.f);
    push(Value(abstractEquals(a, b)));
}

void Interpreter::opStrictEquals(Exec& x, const Instruction&)
{
    Value b = pop(x.f);
    Value a = pop(x.f);
    push(Value(strictEquals(a, b)));
}

void Interpreter::opIncrement(Exec& x, const Instruction&)
{
    push(Value(toNumber(pop(x.f)) + 1));
}

void Interpreter::opDecrement(Exec& x, const Instruction&)
{
    push(Value(toNumber(pop(x.f)) - 1));
}

void Interpreter::opToNumber(Exec& x, const Instruction&)
{
    push(Value(toNumber(pop(x.f))));
}

void Interpreter::opToInteger(Exec& x, const Instruction&)
{
    // Wrapped to 32 bits, as the player keeps integers.
    push(Value(double(toInt32(toNumber(pop(x.f))))));
}

namespace {

enum class BitOp { And, Or, Xor, LShift, RShift, URShift };

int32_t bitResult(BitOp op, int32_t a, int32_t b)
{
    switch (op) {
    case BitOp::And: return a & b;
    case BitOp::Or: return a | b;
    case BitOp::Xor: return a ^ b;
    case BitOp::LShift: return int32_t(uint32_t(a) << (b & 31));
    case BitOp::RShift: return a >> (b & 31);
    // The player hands the unsigned result back as a signed 32-bit value.
    case BitOp::URShift: return int32_t(uint32_t(a) >> (b & 31));
    }
    return 0;
}

} // namespace

#define BIT_ACTION(action, kind)                               \
    void Interpreter::op##action(Exec& x, const Instruction&)  \
    {                                                          \
        int32_t b = toInt32(toNumber(pop(x.f)));               \
        int32_t a = toInt32(toNumber(pop(x.f)));               \
        push(Value(double(bitResult(BitOp::kind, a, b))));     \
    }
BIT_ACTION(BitAnd, And)
BIT_ACTION(BitOr, Or)
BIT_ACTION(BitXor, Xor)
BIT_ACTION(BitLShift, LShift)
BIT_ACTION(BitRShift, RShift)
BIT_ACTION(BitURShift, URShift)
#undef BIT_ACTION

} // namespace swf::avm1
