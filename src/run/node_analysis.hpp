#pragma once

#include <cstdint>
#include <vector>

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
    // A single history.
    SingleHistoryResult singleHistory;
};

// Analyses node index `node` (0-based) with the material values in effect
// at that node. Detail files (.sep, .cyc, .cif) are written when
// `writesDetailFiles` is set.
NodeResult analyseNode(const RunInputs& run, std::int64_t node, const MaterialValues& material,
                       bool writesDetailFiles, NodeScratch& scratch);

}  // namespace korvanel
