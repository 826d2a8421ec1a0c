#include "output/cycle_detail_files.hpp"
#include "base/test_support.hpp"

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"

namespace korvanel {
namespace {

HalfCycle halfCycle(double rangeSquared, double mean) {
    HalfCycle h;
    h.rangeSquared = rangeSquared;
    h.meanIntegral = mean;
    return h;
}

class CycleDetailFilesTest : public TempDirTest {
protected:
    // Sa 10 about 50 with 1/N = 2e-3; Sa exactly at the gate (not listed);
    // a static failure of type 1 with Sa 500 about -20; a zero range.
    const std::vector<HalfCycle> cycles{halfCycle(400.0, 50.0), halfCycle(0.0002 * 0.0002, 7.0),
                                        halfCycle(1e6, -20.0), halfCycle(0.0, 0.0)};
    const std::vector<double> damage{2e-3, 0.0, 2.0, 0.0};
    const std::vector<std::int8_t> flags{0, 0, 1, 0};
};

const std::string firstRow = "5.000000e+01  1.000000e+01  1.000000e-03   0\r\n";
const std::string failedRow = "-2.000000e+01 5.000000e+02  1.000000e+00   1\r\n";

TEST_F(CycleDetailFilesTest, HalfCyclesOfASingleHistory) {
    const std::string cyc = pathOf("job.cyc");
    writeHalfCycleFile(cyc, cycles, damage, flags, nullptr, '.');
    EXPECT_EQ(bytesOf(cyc), " Fatigue half-cycles\r\n"
                            " Mean Stress  Amplitude     Damage        Static Failure\r\n" +
                                firstRow + failedRow);
}

TEST_F(CycleDetailFilesTest, HalfCyclesOfTheCompleteOutputNode) {
    const std::string cyc = pathOf("job.cyc");
    const std::int64_t node = 7;
    writeHalfCycleFile(cyc, cycles, damage, flags, &node, ',');
    EXPECT_EQ(bytesOf(cyc), " Fatigue half-cycles\r\n"
                            " Node ID       Mean Stress  Amplitude     Damage        Static Failure\r\n"
                            " 7" + spaces(12) + "5,000000e+01  1,000000e+01  1,000000e-03   0\r\n" +
                                " 7" + spaces(12) + "-2,000000e+01 5,000000e+02  1,000000e+00   1\r\n");
}

TEST_F(CycleDetailFilesTest, HalfCycleEndStates) {
    std::vector<HalfCycle> ends{halfCycle(400.0, 0.0), halfCycle(0.0, 0.0)};
    for (int k = 0; k < 6; ++k) {
        ends[0].sigA[k] = k + 1.0;
        ends[0].sigB[k] = -(k + 1.0);
    }
    const std::string cif = pathOf("job.cif");
    writeHalfCycleEndsFile(cif, ends, '.');
    EXPECT_EQ(bytesOf(cif), " Fatigue half-cycles\r\n"
                            " sigA(1,...,6)  ,  sigB(1,...,6)  \r\n"
                            "1.000000e+00  2.000000e+00  3.000000e+00  4.000000e+00  5.000000e+00  6.000000e+00  "
                            "-1.000000e+00 -2.000000e+00 -3.000000e+00 -4.000000e+00 -5.000000e+00 -6.000000e+00\r\n");
}

TEST_F(CycleDetailFilesTest, NothingAboveTheGateLeavesTheHeadingsOnly) {
    const std::vector<HalfCycle> small{halfCycle(0.0002 * 0.0002, 1.0)};
    const std::string cyc = pathOf("job.cyc");
    const std::string cif = pathOf("job.cif");
    writeHalfCycleFile(cyc, small, std::vector<double>{0.0}, std::vector<std::int8_t>{0}, nullptr, '.');
    writeHalfCycleEndsFile(cif, small, '.');
    EXPECT_EQ(bytesOf(cyc), " Fatigue half-cycles\r\n"
                            " Mean Stress  Amplitude     Damage        Static Failure\r\n");
    EXPECT_EQ(bytesOf(cif), " Fatigue half-cycles\r\n"
                            " sigA(1,...,6)  ,  sigB(1,...,6)  \r\n");
}

TEST_F(CycleDetailFilesTest, BlocksWithRoundedCycleCounts) {
    const std::string cyc = pathOf("job.cyc");
    writeBlockCycleFile(cyc, 5, std::vector<double>{100.0, -3.0}, std::vector<double>{50.0, 0.5},
                        std::vector<double>{2.5, 3.5}, std::vector<double>{1e-4, 1.0},
                        std::vector<std::int8_t>{0, 2}, '.');
    EXPECT_EQ(bytesOf(cyc),
              " Fatigue cycles\r\n"
              " Node ID       Mean Stress  Amplitude      No. of cycles              Damage of 1 cycle        "
              "Static Failure\r\n"
              " 5" + spaces(12) + "1.000000e+02  5.000000e+01   2" + spaces(12) + "  " + spaces(12) +
                  "1.000000e-04    " + spaces(12) + " 0\r\n" +
                  " 5" + spaces(12) + "-3.000000e+00 5.000000e-01   4" + spaces(12) + "  " + spaces(12) +
                  "1.000000e+00    " + spaces(12) + " 2\r\n");
}

TEST_F(CycleDetailFilesTest, UnknownBlockFlagStopsAfterTheLinesBeforeIt) {
    const std::string cyc = pathOf("job.cyc");
    const FatalStop stop = expectStop([&] {
        writeBlockCycleFile(cyc, -1, std::vector<double>{1.0, 1.0}, std::vector<double>{1.0, 1.0},
                            std::vector<double>{1.0, 1.0}, std::vector<double>{0.0, 0.0},
                            std::vector<std::int8_t>{1, 3}, '.');
    });
    EXPECT_EQ(stop.consoleLines,
              (std::vector<std::string>{"Runtime Error Code 409: please contact the KORVANEL support",
                                        "Sorry for the inconvenience"}));
    const std::string text = bytesOf(cyc);
    EXPECT_NE(text.find("-1" + spaces(12) + "1.000000e+00"), std::string::npos);
    EXPECT_EQ(text.find("3\r\n"), std::string::npos);
}

TEST_F(CycleDetailFilesTest, MissingCompleteOutputNode) {
    const std::string cyc = pathOf("job.cyc");
    writeMissingNodeLine(cyc, 99, '.');
    EXPECT_EQ(bytesOf(cyc),
              "The node where complete output is requested looks not existing: please chek node ID =" +
                  spaces(13) + " 99\r\n");
}

TEST(CycleDetailFilesRounding, TiesToEvenAndCountsBeyondSixtyFourBits) {
    EXPECT_EQ(listedCycleCount(2.5), " 2");
    EXPECT_EQ(listedCycleCount(3.5), " 4");
    EXPECT_EQ(listedCycleCount(-2.5), "-2");
    EXPECT_EQ(listedCycleCount(2.5000000000000004), " 3");
    EXPECT_EQ(listedCycleCount(0.49999999999999994), " 0");
    EXPECT_EQ(listedCycleCount(1000.0), " 1000");
    EXPECT_EQ(listedCycleCount(-9223372036854775808.0), "-9223372036854775808");
    EXPECT_EQ(listedCycleCount(9223372036854775808.0), " 9223372036854775808");
    EXPECT_EQ(listedCycleCount(1e20), " 100000000000000000000");
    EXPECT_EQ(listedCycleCount(-1e20), "-100000000000000000000");
}

}  // namespace
}  // namespace korvanel
