#pragma once

// The state one run of the dispatch loop shares with the action handlers, and
// small helpers the handlers of every family use. Private to the machine's own
// sources.

#include "swf/avm1/vm/Frame.h"
#include "swf/avm1/vm/Interpreter.h"

#include <QString>

namespace swf::avm1 {

struct Interpreter::Exec {
    Frame& f;
    const Block& block;
    int pc;             // index of the next instruction
    bool leave = false; // End or Return: stop running this block
};

namespace exec {

// A stack never grows past this; a script that tries is trapped.
constexpr size_t MaxStack = 1u << 20;
// Missing call arguments read as undefined, as popping an empty stack does;
// past this many missing ones the rest of a garbage count is dropped.
constexpr size_t MaxMissingArgs = 256;

inline ClipObject* asClip(Object* o)
{
    return o && o->kind() == Object::Kind::Clip ? static_cast<ClipObject*>(o) : nullptr;
}

inline bool isFunction(const Value& v)
{
    return v.isObject() && v.asObject()->kind() == Object::Kind::Function;
}

// "_level3" -> 3, else -1.
int levelNumber(const QString& name);

// The text trace, StringLess and StringGreater take from a value: an
// object's toString must give a string; anything else (a clip too), or no
// toString at all, leaves the object named by its type.
QString strictText(Interpreter& vm, const Value& v);

} // namespace exec

} // namespace swf::avm1
