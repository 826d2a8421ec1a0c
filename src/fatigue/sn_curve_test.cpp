#include "fatigue/sn_curve.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "base/fatal_stop.hpp"
#include "base/test_support.hpp"

namespace korvanel {
namespace {

// Palmgren: N = 10^(12 - 3 log10(Seq - E)) - 1; static limit E + 10^((0 - 12) / -3).
MaterialValues palmgren(std::int64_t method = 3, double enduranceLimit = 0.0) {
    MaterialValues m;
    m.snCurveType = SnCurveType{1};
    m.palmgrenL1 = 12.0;
    m.palmgrenP = -3.0;
    m.palmgrenC = 1.0;
    m.enduranceLimit = enduranceLimit;
    m.goodmanExponent = 1.0;
    m.goodmanMethod = GoodmanMethod{method};
    m.goodmanSmMax = 1000.0;
    return m;
}

std::vector<std::string> stopLines(std::int64_t type, std::int64_t format, bool advisory = false) {
    MaterialValues m = palmgren();
    m.snCurveType = SnCurveType{type};
    const FatalStop stop = expectStop([&] { prepareSnCurve(m, format == 3); });
    return advisory ? stop.advisoryLines : stop.consoleLines;
}

TEST(SnCurvePalmgren, StaticLimitCyclesAndEnduranceLimit) {
    const MaterialValues m = palmgren();
    const SnCurve curve = prepareSnCurve(m, false);
    EXPECT_DOUBLE_EQ(curve.staticLimit, 10000.0);
    const CycleVerdict at100 = cycleVerdict(100.0, 0.0, m, curve);
    EXPECT_EQ(at100.kind, Verdict::cyclesToFailure);
    EXPECT_NEAR(at100.cyclesToFailure, 999999.0, 1e-6);
    EXPECT_EQ(cycleVerdict(10000.0, 0.0, m, curve).kind, Verdict::staticFailureType2);

    const MaterialValues e50 = palmgren(3, 50.0);
    const SnCurve curve50 = prepareSnCurve(e50, false);
    EXPECT_EQ(cycleVerdict(50.0, 0.0, e50, curve50).kind, Verdict::noDamage);
    EXPECT_EQ(cycleVerdict(10050.0, 0.0, e50, curve50).kind, Verdict::staticFailureType2);
}

TEST(SnCurveWeibull, BoundariesAndCycles) {
    MaterialValues m = palmgren();
    m.snCurveType = SnCurveType{2};
    m.weibullSainf = 100.0;
    m.weibullSault = 500.0;
    m.weibullAlfa = 6.0;
    m.weibullBeta = 2.0;
    const SnCurve curve = prepareSnCurve(m, true);
    EXPECT_EQ(curve.staticLimit, 500.0);
    EXPECT_EQ(cycleVerdict(100.0, 0.0, m, curve).kind, Verdict::noDamage);
    EXPECT_EQ(cycleVerdict(500.0, 0.0, m, curve).kind, Verdict::staticFailureType2);
    // Seq = 300: -ln(200 / 400) = ln 2, so N = 10^(6 sqrt(ln 2)) = 98,929.92...
    EXPECT_NEAR(cycleVerdict(300.0, 0.0, m, curve).cyclesToFailure, 98929.922064, 1e-5);
}

TEST(SnCurveTypeStops, MessagesPerFormat) {
    const std::vector<std::string> needs{"Type of SN curve definition needs values 1, 2 or 3"};
    for (std::int64_t type : {0, 3, 4}) {
        EXPECT_EQ(stopLines(type, 1), needs);
        EXPECT_EQ(stopLines(type, 2, true), needs);
    }
    const std::vector<std::string> multilinear{"ARRIVATO QUA CON LA CURVA MULTILINEARE !!!"};
    EXPECT_EQ(stopLines(3, 3), multilinear);
    EXPECT_EQ(stopLines(3, 3, true), multilinear);
    EXPECT_EQ(stopLines(4, 3, true), needs);
}

TEST(GoodmanCorrection, GatesAndSignsPerMethod) {
    const MaterialValues m1 = palmgren(1), m2 = palmgren(2);
    EXPECT_EQ(equivalentAmplitude(100.0, 0.0001, m1), 100.0);
    EXPECT_EQ(equivalentAmplitude(100.0, -0.0001, m1), 100.0);
    EXPECT_DOUBLE_EQ(equivalentAmplitude(100.0, 200.0, m1), 125.0);   // 100 / (1 - 0.2)
    EXPECT_DOUBLE_EQ(equivalentAmplitude(120.0, -200.0, m1), 100.0);  // 120 / (1 + 0.2)

    EXPECT_EQ(equivalentAmplitude(100.0, -200.0, m2), 100.0);
    EXPECT_EQ(equivalentAmplitude(100.0, 0.0001, m2), 100.0 / (1.0 - 0.0001 / 1000.0));

    // Method 3 and unknown methods: the magnitude of the mean counts.
    for (std::int64_t method : {3, 0, 7}) {
        MaterialValues m = palmgren(method);
        m.goodmanExponent = 2.0;
        EXPECT_EQ(equivalentAmplitude(100.0, 0.0001, m), 100.0);
        EXPECT_DOUBLE_EQ(equivalentAmplitude(75.0, 500.0, m), 100.0);   // 75 / (1 - 0.25)
        EXPECT_DOUBLE_EQ(equivalentAmplitude(75.0, -500.0, m), 100.0);
    }
}

TEST(GoodmanStaticType1, TestedMeanPerMethod) {
    const SnCurve curve = prepareSnCurve(palmgren(), false);
    for (std::int64_t method : {1, 2, 3})
        EXPECT_EQ(cycleVerdict(0.0, 1000.0, palmgren(method), curve).kind, Verdict::staticFailureType1);
    EXPECT_EQ(cycleVerdict(0.0, -1000.0, palmgren(3), curve).kind, Verdict::staticFailureType1);
    // Under methods 1 and 2 a compressive mean never fails statically.
    EXPECT_EQ(cycleVerdict(0.0, -5000.0, palmgren(1), curve).kind, Verdict::noDamage);
    EXPECT_EQ(cycleVerdict(0.0, -5000.0, palmgren(2), curve).kind, Verdict::noDamage);
    // Type 1 is tested before type 2.
    EXPECT_EQ(cycleVerdict(20000.0, 999.0, palmgren(3), curve).kind, Verdict::staticFailureType2);
    EXPECT_EQ(cycleVerdict(20000.0, 1000.0, palmgren(3), curve).kind, Verdict::staticFailureType1);
}

// powerOf skips the call for an exponent of 1. Where pow could round x^1 to
// a neighbour of x, x is a power of two (its lower neighbour is half an ULP
// away): all of them are checked, normal and subnormal, with their
// neighbours, the special values and random bit patterns, against the
// library's own pow.
TEST(PowerOf, ExponentOneIsTheLibraryPower) {
    std::vector<double> xs = {0.0, std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::max(),
                              std::numeric_limits<double>::denorm_min()};
    for (int e = -1074; e <= 1023; ++e) {
        const double p = std::ldexp(1.0, e);
        xs.insert(xs.end(), {p, std::nextafter(p, 0.0), std::nextafter(p, HUGE_VAL)});
    }
    std::mt19937_64 random(19);
    for (int i = 0; i < 1000000; ++i) xs.push_back(std::bit_cast<double>(random()));
    volatile double one = 1.0;  // the compiler would fold pow(x, 1.0) into x
    for (const double magnitude : xs)
        for (const double x : {magnitude, -magnitude})
            ASSERT_EQ(std::bit_cast<std::uint64_t>(powerOf(x, one)),
                      std::bit_cast<std::uint64_t>(std::pow(x, one)))
                << x;
}

}  // namespace
}  // namespace korvanel
