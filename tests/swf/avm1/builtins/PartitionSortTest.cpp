// Array.sort's partition order on its own: short ranges keep the order of
// comparisons movies trace (pinned through scripts in ArraySortTest), long
// ones must not turn quadratic on the inputs games sort most: arrays already
// in order, reversed, or full of equal values.

#include "swf/avm1/builtins/PartitionSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>

using swf::avm1::partitionSort;

namespace {

struct Sorted {
    std::vector<std::size_t> order;
    std::int64_t comparisons = 0;
};

Sorted sortValues(const std::vector<int>& values)
{
    Sorted out;
    out.order.resize(values.size());
    std::iota(out.order.begin(), out.order.end(), std::size_t(0));
    partitionSort(out.order, [&](std::size_t pivot, std::size_t other) {
        ++out.comparisons;
        return values[pivot] < values[other] ? -1 : values[pivot] > values[other] ? 1 : 0;
    });
    return out;
}

bool inOrder(const std::vector<int>& values, const std::vector<std::size_t>& order)
{
    for (std::size_t i = 1; i < order.size(); ++i)
        if (values[order[i - 1]] > values[order[i]])
            return false;
    return true;
}

} // namespace

TEST(PartitionSort, LongArraysSortInNLogNComparisons)
{
    const int n = 200'000;
    std::vector<int> ascending(n), descending(n), equal(n, 7), fewValues(n);
    std::iota(ascending.begin(), ascending.end(), 0);
    std::iota(descending.rbegin(), descending.rend(), 0);
    std::mt19937 random(12345);
    for (int& v : fewValues)
        v = int(random() % 3);
    // n log2 n is about 3.5 M; the first-element split would ask n²/2 = 2e10.
    const std::int64_t bound = 16'000'000;
    for (const auto* values : { &ascending, &descending, &equal, &fewValues }) {
        const Sorted sorted = sortValues(*values);
        EXPECT_TRUE(inOrder(*values, sorted.order));
        EXPECT_LT(sorted.comparisons, bound);
        std::vector<std::size_t> seen = sorted.order;
        std::sort(seen.begin(), seen.end());
        for (std::size_t i = 0; i < seen.size(); ++i)
            ASSERT_EQ(seen[i], i) << "every index once";
    }
}

TEST(PartitionSort, ShortRangesSplitAroundTheirFirstElement)
{
    // [2,3,1]: pivot 2; 3 and 1 swap, the scans meet, the pivot swaps into
    // the middle: comparisons (2,3) (2,1) (2,1) (2,3) (2,1) as movies trace.
    const std::vector<int> values { 2, 3, 1 };
    std::vector<std::size_t> order { 0, 1, 2 };
    std::vector<std::pair<int, int>> asked;
    partitionSort(order, [&](std::size_t pivot, std::size_t other) {
        asked.push_back({ values[pivot], values[other] });
        return values[pivot] - values[other];
    });
    const std::vector<std::pair<int, int>> expected { { 2, 3 }, { 2, 1 }, { 2, 1 }, { 2, 3 }, { 2, 1 } };
    EXPECT_EQ(asked, expected);
    EXPECT_EQ(order, (std::vector<std::size_t> { 2, 0, 1 }));
}

TEST(PartitionSort, AnInconsistentComparisonStaysInsideTheArray)
{
    // A script comparison may answer anything; every index must come back once.
    for (int n : { 3, 100, 5000 }) {
        std::vector<std::size_t> order(static_cast<std::size_t>(n));
        std::iota(order.begin(), order.end(), std::size_t(0));
        std::mt19937 random(static_cast<std::uint32_t>(n));
        partitionSort(order, [&](std::size_t, std::size_t) { return int(random() % 3) - 1; });
        std::sort(order.begin(), order.end());
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(order[std::size_t(i)], std::size_t(i));
    }
}
