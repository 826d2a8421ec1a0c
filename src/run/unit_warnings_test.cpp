#include "run/unit_warnings.hpp"

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"

namespace korvanel {
namespace {

// The steel of the first job, in MPa: yield 355, modulus 210000, strength
// 510, Palmgren endurance limit 40, Weibull Sainf 80 and Sault 450, SmMAX 600.
MaterialValues steel(double material, double modulus, double curve) {
    MaterialValues m;
    m.yieldStress = 355 * material;
    m.youngsModulus = 210000 * modulus;
    m.staticStrength = 510 * material;
    m.snCurveType = SnCurveType::palmgren;
    m.enduranceLimit = 40 * curve;
    m.weibullSainf = 80 * curve;
    m.weibullSault = 450 * curve;
    m.goodmanSmMax = 600 * curve;
    return m;
}

std::vector<std::string> warningsOf(const MaterialValues& m, double stress) {
    InputWarnings warnings;
    const StressReach reach{true, 300 * stress, 150 * stress};
    warnAboutMaterialUnits(m, "job/j.inp", reach, warnings);
    std::vector<std::string> lines = takeWarningLines(warnings);
    for (std::string& line : lines) line = line.substr(std::string("korvanel: warning: ").size());
    return lines;
}

TEST(UnitWarnings, ValuesOfOneOrderPassTheirMixIsNamed) {
    struct Row {
        double material, modulus, curve, stress;  // unit factors: 1 MPa, 1e6 Pa, 1e-3 GPa
        std::vector<std::string> shown;
    };
    const Row rows[] = {
        {1, 1, 1, 1, {}},
        {1e6, 1e6, 1e6, 1e6, {}},
        {1e-3, 1e-3, 1e-3, 1e-3, {}},
        {1e6, 1e6, 1, 1,
         {"job/j.inp: the yield stress 355000000 and static strength 510000000 are about 10^7 "
          "times the endurance limit 40 and SmMAX 600, which should be stresses of one order: the "
          "material looks like Pa while the endurance limit and SmMAX look like MPa",
          "job/j.inp: the largest stress the job reaches (after the factors) is about 300, about "
          "10^-6 times the static strength 510000000: the stresses look like MPa while the "
          "material looks like Pa"}},
        {1, 1e-3, 1, 1,
         {"job/j.inp: Young's modulus 210 is 0.5915492957746479 times the yield stress 355 (for "
          "metals about 100 to 3,000 times): Young's modulus looks like GPa while the yield "
          "stress looks like MPa (or MPa against kPa)"}},
        {1, 1, 1, 1e6,
         {"job/j.inp: the largest stress the job reaches (after the factors) is about 300000000, "
          "about 10^6 times the static strength 510: the stresses look like Pa while the "
          "material looks like MPa",
          "job/j.inp: the largest stress amplitude of the job is about 150000000, about 10^7 "
          "times the endurance limit 40: the stresses look like Pa while the S-N curve looks "
          "like MPa"}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(warningsOf(steel(row.material, row.modulus, row.curve), row.stress), row.shown)
            << row.material << " " << row.modulus << " " << row.curve << " " << row.stress;
}

TEST(UnitWarnings, ZerosAndUnknownReachesAreNotCompared) {
    MaterialValues m = steel(1e6, 1, 1);
    m.enduranceLimit = 0;
    m.goodmanSmMax = 0;
    m.youngsModulus = 0;
    InputWarnings warnings;
    warnAboutMaterialUnits(m, "job/j.inp", StressReach{}, warnings);
    EXPECT_TRUE(takeWarningLines(warnings).empty());
}

TEST(UnitWarnings, StrictStopsOnTheFirst) {
    InputWarnings warnings;
    warnings.strict = true;
    try {
        warnAboutMaterialUnits(steel(1e6, 1e6, 1), "job/j.inp", StressReach{}, warnings);
        FAIL() << "no stop";
    } catch (const FatalStop& stop) {
        EXPECT_EQ(stop.consoleLines.size(), 1u);
    }
}

}  // namespace
}  // namespace korvanel
