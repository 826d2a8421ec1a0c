#include "fatigue/damage_screen.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fatigue/cycle_extraction.hpp"
#include "fatigue/damage.hpp"
#include "fatigue/sn_curve.hpp"
#include "stress/stress_measures.hpp"

namespace korvanel {
namespace {

Stress6 state(double s1, double s2, double s3, double s4, double s5, double s6) {
    Stress6 s;
    const double v[6] = {s1, s2, s3, s4, s5, s6};
    for (int k = 0; k < 6; ++k) s[k] = v[k];
    return s;
}

std::vector<Stress6> uniaxial(std::vector<double> values, double offset = 0.0) {
    std::vector<Stress6> path;
    for (double v : values) path.push_back(state(v + offset, 0, 0, 0, 0, 0));
    return path;
}

// A non-proportional multiaxial path of `count` points about `offset`
// (in each normal stress), from a fixed linear congruential sequence.
std::vector<Stress6> multiaxial(int count, double offset, std::uint64_t seed) {
    std::vector<Stress6> path;
    const auto next = [&] {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(seed >> 11) / 9007199254740992.0 * 2.0 - 1.0;
    };
    for (int i = 0; i < count; ++i) {
        const double a = 100.0 * next(), b = 60.0 * next(), c = 30.0 * next();
        path.push_back(state(offset + a, offset + 0.3 * a + b, offset + c, 0.4 * b, 0.2 * c, 0.1 * a));
    }
    return path;
}

MaterialValues material(SnCurveType type, GoodmanMethod method, double exponent) {
    MaterialValues m;
    m.snCurveType = type;
    m.palmgrenL1 = 12.0;
    m.palmgrenP = -3.0;
    m.palmgrenC = 1.0;
    m.enduranceLimit = 50.0;
    m.weibullSainf = 50.0;
    m.weibullSault = 1e6;
    m.weibullAlfa = 6.0;
    m.weibullBeta = 2.0;
    m.goodmanExponent = exponent;
    m.goodmanMethod = method;
    m.goodmanSmMax = 1000.0;
    return m;
}

double& fatigueLimit(MaterialValues& m) {
    return m.snCurveType == SnCurveType::palmgren ? m.enduranceLimit : m.weibullSainf;
}

// What the whole half-cycle analysis finds on the path.
struct FullAnalysis {
    bool noDamage = false;  // every half-cycle's verdict is "no damage" (or it is below the gate)
    bool floored = false;   // the node's result is the floored damage, no static failure
    double largestEquivalent = 0.0;  // over the half-cycles above the amplitude gate
    double largestTestedMean = -std::numeric_limits<double>::infinity();
};

FullAnalysis analyse(const std::vector<Stress6>& path, bool correction, const MaterialValues& m) {
    ExtractionScratch scratch;
    std::vector<HalfCycle> cycles;
    extractHalfCycles(SimdLevel::plain, path, static_cast<std::int64_t>(path.size()), correction,
                      scratch, cycles);
    FullAnalysis full;
    const bool signedTest = m.goodmanMethod == GoodmanMethod::signedMean ||
                            m.goodmanMethod == GoodmanMethod::tensileMeanOnly;
    const SnCurve curve = prepareSnCurve(m, false);
    full.noDamage = true;
    for (const HalfCycle& c : cycles) {
        const double range = std::sqrt(c.rangeSquared);
        if (range / 2.0 <= 0.0001) continue;
        const double mean = c.meanIntegral / range;
        const double equivalent = equivalentAmplitude(range / 2.0, mean, m);
        full.noDamage = full.noDamage && cycleVerdict(equivalent, mean, m, curve).kind == Verdict::noDamage;
        full.largestEquivalent = std::max(full.largestEquivalent, equivalent);
        full.largestTestedMean = std::max(full.largestTestedMean, signedTest ? mean : std::fabs(mean));
    }
    HalfCycleDamageScratch damageScratch;
    const HistoryDamage d = accumulateHalfCycles(cycles, true, false, m, curve, 1, damageScratch);
    full.floored = storeNodeDamage(d.damage).nodeDamage == 1e-18 && d.nodeCode == StaticFailureCode::none;
    return full;
}

bool screens(const std::vector<Stress6>& path, bool correction, const MaterialValues& m) {
    return provesNoDamage(SimdLevel::plain, path, correction, m, prepareSnCurve(m, false));
}

// The value of `field` at which the screen starts to pass, found by halving
// [low, high] (the screen passes at high and not at low).
template <typename Set>
double screenFlip(const std::vector<Stress6>& path, bool correction, MaterialValues m, Set set,
                  double low, double high) {
    for (int i = 0; i < 200 && low < high; ++i) {
        const double mid = low + (high - low) / 2.0;
        if (mid == low || mid == high) break;
        set(m, mid);
        (screens(path, correction, m) ? high : low) = mid;
    }
    return high;
}

struct PathCase {
    const char* name;
    std::vector<Stress6> path;
};

std::vector<PathCase> pathCases() {
    return {
        {"two points", uniaxial({0.0, 100.0})},
        {"0 10 5 8", uniaxial({0.0, 100.0, 50.0, 80.0})},
        {"tensile offset", uniaxial({-20.0, 90.0, 10.0, 70.0, -5.0}, 150.0)},
        {"multiaxial", multiaxial(40, 40.0, 7)},
        {"multiaxial compressive", multiaxial(60, -120.0, 11)},
    };
}

const GoodmanMethod kMethods[] = {GoodmanMethod::signedMean, GoodmanMethod::tensileMeanOnly,
                                  GoodmanMethod{3}, GoodmanMethod{7}};
const double kExponents[] = {1.0, 2.0, 0.5};
const SnCurveType kCurves[] = {SnCurveType::palmgren, SnCurveType::weibull};

// Just inside and just outside the fatigue limit, for every path, curve,
// Goodman method and exponent, with and without the stress-path
// correction: wherever the screen passes, the full analysis gives no damage;
// just below the largest corrected amplitude the full analysis finds damage
// and the screen does not pass; well inside, it passes.
TEST(DamageScreen, FatigueLimitJustInsideAndOutside) {
    for (const PathCase& pc : pathCases()) {
        for (bool correction : {false, true}) {
            for (SnCurveType curve : kCurves) {
                for (GoodmanMethod method : kMethods) {
                    for (double k : kExponents) {
                        SCOPED_TRACE(std::string(pc.name) + (correction ? ", corrected" : "") +
                                     ", curve " + std::to_string(fileNumber(curve)) + ", method " +
                                     std::to_string(fileNumber(method)) + ", k " + std::to_string(k));
                        MaterialValues m = material(curve, method, k);
                        const double largest = analyse(pc.path, correction, m).largestEquivalent;
                        ASSERT_GT(largest, 1.0);
                        const auto setLimit = [](MaterialValues& v, double x) { fatigueLimit(v) = x; };
                        const double flip = screenFlip(pc.path, correction, m, setLimit, 0.0, 1e5);
                        // The screen's limit lies above the largest corrected amplitude,
                        // within a factor the bounds allow.
                        EXPECT_GT(flip, largest);
                        EXPECT_LT(flip, 6.0 * largest);
                        for (double limit : {flip, std::nextafter(flip, 0.0), largest,
                                             std::nextafter(largest, 0.0), 0.999 * largest}) {
                            fatigueLimit(m) = limit;
                            const bool passed = screens(pc.path, correction, m);
                            const FullAnalysis full = analyse(pc.path, correction, m);
                            if (passed) {
                                EXPECT_TRUE(full.noDamage) << "limit " << limit;
                                EXPECT_TRUE(full.floored) << "limit " << limit;
                            }
                            if (limit < largest) {  // some half-cycle above the limit
                                EXPECT_FALSE(full.noDamage) << "limit " << limit;
                                EXPECT_FALSE(passed) << "limit " << limit;
                            }
                        }
                        fatigueLimit(m) = flip;
                        EXPECT_TRUE(screens(pc.path, correction, m));
                    }
                }
            }
        }
    }
}

// Just inside and just outside SmMAX: with a fatigue limit far away, the
// mean decides. Where the tested mean reaches SmMAX the half-cycle fails
// statically and the screen must not pass.
TEST(DamageScreen, SmMaxJustInsideAndOutside) {
    for (const PathCase& pc : pathCases()) {
        for (bool correction : {false, true}) {
            for (GoodmanMethod method : kMethods) {
                for (double k : kExponents) {
                    SCOPED_TRACE(std::string(pc.name) + (correction ? ", corrected" : "") + ", method " +
                                 std::to_string(fileNumber(method)) + ", k " + std::to_string(k));
                    MaterialValues m = material(SnCurveType::palmgren, method, k);
                    m.enduranceLimit = 1e5;
                    const double tested = analyse(pc.path, correction, m).largestTestedMean;
                    const auto setSmMax = [](MaterialValues& v, double x) { v.goodmanSmMax = x; };
                    const double flip = screenFlip(pc.path, correction, m, setSmMax, 1e-3, 1e7);
                    EXPECT_GT(flip, tested);
                    for (double smMax : {flip, std::nextafter(flip, 0.0), tested, std::nextafter(tested, 0.0)}) {
                        if (!(smMax > 0.0)) continue;
                        m.goodmanSmMax = smMax;
                        const bool passed = screens(pc.path, correction, m);
                        const FullAnalysis full = analyse(pc.path, correction, m);
                        if (passed) {
                            EXPECT_TRUE(full.noDamage) << "SmMAX " << smMax;
                            EXPECT_TRUE(full.floored) << "SmMAX " << smMax;
                        }
                        if (smMax <= tested) {  // a static failure
                            EXPECT_FALSE(full.floored) << "SmMAX " << smMax;
                            EXPECT_FALSE(passed) << "SmMAX " << smMax;
                        }
                    }
                }
            }
        }
    }
}

// Weibull with Sault below Sainf: the static limit decides before the
// fatigue limit, and the screen keeps below it too.
TEST(DamageScreen, StaticLimitJustInsideAndOutside) {
    for (const PathCase& pc : pathCases()) {
        SCOPED_TRACE(pc.name);
        MaterialValues m = material(SnCurveType::weibull, GoodmanMethod{3}, 1.0);
        m.weibullSainf = 1e5;
        const double largest = analyse(pc.path, false, m).largestEquivalent;
        const auto setSault = [](MaterialValues& v, double x) { v.weibullSault = x; };
        const double flip = screenFlip(pc.path, false, m, setSault, 0.0, 1e5);
        EXPECT_GT(flip, largest);
        for (double sault : {flip, largest, std::nextafter(largest, 0.0)}) {
            m.weibullSault = sault;
            const bool passed = screens(pc.path, false, m);
            if (passed) {
                EXPECT_TRUE(analyse(pc.path, false, m).noDamage);
            }
            if (sault <= largest) {
                EXPECT_FALSE(analyse(pc.path, false, m).floored);
                EXPECT_FALSE(passed);
            }
        }
    }
}

// Every vector form gives the bounds of the plain one, bit for bit, also
// with a value that is not finite in any lane position.
TEST(DamageScreen, EveryLevelGivesThePlainBounds) {
    std::vector<std::vector<Stress6>> paths;
    for (const PathCase& pc : pathCases()) paths.push_back(pc.path);
    for (int count : {2, 3, 4, 5, 6, 7, 8, 9, 13}) paths.push_back(multiaxial(count, 10.0, 3 + count));
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
        for (int at = 0; at < 9; ++at) {
            std::vector<Stress6> path = multiaxial(9, 0.0, 5);
            path[at][at % 6] = bad;
            paths.push_back(path);
        }
    const auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    for (SimdLevel level : {SimdLevel::sse2, SimdLevel::avx2, SimdLevel::avx512}) {
        if (!simdLevelAvailable(level)) continue;
        for (const auto& path : paths)
            for (bool correction : {false, true}) {
                const ScreenBounds plain = screenBounds(SimdLevel::plain, path, correction);
                const ScreenBounds wide = screenBounds(level, path, correction);
                EXPECT_EQ(plain.usable, wide.usable) << simdLevelName(level) << " " << path.size();
                EXPECT_TRUE(same(plain.amplitude, wide.amplitude));
                EXPECT_TRUE(same(plain.lowWeight, wide.lowWeight));
                EXPECT_TRUE(same(plain.highWeight, wide.highWeight));
                EXPECT_TRUE(same(plain.noiseRatio, wide.noiseRatio));
            }
    }
}

// Paths outside what the proof covers, and values it cannot use, are never
// passed, however far the limits are.
TEST(DamageScreen, NotProvenOutsideTheProof) {
    MaterialValues m = material(SnCurveType::palmgren, GoodmanMethod{3}, 1.0);
    m.enduranceLimit = 1e300;
    m.goodmanSmMax = 1e300;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        std::vector<Stress6> path;
    };
    const Case cases[] = {
        {"not a number", {state(0, 0, 0, 0, 0, 0), state(nan, 0, 0, 0, 0, 0)}},
        {"infinite shear", {state(0, 0, 0, 0, 0, 0), state(1, 0, 0, 0, 0, inf)}},
        {"hydrostatic segment", {state(0, 0, 0, 0, 0, 0), state(10, 0, 0, 0, 0, 0), state(11, 1, 1, 0, 0, 0)}},
        {"segment too short for its rounding", uniaxial({0.0, 100.0, 100.0 + 1e-9})},
        {"magnitudes too large", uniaxial({0.0, 1e70})},
        {"magnitudes too small", uniaxial({0.0, 1e-70})},
        {"one point", uniaxial({5.0})},
    };
    for (const Case& c : cases) EXPECT_FALSE(screens(c.path, false, m)) << c.name;

    const std::vector<Stress6> path = uniaxial({0.0, 100.0});
    EXPECT_TRUE(screens(path, false, m));
    for (double k : {0.0, -1.0, nan, inf}) {
        MaterialValues bad = m;
        bad.goodmanExponent = k;
        EXPECT_FALSE(screens(path, false, bad)) << "exponent " << k;
    }
    for (double smMax : {0.0, -500.0, nan}) {
        MaterialValues bad = m;
        bad.goodmanSmMax = smMax;
        EXPECT_FALSE(screens(path, false, bad)) << "SmMAX " << smMax;
    }
    MaterialValues noLimit = m;
    noLimit.enduranceLimit = nan;
    EXPECT_FALSE(screens(path, false, noLimit));
}

// A path whose every half-cycle falls below the amplitude gate gets no
// verdict at all: it passes whatever the curve and Goodman values.
TEST(DamageScreen, BelowTheAmplitudeGateWhateverTheMaterial) {
    MaterialValues m = material(SnCurveType::palmgren, GoodmanMethod{3}, 0.0);
    m.goodmanSmMax = -1.0;
    m.enduranceLimit = -1.0;
    const std::vector<Stress6> path = uniaxial({0.0, 0.0001, 0.00005});
    EXPECT_TRUE(screens(path, false, m));
    EXPECT_TRUE(analyse(path, false, m).noDamage);
    EXPECT_FALSE(screens(uniaxial({0.0, 0.001}), false, m));
}

}  // namespace
}  // namespace korvanel
