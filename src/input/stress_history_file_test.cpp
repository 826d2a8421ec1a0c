#include "input/stress_history_file.hpp"

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"
#include "base/test_support.hpp"

namespace korvanel {
namespace {

using Lines = std::vector<std::string>;

StressHistoryFile read(const std::string& data) {
    InputText in = inputTextFromString("job.sig", data);
    return readStressHistoryFile(in);
}

template <class Read> Lines stopLines(Read read) {
    const FatalStop stop = expectStop(read);
    EXPECT_EQ(stop.advisoryLines, stop.consoleLines);
    return stop.consoleLines;
}

TEST(StressHistoryFile, GroupsOfSixWhateverTheLayoutAndShortLastGroup) {
    for (const char* data : {"1 2 3 4 5 6\r\n7 8 9 10 11 12\r\n", "1,2,3\r4,5,6\n7 8 9 10 11 12"}) {
        const StressHistoryFile file = read(data);
        ASSERT_EQ(file.states.size(), 2u);
        EXPECT_EQ(file.states[1], (Stress6{{7, 8, 9, 10, 11, 12}}));
    }
    EXPECT_EQ(read("1 2 3 4 5 6 7 8").states[1], (Stress6{{7, 8, 0, 0, 0, 0}}));
    // An empty last line is one more value, so one more (zero) time point.
    const StressHistoryFile emptyLine = read("1 2 3 4 5 6\r\n7 8 9 10 11 12\r\n\r\n");
    ASSERT_EQ(emptyLine.states.size(), 3u);
    EXPECT_EQ(emptyLine.states[2], Stress6{});
}

TEST(StressHistoryFile, StopsInReadingThenCountOrder) {
    const Lines fewer = {"At least two values are needed in the stress-history"};
    for (const char* data : {"", "1 2 3 4 5 6\r\n"})
        EXPECT_EQ(stopLines([&] { read(data); }), fewer);
    EXPECT_EQ(stopLines([] { read("1 2 3 4 5 1e400"); }),
              Lines{"Number out of range in the file job.sig"});
    EXPECT_EQ(stopLines([] { readStressHistoryFile("/nonexistent-korvanel/job.sig"); }),
              Lines{"Cannot open the input file /nonexistent-korvanel/job.sig"});
}

}  // namespace
}  // namespace korvanel
