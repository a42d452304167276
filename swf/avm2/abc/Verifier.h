#pragma once

// Decodes a method body into instructions and checks it before it may run:
// every opcode known, every operand inside its table, every jump on an
// instruction of the same body, the operand stack and the scope stack never
// under or over their declared sizes on any path, every local index in range.

#include "swf/avm2/abc/AbcFile.h"
#include "swf/avm2/abc/Opcodes.h"

#include <vector>

namespace swf::avm2 {

struct Instruction {
    Op op = Op::Nop;
    std::uint32_t a = 0; // first operand; a branch's target as an instruction index
    std::uint32_t b = 0; // second operand (argument count, second register)
};

struct Handler {
    std::uint32_t from = 0, to = 0, target = 0; // instruction indexes; [from, to) is guarded
    std::uint32_t type = 0, varName = 0;        // multinames
};

struct DecodedBody {
    std::vector<Instruction> code;
    // LookupSwitch's `a` indexes this table: default target first, then the cases.
    std::vector<std::vector<std::uint32_t>> switches;
    std::vector<Handler> handlers;
};

// The stack effect of `insn` within `file`; false for an unknown opcode.
bool stackEffect(const AbcFile& file, const Instruction& insn, int& pops, int& pushes);

// A refused body's message is the one a VerifyError carries; `errorId` gets its number.
Result<DecodedBody> verifyBody(const AbcFile& file, const AbcBody& body, int* errorId = nullptr);

} // namespace swf::avm2
