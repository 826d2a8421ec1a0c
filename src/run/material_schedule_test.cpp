#include "run/material_schedule.hpp"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"
#include "input/material_selection.hpp"

namespace korvanel {
namespace {

// Every field is 8 bytes wide, so the struct has no padding and memcmp
// compares the bits of every value.
static_assert(sizeof(MaterialValues) == 16 * 8);

bool sameBits(const MaterialValues& a, const MaterialValues& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A record whose every value is distinct and derived from `base`.
MaterialRecord record(std::int64_t id, std::int64_t curveType, double base) {
    MaterialRecord r;
    r.materialId = id;
    r.yieldStress = base + 0.1;
    r.youngsModulus = base + 0.2;
    r.staticStrength = base + 0.3;
    r.strainAtFailurePercent = base + 0.4;
    r.snCurveType = SnCurveType{curveType};
    for (int i = 0; i < 4; ++i) r.snParameters[i] = base + 0.5 + 0.1 * i;
    r.goodmanExponent = base + 0.9;
    r.goodmanMethod = GoodmanMethod{1 + static_cast<std::int64_t>(base) % 3};
    r.goodmanSmMax = base + 0.95;
    return r;
}

MaterialValues fromParameterFile() {
    MaterialValues m;
    m.yieldStress = 355.0;
    m.snCurveType = SnCurveType::weibull;
    m.palmgrenL1 = 12.6;
    m.enduranceLimit = 40.0;
    m.weibullSainf = 80.0;
    m.weibullBeta = 1.0 / 3.0;
    m.goodmanMethod = GoodmanMethod::tensileMeanOnly;
    return m;
}

struct Case {
    const char* name;
    std::vector<MaterialRecord> records;
    std::vector<std::int64_t> nodeMaterialIds;
    std::int64_t failingNode;
};

// The schedule gives each node, bit for bit, what selecting the material
// node by node in node order gives, and names the node whose selection
// stops the run.
TEST(MaterialSchedule, SameValuesAsSelectingNodeByNodeInNodeOrder) {
    const std::vector<Case> cases = {
        {"one record per ID, both curve types, a node without a record",
         {record(1, 1, 100), record(2, 2, 200)}, {1, 2, 9, 1, 2, 9}, -1},
        {"repeated IDs: the last record sets the general values, the last of each type its parameters",
         {record(5, 1, 100), record(6, 2, 200), record(5, 2, 300), record(6, 2, 400), record(5, 1, 500)},
         {9, 5, 6, 9, 5, 6, 5}, -1},
        {"a later node of the other curve type keeps the earlier type's parameters",
         {record(1, 1, 100), record(2, 2, 200), record(3, 1, 300)}, {2, 1, 2, 3, 9, 2}, -1},
        {"an unusable type that no node uses is never checked",
         {record(1, 1, 100), record(7, 4, 700)}, {1, 9, 1}, -1},
        {"the first node whose records include an unusable type fails",
         {record(1, 1, 100), record(3, 1, 300), record(3, 3, 350), record(2, 2, 200)},
         {1, 2, 9, 3, 1, 3}, 3},
        {"an unusable type before a usable one of the same ID fails at the first node",
         {record(4, 0, 400), record(4, 2, 450)}, {4, 1}, 0},
        {"no records at all", {}, {1, 2}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<NodeEntry> nodes;
        for (std::int64_t id : c.nodeMaterialIds) nodes.push_back(NodeEntry{1000 + id, id});
        const MaterialSchedule schedule = scheduleMaterials(nodes, c.records);
        EXPECT_EQ(schedule.failingNode, c.failingNode);

        MaterialValues selected = fromParameterFile();
        for (std::size_t n = 0; n < nodes.size(); ++n) {
            const auto node = static_cast<std::int64_t>(n);
            try {
                selectMaterial(nodes[n].nodeMaterialId, c.records, false, selected);
            } catch (const FatalStop&) {
                EXPECT_EQ(node, schedule.failingNode);
                break;
            }
            EXPECT_NE(node, schedule.failingNode);
            EXPECT_TRUE(sameBits(materialAt(schedule, node, fromParameterFile(), c.records), selected))
                << "node " << n;
        }
    }
}

}  // namespace
}  // namespace korvanel
