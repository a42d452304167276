#pragma once

// Text of a value as the player's native methods take it (XML node names,
// style sheet values): an object is asked for its toString alone, and one
// that answers with anything but text reads as its type name.

#include "swf/avm1/vm/Interpreter.h"

namespace swf::avm1 {

QString nativeText(Interpreter& vm, const Value& v);

} // namespace swf::avm1
