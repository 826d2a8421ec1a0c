#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "base/fatal_stop.hpp"
#include "fatigue/cycle_extraction.hpp"
#include "fatigue/damage.hpp"
#include "run/run_inputs.hpp"
#include "stress/path_correction.hpp"
#include "model/stress6.hpp"

namespace korvanel {

// The work tables of one node, reused from node to node so that the loop
// allocates nothing once they have grown to the largest node.
struct NodeScratch {
    std::vector<Stress6> history;
    std::vector<unsigned char> keepMarks;
    CorrectionScratch correction;
    ExtractionScratch extraction;
    std::vector<HalfCycle> halfCycles;
    HalfCycleDamageScratch halfCycleDamage;
    std::vector<Stress6> blockFrom;
    std::vector<Stress6> blockTo;
    BlockDamageScratch blockDamage;
};

struct NodeResult {
    // A node of a model: its damage and life as storeNodeDamage keeps them,
    // and its static failures.
    double nodeDamage = 0.0;
    double lifeRepeats = 0.0;
    StaticFailureCode staticFailureCode = StaticFailureCode::none;
    // Node stresses with a combination, unloaded nodes allowed: a constant
    // path given no damage.
    bool unloaded = false;
    // Format 2: passed by the damage screen, without the half-cycle analysis.
    bool screened = false;
    // A single history.
    SingleHistoryResult singleHistory;
};

// Analyses node index `node` (0-based) with the material values in effect
// at that node. Detail files (.sep, .cyc, .cif) are written when
// `writesDetailFiles` is set.
// A history whose path is constant (at most one point after
// compaction) stops the run with Runtime Error Code 018, or, for node stresses with a
// combination and `run.allowUnloadedNodes`, gets no damage, as a node whose half-cycles all
// fall below the amplitude gate, and is marked `unloaded`.
NodeResult analyseNode(const RunInputs& run, std::int64_t node, const MaterialValues& material,
                       bool writesDetailFiles, NodeScratch& scratch);

// A node for analyseNodesInTurns: its index, the material values in effect
// there, and its own work tables.
struct NodeToAnalyse {
    std::int64_t node = 0;
    const MaterialValues* material = nullptr;
    NodeScratch* scratch = nullptr;
};

// A node's result, or the stop its analysis came to.
struct NodeOutcome {
    NodeResult result;
    std::optional<FatalStop> stop;
};

// Whether the nodes of this run can be taken in turns: node stresses with a
// combination.
bool takesNodesInTurns(const RunInputs& run);

// Up to kMaxPathsInTurns nodes of such a run without detail files, each
// analysed as analyseNode analyses it, with their extractions walked in
// turns on this thread (extractHalfCyclesInTurns): the same results and the
// same stops, sooner. outcomes[k] is the outcome of nodes[k].
void analyseNodesInTurns(const RunInputs& run, std::span<const NodeToAnalyse> nodes,
                         std::span<NodeOutcome> outcomes);

// What --check does at a node: the stops analyseNode makes before and
// without the half-cycle analysis, in its order (the material check, the
// S-N curve, the constant path, cycles extraction outside a single history), and in
// place of every detail file a test that it could be written. Nothing is
// written; the result holds only `unloaded`.
NodeResult checkNode(const RunInputs& run, std::int64_t node, const MaterialValues& material,
                     bool writesDetailFiles, NodeScratch& scratch);

}  // namespace korvanel
