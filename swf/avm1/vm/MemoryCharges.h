#pragma once

// Charging a list that grows in place (see MemoryBudget.h).

#include "swf/avm1/vm/Interpreter.h"

#include <algorithm>
#include <vector>

namespace swf::avm1 {

// `more` elements about to join `list`: its storage grows by doubling, and
// that growth is what a count finds held, so that is what is charged.
inline void chargeGrowth(Interpreter& vm, const std::vector<Value>& list, size_t more)
{
    const size_t want = list.size() + more;
    if (want > list.capacity())
        vm.chargeValues(std::max(want, 2 * list.capacity()) - list.capacity());
}

} // namespace swf::avm1
