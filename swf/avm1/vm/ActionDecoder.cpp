#include "swf/avm1/vm/Action.h"

#include "swf/io/Reader.h"

#include <array>
#include <unordered_map>

namespace swf::avm1 {

const OpInfo& opInfo(uint8_t code)
{
    static const std::array<OpInfo, 256> table = [] {
        std::array<OpInfo, 256> t {};
#define ACTION(code, name, pops, pushes, comment) t[code] = OpInfo { #name, pops, pushes };
#include "swf/avm1/vm/Opcodes.def"
        return t;
    }();
    return table[code];
}

namespace {

// Function bodies nest; a bound keeps hostile input from exhausting the stack.
constexpr int MaxNesting = 64;

Error errorAt(size_t offset, const char* what)
{
    return Error::at(qint64(offset), QString::fromLatin1(what));
}

Result<std::shared_ptr<Block>> decode(const uint8_t* data, size_t size, size_t base, int version, int depth);

// Scripts of version 6 and later hold UTF-8 as the player reads it:
// sequences of one to four bytes, surrogates encoded one by one passing
// through as they are. A string with any other byte sequence reads as empty.
QString decodeScriptUtf8(const char* data, qsizetype size)
{
    QString out;
    out.reserve(size);
    for (qsizetype i = 0; i < size;) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c < 0x80) {
            out += QChar(char16_t(c));
            ++i;
            continue;
        }
        int length;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            length = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            cp = c & 0x07;
        } else {
            return QString();
        }
        if (i + length > size)
            return QString();
        for (int k = 1; k < length; ++k) {
            const auto d = static_cast<unsigned char>(data[i + k]);
            if ((d & 0xC0) != 0x80)
                return QString();
            cp = (cp << 6) | (d & 0x3F);
        }
        if (cp > 0x10FFFF)
            return QString();
        if (cp >= 0x10000) {
            out += QChar(QChar::highSurrogate(cp));
            out += QChar(QChar::lowSurrogate(cp));
        } else {
            out += QChar(char16_t(cp));
        }
        i += length;
    }
    return out;
}

Result<QString> readScriptString(Reader& r, int version)
{
    const char* start = r.current();
    const qint64 from = r.offset();
    QString s = SWF_TRY(r.readString(version));
    if (version < 6)
        return s;
    return decodeScriptUtf8(start, qsizetype(r.offset() - from - 1));
}

Result<void> readPush(Reader& r, Instruction& ins, int version)
{
    while (r.remaining() > 0) {
        uint8_t type = SWF_TRY(r.readU8());
        PushItem item;
        switch (type) {
        case 0: item.value = Value(SWF_TRY(readScriptString(r, version))); break;
        case 1: item.value = Value(double(SWF_TRY(r.readFloat()))); break;
        case 2: item.value = Value::null(); break;
        case 3: item.value = Value(); break;
        case 4: item.kind = PushItem::Kind::Register; item.index = SWF_TRY(r.readU8()); break;
        case 5: item.value = Value(SWF_TRY(r.readU8()) != 0); break;
        case 6: item.value = Value(SWF_TRY(r.readDouble())); break;
        case 7: item.value = Value(double(SWF_TRY(r.readS32()))); break;
        case 8: item.kind = PushItem::Kind::Constant; item.index = SWF_TRY(r.readU8()); break;
        case 9: item.kind = PushItem::Kind::Constant; item.index = SWF_TRY(r.readU16()); break;
        default:
            return Error::at(r.offset() - 1, QStringLiteral("unknown push value type %1").arg(type));
        }
        ins.push.push_back(std::move(item));
    }
    return {};
}

// Reads a DefineFunction(2) header and its body, which follows the record.
Result<size_t> readFunction(Reader& r, Instruction& ins, const uint8_t* data, size_t size,
    size_t bodyStart, size_t base, int version, int depth)
{
    auto fn = std::make_shared<FunctionCode>();
    fn->isV2 = ins.op == Op::DefineFunction2;
    fn->name = SWF_TRY(readScriptString(r, version));
    uint16_t count = SWF_TRY(r.readU16());
    if (fn->isV2) {
        fn->registerCount = SWF_TRY(r.readU8());
        fn->flags = SWF_TRY(r.readU16());
    }
    for (uint16_t i = 0; i < count; ++i) {
        // Each parameter takes at least one byte, so the record bounds the count.
        FunctionParam p;
        if (fn->isV2)
            p.reg = SWF_TRY(r.readU8());
        p.name = SWF_TRY(readScriptString(r, version));
        fn->params.push_back(std::move(p));
    }
    uint16_t codeSize = SWF_TRY(r.readU16());
    if (bodyStart + codeSize > size)
        return errorAt(base + bodyStart, "function body runs past the end of its block");
    auto body = SWF_TRY(decode(data + bodyStart, codeSize, base + bodyStart, version, depth + 1));
    fn->body = std::move(*body);
    ins.function = std::move(fn);
    return size_t(codeSize);
}

Result<std::shared_ptr<Block>> decode(const uint8_t* data, size_t size, size_t base, int version, int depth)
{
    if (depth > MaxNesting)
        return errorAt(base, "functions nested too deeply");
    auto block = std::make_shared<Block>();
    block->version = version;
    block->size = uint32_t(size);
    // Raw branch offsets, resolved once every instruction start is known.
    struct Pending { size_t index; int64_t targetOffset; int kind; };
    std::vector<Pending> pending;

    size_t pos = 0;
    while (pos < size) {
        Instruction ins;
        ins.offset = uint32_t(pos);
        uint8_t code = data[pos];
        ins.rawCode = code;
        ins.op = static_cast<Op>(code);
        size_t payloadStart = pos + 1;
        size_t length = 0;
        if (code >= 0x80) {
            if (pos + 3 > size)
                return errorAt(base + pos, "action header runs past the end of the block");
            length = size_t(data[pos + 1] | (data[pos + 2] << 8));
            payloadStart = pos + 3;
            if (payloadStart + length > size)
                return errorAt(base + pos, "action record runs past the end of the block");
        }
        size_t next = payloadStart + length;
        // Operands are read within the record; errors carry their place in the movie.
        Reader r(reinterpret_cast<const char*>(data + payloadStart), length, qint64(base + payloadStart));
        if (code == 0) {
            block->code.push_back(std::move(ins));
            pos = next;
            break;
        }
        switch (ins.op) {
        case Op::GotoFrame: ins.a = SWF_TRY(r.readU16()); break;
        case Op::GetURL:
            ins.s1 = SWF_TRY(readScriptString(r, version));
            ins.s2 = SWF_TRY(readScriptString(r, version));
            break;
        case Op::WaitForFrame:
            ins.a = SWF_TRY(r.readU16());
            ins.b = SWF_TRY(r.readU8());
            break;
        case Op::WaitForFrame2: ins.b = SWF_TRY(r.readU8()); break;
        case Op::SetTarget:
        case Op::GotoLabel: ins.s1 = SWF_TRY(readScriptString(r, version)); break;
        case Op::Push:
            SWF_TRY_VOID(readPush(r, ins, version));
            break;
        case Op::Jump:
        case Op::If: {
            int16_t delta = int16_t(SWF_TRY(r.readU16()));
            pending.push_back({ block->code.size(), int64_t(next) + delta, 0 });
            break;
        }
        case Op::GetURL2: ins.a = SWF_TRY(r.readU8()); break;
        case Op::GotoFrame2: {
            ins.a = SWF_TRY(r.readU8());
            if (ins.a & 2)
                ins.b = SWF_TRY(r.readU16());
            break;
        }
        case Op::ConstantPool: {
            uint16_t count = SWF_TRY(r.readU16());
            auto pool = std::make_shared<std::vector<QString>>();
            for (uint16_t i = 0; i < count; ++i)
                pool->push_back(SWF_TRY(readScriptString(r, version)));
            ins.strings = std::move(pool);
            break;
        }
        case Op::StoreRegister: ins.a = SWF_TRY(r.readU8()); break;
        case Op::DefineFunction:
        case Op::DefineFunction2:
            next += SWF_TRY(readFunction(r, ins, data, size, next, base, version, depth));
            break;
        case Op::With: {
            uint16_t bodySize = SWF_TRY(r.readU16());
            pending.push_back({ block->code.size(), int64_t(next) + bodySize, 1 });
            break;
        }
        case Op::Try: {
            ins.a = SWF_TRY(r.readU8());
            uint16_t trySize = SWF_TRY(r.readU16());
            uint16_t catchSize = SWF_TRY(r.readU16());
            uint16_t finallySize = SWF_TRY(r.readU16());
            // A block whose flag is clear is no block at all: its size is
            // ignored, and what would have been its code follows the others.
            if (!(ins.a & TryHasCatch))
                catchSize = 0;
            if (!(ins.a & TryHasFinally))
                finallySize = 0;
            if (ins.a & TryCatchInRegister)
                ins.b = SWF_TRY(r.readU8());
            else
                ins.s1 = SWF_TRY(readScriptString(r, version));
            int64_t catchStart = int64_t(next) + trySize;
            int64_t finallyStart = catchStart + catchSize;
            int64_t end = finallyStart + finallySize;
            pending.push_back({ block->code.size(), catchStart, 2 });
            pending.push_back({ block->code.size(), finallyStart, 3 });
            pending.push_back({ block->code.size(), end, 1 });
            break;
        }
        default:
            break; // actions without operands, or unknown ones whose payload is skipped
        }
        block->code.push_back(std::move(ins));
        pos = next;
    }
    // A block that stops without an End action still ends; the sentinel is
    // also the target of branches to the very end.
    if (block->code.empty() || block->code.back().op != Op::End || block->code.back().rawCode != 0) {
        Instruction end;
        end.offset = uint32_t(pos);
        block->code.push_back(end);
    }

    std::unordered_map<int64_t, int32_t> starts;
    for (size_t i = 0; i < block->code.size(); ++i)
        starts.emplace(block->code[i].offset, int32_t(i));
    const int64_t endOffset = block->code.back().offset;
    for (const Pending& p : pending) {
        int64_t t = p.targetOffset;
        int32_t index;
        if (t == endOffset || t == int64_t(size)) {
            index = int32_t(block->code.size() - 1);
        } else {
            auto it = starts.find(t);
            if (it == starts.end()) {
                return errorAt(base + block->code[p.index].offset,
                    t < 0 || t > int64_t(size) ? "branch target outside the block"
                                               : "branch target inside an instruction");
            }
            index = it->second;
        }
        if (p.kind != 0 && index <= int32_t(p.index))
            return errorAt(base + block->code[p.index].offset, "range ends before it starts");
        Instruction& ins = block->code[p.index];
        switch (p.kind) {
        case 0:
        case 1: ins.target = index; break;
        case 2: ins.catchStart = index; break;
        case 3: ins.finallyStart = index; break;
        }
    }
    for (size_t i = 0; i < block->code.size(); ++i) {
        Instruction& ins = block->code[i];
        if (ins.op == Op::WaitForFrame || ins.op == Op::WaitForFrame2) {
            size_t t = i + 1 + size_t(ins.b);
            ins.target = int32_t(std::min(t, block->code.size() - 1));
        }
    }
    return block;
}

} // namespace

Result<std::shared_ptr<const Block>> decodeBlock(const uint8_t* data, size_t size, int version)
{
    auto block = decode(data, size, 0, version, 0);
    if (!block)
        return block.error();
    return std::shared_ptr<const Block>(block.release());
}

} // namespace swf::avm1
