#pragma once

// TextField.StyleSheet: installed on the TextField constructor.

#include "swf/avm1/vm/Interpreter.h"

namespace swf::avm1 {

void installStyleSheet(Interpreter& vm, Object* textFieldCtor);

} // namespace swf::avm1
