#pragma once

#include <cstdint>
#include <string>

namespace korvanel {

// The material, S-N curve and mean-stress values in effect for a node.
// The parameter file gives the first set; with multiple materials each
// node's material record replaces them (a node without a matching record
// keeps the set in effect before it).
struct MaterialValues {
    double yieldStress = 0.0;
    double youngsModulus = 0.0;
    double staticStrength = 0.0;
    double strainAtFailurePercent = 0.0;
    std::int64_t snCurveType = 0;  // 1 Palmgren, 2 Weibull, 3 multilinear
    double palmgrenL1 = 0.0;
    double palmgrenP = 0.0;
    double palmgrenC = 0.0;
    double enduranceLimit = 0.0;
    double weibullSainf = 0.0;
    double weibullSault = 0.0;
    double weibullAlfa = 0.0;
    double weibullBeta = 0.0;
    double goodmanExponent = 0.0;
    std::int64_t goodmanMethod = 0;
    double goodmanSmMax = 0.0;
};

// The nineteen records of the analysis parameter file.
struct AnalysisParameters {
    MaterialValues material;                 // records 1, 5, 6, 7, 9
    std::int64_t elastoPlastic = 0;          // record 2: 0 off, 1 on
    std::int64_t elastoPlasticMethod = 0;    // record 3: 1 Neuber Linear, 2 Neuber Non-Linear
    std::int64_t stressPathCorrection = 0;   // record 4
    double multilinearReal = 0.0;            // record 8: kept, used by nothing
    std::int64_t multilinearInts[7] = {0, 0, 0, 0, 0, 0, 0};
    std::int64_t stressInputFormat = 0;      // record 10: 1, 2 or 3
    double stressScaleFactor = 0.0;          // record 11
    double loadCaseScaleFactor = 0.0;
    std::int64_t completeOutputNode = 0;     // record 12
    std::int64_t materialsMode = 0;          // record 13: 1 one, 2 multiple
    std::int64_t nodeCount = 0;              // record 14
    std::int64_t loadCaseCount = 0;
    double loadVariabilityFactor = 0.0;      // record 15
    std::int64_t groundAirGround = 0;        // record 16
    std::int64_t cyclesExtraction = 0;       // record 17
    std::int64_t blocksDamageType = 0;       // record 18
    double lifeUnitsPerRepeat = 0.0;         // record 19
};

}  // namespace korvanel
