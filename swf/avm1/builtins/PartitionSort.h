#pragma once

// The order Array.sort asks its comparisons in (see PartitionSort.cpp).

#include <cstddef>
#include <functional>
#include <vector>

namespace swf::avm1 {

// Arrays longer than this split each range around its middle element, so
// that an already sorted, reversed or uniform array of many thousand
// elements costs n log n comparisons rather than n² (minutes of native work
// in one frame). Shorter arrays keep the first-element order movies trace.
inline constexpr std::size_t MiddlePivotRange = 4096;

// Sorts `idx` in place; `cmp(pivot, other)` answers <0, 0 or >0.
void partitionSort(std::vector<std::size_t>& idx, const std::function<int(std::size_t, std::size_t)>& cmp);

} // namespace swf::avm1
