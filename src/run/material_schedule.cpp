#include "run/material_schedule.hpp"

#include <unordered_map>

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
bool selectAtNode(const RecordsById& byId, const NodeEntry& node, MaterialCarry& carry) {
    auto found = byId.find(node.nodeMaterialId);
    if (found == byId.end()) return true;
    const RecordsOfId& id = found->second;
    if (id.unusableType) return false;
    carry.generalRecord = id.last;
    if (id.lastPalmgren >= 0) carry.palmgrenRecord = id.lastPalmgren;
    if (id.lastWeibull >= 0) carry.weibullRecord = id.lastWeibull;
    return true;
}

}  // namespace

MaterialSchedule scheduleMaterials(const std::vector<NodeEntry>& nodes,
                                   const std::vector<MaterialRecord>& records,
                                   const MaterialCarry& carriedIn) {
    const RecordsById byId = indexRecords(records);
    MaterialSchedule schedule;
    schedule.generalRecord.resize(nodes.size());
    schedule.palmgrenRecord.resize(nodes.size());
    schedule.weibullRecord.resize(nodes.size());
    MaterialCarry carry = carriedIn;
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        if (!selectAtNode(byId, nodes[n], carry)) {
            schedule.failingNode = static_cast<std::int64_t>(n);
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
    std::int64_t n = 0;
    const auto nodeCount = static_cast<std::int64_t>(nodes.size());
    for (std::int64_t wanted : at) {
        for (; n < wanted && n < nodeCount && result.failingNode < 0; ++n)
            if (!selectAtNode(byId, nodes[static_cast<std::size_t>(n)], carry))
                result.failingNode = n;
        result.before.push_back(carry);
    }
    for (; n < nodeCount && result.failingNode < 0; ++n)
        if (!selectAtNode(byId, nodes[static_cast<std::size_t>(n)], carry)) result.failingNode = n;
    return result;
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
