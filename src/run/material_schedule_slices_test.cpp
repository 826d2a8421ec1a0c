#include "run/material_schedule.hpp"

#include <gtest/gtest.h>

namespace korvanel {
namespace {

MaterialRecord record(std::int64_t id, double yield, SnCurveType type) {
    MaterialRecord r;
    r.materialId = id;
    r.yieldStress = yield;
    r.snCurveType = type;
    r.snParameters[0] = yield + 1;
    return r;
}

std::vector<NodeEntry> nodesOf(const std::vector<std::int64_t>& materialIds) {
    std::vector<NodeEntry> nodes;
    for (std::int64_t id : materialIds) nodes.push_back(NodeEntry{100 + id, id});
    return nodes;
}

// Records of IDs 1 (Palmgren), 2 (Weibull) and 3 (unusable); ID 9 has none.
const std::vector<MaterialRecord> kRecords = {record(1, 10, SnCurveType::palmgren),
                                              record(2, 20, SnCurveType::weibull),
                                              record(3, 30, SnCurveType{7})};

// A run of nodes cut anywhere and scheduled from what the nodes before the
// cut hand on gives every node the material of the whole schedule.
TEST(MaterialSchedule, SlicesFromTheirCarryMatchTheWholeSchedule) {
    const MaterialValues fromFile{};
    for (const std::vector<std::int64_t>& ids :
         {std::vector<std::int64_t>{9, 1, 9, 2, 9, 1, 1, 2, 9}, {2, 9, 9, 1}, {9, 9}}) {
        const std::vector<NodeEntry> nodes = nodesOf(ids);
        const MaterialSchedule whole = scheduleMaterials(nodes, kRecords);
        for (std::size_t cut = 0; cut <= nodes.size(); ++cut) {
            const MaterialCarries carries =
                carriesBefore(nodes, kRecords, {static_cast<std::int64_t>(cut)});
            EXPECT_EQ(carries.failingNode, -1);
            const std::vector<NodeEntry> tail(nodes.begin() + static_cast<std::ptrdiff_t>(cut),
                                              nodes.end());
            const MaterialSchedule part = scheduleMaterials(tail, kRecords, carries.before[0]);
            for (std::size_t n = cut; n < nodes.size(); ++n) {
                const auto node = static_cast<std::int64_t>(n);
                const MaterialValues a = materialAt(whole, node, fromFile, kRecords);
                const MaterialValues b =
                    materialAt(part, node - static_cast<std::int64_t>(cut), fromFile, kRecords);
                EXPECT_EQ(a.yieldStress, b.yieldStress) << "cut " << cut << " node " << n;
                EXPECT_EQ(a.palmgrenL1, b.palmgrenL1);
                EXPECT_EQ(a.weibullSainf, b.weibullSainf);
            }
        }
    }
}

TEST(MaterialSchedule, WalkEndsAtTheFirstNodeOfAnUnusableRecord) {
    const std::vector<NodeEntry> nodes = nodesOf({1, 9, 3, 2, 3});
    const MaterialCarries carries = carriesBefore(nodes, kRecords, {0, 2, 4});
    EXPECT_EQ(carries.failingNode, 2);
    ASSERT_EQ(carries.before.size(), 3u);
    EXPECT_EQ(carries.before[0].generalRecord, -1);
    EXPECT_EQ(carries.before[1].generalRecord, 0);   // node 1 keeps node 0's record
    EXPECT_EQ(carries.before[2].generalRecord, 0);   // nothing after the failing node counts
    EXPECT_EQ(carriesBefore(nodes, kRecords, {}).failingNode, 2);
    EXPECT_EQ(scheduleMaterials(nodes, kRecords).failingNode, 2);
}

}  // namespace
}  // namespace korvanel
