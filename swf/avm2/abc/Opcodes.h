#pragma once

// The instruction set, one row per opcode: X(name, code, operands, pops, pushes).
// Operands: None; Byte (one byte); U30 (one index or count); U30x2 (two);
// Branch (a signed 24-bit offset); Switch (default, count, offsets); Debug.
// pops/pushes are the fixed stack effect; -1 marks an effect that depends on
// the operands (argument counts, run-time name parts), worked out by the verifier.

#define SWF_AVM2_OPCODES(X) \
    X(Bkpt, 0x01, None, 0, 0)              /* debugger breakpoint: nothing */ \
    X(Nop, 0x02, None, 0, 0)               /* nothing */ \
    X(Throw, 0x03, None, 1, 0)             /* value -> raise it */ \
    X(GetSuper, 0x04, U30, -1, 1)          /* obj [name parts] -> base class property */ \
    X(SetSuper, 0x05, U30, -1, 0)          /* obj [name parts] value -> */ \
    X(Dxns, 0x06, U30, 0, 0)               /* default XML namespace from a string */ \
    X(DxnsLate, 0x07, None, 1, 0)          /* default XML namespace from the stack */ \
    X(Kill, 0x08, U30, 0, 0)               /* local := undefined */ \
    X(Label, 0x09, None, 0, 0)             /* a branch target: nothing */ \
    X(IfNlt, 0x0C, Branch, 2, 0)           /* a b -> jump unless a < b */ \
    X(IfNle, 0x0D, Branch, 2, 0)           /* a b -> jump unless a <= b */ \
    X(IfNgt, 0x0E, Branch, 2, 0)           /* a b -> jump unless a > b */ \
    X(IfNge, 0x0F, Branch, 2, 0)           /* a b -> jump unless a >= b */ \
    X(Jump, 0x10, Branch, 0, 0)            /* jump */ \
    X(IfTrue, 0x11, Branch, 1, 0)          /* v -> jump if true */ \
    X(IfFalse, 0x12, Branch, 1, 0)         /* v -> jump if false */ \
    X(IfEq, 0x13, Branch, 2, 0)            /* a b -> jump if a == b */ \
    X(IfNe, 0x14, Branch, 2, 0)            /* a b -> jump if a != b */ \
    X(IfLt, 0x15, Branch, 2, 0)            /* a b -> jump if a < b */ \
    X(IfLe, 0x16, Branch, 2, 0)            /* a b -> jump if a <= b */ \
    X(IfGt, 0x17, Branch, 2, 0)            /* a b -> jump if a > b */ \
    X(IfGe, 0x18, Branch, 2, 0)            /* a b -> jump if a >= b */ \
    X(IfStrictEq, 0x19, Branch, 2, 0)      /* a b -> jump if a === b */ \
    X(IfStrictNe, 0x1A, Branch, 2, 0)      /* a b -> jump if a !== b */ \
    X(LookupSwitch, 0x1B, Switch, 1, 0)    /* index -> jump to its case or the default */ \
    X(PushWith, 0x1C, None, 1, 0)          /* obj -> scope (with) */ \
    X(PopScope, 0x1D, None, 0, 0)          /* drop the innermost scope */ \
    X(NextName, 0x1E, None, 2, 1)          /* obj index -> name */ \
    X(HasNext, 0x1F, None, 2, 1)           /* obj index -> next index */ \
    X(PushNull, 0x20, None, 0, 1)          /* -> null */ \
    X(PushUndefined, 0x21, None, 0, 1)     /* -> undefined */ \
    X(NextValue, 0x23, None, 2, 1)         /* obj index -> value */ \
    X(PushByte, 0x24, Byte, 0, 1)          /* -> signed byte as int */ \
    X(PushShort, 0x25, U30, 0, 1)          /* -> signed 16-bit as int */ \
    X(PushTrue, 0x26, None, 0, 1)          /* -> true */ \
    X(PushFalse, 0x27, None, 0, 1)         /* -> false */ \
    X(PushNaN, 0x28, None, 0, 1)           /* -> NaN */ \
    X(Pop, 0x29, None, 1, 0)               /* v -> */ \
    X(Dup, 0x2A, None, 1, 2)               /* v -> v v */ \
    X(Swap, 0x2B, None, 2, 2)              /* a b -> b a */ \
    X(PushString, 0x2C, U30, 0, 1)         /* -> string constant */ \
    X(PushInt, 0x2D, U30, 0, 1)            /* -> int constant */ \
    X(PushUint, 0x2E, U30, 0, 1)           /* -> uint constant */ \
    X(PushDouble, 0x2F, U30, 0, 1)         /* -> double constant */ \
    X(PushScope, 0x30, None, 1, 0)         /* obj -> scope */ \
    X(PushNamespace, 0x31, U30, 0, 1)      /* -> namespace constant */ \
    X(HasNext2, 0x32, U30x2, 0, 1)         /* -> whether the object local has a next property */ \
    X(NewFunction, 0x40, U30, 0, 1)        /* -> closure over the scope chain */ \
    X(Call, 0x41, U30, -1, 1)              /* fn this args -> result */ \
    X(Construct, 0x42, U30, -1, 1)         /* ctor args -> object */ \
    X(CallMethod, 0x43, U30x2, -1, 1)      /* this args -> result of the method at a dispatch id */ \
    X(CallStatic, 0x44, U30x2, -1, 1)      /* this args -> result of a method by index */ \
    X(CallSuper, 0x45, U30x2, -1, 1)       /* this [name parts] args -> result */ \
    X(CallProperty, 0x46, U30x2, -1, 1)    /* obj [name parts] args -> result */ \
    X(ReturnVoid, 0x47, None, 0, 0)        /* return undefined */ \
    X(ReturnValue, 0x48, None, 1, 0)       /* v -> return it */ \
    X(ConstructSuper, 0x49, U30, -1, 0)    /* this args -> base constructor runs */ \
    X(ConstructProp, 0x4A, U30x2, -1, 1)   /* obj [name parts] args -> new instance */ \
    X(CallPropLex, 0x4C, U30x2, -1, 1)     /* obj [name parts] args -> result, this null */ \
    X(CallSuperVoid, 0x4E, U30x2, -1, 0)   /* this [name parts] args -> */ \
    X(CallPropVoid, 0x4F, U30x2, -1, 0)    /* obj [name parts] args -> */ \
    X(Sxi1, 0x50, None, 1, 1)              /* sign-extend bit 0 */ \
    X(Sxi8, 0x51, None, 1, 1)              /* sign-extend the low byte */ \
    X(Sxi16, 0x52, None, 1, 1)             /* sign-extend the low 16 bits */ \
    X(ApplyType, 0x53, U30, -1, 1)         /* generic params -> specialised type */ \
    X(NewObject, 0x55, U30, -1, 1)         /* name value ... -> object */ \
    X(NewArray, 0x56, U30, -1, 1)          /* values -> array */ \
    X(NewActivation, 0x57, None, 0, 1)     /* -> the method's activation object */ \
    X(NewClass, 0x58, U30, 1, 1)           /* base class -> class object */ \
    X(GetDescendants, 0x59, U30, -1, 1)    /* obj [name parts] -> XML list */ \
    X(NewCatch, 0x5A, U30, 0, 1)           /* -> the scope object of a catch block */ \
    X(FindPropStrict, 0x5D, U30, -1, 1)    /* [name parts] -> object holding the name, or error */ \
    X(FindProperty, 0x5E, U30, -1, 1)      /* [name parts] -> object holding the name, or global */ \
    X(FindDef, 0x5F, U30, 0, 1)            /* -> script object defining the name */ \
    X(GetLex, 0x60, U30, 0, 1)             /* -> value of a name found on the scope chain */ \
    X(SetProperty, 0x61, U30, -1, 0)       /* obj [name parts] value -> */ \
    X(GetLocal, 0x62, U30, 0, 1)           /* -> local */ \
    X(SetLocal, 0x63, U30, 1, 0)           /* v -> local */ \
    X(GetGlobalScope, 0x64, None, 0, 1)    /* -> the outermost scope */ \
    X(GetScopeObject, 0x65, Byte, 0, 1)    /* -> scope at an index */ \
    X(GetProperty, 0x66, U30, -1, 1)       /* obj [name parts] -> value */ \
    X(InitProperty, 0x68, U30, -1, 0)      /* obj [name parts] value -> (consts too) */ \
    X(DeleteProperty, 0x6A, U30, -1, 1)    /* obj [name parts] -> deleted */ \
    X(GetSlot, 0x6C, U30, 1, 1)            /* obj -> slot */ \
    X(SetSlot, 0x6D, U30, 2, 0)            /* obj v -> */ \
    X(GetGlobalSlot, 0x6E, U30, 0, 1)      /* -> slot of the global scope */ \
    X(SetGlobalSlot, 0x6F, U30, 1, 0)      /* v -> */ \
    X(ConvertS, 0x70, None, 1, 1)          /* v -> String(v) */ \
    X(EscXElem, 0x71, None, 1, 1)          /* v -> XML-escaped element text */ \
    X(EscXAttr, 0x72, None, 1, 1)          /* v -> XML-escaped attribute text */ \
    X(ConvertI, 0x73, None, 1, 1)          /* v -> int(v) */ \
    X(ConvertU, 0x74, None, 1, 1)          /* v -> uint(v) */ \
    X(ConvertD, 0x75, None, 1, 1)          /* v -> Number(v) */ \
    X(ConvertB, 0x76, None, 1, 1)          /* v -> Boolean(v) */ \
    X(ConvertO, 0x77, None, 1, 1)          /* v -> v, error on null or undefined */ \
    X(CheckFilter, 0x78, None, 1, 1)       /* v -> v, error unless XML */ \
    X(Coerce, 0x80, U30, 1, 1)             /* v -> v as the named type, or error */ \
    X(CoerceB, 0x81, None, 1, 1)           /* v -> Boolean(v) */ \
    X(CoerceA, 0x82, None, 1, 1)           /* v -> v */ \
    X(CoerceI, 0x83, None, 1, 1)           /* v -> int(v) */ \
    X(CoerceD, 0x84, None, 1, 1)           /* v -> Number(v) */ \
    X(CoerceS, 0x85, None, 1, 1)           /* v -> String(v), null stays null */ \
    X(AsType, 0x86, U30, 1, 1)             /* v -> v if of the named type, else null */ \
    X(AsTypeLate, 0x87, None, 2, 1)        /* v type -> v or null */ \
    X(CoerceU, 0x88, None, 1, 1)           /* v -> uint(v) */ \
    X(CoerceO, 0x89, None, 1, 1)           /* v -> v, undefined becomes null */ \
    X(Negate, 0x90, None, 1, 1)            /* v -> -v */ \
    X(Increment, 0x91, None, 1, 1)         /* v -> v + 1 */ \
    X(IncLocal, 0x92, U30, 0, 0)           /* local += 1 */ \
    X(Decrement, 0x93, None, 1, 1)         /* v -> v - 1 */ \
    X(DecLocal, 0x94, U30, 0, 0)           /* local -= 1 */ \
    X(TypeOf, 0x95, None, 1, 1)            /* v -> its type name */ \
    X(Not, 0x96, None, 1, 1)               /* v -> !v */ \
    X(BitNot, 0x97, None, 1, 1)            /* v -> ~v */ \
    X(Add, 0xA0, None, 2, 1)               /* a b -> a + b */ \
    X(Subtract, 0xA1, None, 2, 1)          /* a b -> a - b */ \
    X(Multiply, 0xA2, None, 2, 1)          /* a b -> a * b */ \
    X(Divide, 0xA3, None, 2, 1)            /* a b -> a / b */ \
    X(Modulo, 0xA4, None, 2, 1)            /* a b -> a % b */ \
    X(LShift, 0xA5, None, 2, 1)            /* a b -> a << b */ \
    X(RShift, 0xA6, None, 2, 1)            /* a b -> a >> b */ \
    X(URShift, 0xA7, None, 2, 1)           /* a b -> a >>> b */ \
    X(BitAnd, 0xA8, None, 2, 1)            /* a b -> a & b */ \
    X(BitOr, 0xA9, None, 2, 1)             /* a b -> a | b */ \
    X(BitXor, 0xAA, None, 2, 1)            /* a b -> a ^ b */ \
    X(Equals, 0xAB, None, 2, 1)            /* a b -> a == b */ \
    X(StrictEquals, 0xAC, None, 2, 1)      /* a b -> a === b */ \
    X(LessThan, 0xAD, None, 2, 1)          /* a b -> a < b */ \
    X(LessEquals, 0xAE, None, 2, 1)        /* a b -> a <= b */ \
    X(GreaterThan, 0xAF, None, 2, 1)       /* a b -> a > b */ \
    X(GreaterEquals, 0xB0, None, 2, 1)     /* a b -> a >= b */ \
    X(InstanceOf, 0xB1, None, 2, 1)        /* v type -> whether the prototype chain holds it */ \
    X(IsType, 0xB2, U30, 1, 1)             /* v -> whether v is of the named type */ \
    X(IsTypeLate, 0xB3, None, 2, 1)        /* v type -> whether v is of it */ \
    X(In, 0xB4, None, 2, 1)                /* name obj -> whether obj has it */ \
    X(IncrementI, 0xC0, None, 1, 1)        /* v -> int(v) + 1 */ \
    X(DecrementI, 0xC1, None, 1, 1)        /* v -> int(v) - 1 */ \
    X(IncLocalI, 0xC2, U30, 0, 0)          /* local := int(local) + 1 */ \
    X(DecLocalI, 0xC3, U30, 0, 0)          /* local := int(local) - 1 */ \
    X(NegateI, 0xC4, None, 1, 1)           /* v -> -int(v) */ \
    X(AddI, 0xC5, None, 2, 1)              /* a b -> int(a) + int(b) */ \
    X(SubtractI, 0xC6, None, 2, 1)         /* a b -> int(a) - int(b) */ \
    X(MultiplyI, 0xC7, None, 2, 1)         /* a b -> int(a) * int(b) */ \
    X(GetLocal0, 0xD0, None, 0, 1)         /* -> local 0 */ \
    X(GetLocal1, 0xD1, None, 0, 1)         /* -> local 1 */ \
    X(GetLocal2, 0xD2, None, 0, 1)         /* -> local 2 */ \
    X(GetLocal3, 0xD3, None, 0, 1)         /* -> local 3 */ \
    X(SetLocal0, 0xD4, None, 1, 0)         /* v -> local 0 */ \
    X(SetLocal1, 0xD5, None, 1, 0)         /* v -> local 1 */ \
    X(SetLocal2, 0xD6, None, 1, 0)         /* v -> local 2 */ \
    X(SetLocal3, 0xD7, None, 1, 0)         /* v -> local 3 */ \
    X(Debug, 0xEF, Debug, 0, 0)            /* debugger information: nothing */ \
    X(DebugLine, 0xF0, U30, 0, 0)          /* source line: nothing */ \
    X(DebugFile, 0xF1, U30, 0, 0)          /* source file: nothing */ \
    X(BkptLine, 0xF2, U30, 0, 0)           /* nothing */ \
    X(Timestamp, 0xF3, None, 0, 0)         /* nothing */

#include <cstdint>

namespace swf::avm2 {

enum class Op : std::uint8_t {
#define SWF_AVM2_ENUM(name, code, operands, pops, pushes) name = code,
    SWF_AVM2_OPCODES(SWF_AVM2_ENUM)
#undef SWF_AVM2_ENUM
};

} // namespace swf::avm2
