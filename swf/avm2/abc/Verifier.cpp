#include "swf/avm2/abc/Verifier.h"

#include "swf/io/Reader.h"

#include <deque>
#include <string_view>
#include <unordered_map>

namespace swf::avm2 {

namespace {

enum class Operands { None, Byte, U30, U30x2, Branch, Switch, Debug };

struct OpInfo {
    bool known = false;
    Operands operands = Operands::None;
    int pops = 0;
    int pushes = 0;
};

const OpInfo* opTable()
{
    static OpInfo table[256];
    static bool filled = false;
    if (!filled) {
#define SWF_AVM2_ROW(name, code, ops, p, q) table[code] = OpInfo { true, Operands::ops, p, q };
        SWF_AVM2_OPCODES(SWF_AVM2_ROW)
#undef SWF_AVM2_ROW
        filled = true;
    }
    return table;
}

int nameParts(const AbcFile& file, std::uint32_t multiname)
{
    const AbcMultiname& name = file.multinames[multiname];
    return (name.runtimeName() ? 1 : 0) + (name.runtimeNamespace() ? 1 : 0);
}

bool isBranch(Op op) { return opTable()[std::uint8_t(op)].operands == Operands::Branch; }

// Whether execution can go on to the next instruction.
bool fallsThrough(Op op)
{
    switch (op) {
    case Op::Jump: case Op::Throw: case Op::ReturnVoid: case Op::ReturnValue: case Op::LookupSwitch:
        return false;
    default:
        return true;
    }
}

class BodyDecoder {
public:
    BodyDecoder(const AbcFile& file, const AbcBody& body) : m_file(file), m_body(body) { }
    Result<DecodedBody> run();

private:
    Result<void> decode();
    Result<void> checkOperands(const Instruction& insn, qint64 at);
    Result<void> checkFlow();
    Error bad(std::size_t index, int id, const QString& what)
    {
        return fail(index < m_offsets.size() ? m_offsets[index] : -1, id, what);
    }
    Error fail(qint64 at, int id, const QString& what)
    {
        m_errorId = id;
        return Error::at(at, what);
    }

public:
    int errorId() const { return m_errorId; }

private:
    int m_errorId = 1000;

    const AbcFile& m_file;
    const AbcBody& m_body;
    DecodedBody m_out;
    std::vector<qint64> m_offsets; // byte offset of each instruction
    std::unordered_map<qint64, std::uint32_t> m_indexAt; // byte offset -> instruction index
    std::vector<std::pair<std::size_t, std::int64_t>> m_branches; // instruction, target byte offset
    std::vector<std::vector<std::int64_t>> m_switchOffsets;
};

Result<void> BodyDecoder::checkOperands(const Instruction& insn, qint64 at)
{
    // Entry 0 of a constant pool stands for "none": no instruction may name it.
    // Methods, classes and handlers count from 0.
    auto within = [&](std::uint32_t index, std::size_t size, const char* table) -> Result<void> {
        const bool pool = table != std::string_view("method") && table != std::string_view("class") && table != std::string_view("exception");
        if (index >= size || (pool && index == 0))
            return fail(at, 1032, QStringLiteral("Cpool index %1 is out of range %2.").arg(index).arg(size));
        return {};
    };
    auto local = [&](std::uint32_t index) -> Result<void> {
        if (index >= m_body.localCount)
            return fail(at, 1025, QStringLiteral("An invalid register %1 was accessed.").arg(index));
        return {};
    };
    switch (insn.op) {
    case Op::PushString: case Op::DebugFile: case Op::Dxns:
        return within(insn.a, m_file.strings.size(), "string");
    case Op::PushInt: return within(insn.a, m_file.ints.size(), "int");
    case Op::PushUint: return within(insn.a, m_file.uints.size(), "uint");
    case Op::PushDouble: return within(insn.a, m_file.doubles.size(), "double");
    case Op::PushNamespace: return within(insn.a, m_file.namespaces.size(), "namespace");
    case Op::NewFunction: case Op::CallStatic: return within(insn.a, m_file.methods.size(), "method");
    case Op::NewClass: return within(insn.a, m_file.classes.size(), "class");
    case Op::NewCatch: return within(insn.a, m_body.exceptions.size(), "exception");
    case Op::GetLocal: case Op::SetLocal: case Op::Kill: case Op::IncLocal: case Op::DecLocal:
    case Op::IncLocalI: case Op::DecLocalI:
        return local(insn.a);
    case Op::HasNext2:
        SWF_TRY_VOID(local(insn.a));
        return local(insn.b);
    case Op::GetLocal0: case Op::GetLocal1: case Op::GetLocal2: case Op::GetLocal3:
        return local(std::uint8_t(insn.op) - std::uint8_t(Op::GetLocal0));
    case Op::SetLocal0: case Op::SetLocal1: case Op::SetLocal2: case Op::SetLocal3:
        return local(std::uint8_t(insn.op) - std::uint8_t(Op::SetLocal0));
    case Op::GetLex: case Op::FindDef:
        SWF_TRY_VOID(within(insn.a, m_file.multinames.size(), "multiname"));
        if (insn.a == 0 || nameParts(m_file, insn.a) != 0)
            return fail(at, 1078, QStringLiteral("Illegal opcode/multiname combination: %1<%2>.").arg(int(insn.op)).arg(insn.a));
        return {};
    case Op::GetSuper: case Op::SetSuper: case Op::CallSuper: case Op::CallProperty: case Op::ConstructProp:
    case Op::CallPropLex: case Op::CallSuperVoid: case Op::CallPropVoid: case Op::GetDescendants:
    case Op::FindPropStrict: case Op::FindProperty: case Op::SetProperty: case Op::GetProperty:
    case Op::InitProperty: case Op::DeleteProperty: case Op::Coerce: case Op::AsType: case Op::IsType:
        SWF_TRY_VOID(within(insn.a, m_file.multinames.size(), "multiname"));
        if (insn.a == 0)
            return fail(at, 1032, QStringLiteral("Cpool index 0 is out of range %1.").arg(m_file.multinames.size()));
        return {};
    default:
        return {};
    }
}

Result<void> BodyDecoder::decode()
{
    Reader in(m_body.code);
    const OpInfo* table = opTable();
    while (!in.atEnd()) {
        const qint64 at = in.offset();
        auto code = SWF_TRY(in.readU8());
        const OpInfo& info = table[code];
        if (!info.known)
            return fail(at, 1011, QStringLiteral("Method contained illegal opcode %1 at offset %2.").arg(code).arg(at));
        Instruction insn;
        insn.op = Op(code);
        switch (info.operands) {
        case Operands::None:
            break;
        case Operands::Byte:
            insn.a = SWF_TRY(in.readU8());
            break;
        case Operands::U30:
            insn.a = SWF_TRY(in.readEncodedU32());
            break;
        case Operands::U30x2:
            insn.a = SWF_TRY(in.readEncodedU32());
            insn.b = SWF_TRY(in.readEncodedU32());
            break;
        case Operands::Branch: {
            auto bytes = SWF_TRY(in.readBytes(3));
            std::int32_t offset = std::int32_t(std::uint8_t(bytes[0]) | std::uint8_t(bytes[1]) << 8 | std::uint8_t(bytes[2]) << 16);
            offset = (offset << 8) >> 8;
            m_branches.emplace_back(m_out.code.size(), in.offset() + offset);
            break;
        }
        case Operands::Switch: {
            std::vector<std::int64_t> targets;
            auto readS24 = [&]() -> Result<std::int32_t> {
                auto bytes = SWF_TRY(in.readBytes(3));
                std::int32_t v = std::int32_t(std::uint8_t(bytes[0]) | std::uint8_t(bytes[1]) << 8 | std::uint8_t(bytes[2]) << 16);
                return (v << 8) >> 8;
            };
            targets.push_back(at + SWF_TRY(readS24()));
            auto cases = SWF_TRY(in.readEncodedU32());
            // Each case takes three bytes of the body.
            if (std::uint64_t(cases) + 1 > in.remaining() / 3 + 1)
                return fail(at, 1021, QStringLiteral("At least one branch target was not on a valid instruction in the method."));
            for (std::uint32_t i = 0; i <= cases; ++i)
                targets.push_back(at + SWF_TRY(readS24()));
            insn.a = std::uint32_t(m_switchOffsets.size());
            m_switchOffsets.push_back(std::move(targets));
            break;
        }
        case Operands::Debug:
            SWF_TRY(in.readU8());
            SWF_TRY(in.readEncodedU32());
            SWF_TRY(in.readU8());
            SWF_TRY(in.readEncodedU32());
            break;
        }
        SWF_TRY_VOID(checkOperands(insn, at));
        m_indexAt[at] = std::uint32_t(m_out.code.size());
        m_offsets.push_back(at);
        m_out.code.push_back(insn);
    }
    if (m_out.code.empty())
        return fail(0, 1043, QStringLiteral("Invalid code_length=0."));
    const qint64 end = in.offset();
    auto target = [&](std::size_t from, std::int64_t offset) -> Result<std::uint32_t> {
        auto it = m_indexAt.find(offset);
        if (it == m_indexAt.end())
            return bad(from, 1021, QStringLiteral("At least one branch target was not on a valid instruction in the method."));
        return it->second;
    };
    for (const auto& [from, offset] : m_branches)
        m_out.code[from].a = SWF_TRY(target(from, offset));
    for (std::size_t i = 0; i < m_out.code.size(); ++i) {
        if (m_out.code[i].op != Op::LookupSwitch)
            continue;
        std::vector<std::uint32_t> targets;
        for (std::int64_t offset : m_switchOffsets[m_out.code[i].a])
            targets.push_back(SWF_TRY(target(i, offset)));
        m_out.code[i].a = std::uint32_t(m_out.switches.size());
        m_out.switches.push_back(std::move(targets));
    }
    // Handlers guard whole instructions; `to` may be the end of the code.
    auto boundary = [&](std::uint32_t offset) -> std::optional<std::uint32_t> {
        if (offset == end)
            return std::uint32_t(m_out.code.size());
        auto it = m_indexAt.find(offset);
        if (it == m_indexAt.end())
            return std::nullopt;
        return it->second;
    };
    for (const AbcException& e : m_body.exceptions) {
        auto from = boundary(e.from), to = boundary(e.to), at = boundary(e.target);
        if (!from || !to || !at || *at >= m_out.code.size())
            return fail(0, 1054, QStringLiteral("Illegal range or target offsets in exception handler."));
        m_out.handlers.push_back(Handler { *from, *to, *at, e.type, e.varName });
    }
    return {};
}

Result<void> BodyDecoder::checkFlow()
{
    // Depth of the operand and scope stacks on entry to each instruction, from
    // every path that reaches it; -1 where no path has reached yet.
    const std::size_t n = m_out.code.size();
    std::vector<int> stackAt(n, -1), scopeAt(n, -1);
    const int maxScope = int(m_body.maxScopeDepth - m_body.initScopeDepth);
    std::deque<std::uint32_t> work;
    auto reach = [&](std::size_t from, std::uint32_t to, int stack, int scope) -> Result<void> {
        if (stackAt[to] < 0) {
            stackAt[to] = stack;
            scopeAt[to] = scope;
            work.push_back(to);
        } else if (stackAt[to] != stack || scopeAt[to] != scope) {
            // The arriving path's depth first, then the depth the target already had.
            return stackAt[to] != stack ? bad(from, 1030, QStringLiteral("Stack depth is unbalanced. %1 != %2.").arg(stack).arg(stackAt[to]))
                                        : bad(from, 1031, QStringLiteral("Scope depth is unbalanced. %1 != %2.").arg(scope).arg(scopeAt[to]));
        }
        return {};
    };
    SWF_TRY_VOID(reach(0, 0, 0, 0));
    while (!work.empty()) {
        std::uint32_t i = work.front();
        work.pop_front();
        // A handler is checked once code it guards can run: it starts with the
        // exception alone on the stack and no scopes of its own. A handler
        // that guards only unreachable code is never checked, as it never runs.
        for (const Handler& h : m_out.handlers) {
            if (i >= h.from && i < h.to)
                SWF_TRY_VOID(reach(i, h.target, 1, 0));
        }
        const Instruction& insn = m_out.code[i];
        int pops = 0, pushes = 0;
        stackEffect(m_file, insn, pops, pushes);
        int stack = stackAt[i];
        int scope = scopeAt[i];
        if (pops > stack)
            return bad(i, 1024, QStringLiteral("Stack underflow occurred."));
        stack += pushes - pops;
        if (stack > int(m_body.maxStack))
            return bad(i, 1023, QStringLiteral("Stack overflow occurred."));
        switch (insn.op) {
        case Op::PushScope: case Op::PushWith:
            if (++scope > maxScope)
                return bad(i, 1017, QStringLiteral("Scope stack overflow occurred."));
            break;
        case Op::PopScope:
            if (--scope < 0)
                return bad(i, 1018, QStringLiteral("Scope stack underflow occurred."));
            break;
        case Op::GetScopeObject:
            if (int(insn.a) >= scope)
                return bad(i, 1019, QStringLiteral("Getscopeobject %1 is out of bounds.").arg(insn.a));
            break;
        default:
            break;
        }
        if (isBranch(insn.op))
            SWF_TRY_VOID(reach(i, insn.a, stack, scope));
        if (insn.op == Op::LookupSwitch) {
            for (std::uint32_t target : m_out.switches[insn.a])
                SWF_TRY_VOID(reach(i, target, stack, scope));
        }
        if (fallsThrough(insn.op)) {
            if (i + 1 >= n)
                return bad(i, 1020, QStringLiteral("Code cannot fall off the end of a method."));
            SWF_TRY_VOID(reach(i, i + 1, stack, scope));
        }
    }
    return {};
}

Result<DecodedBody> BodyDecoder::run()
{
    SWF_TRY_VOID(decode());
    SWF_TRY_VOID(checkFlow());
    return std::move(m_out);
}

} // namespace

bool stackEffect(const AbcFile& file, const Instruction& insn, int& pops, int& pushes)
{
    const OpInfo& info = opTable()[std::uint8_t(insn.op)];
    if (!info.known)
        return false;
    pops = info.pops;
    pushes = info.pushes;
    if (pops >= 0)
        return true;
    const int argc = int(std::min<std::uint32_t>(insn.b, 1u << 20));
    const int count = int(std::min<std::uint32_t>(insn.a, 1u << 20));
    switch (insn.op) {
    case Op::GetSuper: case Op::GetProperty: case Op::DeleteProperty: case Op::GetDescendants:
        pops = 1 + nameParts(file, insn.a);
        break;
    case Op::SetSuper: case Op::SetProperty: case Op::InitProperty:
        pops = 2 + nameParts(file, insn.a);
        break;
    case Op::FindPropStrict: case Op::FindProperty:
        pops = nameParts(file, insn.a);
        break;
    case Op::Call: pops = count + 2; break;
    case Op::Construct: case Op::ConstructSuper: case Op::ApplyType: pops = count + 1; break;
    case Op::CallMethod: case Op::CallStatic: pops = argc + 1; break;
    case Op::CallSuper: case Op::CallProperty: case Op::ConstructProp: case Op::CallPropLex:
    case Op::CallSuperVoid: case Op::CallPropVoid:
        pops = argc + 1 + nameParts(file, insn.a);
        break;
    case Op::NewObject: pops = 2 * count; break;
    case Op::NewArray: pops = count; break;
    default: pops = 0; break;
    }
    return true;
}

Result<DecodedBody> verifyBody(const AbcFile& file, const AbcBody& body, int* errorId)
{
    BodyDecoder decoder(file, body);
    auto result = decoder.run();
    if (errorId)
        *errorId = result.ok() ? 0 : decoder.errorId();
    return result;
}

} // namespace swf::avm2
