#pragma once

#include <cstdint>
#include <vector>

#include "base/simd_level.hpp"
#include "model/job_tables.hpp"
#include "model/analysis_parameters.hpp"
#include "run/job_location.hpp"

namespace korvanel {

// Everything the node loop reads and nobody changes once the input files
// are loaded.
struct RunInputs {
    AnalysisParameters parameters;   // as read from the parameter file
    JobLocation job;
    char decimalSeparator = '.';

    std::vector<BlockGroup> blockGroups;        // blocks damage type 2
    StressHistoryFile stressHistory;            // format 1
    std::vector<MaterialRecord> materials;      // multiple materials
    NodeStressTable nodeStress;                 // formats 2 and 3
    CombinationTable combination;               // format 2
    BlockSpectrum blockSpectrum;                // format 3

    std::int64_t nodeCount = 0;        // 1 in format 1
    std::int64_t timePointCount = 0;   // raw count of time points (formats 1 and 2)
    SimdLevel simd = SimdLevel::plain;  // vector form of the numeric kernels; same results

    // Format 2: nodes of a constant path get no damage instead of stopping the run.
    bool allowUnloadedNodes = false;

    // Format 2: nodes proven to take no damage skip the half-cycle analysis
    // (fatigue/damage_screen.hpp), with the same results.
    bool damageScreen = true;

    // Complete-output node: the node ID whose detail files are written.
    bool completeOutputNodeFound = false;
    std::int64_t completeOutputIndex = 0;   // the last index with that ID (1-based)
};

}  // namespace korvanel
