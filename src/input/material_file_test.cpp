#include "input/material_file.hpp"

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"
#include "base/test_support.hpp"

namespace korvanel {
namespace {

std::vector<MaterialRecord> read(const std::string& data) {
    InputText in = inputTextFromString("job.mtr", data);
    return readMaterialFile(in);
}

// Headings that would read as values (one even out of range) if they were
// not skipped as whole lines.
const std::string headings = "1e400 materials, 3 of them\r\n\"id\", 2, 3\r\n";

TEST(MaterialFile, FieldsInFileOrderAfterTwoHeadingLines) {
    const std::vector<MaterialRecord> r = read(
        headings + "7 250 210000 400 12 1 1e12 3 0.5 90 1.5 2 300 9 9 9 9\r\n"
                   "8,1,2,3,4,2.0,5,6,7,8,9,3.5,10,11,12\r\n13,14\r\n"  // over two lines
                   "9 0 0 0 0 4 0 0 0 0 0 1 0 0 0 0");                  // 16 values
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].materialId, 7);
    EXPECT_EQ(r[0].yieldStress, 250.0);
    EXPECT_EQ(r[0].youngsModulus, 210000.0);
    EXPECT_EQ(r[0].staticStrength, 400.0);
    EXPECT_EQ(r[0].strainAtFailurePercent, 12.0);
    EXPECT_EQ(fileNumber(r[0].snCurveType), 1);
    EXPECT_EQ(r[0].snParameters[0], 1e12);
    EXPECT_EQ(r[0].snParameters[3], 90.0);
    EXPECT_EQ(r[0].goodmanExponent, 1.5);
    EXPECT_EQ(fileNumber(r[0].goodmanMethod), 2);
    EXPECT_EQ(r[0].goodmanSmMax, 300.0);
    EXPECT_EQ(fileNumber(r[1].snCurveType), 2);
    EXPECT_EQ(fileNumber(r[1].goodmanMethod), 4);  // 3.5 rounds to even
    EXPECT_EQ(r[1].multilinearExtras[3], 14.0);
    EXPECT_EQ(fileNumber(r[2].snCurveType), 4);  // checked only when a node uses it
    EXPECT_EQ(r[2].multilinearExtras[3], 0.0);
    EXPECT_TRUE(read("only one heading").empty());
    EXPECT_TRUE(read(headings).empty());
}

TEST(MaterialFile, IntegerFieldOutOfRangeStops) {
    const std::string record = "5 1 2 3 4 1e300 5 6 7 8 9 1 10 11 12 13 14\r\n";
    EXPECT_EQ(expectStop([&] { read(headings + record); }).consoleLines,
              std::vector<std::string>{"Number out of range in the file job.mtr"});
}

}  // namespace
}  // namespace korvanel
