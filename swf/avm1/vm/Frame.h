#pragma once

// One activation of the script machine: a block run on a timeline, or a call.
// Private to the machine's own sources.

#include "swf/avm1/vm/Interpreter.h"

namespace swf::avm1 {

struct Interpreter::Frame {
    std::shared_ptr<Scope> scope;
    Object* thisObj = nullptr;
    Object* base = nullptr;   // timeline the code belongs to
    Object* target = nullptr; // where timeline actions go (SetTarget changes it)
    bool targetLost = false;  // SetTarget named a clip that does not exist
    std::vector<Value> regs;
    std::shared_ptr<const std::vector<QString>> pool;
    Object* activation = nullptr;
    FunctionObject* callee = nullptr;
    Object* home = nullptr; // object the running method was found on (for super)
    size_t stackBase = 0;
    bool constructing = false; // a call made by `new`
    bool thisUnbound = false;  // called on nothing at all: `this` is undefined
    bool returned = false;
    Value returnValue;
};

} // namespace swf::avm1
