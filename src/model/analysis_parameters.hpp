#pragma once

#include <cstdint>
#include <string>

#include "model/analysis_modes.hpp"

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
    SnCurveType snCurveType = SnCurveType{0};
    double palmgrenL1 = 0.0;
    double palmgrenP = 0.0;
    double palmgrenC = 0.0;
    double enduranceLimit = 0.0;
    double weibullSainf = 0.0;
    double weibullSault = 0.0;
    double weibullAlfa = 0.0;
    double weibullBeta = 0.0;
    double goodmanExponent = 0.0;
    GoodmanMethod goodmanMethod = GoodmanMethod{0};
    double goodmanSmMax = 0.0;
};

// The nineteen records of the analysis parameter file.
struct AnalysisParameters {
    MaterialValues material;                 // records 1, 5, 6, 7, 9
    Switch elastoPlastic = Switch::off;      // record 2
    CorrectionMethod elastoPlasticMethod = CorrectionMethod{0};  // record 3
    Switch stressPathCorrection = Switch::off;  // record 4
    double multilinearReal = 0.0;            // record 8: kept, used by nothing
    std::int64_t multilinearInts[7] = {0, 0, 0, 0, 0, 0, 0};
    StressInputFormat stressInputFormat = StressInputFormat{0};  // record 10
    double stressScaleFactor = 0.0;          // record 11
    double loadCaseScaleFactor = 0.0;
    std::int64_t completeOutputNode = 0;     // record 12
    MaterialsMode materialsMode = MaterialsMode{0};  // record 13
    std::int64_t nodeCount = 0;              // record 14
    std::int64_t loadCaseCount = 0;
    double loadVariabilityFactor = 0.0;      // record 15
    Switch groundAirGround = Switch::off;    // record 16
    Switch cyclesExtraction = Switch::off;   // record 17: the .cif of format 1
    BlocksDamageType blocksDamageType = BlocksDamageType::worstBlock;  // record 18
    double lifeUnitsPerRepeat = 0.0;         // record 19
};

}  // namespace korvanel
