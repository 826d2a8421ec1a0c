#include "stress/stress_measures.hpp"

#include <cmath>

#include <gtest/gtest.h>

namespace korvanel {
namespace {

Stress6 state(double s1, double s2, double s3, double s4, double s5, double s6) {
    return Stress6{{s1, s2, s3, s4, s5, s6}};
}

TEST(StressMeasuresVonMises, UniaxialShearHydrostaticAndSymmetry) {
    EXPECT_EQ(vonMisesSquared(state(0, 0, -7, 0, 0, 0)), 49.0);
    EXPECT_EQ(vonMisesSquared(state(0, 0, 0, 0, 2, 0)), 12.0);
    EXPECT_EQ(vonMisesSquared(state(5, 5, 5, 0, 0, 0)), 0.0);
    // 1 + 4 + 9 - 2 - 6 - 3 = 3 plus 3 * (1 + 1 + 4) = 18
    EXPECT_EQ(vonMisesSquared(state(1, 2, 3, 1, -1, 2)), 21.0);
    // In the fixed evaluation order this state rounds to about -1.1e-16.
    EXPECT_EQ(vonMisesSquared(state(0.7, 0.7, 0.7, 0, 0, 0)), 0.0);
    const Stress6 a = state(1.5, -2.25, 3.0, 0.5, 4.0, -1.0);
    const Stress6 b = state(-7.0, 2.0, 0.125, 3.0, -2.0, 6.5);
    EXPECT_EQ(vonMisesSquared(b - a), vonMisesSquared(a - b));
}

TEST(StressMeasuresDeviatoric, UnitStatesAndHydrostaticShift) {
    EXPECT_DOUBLE_EQ(deviatoricProduct(state(1, 0, 0, 0, 0, 0), state(1, 0, 0, 0, 0, 0)), 1.0);
    EXPECT_DOUBLE_EQ(deviatoricProduct(state(0, 0, 0, 1, 0, 0), state(0, 0, 0, 1, 0, 0)), 3.0);
    const Stress6 a = state(3, -1, 2, 1, 0, 2), b = state(1, 4, -2, 0, 3, 1);
    const Stress6 p = state(6, 6, 6, 0, 0, 0);
    EXPECT_DOUBLE_EQ(deviatoricProduct(a + p, b - p), deviatoricProduct(a, b));
    EXPECT_DOUBLE_EQ(deviatoricProduct(a, a), vonMisesSquared(a));
}

TEST(StressMeasuresSmall, InvariantLogMaxMinPathRange) {
    EXPECT_EQ(firstInvariant(state(100, 50, -30, 7, 8, 9)), 120.0);
    EXPECT_NEAR(decimalLog(1000.0), 3.0, 1e-15);
    EXPECT_EQ(decimalLog(1.0), 0.0);
    EXPECT_EQ(maxOf(3.0, 2.0), 3.0);
    EXPECT_TRUE(std::signbit(maxOf(0.0, -0.0)));  // a tie returns the second argument
    EXPECT_EQ(minOf(-3, -3), -3);
    EXPECT_EQ(minOf(1000000000000, 4), 4);
    // Legs 0 -> (4, txy 2) -> (4): sqrt(28) + sqrt(12).
    const Stress6 a, b = state(4, 0, 0, 0, 0, 0), q = state(4, 0, 0, 2, 0, 0);
    EXPECT_EQ(pathRange(a, b, q, 4.0), std::sqrt(28.0) + std::sqrt(12.0));
    EXPECT_EQ(pathRange(a, b, q, 100.0), 100.0);
}


TEST(StressMeasuresVonMises, ComponentFormIsTheSameFunction) {
    const Stress6 a = state(1.5, -2.25, 3.0, 0.5, 4.0, -1.0);
    EXPECT_EQ(vonMisesSquaredOf(1.5, -2.25, 3.0, 0.5, 4.0, -1.0), vonMisesSquared(a));
    EXPECT_EQ(vonMisesSquaredOf(1, 2, 3, 1, -1, 2), 21.0);
    EXPECT_EQ(vonMisesSquaredOf(0.7, 0.7, 0.7, 0, 0, 0), 0.0);  // rounds below zero
}

}  // namespace
}  // namespace korvanel
