#include "fatigue/damage.hpp"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "base/fatal_stop.hpp"
#include "base/large_tables.hpp"
#include "base/signal_guard.hpp"
#include "stress/stress_measures.hpp"
#include "model/fixed_settings.hpp"

namespace korvanel {

namespace {

// Start values of the running maxima; the first real value replaces them.
// Odd values, kept as the program has always had them: a maximum that never
// moves (Ground-Air-Ground without a counted half-cycle, no block group) is
// below the damage floor, so the node is stored at the floor.
constexpr double largestDamageStart = -10000.0;
constexpr double largestGroupDamageStart = -1.23456;

// Both static failure types seen at a node so far.
struct StaticFailures {
    bool type1 = false;
    bool type2 = false;

    void note(Verdict kind) {
        if (kind == Verdict::staticFailureType1) type1 = true;
        if (kind == Verdict::staticFailureType2) type2 = true;
    }
    StaticFailureCode code(StaticFailureCode previous) const {
        if (type1 && type2) return StaticFailureCode::both;
        if (type1) return StaticFailureCode::type1;
        if (type2) return StaticFailureCode::type2;
        return previous;
    }
};

StaticFailureCode failureOf(Verdict kind) {
    if (kind == Verdict::staticFailureType1) return StaticFailureCode::type1;
    if (kind == Verdict::staticFailureType2) return StaticFailureCode::type2;
    return StaticFailureCode::none;
}

// The flag of the .cyc: 0, 1 or 2.
std::int8_t flagOf(Verdict kind) { return static_cast<std::int8_t>(fileNumber(failureOf(kind))); }

void stopIfNotANumber(double damage, std::int64_t nodeId) {
    if (std::isnan(damage))
        throw fatalStop("Error: the damage is not a number at node ID " + std::to_string(nodeId) +
                            ", please check the material and S-N curve data",
                        "the damage of some half-cycle or block is not a number: the S-N curve "
                        "or the Goodman values in effect cannot be evaluated for it");
}

template <typename T>
void resizeTable(std::vector<T>& table, std::size_t size) {
    stopIfOutOfMemory([&] { resizeLargeTable(table, size); });
}

// Every row T{}.
template <typename T>
void resetTable(std::vector<T>& table, std::size_t size) {
    table.clear();
    resizeTable(table, size);
}

}  // namespace

HistoryDamage accumulateHalfCycles(std::vector<HalfCycle>& halfCycles, bool modelNode,
                                   bool groundAirGround, const MaterialValues& m, const SnCurve& curve,
                                   std::int64_t nodeIdForMessages, HalfCycleDamageScratch& scratch) {
    const std::size_t count = halfCycles.size();
    resetTable(scratch.halfCycleDamage, count);
    resetTable(scratch.staticFailureFlag, count);

    HistoryDamage result;
    StaticFailures failures;
    double sum = 0.0;
    double largest = largestDamageStart;

    // The half-cycles above the amplitude gate, found first and without a
    // branch: whether a half-cycle passes the gate is as random as the
    // history, and waits on a square root.
    resizeTable(scratch.counted, count);
    resizeTable(scratch.countedRange, count);
    std::size_t countedCount = 0;
    for (std::size_t j = 0; j < count; ++j) {
        stopIfInterruptedAtStep(j);  // a long history must not hold up a stop
        const double range = std::sqrt(halfCycles[j].rangeSquared);
        const double amplitude = range / 2.0;
        scratch.counted[countedCount] = j;
        scratch.countedRange[countedCount] = range;
        countedCount += amplitude <= config::kAmplitudeGate ? 0 : 1;
    }

    // Their means and mean-stress corrected amplitudes, then their verdicts:
    // the divisions here do not wait on the verdicts' branches.
    double* const equivalent = scratch.countedRange.data();  // the range, then Seq
    for (std::size_t k = 0; k < countedCount; ++k) {
        HalfCycle& hc = halfCycles[scratch.counted[k]];
        const double range = equivalent[k];
        const double amplitude = range / 2.0;
        const double mean = hc.meanIntegral / range;
        hc.meanIntegral = mean;
        equivalent[k] = equivalentAmplitude(amplitude, mean, m);
    }

    for (std::size_t k = 0; k < countedCount; ++k) {
        stopIfInterruptedAtStep(k + 1);
        const std::size_t j = scratch.counted[k];
        const double mean = halfCycles[j].meanIntegral;
        const CycleVerdict verdict = cycleVerdict(equivalent[k], mean, m, curve);
        // A half-cycle counts as a full cycle here; the sum is halved below,
        // so a statically failed half-cycle contributes exactly 1.
        double damage = 0.0;
        if (verdict.kind == Verdict::cyclesToFailure) {
            damage = 1.0 / verdict.cyclesToFailure;
        } else if (verdict.kind != Verdict::noDamage) {
            damage = 2.0;
            failures.note(verdict.kind);
            result.lastStaticType = failureOf(verdict.kind);
        }
        scratch.halfCycleDamage[j] = damage;
        scratch.staticFailureFlag[j] = flagOf(verdict.kind);
        if (verdict.kind != Verdict::noDamage) sum += damage;

        if (modelNode) {
            if (damage > largest) largest = damage;
            result.nodeCode = failures.code(result.nodeCode);
        }
    }

    stopIfNotANumber(sum, nodeIdForMessages);
    double d = sum / 2.0;
    if (modelNode) {
        if (fileNumber(result.nodeCode) < 0) throw runtimeError(InternalCheck::negativeStaticFailureCode);
        // Ground-Air-Ground: the node's single most damaging half-cycle.
        if (groundAirGround) d = largest / 2.0;
    }
    stopIfNotANumber(d, nodeIdForMessages);
    result.damage = d;
    return result;
}

HistoryDamage accumulateBlocks(const NodeBlocks& blocks, const MaterialValues& m,
                               const SnCurve& curve, std::int64_t nodeIdForMessages,
                               BlockDamageScratch& scratch) {
    const std::span<const Stress6> fromStates = blocks.from;
    const std::span<const Stress6> toStates = blocks.to;
    const std::span<const double> blockCycles = blocks.cycles;
    const double loadVariabilityFactor = blocks.loadVariabilityFactor;
    const std::size_t count = std::min({fromStates.size(), toStates.size(), blockCycles.size()});
    resetTable(scratch.amplitude, count);
    resetTable(scratch.mean, count);
    resetTable(scratch.damageOfOneCycle, count);
    resetTable(scratch.blockDamage, count);
    resetTable(scratch.staticFailureFlag, count);

    HistoryDamage result;
    StaticFailures failures;
    double sum = 0.0;
    double largest = largestDamageStart;

    for (std::size_t b = 0; b < count; ++b) {
        const Stress6 halfRange = 0.5 * (toStates[b] - fromStates[b]);
        const Stress6 meanState = 0.5 * (fromStates[b] + toStates[b]);
        const double amplitude = std::sqrt(vonMisesSquared(halfRange));
        const double mean = firstInvariant(meanState);
        scratch.amplitude[b] = amplitude;
        scratch.mean[b] = mean;

        // Every block is full cycles: no amplitude gate, and the load
        // variability factor scales the amplitude only.
        const double sa = loadVariabilityFactor * amplitude;
        const double seq = equivalentAmplitude(sa, mean, m);
        const CycleVerdict verdict = cycleVerdict(seq, mean, m, curve);
        double damageOfOneCycle = 0.0;
        if (verdict.kind == Verdict::cyclesToFailure) {
            damageOfOneCycle = 1.0 / verdict.cyclesToFailure;
        } else if (verdict.kind != Verdict::noDamage) {
            damageOfOneCycle = 1.0;
            failures.note(verdict.kind);
            result.lastStaticType = failureOf(verdict.kind);
        }
        const double blockDamage = damageOfOneCycle * blockCycles[b];
        scratch.damageOfOneCycle[b] = damageOfOneCycle;
        scratch.blockDamage[b] = blockDamage;
        sum += blockDamage;
        if (blockDamage > largest) largest = blockDamage;
        scratch.staticFailureFlag[b] = flagOf(verdict.kind);
        result.nodeCode = failures.code(result.nodeCode);
    }

    stopIfNotANumber(sum, nodeIdForMessages);
    if (fileNumber(result.nodeCode) < 0) throw runtimeError(InternalCheck::negativeStaticFailureCode);

    double d = sum;
    if (blocks.damageType == BlocksDamageType::worstBlock) {
        d = largest;
    } else if (blocks.damageType == BlocksDamageType::worstGroup) {
        // Groups may overlap; each sums its blocks in spectrum order.
        double largestGroup = largestGroupDamageStart;
        for (const BlockGroup& group : blocks.groups) {
            double groupDamage = 0.0;
            for (std::size_t b = 0; b < count; ++b) {
                const auto blockNumber = static_cast<std::int64_t>(b) + 1;
                if (group.firstBlock <= blockNumber && blockNumber <= group.lastBlock)
                    groupDamage += scratch.blockDamage[b];
            }
            if (groupDamage > largestGroup) largestGroup = groupDamage;
        }
        d = largestGroup;
    }
    stopIfNotANumber(d, nodeIdForMessages);
    result.damage = d;
    return result;
}

StoredDamage storeNodeDamage(double damage) {
    if (damage >= config::kDamageFloor) return {damage, 1.0 / damage};
    return {config::kDamageFloor, config::kLifeCeiling};
}

}  // namespace korvanel
