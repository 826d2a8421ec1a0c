#include "stress/block_correction.hpp"

#include <cmath>

#include <gtest/gtest.h>

#include "stress/stress_measures.hpp"

namespace korvanel {
namespace {

PlasticMaterial steel() {
    MaterialValues v;
    v.yieldStress = 200.0;
    v.youngsModulus = 200000.0;
    v.staticStrength = 400.0;
    v.strainAtFailurePercent = 10.0;
    return derivePlasticMaterial(v);
}

Stress6 state(double s1, double s2, double s4) {
    Stress6 s;
    s[0] = s1, s[1] = s2, s[3] = s4;
    return s;
}

TEST(BlockCorrectionTest, AmplitudeAtYieldOrZeroIsLeftAlone) {
    for (CorrectionMethod method : {CorrectionMethod::neuberLinear, CorrectionMethod::neuberNonLinear}) {
        // Amplitude exactly Sy; no amplitude however high the mean; just above Sy.
        std::vector<Stress6> from{state(-200, 0, 0), state(900, -30, 7), state(-200.5, 0, 0)};
        std::vector<Stress6> to{state(200, 0, 0), state(900, -30, 7), state(200.5, 0, 0)};
        const std::vector<Stress6> before = from;
        correctBlocks(from, to, method, steel());
        EXPECT_EQ(from[0], before[0]);
        EXPECT_EQ(to[0], state(200, 0, 0));
        EXPECT_EQ(from[1], before[1]);
        EXPECT_EQ(to[1], before[1]);
        EXPECT_NE(from[2], before[2]);
    }
}

// Mean (50, 20, 0, 0, 0, 0), amplitude (150, 0, 0, 150, 0, 0) of von Mises
// length sqrt(150^2 + 3 * 150^2) = 300 and direction (0.5, 0, 0, 0.5, 0, 0):
// the to-state goes to N(300) from the mean, the range gets Sy + N(400).
TEST(BlockCorrectionTest, CorrectedAlongAmplitudeWithNeuberOfAmplitudeAndReversal) {
    const PlasticMaterial m = steel();
    const Stress6 mean = state(50, 20, 0);
    const Stress6 amplitude = state(150, 0, 150);
    for (CorrectionMethod method : {CorrectionMethod::neuberLinear, CorrectionMethod::neuberNonLinear}) {
        const auto neuber = [&](double x) {
            return method == CorrectionMethod::neuberLinear ? neuberLinear(x, m) : neuberNonLinear(x, m);
        };
        std::vector<Stress6> from{mean - amplitude};
        std::vector<Stress6> to{mean + amplitude};
        correctBlocks(from, to, method, m);
        const Stress6 expectedTo = mean + neuber(300.0) * state(0.5, 0, 0.5);
        const Stress6 expectedFrom = expectedTo - (200.0 + neuber(400.0)) * state(0.5, 0, 0.5);
        for (int k = 0; k < 6; ++k) {
            EXPECT_NEAR(to[0][k], expectedTo[k], 1e-12) << fileNumber(method) << " " << k;
            EXPECT_NEAR(from[0][k], expectedFrom[k], 1e-12) << fileNumber(method) << " " << k;
        }
    }
    // Linear, uniaxial: slope 200 / (sqrt(8e6) - 200), range 400 + 200 * slope.
    std::vector<Stress6> from{state(-300, 0, 0)};
    std::vector<Stress6> to{state(300, 0, 0)};
    correctBlocks(from, to, CorrectionMethod::neuberLinear, m);
    EXPECT_NEAR(to[0][0] - from[0][0], 415.2182268, 1e-6);
}

}  // namespace
}  // namespace korvanel
