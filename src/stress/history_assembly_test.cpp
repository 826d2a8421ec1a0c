#include "stress/history_assembly.hpp"

#include <gtest/gtest.h>

#include "stress/path_compaction.hpp"
#include "base/simd_test_values.hpp"

namespace korvanel {
namespace {

Stress6 state(double s1, double s2, double s3, double s4, double s5, double s6) {
    return Stress6{{s1, s2, s3, s4, s5, s6}};
}

TEST(HistoryAssemblyCombination, ScaledBasePlusWeightedLoadCases) {
    const Stress6 base = state(10, 0, 0, 1, 0, 0);
    const Stress6 cases[2] = {state(1, 2, 0, 0, 0, 0), state(0, 1, 0, 0, 0, 4)};
    const double factors[] = {1.0, 0.0, 2.0, -1.0};  // 2 time points x 2 load cases
    std::vector<Stress6> history;
    combineLoadCases(bestSimdLevel(), {base, cases, 2, factors, 2, 2.0, 0.5}, history);
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0], state(21, 2, 0, 2, 0, 0));
    EXPECT_EQ(history[1], state(22, 3, 0, 2, 0, -4));  // sum (2, 3, 0, 0, 0, -4)
    combineLoadCases(bestSimdLevel(), {base, cases, 2, factors, 2, 3.0, 0.0}, history);
    EXPECT_EQ(history[1], 3.0 * base);
}

TEST(HistoryAssemblyCombination, LoadCasesSummedFromZeroInOrder) {
    // ((0 + 1e16) + 1) - 1e16 is 0 in doubles; other orders would give 1.
    const Stress6 cases[3] = {state(1e16, 1, 0, 0, 0, 0), state(1, -1e16, 0, 0, 0, 0),
                              state(-1e16, 1e16, 0, 0, 0, 0)};
    const double factors[] = {1.0, 1.0, 1.0};
    std::vector<Stress6> history;
    history.reserve(8);
    const Stress6* storage = history.data();
    combineLoadCases(bestSimdLevel(), {Stress6{}, cases, 3, factors, 1, 1.0, 1.0}, history);
    EXPECT_EQ(history[0][0], 0.0);
    EXPECT_EQ(history[0][1], 0.0);  // ((0 + 1) - 1e16) + 1e16
    EXPECT_EQ(history.data(), storage);
}

TEST(HistoryAssemblyBlocks, FromAndToStatesOfEveryBlock) {
    const Stress6 base = state(0, 0, 0, 0, 0, 10);
    const Stress6 cases[2] = {state(1, 0, 0, 0, 0, 0), state(0, 0, 0, 2, 0, 0)};
    const double from[] = {1.0, 0.0, 3.0, 1.0};
    const double to[] = {-1.0, 1.0, 3.0, 1.0};  // block 2: from equals to
    std::vector<Stress6> a, b;
    blockStates({base, cases, 2, from, 2, 1.0, 2.0}, to, a, b);
    ASSERT_EQ(a.size(), 2u);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(a[0], state(2, 0, 0, 0, 0, 10));
    EXPECT_EQ(b[0], state(-2, 0, 0, 4, 0, 10));
    EXPECT_EQ(a[1], state(6, 0, 0, 4, 0, 10));
    EXPECT_EQ(b[1], a[1]);
}


TEST(HistoryAssemblyCombination, EveryTimePointOfAnOddCountKeepsItsOwnFactors) {
    // Time points are built two at a time and the last of an odd count on
    // its own; each must take its own row of factors, summed in order.
    const Stress6 cases[3] = {state(1e16, 1, 0, 2, 0, 0), state(1, -1e16, 0, 0, 3, 0),
                              state(-1e16, 1e16, 0, 0, 0, 4)};
    const double unitRows[] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    std::vector<Stress6> history;
    combineLoadCases(bestSimdLevel(), {state(1, 1, 1, 1, 1, 1), cases, 3, unitRows, 3, 2.0, 1.0}, history);
    ASSERT_EQ(history.size(), 3u);
    for (int t = 0; t < 3; ++t) EXPECT_EQ(history[t], 2.0 * (state(1, 1, 1, 1, 1, 1) + cases[t]));
    // ((0 + 1e16) + 1) - 1e16 = 0 and ((0 + 1) - 1e16) + 1e16 = 0 at every time point.
    const double ones[] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    combineLoadCases(bestSimdLevel(), {Stress6{}, cases, 3, ones, 3, 1.0, 1.0}, history);
    for (int t = 0; t < 3; ++t) EXPECT_EQ(history[t], state(0, 0, 0, 2, 3, 4));
}

// The quick test of --check agrees with building and compacting the history.
TEST(HistoryAssemblyCombination, ConstantPathAgreesWithCompaction) {
    const Stress6 base = state(5, 5, 5, 0, 0, 0);
    const Stress6 unit = state(1, 0, 0, 0, 0, 0);
    const std::vector<std::vector<double>> factorRows = {
        {},                                  // no time point
        {3},                                 // one point is its own successor
        {0, 0, 0, 0},                        // constant
        {0, 0.00005, 0, 0.00005},            // moves less than the compaction distance
        {0, 0, 0, 1},                        // moves at the last point (and back to the first)
        {1, 0, 1, 0, 1},
        {0, 0.0001, 0.0002, 0.0001},
    };
    for (const auto& factors : factorRows) {
        const auto count = static_cast<std::int64_t>(factors.size());
        std::vector<Stress6> history;
        std::vector<unsigned char> marks;
        const LoadHistory loads{base, &unit, 1, factors.data(), count, 2.0, 1.0};
        combineLoadCases(SimdLevel::plain, loads, history);
        compactPath(SimdLevel::plain, history, marks);
        EXPECT_EQ(combinedPathIsConstant(loads), history.size() <= 1)
            << count << " time points";
    }
}

// Every level against the plain form, on awkward values (NaN, infinities,
// signed zeros, denormals), odd and even time-point counts.
TEST(HistoryAssemblyCombination, EveryLevelGivesThePlainBits) {
    AwkwardDoubles awkward(3);
    for (std::int64_t loadCases : {1, 2, 6}) {
        for (std::int64_t timePoints : {1, 2, 7, 8}) {
            Stress6 base;
            for (double& x : base.s) x = awkward();
            std::vector<Stress6> cases(static_cast<std::size_t>(loadCases));
            for (Stress6& c : cases)
                for (double& x : c.s) x = awkward();
            std::vector<double> factors(static_cast<std::size_t>(loadCases * timePoints));
            for (double& x : factors) x = awkward();
            const double scale = awkward(), loadCaseScale = awkward();
            std::vector<Stress6> expected, got;
            const LoadHistory loads{base,       cases.data(), loadCases,    factors.data(),
                                    timePoints, scale,        loadCaseScale};
            combineLoadCases(SimdLevel::plain, loads, expected);
            for (SimdLevel level : availableSimdLevels()) {
                combineLoadCases(level, loads, got);
                ASSERT_EQ(got.size(), expected.size());
                for (std::size_t t = 0; t < got.size(); ++t)
                    for (int k = 0; k < 6; ++k)
                        EXPECT_TRUE(sameBitsOrBothNan(got[t][k], expected[t][k]))
                            << simdLevelName(level) << " time point " << t << " component " << k;
            }
        }
    }
}

}  // namespace
}  // namespace korvanel
