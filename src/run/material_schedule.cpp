#include "run/material_schedule.hpp"

#include <unordered_map>
#include <unordered_set>

#include "input/material_selection.hpp"

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
        if (records[r].snCurveType == SnCurveType::palmgren)
            id.lastPalmgren = index;
        else if (records[r].snCurveType == SnCurveType::weibull)
            id.lastWeibull = index;
        else
            id.unusableType = true;
    }

    MaterialSchedule schedule;
    schedule.generalRecord.resize(nodes.size());
    schedule.palmgrenRecord.resize(nodes.size());
    schedule.weibullRecord.resize(nodes.size());
    std::int64_t general = -1, palmgren = -1, weibull = -1;
    std::unordered_set<std::int64_t> idsWithoutRecord;
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        auto found = byId.find(nodes[n].nodeMaterialId);
        if (found == byId.end()) {
            if (idsWithoutRecord.insert(nodes[n].nodeMaterialId).second)
                schedule.firstNodeWithoutRecord.push_back(static_cast<std::int64_t>(n));
        } else {
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

void warnAboutMaterials(const MaterialSchedule& schedule, const std::vector<NodeEntry>& nodes,
                        const std::vector<MaterialRecord>& records,
                        const std::string& materialPath, InputWarnings& warnings) {
    for (std::int64_t n : schedule.firstNodeWithoutRecord) {
        warn(warnings, WarningKind::materialWithoutRecord, [&] {
            const NodeEntry& node = nodes[static_cast<std::size_t>(n)];
            const std::int64_t r = schedule.generalRecord[static_cast<std::size_t>(n)];
            const std::string used =
                r < 0 ? std::string("those of the parameter file")
                      : "those of material ID " + std::to_string(records[r].materialId) +
                            " (material record " + std::to_string(r + 1) + ")";
            return materialPath + " has no record for material ID " +
                   std::to_string(node.nodeMaterialId) + ", first used by node ID " +
                   std::to_string(node.nodeId) + " (node index " + std::to_string(n + 1) +
                   "); such a node keeps the material values in effect at the node before it: "
                   "here " + used;
        });
    }
}

MaterialValues materialAt(const MaterialSchedule& schedule, std::int64_t node,
                          const MaterialValues& fromParameterFile,
                          const std::vector<MaterialRecord>& records) {
    MaterialValues m = fromParameterFile;
    if (node >= static_cast<std::int64_t>(schedule.generalRecord.size())) return m;
    // Applying the three records in this order gives what applying every
    // selected record in node order gives: each sets its own curve type's
    // parameters, and the general record, applied last, is the latest of
    // its own type too.
    for (std::int64_t r : {schedule.weibullRecord[node], schedule.palmgrenRecord[node],
                           schedule.generalRecord[node]})
        if (r >= 0) applyMaterialRecord(records[r], m);
    return m;
}

}  // namespace korvanel
