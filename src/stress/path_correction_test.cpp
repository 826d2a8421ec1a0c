#include "stress/path_correction.hpp"

#include <cmath>

#include <gtest/gtest.h>

#include "run/fatal_stop.hpp"
#include "stress/stress_measures.hpp"

namespace korvanel {
namespace {

PlasticMaterial material(double scale) {
    MaterialValues v;
    v.yieldStress = 200.0 * scale;
    v.youngsModulus = 200000.0 * scale;
    v.staticStrength = 400.0 * scale;
    v.strainAtFailurePercent = 10.0;
    return derivePlasticMaterial(v);
}

Stress6 state(double s1, double s4) {
    Stress6 s;
    s[0] = s1;
    s[3] = s4;
    return s;
}

// Inside the yield surface throughout; integer values keep every
// accumulated increment exact. An empty path stays empty.
TEST(PathCorrectionTest, ElasticPathIsUnchangedAfterTwoPasses) {
    const std::vector<Stress6> elastic{state(100, 0), state(-50, 20), state(150, -10)};
    for (std::int64_t method : {1, 2}) {
        std::vector<Stress6> path = elastic;
        CorrectionScratch scratch;
        correctPath(path, 3, method, material(1), scratch);
        EXPECT_EQ(path, elastic);
        EXPECT_EQ(scratch.attempts, 1);
        EXPECT_EQ(scratch.lastAttemptPasses, 2);
        std::vector<Stress6> empty;
        correctPath(empty, 0, method, material(1), scratch);
        EXPECT_TRUE(empty.empty());
    }
}

// Trial (150, 0, 0, 150, 0, 0): q = sqrt(150^2 + 3 * 150^2) = 300, direction
// n = (0.5, 0, 0, 0.5, 0, 0) exact, stress N(300) * n, back stress
// N(300) * n - 200 * n. The second pass finds the relative stress exactly at
// Sy (elastic), so there is no drift.
TEST(PathCorrectionTest, NonLinearYieldingSegmentEndsOnShiftedSurface) {
    const PlasticMaterial m = material(1);
    std::vector<Stress6> path{state(150, 150)};
    CorrectionScratch scratch;
    correctPath(path, 1, 2, m, scratch);
    const double sigma = neuberNonLinear(300.0, m);
    EXPECT_EQ(path[0], sigma * state(0.5, 0.5));
    EXPECT_EQ(std::sqrt(vonMisesSquared(path[0] - scratch.backStress[1])), 200.0);
    EXPECT_EQ(scratch.yieldHistoryCount, 1);
}

// Proportional loading from zero: sub-steps stay elastic up to Sy, each later
// one advances the stress by slope * (sub-step length), so the end is
// Sy + slope * (300 - Sy) = neuberLinear(300) = 207.6091134.
TEST(PathCorrectionTest, LinearMonotonicLoadingFollowsNeuberLine) {
    std::vector<Stress6> path{state(300, 0)};
    CorrectionScratch scratch;
    correctPath(path, 1, 1, material(1), scratch);
    EXPECT_NEAR(path[0][0], 207.6091134, 1e-6);
    EXPECT_EQ(path[0][3], 0.0);
    EXPECT_EQ(scratch.lastSubStep, 4.0);
}

// A non-proportional box of tension and shear settles only gradually: at
// stresses of order 1e11 (method 1) its pass-to-pass change stays far above
// 1e-4, and the non-linear history changes it strongly at any scale.
std::vector<Stress6> box(double scale) {
    return {state(400 * scale, 0), state(400 * scale, 250 * scale), state(0, 250 * scale),
            state(0, 0)};
}

TEST(PathCorrectionTest, PassAndAttemptLimits) {
    std::vector<Stress6> path = box(1e9);
    CorrectionScratch scratch;
    correctPath(path, 4, 1, material(1e9), scratch);
    EXPECT_EQ(scratch.attempts, 3);
    EXPECT_EQ(scratch.totalPasses, 15);
    EXPECT_EQ(scratch.lastSubStep, 200.0 * 1e9 / 200.0);

    path = box(1);
    correctPath(path, 4, 2, material(1), scratch);
    EXPECT_EQ(scratch.attempts, 1);
    EXPECT_EQ(scratch.totalPasses, 3);
    EXPECT_GT(scratch.convergence, 0.0001);
}

TEST(PathCorrectionTest, ScratchReuseDoesNotChangeResults) {
    for (std::int64_t method : {1, 2}) {
        CorrectionScratch used, fresh;
        std::vector<Stress6> longer = box(1), again = box(1), first = box(1);
        longer.push_back(state(-300, 0));
        correctPath(longer, 5, method, material(1), used);
        correctPath(again, 4, method, material(1), used);
        correctPath(first, 4, method, material(1), fresh);
        EXPECT_EQ(again, first);
    }
}

// Alternating +-300 yields on every segment. With 0 raw points the history
// holds 3 * 1 * 3 - 2 = 7 entries; the eighth stops the run.
TEST(PathCorrectionTest, YieldHistoryBeyondCapacityStopsTheRun) {
    std::vector<Stress6> path;
    for (int i = 0; i < 8; ++i) path.push_back(state(i % 2 == 0 ? 300 : -300, 0));
    CorrectionScratch scratch;
    std::vector<Stress6> copy = path;
    try {
        correctPath(copy, 0, 2, material(1), scratch);
        FAIL() << "no stop";
    } catch (const FatalStop& stop) {
        EXPECT_EQ(stop.consoleLines.at(0), "Runtime Error Code 102: please contact the KORVANEL support");
    }
    EXPECT_EQ(scratch.yieldHistory.size(), 7u);
    EXPECT_NO_THROW(correctPath(path, 8, 2, material(1), scratch));
}

TEST(PathCorrectionTest, HistorySumMatchesDeviatoricProductsClampedAtZero) {
    const auto full = [](double a, double b, double c, double d, double e, double f) {
        Stress6 s;
        s[0] = a, s[1] = b, s[2] = c, s[3] = d, s[4] = e, s[5] = f;
        return s;
    };
    const Stress6 n = full(0.7, -0.3, 0.11, 0.25, -0.05, 0.3);
    const Stress6 entries[4] = {full(3.1, 1.7, -2.9, 0.3, 1.1, -0.7),
                                full(-9.5, 4.25, 1.0 / 3.0, -2.2, 0.01, 7.0),
                                full(1e-3, 2e-3, -5e-4, 1e3, -1e3, 0.125),
                                full(-0.9, 0.1, 0.2, -0.3, 0.4, -0.5)};
    std::vector<YieldHistoryEntry> history;
    double expected = 0.0;
    for (const Stress6& e : entries) {
        history.push_back(makeYieldHistoryEntry(e));
        expected = expected + deviatoricProduct(n, e);
        if (expected < 0.0) expected = 0.0;
        EXPECT_EQ(yieldHistorySum(n, history), expected);
    }
    EXPECT_EQ(yieldHistorySum(n, {makeYieldHistoryEntry(-1.0 * n)}), 0.0);
}

}  // namespace
}  // namespace korvanel
