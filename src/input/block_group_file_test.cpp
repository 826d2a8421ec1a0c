#include "input/block_group_file.hpp"

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"
#include "base/test_support.hpp"

namespace korvanel {
namespace {

using Pairs = std::vector<std::pair<std::int64_t, std::int64_t>>;

Pairs read(const std::string& data) {
    InputText in = inputTextFromString("job.btf", data);
    Pairs pairs;
    for (const BlockGroup& g : readBlockGroupFile(in))
        pairs.emplace_back(g.firstBlock, g.lastBlock);
    return pairs;
}

TEST(BlockGroupFile, PairsAreStoredUnvalidatedAndRoundedTiesToEven) {
    EXPECT_EQ(read("3 1\r\n5,7\r\n-2 0"), (Pairs{{3, 1}, {5, 7}, {-2, 0}}));
    EXPECT_EQ(read(""), Pairs{});
    EXPECT_EQ(read("2.5 3.5\r\n"), (Pairs{{2, 4}}));
}

TEST(BlockGroupFile, ShortPairAndEmptyLastLineAddAGroup) {
    EXPECT_EQ(read("1 2 3"), (Pairs{{1, 2}, {3, 0}}));
    EXPECT_EQ(read("1 2\r\n\r\n"), (Pairs{{1, 2}, {0, 0}}));
}

TEST(BlockGroupFile, IntegerOutOfRangeStops) {
    // 1e19 is a fine real, but no 64-bit integer.
    EXPECT_EQ(expectStop([] { read("1 2\r\n3 1e19\r\n"); }).consoleLines,
              std::vector<std::string>{"Number out of range in the file job.btf"});
}

}  // namespace
}  // namespace korvanel
