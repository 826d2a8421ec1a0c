#include "input/blocks_file.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "base/fatal_stop.hpp"
#include "base/test_support.hpp"

namespace korvanel {
namespace {

using Lines = std::vector<std::string>;
using Values = std::vector<double>;

BlockSpectrum read(const std::string& data, std::int64_t cases) {
    InputText in = inputTextFromString("job.blc", data);
    return readBlockSpectrumFile(in, cases);
}

Lines stopLines(const std::string& data, std::int64_t cases) {
    const FatalStop stop = expectStop([&] { read(data, cases); });
    EXPECT_EQ(stop.advisoryLines, stop.consoleLines);
    return stop.consoleLines;
}

const Lines noBlock = {
    "Error: at least one line with from-to coefficient is needed in the block spectrum"};

TEST(BlockSpectrumFile, FromAndToAlternatePerLoadCaseThenCycles) {
    const BlockSpectrum s = read("1 0 0 1 1000\r\n0.5 1 0.5 1 250.5\r\n9 9 9 9", 2);
    EXPECT_EQ(s.blockCount, 2);
    EXPECT_EQ(s.blockFrom, (Values{1, 0, 0.5, 0.5}));
    EXPECT_EQ(s.blockTo, (Values{0, 1, 1, 1}));
    EXPECT_EQ(s.blockCycles, (Values{1000, 250.5}));
    // Without load cases every value is a block of its cycles only.
    const BlockSpectrum c = read("1000\r\n250.5 -3\r\n", 0);
    EXPECT_EQ(c.blockCount, 3);
    EXPECT_TRUE(c.blockFrom.empty());
    EXPECT_EQ(c.blockCycles, (Values{1000, 250.5, -3}));
}

TEST(BlockSpectrumFile, LessThanOneBlockStopsUnlessAnEmptyLineCompletesIt) {
    EXPECT_EQ(stopLines("1 0 0 1", 2), noBlock);
    EXPECT_EQ(stopLines("", 0), noBlock);
    EXPECT_EQ(stopLines("1 2 3", std::numeric_limits<std::int64_t>::max()), noBlock);
    EXPECT_EQ(stopLines("1 2\r\n", 1), noBlock);
    EXPECT_EQ(read("1 2\r\n\r\n", 1).blockCycles, (Values{0}));
    EXPECT_EQ(stopLines("1 0 0 1 1000 1e400", 2), Lines{"Number out of range in the file job.blc"});
}

}  // namespace
}  // namespace korvanel
