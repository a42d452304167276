#pragma once

// A decoded action block: every instruction with its operands, branch targets
// resolved to instruction indices. Blocks are decoded and checked whole before
// they run, so the interpreter never reads raw bytes.

#include "swf/Result.h"
#include "swf/avm1/vm/Value.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace swf::avm1 {

enum class Op : uint8_t {
#define ACTION(code, name, pops, pushes, comment) name = code,
#include "swf/avm1/vm/Opcodes.def"
};

struct OpInfo {
    const char* name; // nullptr for codes that are no action
    int8_t pops;
    int8_t pushes;
};
const OpInfo& opInfo(uint8_t code);

struct PushItem {
    enum class Kind : uint8_t { Literal, Register, Constant };
    Kind kind = Kind::Literal;
    Value value;   // Literal
    int index = 0; // Register or Constant
};

struct FunctionCode;

struct Instruction {
    Op op = Op::End;
    uint8_t rawCode = 0;  // the byte as found (unknown actions run as no-ops)
    uint32_t offset = 0;  // byte offset in the block
    int32_t target = -1;  // Jump/If: index; WaitForFrame: index after the skip; With/Try: end of the whole range
    int32_t a = 0, b = 0;        // small operands (frame, register, flags, skip count)
    int32_t catchStart = -1, finallyStart = -1; // Try ranges
    QString s1, s2;
    std::vector<PushItem> push;
    std::shared_ptr<std::vector<QString>> strings; // ConstantPool
    std::shared_ptr<const FunctionCode> function;  // DefineFunction(2)
};

struct Block {
    std::vector<Instruction> code; // always ends with an End instruction
    int version = 0;
    uint32_t size = 0;
};

struct FunctionParam {
    QString name;
    int reg = 0; // DefineFunction2: register to store into, 0 for a named local
};

struct FunctionCode {
    QString name;
    std::vector<FunctionParam> params;
    bool isV2 = false;
    int registerCount = 4;
    uint16_t flags = 0;
    Block body;
};

// DefineFunction2 flags.
enum : uint16_t {
    PreloadThis = 0x0001, SuppressThis = 0x0002,
    PreloadArguments = 0x0004, SuppressArguments = 0x0008,
    PreloadSuper = 0x0010, SuppressSuper = 0x0020,
    PreloadRoot = 0x0040, PreloadParent = 0x0080, PreloadGlobal = 0x0100,
};

// Try flags.
enum : uint8_t { TryHasCatch = 1, TryHasFinally = 2, TryCatchInRegister = 4 };

// Decodes `size` bytes of actions. Text is UTF-8 in movies of version 6 and
// later, the GBK code page before that.
Result<std::shared_ptr<const Block>> decodeBlock(const uint8_t* data, size_t size, int version);
inline Result<std::shared_ptr<const Block>> decodeBlock(const QByteArray& bytes, int version)
{
    return decodeBlock(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), version);
}

} // namespace swf::avm1
