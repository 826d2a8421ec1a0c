#include "run/material_schedule.hpp"

#include <unordered_map>

namespace korvanel {
namespace {

// What the records of one material ID set when a node selects it: every
// matching record is applied in file order, so the last one sets the
// general values and the last one of each curve type that type's parameters.
struct RecordsOfId {
    std::int64_t last = -1;
    std::int64_t lastPalmgren = -1;
    std::int64_t lastWeibull = -1;
    bool unusableType = false;
};

}  // namespace

MaterialSchedule scheduleMaterials(const std::vector<NodeEntry>& nodes,
                                   const std::vector<MaterialRecord>& records) {
    std::unordered_map<std::int64_t, RecordsOfId> byId;
    for (std::size_t r = 0; r < records.size(); ++r) {
        RecordsOfId& id = byId[records[r].materialId];
        const auto index = static_cast<std::int64_t>(r);
        id.last = index;
        if (records[r].snCurveType == 1)
            id.lastPalmgren = index;
        else if (records[r].snCurveType == 2)
            id.lastWeibull = index;
        else
            id.unusableType = true;
    }

    MaterialSchedule schedule;
    schedule.generalRecord.resize(nodes.size());
    schedule.palmgrenRecord.resize(nodes.size());
    schedule.weibullRecord.resize(nodes.size());
    std::int64_t general = -1, palmgren = -1, weibull = -1;
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        auto found = byId.find(nodes[n].nodeMaterialId);
        if (found != byId.end()) {
            const RecordsOfId& id = found->second;
            if (id.unusableType) {
                schedule.failingNode = static_cast<std::int64_t>(n);
                schedule.generalRecord.resize(n);  // no node after it is analysed
                schedule.palmgrenRecord.resize(n);
                schedule.weibullRecord.resize(n);
                break;
            }
            general = id.last;
            if (id.lastPalmgren >= 0) palmgren = id.lastPalmgren;
            if (id.lastWeibull >= 0) weibull = id.lastWeibull;
        }
        schedule.generalRecord[n] = general;
        schedule.palmgrenRecord[n] = palmgren;
        schedule.weibullRecord[n] = weibull;
    }
    return schedule;
}

MaterialValues materialAt(const MaterialSchedule& schedule, std::int64_t node,
                          const MaterialValues& fromParameterFile,
                          const std::vector<MaterialRecord>& records) {
    MaterialValues m = fromParameterFile;
    if (node >= static_cast<std::int64_t>(schedule.generalRecord.size())) return m;
    if (std::int64_t g = schedule.generalRecord[node]; g >= 0) {
        const MaterialRecord& r = records[g];
        m.yieldStress = r.yieldStress;
        m.youngsModulus = r.youngsModulus;
        m.staticStrength = r.staticStrength;
        m.strainAtFailurePercent = r.strainAtFailurePercent;
        m.snCurveType = r.snCurveType;
        m.goodmanExponent = r.goodmanExponent;
        m.goodmanMethod = r.goodmanMethod;
        m.goodmanSmMax = r.goodmanSmMax;
    }
    if (std::int64_t p = schedule.palmgrenRecord[node]; p >= 0) {
        const double* s = records[p].snParameters;
        m.palmgrenL1 = s[0];
        m.palmgrenP = s[1];
        m.palmgrenC = s[2];
        m.enduranceLimit = s[3];
    }
    if (std::int64_t w = schedule.weibullRecord[node]; w >= 0) {
        const double* s = records[w].snParameters;
        m.weibullSainf = s[0];
        m.weibullSault = s[1];
        m.weibullAlfa = s[2];
        m.weibullBeta = s[3];
    }
    return m;
}

}  // namespace korvanel
