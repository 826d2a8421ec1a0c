#include "base/large_tables.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace korvanel {
namespace {

TEST(LargeTables, ResizeKeepsRowsAndZeroesNewOnes) {
    std::vector<std::int64_t> table{7, 8, 9};
    resizeLargeTable(table, std::size_t{3} << 20);  // 24 MiB: whole huge pages inside
    ASSERT_EQ(table.size(), std::size_t{3} << 20);
    EXPECT_EQ(table[0], 7);
    EXPECT_EQ(table[2], 9);
    EXPECT_EQ(table[3], 0);
    EXPECT_EQ(table.back(), 0);
}

TEST(LargeTables, ReusedTableGrowsAtLeastTwofold) {
    std::vector<double> table;
    resizeLargeTable(table, 1000);
    EXPECT_EQ(table.capacity(), 1000u);
    resizeLargeTable(table, 1001);  // a slightly longer history at the next node
    EXPECT_GE(table.capacity(), 2000u);
    const double* storage = table.data();
    resizeLargeTable(table, 10);  // shrinking keeps the storage
    resizeLargeTable(table, 1500);
    EXPECT_EQ(table.data(), storage);
}

TEST(LargeTables, AGuessBeyondAnyMemoryIsNoError) {
    std::vector<double> table{1.0, 2.0};
    // Beyond what a vector can hold. (A size the allocator refuses is caught
    // the same way; the sanitizer build would end the test on such a request.)
    reserveLargeTableForGuess(table, table.max_size() + 1);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[1], 2.0);
    reserveLargeTableForGuess(table, 100);
    EXPECT_GE(table.capacity(), 100u);
    EXPECT_GT(machineMemoryBytes(), std::uint64_t{1} << 20);
}

TEST(LargeTables, AdviceOnAnyRangeIsHarmless) {
    adviseHugePages(nullptr, 0);
    adviseHugePages(nullptr, std::size_t{8} << 20);
    std::vector<char> small(100);
    adviseHugePages(small.data() + 1, small.size() - 1);
    std::vector<char> large(std::size_t{5} << 20, 'x');
    adviseHugePages(large.data() + 3, large.size() - 3);
    EXPECT_EQ(large[12345], 'x');  // advice never changes contents
}

}  // namespace
}  // namespace korvanel
