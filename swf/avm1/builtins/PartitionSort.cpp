#include "swf/avm1/builtins/PartitionSort.h"

#include <utility>

namespace swf::avm1 {

namespace {

using Compare = std::function<int(std::size_t, std::size_t)>;

// Splits idx[lo..hi] around idx[lo] and returns where the pivot ends.
std::size_t split(std::vector<std::size_t>& idx, std::size_t lo, std::size_t hi, const Compare& cmp)
{
    std::size_t left = lo + 1, right = hi;
    for (;;) {
        while (left < right && cmp(idx[lo], idx[left]) >= 0)
            ++left;
        while (right > lo && cmp(idx[lo], idx[right]) <= 0)
            --right;
        if (right <= left)
            break;
        std::swap(idx[left], idx[right]);
    }
    std::swap(idx[lo], idx[right]);
    return right;
}

// The same for a long array, around the range's middle element, with both scans
// stopping at elements equal to the pivot: a long run of equal or already
// ordered elements is then halved rather than peeled one element at a time.
std::size_t splitLarge(std::vector<std::size_t>& idx, std::size_t lo, std::size_t hi, const Compare& cmp)
{
    std::swap(idx[lo], idx[lo + (hi - lo) / 2]);
    std::size_t left = lo, right = hi + 1;
    for (;;) {
        while (cmp(idx[lo], idx[++left]) > 0)
            if (left == hi)
                break;
        while (cmp(idx[lo], idx[--right]) < 0)
            if (right == lo)
                break;
        if (left >= right)
            break;
        std::swap(idx[left], idx[right]);
    }
    std::swap(idx[lo], idx[right]);
    return right;
}

} // namespace

// Sorts `idx` in place by partitions around each range's first element:
// from the left, skip what the pivot does not precede; from the right, skip
// what it does not follow; swap the two misplaced ones and go on, then put
// the pivot between the halves. `cmp(pivot, other)` is always asked in that
// order, which is what a script comparison function sees. Every index stays
// in its range whatever the comparison answers, since a script function
// need not be consistent; the ranges wait on a stack of our own, so an
// already sorted array costs no recursion depth. An array longer than
// MiddlePivotRange is split by splitLarge throughout instead: the first
// element of a sorted range would split it one element at a time.
void partitionSort(std::vector<std::size_t>& idx, const std::function<int(std::size_t, std::size_t)>& cmp)
{
    if (idx.size() < 2)
        return;
    const bool large = idx.size() > MiddlePivotRange;
    std::vector<std::pair<std::size_t, std::size_t>> ranges { { 0, idx.size() - 1 } };
    while (!ranges.empty()) {
        const auto [lo, hi] = ranges.back();
        ranges.pop_back();
        const std::size_t right = large ? splitLarge(idx, lo, hi, cmp) : split(idx, lo, hi, cmp);
        // The left half goes last on the stack so that it is sorted first.
        if (right + 1 < hi)
            ranges.push_back({ right + 1, hi });
        if (right > lo + 1)
            ranges.push_back({ lo, right - 1 });
    }
}

} // namespace swf::avm1
