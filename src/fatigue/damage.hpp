#pragma once

// Damage of one repeat of the load history at a node (Palmgren-Miner rule)
// and the kind of static failure: over the half-cycles of a stress history
// (stress-input formats 1 and 2) or over the blocks of a block spectrum
// (format 3).

#include <cstdint>
#include <span>
#include <vector>

#include "fatigue/cycle_extraction.hpp"
#include "fatigue/sn_curve.hpp"
#include "model/job_tables.hpp"
#include "model/analysis_parameters.hpp"
#include "model/stress6.hpp"

namespace korvanel {

// Per-half-cycle results of one node, reused from node to node.
struct HalfCycleDamageScratch {
    std::vector<double> halfCycleDamage;        // 1/N, 0, or 2 for a static failure
    std::vector<std::int8_t> staticFailureFlag; // 0 none, 1 or 2: the static failure type
    // The half-cycles above the amplitude gate, in order, and their ranges.
    std::vector<std::size_t> counted;
    std::vector<double> countedRange;
};

struct HistoryDamage {
    // Formats 1 and 2: the halved sum (or, with Ground-Air-Ground in format 2,
    // half the largest half-cycle damage); format 3: the damage of the chosen
    // blocks damage type. Not yet floored.
    double damage = 0.0;
    // Formats 2 and 3: the static failure types seen at the node. Any code
    // but none marks the run as having a static failure somewhere.
    StaticFailureCode nodeCode = StaticFailureCode::none;
    // none, or the type of the last half-cycle or block that failed statically.
    StaticFailureCode lastStaticType = StaticFailureCode::none;
};

// Formats 1 and 2. Every half-cycle whose amplitude is above the amplitude
// gate gets its mean stress in place of its meanIntegral, and its damage and
// static failure flag in `scratch` (skipped half-cycles keep 0 there).
// A node of a model (`modelNode`) also gets its static failure code, and
// with `groundAirGround` the damage of its most damaging half-cycle.
// Throws FatalStop when the damage is not a number.
HistoryDamage accumulateHalfCycles(std::vector<HalfCycle>& halfCycles, bool modelNode,
                                   bool groundAirGround, const MaterialValues& m, const SnCurve& curve,
                                   std::int64_t nodeIdForMessages, HalfCycleDamageScratch& scratch);

// Per-block results of one node, reused from node to node.
struct BlockDamageScratch {
    std::vector<double> amplitude;         // von Mises half-range, before the load variability factor
    std::vector<double> mean;              // first invariant of the mean state
    std::vector<double> damageOfOneCycle;  // 1/N, 0, or 1 for a static failure
    std::vector<double> blockDamage;       // damage of one cycle times the block's cycles
    std::vector<std::int8_t> staticFailureFlag;
};

// The blocks of a node: block b runs cycles[b] full cycles between from[b]
// and to[b] (after any elasto-plastic correction), its amplitude scaled by
// the load variability factor. `damageType` picks the most damaging block,
// the sum of all blocks, or the most damaging group of `groups` (1-based
// block numbers).
struct NodeBlocks {
    std::span<const Stress6> from;
    std::span<const Stress6> to;
    std::span<const double> cycles;
    double loadVariabilityFactor = 1.0;
    BlocksDamageType damageType = BlocksDamageType::wholeSpectrum;
    std::span<const BlockGroup> groups;
};

// The damage of the blocks of a node. Throws FatalStop when the damage is
// not a number.
// REQUIRES: from, to and cycles have the same size.
HistoryDamage accumulateBlocks(const NodeBlocks& blocks, const MaterialValues& m,
                               const SnCurve& curve, std::int64_t nodeIdForMessages,
                               BlockDamageScratch& scratch);

struct StoredDamage {
    double nodeDamage;
    double lifeRepeats;
};

// The damage kept for a node: never below 1e-18, life repeats at most 1e18.
StoredDamage storeNodeDamage(double damage);

// What a single stress history reports: its damage, not floored, and the
// static failure type of its last half-cycle that failed statically (none
// when none did).
struct SingleHistoryResult {
    double totalDamage = 0.0;
    StaticFailureCode lastStaticType = StaticFailureCode::none;
};

}  // namespace korvanel
