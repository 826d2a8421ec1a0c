#include "fatigue/damage.hpp"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"
#include "base/test_support.hpp"

namespace korvanel {
namespace {

// Palmgren with N = 10^(12 - 3 log10(Seq)) - 1 (999,999 at 100), static limit 10,000, SmMAX 1000.
MaterialValues material() {
    MaterialValues m;
    m.snCurveType = SnCurveType{1};
    m.palmgrenL1 = 12.0;
    m.palmgrenP = -3.0;
    m.palmgrenC = 1.0;
    m.goodmanExponent = 1.0;
    m.goodmanMethod = GoodmanMethod{3};
    m.goodmanSmMax = 1000.0;
    return m;
}

// Weibull with alfa 0 and beta 0: 0 * infinity in the exponent, so N is not a number.
MaterialValues brokenCurve() {
    MaterialValues m = material();
    m.snCurveType = SnCurveType{2};
    m.weibullSault = 1000.0;
    return m;
}

HalfCycle halfCycle(double amplitude, double mean) {
    HalfCycle hc;
    hc.rangeSquared = (2.0 * amplitude) * (2.0 * amplitude);
    hc.meanIntegral = mean * (2.0 * amplitude);
    return hc;
}

HistoryDamage halfCycles(std::vector<HalfCycle> cycles, std::int64_t format, bool gag = false,
                         const MaterialValues& m = material()) {
    HalfCycleDamageScratch scratch;
    return accumulateHalfCycles(cycles, format == 2, gag, m, prepareSnCurve(m, false), 7, scratch);
}

Stress6 uniaxial(double s) {
    Stress6 state;
    state[0] = s;
    return state;
}

// Blocks from -a to +a in the first normal stress.
HistoryDamage blocks(const std::vector<double>& amplitudes, const std::vector<double>& cycles,
                     std::int64_t type, const std::vector<BlockGroup>& groups = {},
                     const MaterialValues& m = material()) {
    std::vector<Stress6> from, to;
    for (double a : amplitudes) {
        from.push_back(uniaxial(-a));
        to.push_back(uniaxial(a));
    }
    BlockDamageScratch scratch;
    return accumulateBlocks({from, to, cycles, 1.0, BlocksDamageType{type}, groups}, m,
                            prepareSnCurve(m, true), 7, scratch);
}

void expectNotANumberStop(const std::function<void()>& run) {
    EXPECT_EQ(expectStop(run).consoleLines,
              std::vector<std::string>{"Error: the damage is not a number at node ID 7,"
                                       " please check the material and S-N curve data"});
}

const double oneOverN100 = 1.0 / 999999.0;

TEST(DamageHalfCycles, MeanReplacedGateSkipsAndSumIsHalved) {
    std::vector<HalfCycle> cycles{halfCycle(100.0, 250.0), halfCycle(0.0001, 5.0), halfCycle(100.0, -250.0)};
    const MaterialValues m = material();
    HalfCycleDamageScratch scratch;
    scratch.halfCycleDamage.assign(5, 9.0);   // stale values of an earlier node
    const HistoryDamage d = accumulateHalfCycles(cycles, false, false, m, prepareSnCurve(m, false), 1, scratch);

    EXPECT_DOUBLE_EQ(cycles[0].meanIntegral, 250.0);
    EXPECT_EQ(cycles[1].meanIntegral, 5.0 * 0.0002);   // skipped: left as it was
    ASSERT_EQ(scratch.halfCycleDamage.size(), 3u);
    EXPECT_EQ(scratch.halfCycleDamage[1], 0.0);
    // Seq = 100 / (1 - 0.25) for both; the two halves make one cycle.
    const double n = 1e12 / (400.0 / 3.0 * 400.0 / 3.0 * 400.0 / 3.0) - 1.0;
    EXPECT_NEAR(scratch.halfCycleDamage[0] * n, 1.0, 1e-12);
    EXPECT_NEAR(d.damage * n, 1.0, 1e-12);
}

TEST(DamageHalfCycles, StaticFailureCodes) {
    const HalfCycle type1 = halfCycle(10.0, 1000.0), type2 = halfCycle(10000.0, 0.0), small = halfCycle(100.0, 0.0);
    EXPECT_EQ(fileNumber(halfCycles({small, type1, small}, 2).nodeCode), 1);
    EXPECT_EQ(fileNumber(halfCycles({type2, small}, 2).nodeCode), 2);
    EXPECT_EQ(fileNumber(halfCycles({type1, small, type2}, 2).nodeCode), 12);
    EXPECT_GE(halfCycles({small, type2, small, small}, 2).damage, 1.0);

    // Format 1 keeps the type of the last failed half-cycle and no node code.
    const HistoryDamage history = halfCycles({type2, type1, small}, 1);
    EXPECT_EQ(fileNumber(history.lastStaticType), 1);
    EXPECT_EQ(fileNumber(history.nodeCode), 0);
    EXPECT_NEAR(history.damage, 2.0 + oneOverN100 / 2.0, 1e-12);
}

TEST(DamageHalfCycles, GroundAirGround) {
    const HalfCycle small = halfCycle(100.0, 0.0);
    EXPECT_EQ(halfCycles({small, halfCycle(10000.0, 0.0), small}, 2, true).damage, 1.0);
    EXPECT_NEAR(halfCycles({small, small}, 2, true).damage, oneOverN100 / 2.0, 1e-18);
    EXPECT_NEAR(halfCycles({small, small}, 1, true).damage, oneOverN100, 1e-18);   // format 1 ignores it
    // Nothing above the gate: the largest stays at its start value.
    EXPECT_EQ(halfCycles({halfCycle(0.00005, 0.0)}, 2, true).damage, -5000.0);
}

TEST(DamageHalfCycles, NotANumberStops) {
    const HalfCycle broken = halfCycle(100.0, 0.0);
    expectNotANumberStop([&] { halfCycles({broken}, 1, false, brokenCurve()); });
    // The largest half-cycle would hide it; the plain sum does not.
    expectNotANumberStop([&] { halfCycles({halfCycle(10000.0, 0.0), broken}, 2, true, brokenCurve()); });
}

TEST(DamageStore, FloorAndCeiling) {
    EXPECT_EQ(storeNodeDamage(0.25).lifeRepeats, 4.0);
    EXPECT_EQ(storeNodeDamage(1e-18).nodeDamage, 1e-18);
    EXPECT_EQ(storeNodeDamage(1e-18).lifeRepeats, 1.0 / 1e-18);
    EXPECT_EQ(storeNodeDamage(-5000.0).nodeDamage, 1e-18);
    EXPECT_EQ(storeNodeDamage(-5000.0).lifeRepeats, 1e18);
}

// Blocks that fail statically do one unit of damage per cycle, so
// fractional cycle counts give exact block damages.
TEST(BlocksDamageType, LargestSumAndGroups) {
    const std::vector<double> failing{20000.0, 20000.0}, cycles{0.3, 0.5};
    EXPECT_EQ(blocks(failing, cycles, 0).damage, 0.5);
    EXPECT_EQ(blocks(failing, cycles, 1).damage, 0.8);
    EXPECT_EQ(blocks(failing, cycles, 2, {{1, 1}, {1, 2}}).damage, 0.8);
    EXPECT_EQ(blocks(failing, cycles, 2).damage, -1.23456);   // no groups
    EXPECT_EQ(blocks(failing, {1000.0, 0.0}, 1).damage, 1000.0);
}

TEST(BlocksValues, AmplitudeMeanAndLoadVariability) {
    const MaterialValues m = material();
    Stress6 from = uniaxial(-100.0), to = uniaxial(100.0);
    from[1] = to[1] = 30.0;   // mean state (0, 30, 0)
    BlockDamageScratch scratch;
    const double cycles = 10.0;
    const HistoryDamage d = accumulateBlocks({{&from, 1}, {&to, 1}, {&cycles, 1}, 2.0, BlocksDamageType::wholeSpectrum, {}}, m,
                                             prepareSnCurve(m, true), 7, scratch);
    EXPECT_EQ(scratch.amplitude[0], 100.0);   // before the load variability factor
    EXPECT_EQ(scratch.mean[0], 30.0);
    // Seq = 2 * 100 / (1 - 30/1000); N = 10^12 / Seq^3 - 1.
    const double seq = 200.0 / 0.97;
    const double n = 1e12 / (seq * seq * seq) - 1.0;
    EXPECT_NEAR(d.damage * n, 10.0, 1e-11);
}

TEST(BlocksStaticFailure, CodesFlagsAndNotANumber) {
    const MaterialValues m = material();
    // Block 1 reaches the static limit through the factor 100; block 2 has mean 1000.
    BlockDamageScratch scratch;
    const Stress6 from[] = {uniaxial(-100.0), uniaxial(900.0)};
    const Stress6 to[] = {uniaxial(100.0), uniaxial(1100.0)};
    const double cycles[] = {1.0, 1.0};
    const HistoryDamage d = accumulateBlocks({from, to, cycles, 100.0, BlocksDamageType::worstBlock, {}},
                                             m, prepareSnCurve(m, true), 7, scratch);
    EXPECT_EQ(fileNumber(d.nodeCode), 12);
    EXPECT_EQ(scratch.staticFailureFlag, (std::vector<std::int8_t>{2, 1}));
    EXPECT_EQ(d.damage, 1.0);
    // Type 0 keeps the failed block and would drop the broken one.
    expectNotANumberStop([] { blocks({100.0, 20000.0}, {1.0, 1.0}, 0, {}, brokenCurve()); });
}

}  // namespace
}  // namespace korvanel
