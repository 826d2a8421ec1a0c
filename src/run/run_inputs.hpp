#pragma once

#include <cstdint>
#include <utility>
#include <variant>
#include <vector>

#include "base/simd_level.hpp"
#include "model/job_tables.hpp"
#include "model/analysis_parameters.hpp"
#include "run/job_location.hpp"

namespace korvanel {

// The stress input of a job, one record per kind, each with its own tables.
// The reader decides the kind once; code that differs by kind is chosen by
// one std::visit over StressInput.

// A single stress history (.sig): one node, its states as read.
struct SingleHistoryInput {
    StressHistoryFile history;
};

// Node stresses (.nds) combined at every time point by the load-case
// factors (.cmb).
struct CombinationInput {
    NodeStressTable nodeStress;
    CombinationTable combination;
};

// Node stresses (.nds) under the blocks of a block spectrum (.blc).
struct SpectrumInput {
    NodeStressTable nodeStress;
    BlockSpectrum spectrum;
};

using StressInput = std::variant<SingleHistoryInput, CombinationInput, SpectrumInput>;

// Everything the node loop reads and nobody changes once the input files
// are loaded.
struct RunInputs {
    AnalysisParameters parameters;   // as read from the parameter file
    JobLocation job;
    char decimalSeparator = '.';

    std::vector<BlockGroup> blockGroups;        // blocks damage type 2
    std::vector<MaterialRecord> materials;      // multiple materials
    StressInput input;

    SimdLevel simd = SimdLevel::plain;  // vector form of the numeric kernels; same results

    // Node stresses with a combination: nodes of a constant path get no
    // damage instead of stopping the run.
    bool allowUnloadedNodes = false;

    // Format 2: nodes proven to take no damage skip the half-cycle analysis
    // (fatigue/damage_screen.hpp), with the same results.
    bool damageScreen = true;

    // Complete-output node: the node ID whose detail files are written.
    bool completeOutputNodeFound = false;
    std::int64_t completeOutputIndex = 0;   // the last index with that ID (1-based)
    // The node of the detail files is chosen after the loop (--detail-node
    // worst): no node writes them in the loop.
    bool detailFilesAfterLoop = false;
};

// The node stresses of a model; none for a single history.
inline const NodeStressTable* nodeStressOf(const StressInput& input) {
    if (const auto* c = std::get_if<CombinationInput>(&input)) return &c->nodeStress;
    if (const auto* s = std::get_if<SpectrumInput>(&input)) return &s->nodeStress;
    return nullptr;
}
inline NodeStressTable* nodeStressOf(StressInput& input) {
    return const_cast<NodeStressTable*>(nodeStressOf(std::as_const(input)));
}

// Nodes of the run: one for a single history.
inline std::int64_t nodeCountOf(const RunInputs& run) {
    const NodeStressTable* nodes = nodeStressOf(run.input);
    return nodes == nullptr ? 1 : nodes->nodeCount;
}

// The blocks analysis (node stresses with a block spectrum) rather than a
// history of time points.
inline bool blocksAnalysis(const RunInputs& run) {
    return std::holds_alternative<SpectrumInput>(run.input);
}

}  // namespace korvanel
