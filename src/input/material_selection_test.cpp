#include "input/material_selection.hpp"

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"
#include "base/test_support.hpp"

namespace korvanel {
namespace {

using Lines = std::vector<std::string>;

// Fields derived from `base` so that every record is told apart.
MaterialRecord record(std::int64_t id, double base, std::int64_t snCurveType) {
    MaterialRecord r;
    r.materialId = id;
    r.yieldStress = base;
    r.strainAtFailurePercent = base + 4;
    r.snCurveType = SnCurveType{snCurveType};
    for (int i = 0; i < 4; ++i) r.snParameters[i] = base + 11 + i;
    r.goodmanMethod = GoodmanMethod{3};
    r.goodmanSmMax = base + 20;
    return r;
}

TEST(MaterialSelection, LastMatchingRecordWinsAndNoMatchKeepsValues) {
    const std::vector<MaterialRecord> records = {record(5, 100, 1), record(7, 200, 4),
                                                 record(5, 300, 1)};
    MaterialValues m;  // starts at zero
    selectMaterial(9, records, false, m);
    EXPECT_EQ(m.yieldStress, 0.0);
    selectMaterial(5, records, false, m);  // record 7 has type 4 but no node uses it
    EXPECT_EQ(m.yieldStress, 300.0);
    EXPECT_EQ(m.strainAtFailurePercent, 304.0);
    EXPECT_EQ(m.palmgrenL1, 311.0);
    EXPECT_EQ(m.enduranceLimit, 314.0);
    EXPECT_EQ(fileNumber(m.goodmanMethod), 3);
    EXPECT_EQ(m.goodmanSmMax, 320.0);
    selectMaterial(9, records, false, m);  // a later node without a record keeps these
    EXPECT_EQ(m.yieldStress, 300.0);
}

TEST(MaterialSelection, CurveTypeCopiesOnlyItsOwnParameters) {
    MaterialValues m;
    selectMaterial(5, {record(5, 100, 2)}, true, m);
    EXPECT_EQ(fileNumber(m.snCurveType), 2);
    EXPECT_EQ(m.weibullSainf, 111.0);
    EXPECT_EQ(m.weibullBeta, 114.0);
    EXPECT_EQ(m.palmgrenL1, 0.0);
    EXPECT_EQ(m.enduranceLimit, 0.0);
}

TEST(MaterialSelection, UsedRecordOfAnotherCurveTypeStops) {
    auto stop = [](std::vector<MaterialRecord> records, std::int64_t format) {
        MaterialValues m;
        return expectStop([&] { selectMaterial(5, records, format == 3, m); });
    };
    const Lines needs = {"Type of SN curve definition needs values 1, 2 or 3"};
    for (std::int64_t format : {1, 2})
        for (std::int64_t type : {0, 3, 4}) {
            const FatalStop s = stop({record(5, 100, type)}, format);
            EXPECT_EQ(s.consoleLines, needs);
            EXPECT_EQ(s.advisoryLines, needs);
        }
    // Walked in file order: the bad record stops before a later one replaces it.
    EXPECT_EQ(stop({record(5, 100, 4), record(5, 200, 1)}, 2).consoleLines, needs);

    const FatalStop multilinear = stop({record(5, 100, 3)}, 3);
    EXPECT_EQ(multilinear.consoleLines, Lines{"MODELLO MULTILINEARE TUTTO DA RIVEDERE"});
    EXPECT_EQ(multilinear.advisoryLines, multilinear.consoleLines);
    const FatalStop other = stop({record(5, 100, 4)}, 3);
    EXPECT_EQ(other.consoleLines, needs);
    EXPECT_EQ(other.advisoryLines, Lines{"Type of SN curve definition values 1, 2 or 3"});
}

}  // namespace
}  // namespace korvanel
