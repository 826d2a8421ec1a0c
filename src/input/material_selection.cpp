#include "input/material_selection.hpp"

#include "base/fatal_stop.hpp"

namespace korvanel {

namespace {

void checkSnCurveType(std::int64_t snCurveType, std::int64_t stressInputFormat) {
    if (snCurveType == 1 || snCurveType == 2) return;
    const char* const needsValues = "Type of SN curve definition needs values 1, 2 or 3";
    if (stressInputFormat != 3) throw fatalStop(needsValues);
    if (snCurveType == 3) throw fatalStop("MODELLO MULTILINEARE TUTTO DA RIVEDERE");
    // Format 3 words the advisory file differently from the console.
    throw FatalStop{{needsValues}, {"Type of SN curve definition values 1, 2 or 3"}};
}

void copyRecord(const MaterialRecord& r, std::int64_t stressInputFormat, MaterialValues& m) {
    m.yieldStress = r.yieldStress;
    m.youngsModulus = r.youngsModulus;
    m.staticStrength = r.staticStrength;
    m.strainAtFailurePercent = r.strainAtFailurePercent;
    m.snCurveType = r.snCurveType;
    checkSnCurveType(r.snCurveType, stressInputFormat);
    if (r.snCurveType == 1) {
        m.palmgrenL1 = r.snParameters[0];
        m.palmgrenP = r.snParameters[1];
        m.palmgrenC = r.snParameters[2];
        m.enduranceLimit = r.snParameters[3];
    } else {
        m.weibullSainf = r.snParameters[0];
        m.weibullSault = r.snParameters[1];
        m.weibullAlfa = r.snParameters[2];
        m.weibullBeta = r.snParameters[3];
    }
    m.goodmanExponent = r.goodmanExponent;
    m.goodmanMethod = r.goodmanMethod;
    m.goodmanSmMax = r.goodmanSmMax;
}

}  // namespace

void selectMaterial(std::int64_t nodeMaterialId, const std::vector<MaterialRecord>& records,
                    std::int64_t stressInputFormat, MaterialValues& inEffect) {
    // No early exit: a later record with the same ID replaces an earlier one.
    for (const MaterialRecord& r : records)
        if (r.materialId == nodeMaterialId) copyRecord(r, stressInputFormat, inEffect);
}

}  // namespace korvanel
