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

using RecordsById = std::unordered_map<std::int64_t, RecordsOfId>;

RecordsById indexRecords(const std::vector<MaterialRecord>& records) {
    RecordsById byId;
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
    return byId;
}

// One node's selection: false (nothing changed) when its records include an
// unusable curve type, which stops the run at that node.
// A material ID without a record is noted at the first node that uses it.
bool selectAtNode(const RecordsById& byId, const NodeEntry& node, MaterialCarry& carry,
                  std::unordered_set<std::int64_t>& idsWithoutRecord, std::int64_t index,
                  std::vector<NodeWithoutRecord>& withoutRecord) {
    auto found = byId.find(node.nodeMaterialId);
    if (found == byId.end()) {
        if (idsWithoutRecord.insert(node.nodeMaterialId).second)
            withoutRecord.push_back({index, carry.generalRecord});
        return true;
    }
    const RecordsOfId& id = found->second;
    if (id.unusableType) return false;
    carry.generalRecord = id.last;
    if (id.lastPalmgren >= 0) carry.palmgrenRecord = id.lastPalmgren;
    if (id.lastWeibull >= 0) carry.weibullRecord = id.lastWeibull;
    return true;
}

}  // namespace

MaterialSchedule scheduleMaterials(std::span<const NodeEntry> nodes,
                                   const std::vector<MaterialRecord>& records,
                                   const MaterialCarry& carriedIn) {
    const RecordsById byId = indexRecords(records);
    MaterialSchedule schedule;
    schedule.generalRecord.resize(nodes.size());
    schedule.palmgrenRecord.resize(nodes.size());
    schedule.weibullRecord.resize(nodes.size());
    MaterialCarry carry = carriedIn;
    std::unordered_set<std::int64_t> idsWithoutRecord;
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const auto node = static_cast<std::int64_t>(n);
        if (!selectAtNode(byId, nodes[n], carry, idsWithoutRecord, node,
                          schedule.withoutRecord)) {
            schedule.failingNode = node;
            schedule.generalRecord.resize(n);  // no node after it is analysed
            schedule.palmgrenRecord.resize(n);
            schedule.weibullRecord.resize(n);
            break;
        }
        schedule.generalRecord[n] = carry.generalRecord;
        schedule.palmgrenRecord[n] = carry.palmgrenRecord;
        schedule.weibullRecord[n] = carry.weibullRecord;
    }
    return schedule;
}

MaterialCarries carriesBefore(const std::vector<NodeEntry>& nodes,
                              const std::vector<MaterialRecord>& records,
                              const std::vector<std::int64_t>& at) {
    const RecordsById byId = indexRecords(records);
    MaterialCarries result;
    result.before.reserve(at.size());
    MaterialCarry carry;
    std::unordered_set<std::int64_t> idsWithoutRecord;
    std::int64_t n = 0;
    const auto nodeCount = static_cast<std::int64_t>(nodes.size());
    for (std::int64_t wanted : at) {
        for (; n < wanted && n < nodeCount && result.failingNode < 0; ++n)
            if (!selectAtNode(byId, nodes[static_cast<std::size_t>(n)], carry, idsWithoutRecord,
                              n, result.withoutRecord))
                result.failingNode = n;
        result.before.push_back(carry);
    }
    for (; n < nodeCount && result.failingNode < 0; ++n)
        if (!selectAtNode(byId, nodes[static_cast<std::size_t>(n)], carry, idsWithoutRecord, n,
                          result.withoutRecord))
            result.failingNode = n;
    return result;
}

void warnAboutMaterials(const std::vector<NodeWithoutRecord>& withoutRecord,
                        const std::vector<NodeEntry>& nodes,
                        const std::vector<MaterialRecord>& records,
                        const std::string& materialPath, InputWarnings& warnings) {
    for (const NodeWithoutRecord& first : withoutRecord) {
        warn(warnings, WarningKind::materialWithoutRecord, [&] {
            const std::int64_t n = first.node;
            const NodeEntry& node = nodes[static_cast<std::size_t>(n)];
            const std::int64_t r = first.generalRecord;
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
