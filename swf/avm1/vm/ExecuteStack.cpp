// Actions on the stack, the registers and the constant pool, and the string
// actions of version 4.

#include "swf/avm1/vm/Execute.h"

#include <algorithm>

namespace swf::avm1 {

using namespace exec;

void Interpreter::opPush(Exec& x, const Instruction& ins)
{
    Frame& f = x.f;
    for (const PushItem& item : ins.push) {
        switch (item.kind) {
        case PushItem::Kind::Literal: push(item.value); break;
        case PushItem::Kind::Register:
            push(size_t(item.index) < f.regs.size() ? f.regs[size_t(item.index)] : Value());
            break;
        case PushItem::Kind::Constant:
            if (!f.pool || size_t(item.index) >= f.pool->size())
                trap(QStringLiteral("constant %1 outside the pool").arg(item.index));
            push(Value((*f.pool)[size_t(item.index)]));
            break;
        }
    }
}

void Interpreter::opPop(Exec& x, const Instruction&)
{
    pop(x.f);
}

void Interpreter::opPushDuplicate(Exec& x, const Instruction&)
{
    Value v = top(x.f);
    push(std::move(v));
}

void Interpreter::opStackSwap(Exec& x, const Instruction&)
{
    Value b = pop(x.f);
    Value a = pop(x.f);
    push(std::move(b));
    push(std::move(a));
}

void Interpreter::opStoreRegister(Exec& x, const Instruction& ins)
{
    // Registers a function does not declare do not exist: the store is lost.
    if (size_t(ins.a) < x.f.regs.size())
        x.f.regs[size_t(ins.a)] = top(x.f);
}

void Interpreter::opConstantPool(Exec& x, const Instruction& ins)
{
    x.f.pool = ins.strings;
}

void Interpreter::opToString(Exec& x, const Instruction&)
{
    push(Value(toString(pop(x.f))));
}

void Interpreter::opTypeOf(Exec& x, const Instruction&)
{
    push(Value(typeOf(pop(x.f))));
}

void Interpreter::opStringEquals(Exec& x, const Instruction&)
{
    auto [a, b] = popStrings(x.f);
    pushBool(a == b);
}

namespace exec {

QString strictText(Interpreter& vm, const Value& v)
{
    Object* o = v.asObject();
    if (!o || o->kind() == Object::Kind::Clip || (o->kind() == Object::Kind::String && o->primitive.isString()))
        return vm.toString(v);
    const QString typeName = o->kind() == Object::Kind::Function ? QStringLiteral("[type Function]") : QStringLiteral("[type Object]");
    Value method = vm.getMember(v, QStringLiteral("toString"));
    Object* m = method.asObject();
    if (!m || m->kind() != Object::Kind::Function)
        return typeName;
    Value r = vm.call(method, v, {});
    return r.isString() ? r.asString() : typeName;
}

} // namespace exec

void Interpreter::opStringLess(Exec& x, const Instruction&)
{
    Value vb = pop(x.f);
    Value va = pop(x.f);
    const QString b = strictText(*this, vb);
    pushBool(strictText(*this, va) < b);
}

void Interpreter::opStringGreater(Exec& x, const Instruction&)
{
    Value vb = pop(x.f);
    Value va = pop(x.f);
    const QString b = strictText(*this, vb);
    pushBool(strictText(*this, va) > b);
}

void Interpreter::opStringLength(Exec& x, const Instruction&)
{
    push(Value(double(toString(pop(x.f)).size())));
}

void Interpreter::opMBStringLength(Exec& x, const Instruction& ins)
{
    opStringLength(x, ins);
}

void Interpreter::opStringAdd(Exec& x, const Instruction&)
{
    auto [a, b] = popStrings(x.f);
    chargeMemory(size_t(a.size() + b.size()) * sizeof(QChar)); // before it is made
    push(Value(a + b));
}

// substring(string, 1-based index, count); a negative count runs to the end.
void Interpreter::opStringExtract(Exec& x, const Instruction&)
{
    double count = toIntegerValue(toNumber(pop(x.f)));
    double index = toIntegerValue(toNumber(pop(x.f)));
    QString s = toString(pop(x.f));
    index = std::max(index - 1, 0.0);
    if (index >= s.size()) {
        push(Value(QString()));
        return;
    }
    qsizetype n = count < 0 || index + count > s.size() ? s.size() - qsizetype(index) : qsizetype(count);
    push(Value(s.mid(qsizetype(index), n)));
}

void Interpreter::opMBStringExtract(Exec& x, const Instruction& ins)
{
    opStringExtract(x, ins);
}

void Interpreter::opCharToAscii(Exec& x, const Instruction&)
{
    QString s = toString(pop(x.f));
    push(Value(s.isEmpty() ? 0.0 : double(s[0].unicode())));
}

void Interpreter::opMBCharToAscii(Exec& x, const Instruction& ins)
{
    opCharToAscii(x, ins);
}

void Interpreter::opAsciiToChar(Exec& x, const Instruction&)
{
    uint32_t c = toUint32(toNumber(pop(x.f))) & 0xFFFF;
    push(Value(c ? QString(QChar(char16_t(c))) : QString()));
}

void Interpreter::opMBAsciiToChar(Exec& x, const Instruction& ins)
{
    opAsciiToChar(x, ins);
}

} // namespace swf::avm1
