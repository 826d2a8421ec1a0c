#include "input/material_selection.hpp"

#include <string>

#include "base/fatal_stop.hpp"

namespace korvanel {

namespace {

void checkSnCurveType(const MaterialRecord& r, std::size_t recordIndex, bool blocksAnalysis) {
    const SnCurveType type = r.snCurveType;
    if (type == SnCurveType::palmgren || type == SnCurveType::weibull) return;
    const std::string detail = "material record " + std::to_string(recordIndex + 1) +
                               " (material ID " + std::to_string(r.materialId) +
                               ") has the S-N curve type " + std::to_string(fileNumber(type)) +
                               "; only 1 (Palmgren) and 2 (Weibull) are evaluated";
    const char* const needsValues = "Type of SN curve definition needs values 1, 2 or 3";
    if (!blocksAnalysis) throw fatalStop(needsValues, detail);
    // The multilinear curve is never evaluated; its stop keeps its original text.
    if (type == SnCurveType::multilinear)
        throw fatalStop("MODELLO MULTILINEARE TUTTO DA RIVEDERE", detail);
    // The blocks analysis has always worded its advisory line without "needs";
    // the console and korvanel.adv each keep their own text.
    FatalStop stop{{needsValues}, {"Type of SN curve definition values 1, 2 or 3"}};
    stop.details.push_back(detail);
    throw stop;
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
    for (std::size_t i = 0; i < records.size(); ++i) {
        const MaterialRecord& r = records[i];
        if (r.materialId != nodeMaterialId) continue;
        checkSnCurveType(r, i, blocksAnalysis);
        applyMaterialRecord(r, inEffect);
    }
}

}  // namespace korvanel
