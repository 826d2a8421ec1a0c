#pragma once

// The tables that the input files fill, held read-only for the whole node
// loop. Tables are 0-based here: node index n (1..nodeCount) is row n - 1,
// load case lc is column lc - 1, time point t is row t - 1, block b is
// row b - 1.

#include <cstdint>
#include <vector>

#include "model/analysis_modes.hpp"
#include "model/stress6.hpp"

namespace korvanel {

struct NodeEntry {
    std::int64_t nodeId = 0;
    std::int64_t nodeMaterialId = 0;
};

// The node stress file: base stress and unit load-case stresses per node.
struct NodeStressTable {
    std::int64_t nodeCount = 0;
    std::int64_t loadCaseCount = 0;
    std::vector<NodeEntry> nodes;          // [n]
    std::vector<Stress6> baseStress;       // [n]
    std::vector<Stress6> loadCaseStress;   // [n * loadCaseCount + lc]

    const Stress6* loadCasesOf(std::int64_t n) const {
        return loadCaseStress.data() + n * loadCaseCount;
    }
};

// The load-case combination file: factor of every load case at every time point.
struct CombinationTable {
    std::int64_t timePointCount = 0;
    std::int64_t loadCaseCount = 0;
    std::vector<double> factor;            // [t * loadCaseCount + lc]
};

// The block spectrum file.
struct BlockSpectrum {
    std::int64_t blockCount = 0;
    std::int64_t loadCaseCount = 0;
    std::vector<double> blockFrom;         // [b * loadCaseCount + lc]
    std::vector<double> blockTo;           // [b * loadCaseCount + lc]
    std::vector<double> blockCycles;       // [b]
};

// One row of the block group file; block numbers are 1-based as written.
struct BlockGroup {
    std::int64_t firstBlock = 0;
    std::int64_t lastBlock = 0;
};

// One record of the material file, fields in file order.
struct MaterialRecord {
    std::int64_t materialId = 0;
    double yieldStress = 0.0;
    double youngsModulus = 0.0;
    double staticStrength = 0.0;
    double strainAtFailurePercent = 0.0;
    SnCurveType snCurveType = SnCurveType{0};
    double snParameters[4] = {0.0, 0.0, 0.0, 0.0};
    double goodmanExponent = 0.0;
    GoodmanMethod goodmanMethod = GoodmanMethod{0};
    double goodmanSmMax = 0.0;
    double multilinearExtras[4] = {0.0, 0.0, 0.0, 0.0};
};

// The stress-history file of a single history: one state per time point.
struct StressHistoryFile {
    std::vector<Stress6> states;           // [t]
};

}  // namespace korvanel
