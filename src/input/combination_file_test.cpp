#include "input/combination_file.hpp"

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"
#include "base/test_support.hpp"

namespace korvanel {
namespace {

using Lines = std::vector<std::string>;

CombinationTable read(const std::string& data, std::int64_t cases) {
    InputText in = inputTextFromString("job.cmb", data);
    return readCombinationFile(in, cases);
}

Lines stopLines(const std::string& data, std::int64_t cases) {
    const FatalStop stop = expectStop([&] { read(data, cases); });
    EXPECT_EQ(stop.advisoryLines, stop.consoleLines);
    return stop.consoleLines;
}

TEST(CombinationFile, TimePointsAreTheFullGroupsOfLoadCases) {
    const CombinationTable t = read("1 2 3\r\n4 5 6\r\n7\r\n", 3);
    EXPECT_EQ(t.timePointCount, 2);
    EXPECT_EQ(t.factor, (std::vector<double>{1, 2, 3, 4, 5, 6}));
    // An empty last line is one more value.
    const CombinationTable e = read("0.5\r\n0.25\r\n\r\n", 1);
    EXPECT_EQ(e.timePointCount, 3);
    EXPECT_EQ(e.factor, (std::vector<double>{0.5, 0.25, 0}));
}

TEST(CombinationFile, StopsInReadingThenValueThenLoadCaseOrder) {
    const Lines twoValues = {"Error: at least two values are needed in the stress-history"};
    EXPECT_EQ(stopLines("", 1), twoValues);
    EXPECT_EQ(stopLines("3.5\r\n", 0), twoValues);
    EXPECT_EQ(stopLines("1 2", 0),
              Lines{"Error: at least one load case is needed for the load-case combination"});
    EXPECT_EQ(stopLines("1 2 3 4 5 6 -1e999", 3), Lines{"Number out of range in the file job.cmb"});
}

}  // namespace
}  // namespace korvanel
