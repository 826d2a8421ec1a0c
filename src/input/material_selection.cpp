#include "input/material_selection.hpp"

#include "base/fatal_stop.hpp"

namespace korvanel {

namespace {

void checkSnCurveType(SnCurveType type, bool blocksAnalysis) {
    if (type == SnCurveType::palmgren || type == SnCurveType::weibull) return;
    const char* const needsValues = "Type of SN curve definition needs values 1, 2 or 3";
    if (!blocksAnalysis) throw fatalStop(needsValues);
    // The multilinear curve is never evaluated; its stop keeps its original text.
    if (type == SnCurveType::multilinear) throw fatalStop("MODELLO MULTILINEARE TUTTO DA RIVEDERE");
    // The blocks analysis has always worded its advisory line without "needs";
    // the console and korvanel.adv each keep their own text.
    throw FatalStop{{needsValues}, {"Type of SN curve definition values 1, 2 or 3"}};
}

void applyGeneralValues(const MaterialRecord& r, MaterialValues& m) {
    m.yieldStress = r.yieldStress;
    m.youngsModulus = r.youngsModulus;
    m.staticStrength = r.staticStrength;
    m.strainAtFailurePercent = r.strainAtFailurePercent;
    m.snCurveType = r.snCurveType;
    m.goodmanExponent = r.goodmanExponent;
    m.goodmanMethod = r.goodmanMethod;
    m.goodmanSmMax = r.goodmanSmMax;
}

void applyPalmgrenParameters(const MaterialRecord& r, MaterialValues& m) {
    m.palmgrenL1 = r.snParameters[0];
    m.palmgrenP = r.snParameters[1];
    m.palmgrenC = r.snParameters[2];
    m.enduranceLimit = r.snParameters[3];
}

void applyWeibullParameters(const MaterialRecord& r, MaterialValues& m) {
    m.weibullSainf = r.snParameters[0];
    m.weibullSault = r.snParameters[1];
    m.weibullAlfa = r.snParameters[2];
    m.weibullBeta = r.snParameters[3];
}

}  // namespace

void applyMaterialRecord(const MaterialRecord& r, MaterialValues& m) {
    applyGeneralValues(r, m);
    if (r.snCurveType == SnCurveType::palmgren)
        applyPalmgrenParameters(r, m);
    else
        applyWeibullParameters(r, m);
}

void selectMaterial(std::int64_t nodeMaterialId, const std::vector<MaterialRecord>& records,
                    bool blocksAnalysis, MaterialValues& inEffect) {
    // No early exit: a later record with the same ID replaces an earlier one.
    for (const MaterialRecord& r : records) {
        if (r.materialId != nodeMaterialId) continue;
        checkSnCurveType(r.snCurveType, blocksAnalysis);
        applyMaterialRecord(r, inEffect);
    }
}

}  // namespace korvanel
