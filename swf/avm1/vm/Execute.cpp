// The dispatch loop of the script machine, the stack helpers every action
// uses, and the actions that steer the loop itself: branches, return, with,
// try and throw.

#include "swf/avm1/vm/Execute.h"

namespace swf::avm1 {

using namespace exec;

int exec::levelNumber(const QString& name)
{
    if (!name.startsWith(QLatin1String("_level"), Qt::CaseInsensitive) || name.size() == 6)
        return -1;
    bool ok = false;
    int n = name.mid(6).toInt(&ok);
    return ok && n >= 0 ? n : -1;
}

void Interpreter::push(Value v)
{
    if (m_stack.size() >= MaxStack)
        trap(QStringLiteral("stack overflow"));
    m_stack.push_back(std::move(v));
}

void Interpreter::pushBool(bool b)
{
    // Movies of version 4 have no boolean type: comparisons give 1 or 0.
    push(m_version < 5 ? Value(b ? 1.0 : 0.0) : Value(b));
}

size_t Interpreter::popCount(Frame& f)
{
    // The count is taken as an unsigned 32-bit number, saturating at its ends.
    double n = toNumber(pop(f));
    if (!(n >= 0))
        return 0;
    return n >= 4294967295.0 ? size_t(4294967295u) : size_t(n);
}

size_t Interpreter::stackDepth(Frame& f) const
{
    return m_stack.size() > f.stackBase ? m_stack.size() - f.stackBase : 0;
}

void Interpreter::popArgs(Frame& f, std::vector<Value>& args)
{
    // Arguments missing from the stack read as undefined, as popping an empty
    // stack does; a count far beyond the stack takes what there is and a few
    // undefined ones, never an allocation of the count's size.
    size_t n = std::min(popCount(f), stackDepth(f) + MaxMissingArgs);
    args.resize(n);
    for (size_t i = 0; i < args.size(); ++i)
        args[i] = pop(f);
}

std::pair<double, double> Interpreter::popNumbers(Frame& f)
{
    double b = toNumber(pop(f));
    double a = toNumber(pop(f));
    return { a, b };
}

std::pair<bool, bool> Interpreter::popBooleans(Frame& f)
{
    bool b = toBoolean(pop(f));
    bool a = toBoolean(pop(f));
    return { a, b };
}

std::pair<QString, QString> Interpreter::popStrings(Frame& f)
{
    QString b = toString(pop(f));
    QString a = toString(pop(f));
    return { a, b };
}

ClipObject* Interpreter::targetClip(Frame& f)
{
    return asClip(f.targetLost ? nullptr : timelineOf(f));
}

int Interpreter::execute(Frame& f, const Block& block, int from, int to)
{
    const std::vector<Instruction>& code = block.code;
    const int end = int(code.size());
    Exec x { f, block, from };
    while (x.pc >= from && x.pc < to) {
        const Instruction& ins = code[size_t(x.pc)];
        if (m_halted)
            throw ScriptTrap {}; // unwinds what still runs, without a note
        if (++m_executed - m_runStart > m_budget)
            trap(QStringLiteral("action budget spent"));
        if (m_executed - m_frameStart > m_frameBudget)
            trap(QStringLiteral("action budget of the frame spent"));
        // Objects made outside a script's say may have spent the memory budget.
        if (m_memory.needsRecount())
            checkMemory(0);
        ++x.pc;
        switch (ins.op) {
#define ACTION(code, name, pops, pushes, comment) \
    case Op::name: op##name(x, ins); break;
#include "swf/avm1/vm/Opcodes.def"
        default:
            break; // unknown actions are skipped
        }
        if (x.leave || f.returned)
            return end;
    }
    return x.pc;
}

void Interpreter::opEnd(Exec& x, const Instruction&)
{
    x.leave = true;
}

void Interpreter::opJump(Exec& x, const Instruction& ins)
{
    x.pc = ins.target;
}

void Interpreter::opIf(Exec& x, const Instruction& ins)
{
    if (toBoolean(pop(x.f)))
        x.pc = ins.target;
}

void Interpreter::opReturn(Exec& x, const Instruction&)
{
    x.f.returnValue = pop(x.f);
    x.f.returned = true;
}

void Interpreter::opWith(Exec& x, const Instruction& ins)
{
    Frame& f = x.f;
    Object* o = toObject(pop(f));
    const int bodyStart = x.pc;
    // `with` on undefined or null skips its body.
    if (!o) {
        x.pc = ins.target;
        return;
    }
    std::shared_ptr<Scope> saved = f.scope;
    f.scope = std::make_shared<Scope>(Scope { o, f.scope });
    int next;
    try {
        next = execute(f, x.block, bodyStart, ins.target);
    } catch (...) {
        f.scope = saved;
        throw;
    }
    f.scope = saved;
    x.pc = next;
}

void Interpreter::opTry(Exec& x, const Instruction&)
{
    runTry(x.f, x.block, x.pc - 1, x.pc);
}

void Interpreter::opThrow(Exec& x, const Instruction&)
{
    throw ScriptThrow { pop(x.f) };
}

void Interpreter::runTry(Frame& f, const Block& block, int index, int& pc)
{
    const Instruction& ins = block.code[size_t(index)];
    const int tryStart = index + 1;
    const int catchStart = ins.catchStart;
    const int finallyStart = ins.finallyStart;
    const int end = ins.target;
    const size_t stackDepth = m_stack.size();
    const std::shared_ptr<Scope> scope = f.scope;
    const size_t frames = m_frames.size();
    const int depth = m_depth;

    bool pending = false;
    Value pendingValue;
    int next;
    auto restore = [&] {
        if (m_stack.size() > stackDepth)
            m_stack.resize(stackDepth);
        f.scope = scope;
        m_frames.resize(frames);
        m_depth = depth;
    };
    try {
        next = execute(f, block, tryStart, catchStart);
    } catch (ScriptThrow& t) {
        restore();
        next = end;
        if (ins.a & TryHasCatch) {
            if (ins.a & TryCatchInRegister) {
                if (size_t(ins.b) < f.regs.size())
                    f.regs[size_t(ins.b)] = t.value;
            } else if (f.activation) {
                f.activation->put(ins.s1, t.value);
            } else {
                setVariable(f, ins.s1, t.value);
            }
            try {
                next = execute(f, block, catchStart, finallyStart);
            } catch (ScriptThrow& t2) {
                restore();
                pending = true;
                pendingValue = t2.value;
            }
        } else {
            pending = true;
            pendingValue = t.value;
        }
    }
    if (next >= tryStart && next <= end)
        next = end;
    if (ins.a & TryHasFinally) {
        bool returned = f.returned;
        Value returnValue = f.returnValue;
        f.returned = false;
        int after = execute(f, block, finallyStart, end);
        if (f.returned) {
            pending = false; // a return in finally wins over everything
        } else {
            f.returned = returned;
            f.returnValue = returnValue;
            if (after != end)
                next = after, pending = false;
        }
    }
    if (pending)
        throw ScriptThrow { pendingValue };
    pc = next;
}

} // namespace swf::avm1
