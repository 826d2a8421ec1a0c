#include "run/analysis_parameters_file.hpp"

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"

namespace korvanel {
namespace {

// A canonical parameter file: 22 comment lines and 19 value lines.
std::string canonicalFile(const std::string& record2 = "0", const std::string& record18 = "1",
                          const std::string& record17 = "0") {
    return "Yielding stress, Young's modulus, Static strength, strain at failure\r\n"
           "355, 210000, 510, 20\r\n"
           "elasto-plastic\r\n" + record2 + "\r\n"
           "method\r\n1\r\n"
           "stress path correction\r\n0\r\n"
           "S-N type\r\n1\r\n"
           "Palmgren\r\nL1 p C E\r\n12.5, -4, 0, 40\r\n"
           "Weibull\r\nSainf Sault alfa beta\r\n80, 450, 6, 2\r\n"
           "Multilinear\r\nvalues\r\n1.5, 1, 2, 3, 4, 5, 6, 7\r\n"
           "Goodman\r\n1.5, 3, 600\r\n"
           "format\r\n2\r\n"
           "scale\r\n1.0, 2.0\r\n"
           "complete output node\r\n101\r\n"
           "materials\r\n1\r\n"
           "nodes, load cases\r\n3, 2\r\n"
           "LVF\r\n1.1\r\n"
           "GAG\r\n0\r\n"
           "cycles extraction\r\n" + record17 + "\r\n"
           "blocks damage type\r\n" + record18 + "\r\n"
           "life units\r\n1000\r\n";
}

AnalysisParameters read(const std::string& data) {
    InputText in = inputTextFromString("job.inp", data);
    return readAnalysisParameters(in);
}

std::string stopMessage(const AnalysisParameters& p) {
    try {
        checkAnalysisParameters(p);
    } catch (const FatalStop& stop) {
        return stop.advisoryLines.at(0);
    }
    return "";
}

TEST(AnalysisParametersFile, ReadsTheNineteenRecords) {
    AnalysisParameters p = read(canonicalFile());
    EXPECT_EQ(p.material.yieldStress, 355.0);
    EXPECT_EQ(p.material.strainAtFailurePercent, 20.0);
    EXPECT_EQ(fileNumber(p.elastoPlasticMethod), 1);
    EXPECT_EQ(p.material.palmgrenL1, 12.5);
    EXPECT_EQ(p.material.enduranceLimit, 40.0);
    EXPECT_EQ(p.material.weibullBeta, 2.0);
    EXPECT_EQ(p.multilinearInts[6], 7);
    EXPECT_EQ(fileNumber(p.material.goodmanMethod), 3);
    EXPECT_EQ(p.material.goodmanSmMax, 600.0);
    EXPECT_EQ(fileNumber(p.stressInputFormat), 2);
    EXPECT_EQ(p.loadCaseScaleFactor, 2.0);
    EXPECT_EQ(p.completeOutputNode, 101);
    EXPECT_EQ(p.nodeCount, 3);
    EXPECT_EQ(p.loadCaseCount, 2);
    EXPECT_EQ(p.loadVariabilityFactor, 1.1);
    EXPECT_EQ(fileNumber(p.blocksDamageType), 1);
    EXPECT_EQ(p.lifeUnitsPerRepeat, 1000.0);
    EXPECT_EQ(stopMessage(p), "");
}

TEST(AnalysisParametersFile, TextAfterAValueShiftsTheLayoutByOneLine) {
    AnalysisParameters p = read(canonicalFile("1  word"));
    EXPECT_EQ(fileNumber(p.elastoPlastic), 1);
    // The comment line of record 3 became the method value (no number: 0),
    // and the method's own value line became the comment of record 4.
    EXPECT_EQ(fileNumber(p.elastoPlasticMethod), 0);
    EXPECT_EQ(fileNumber(p.stressPathCorrection), 0);  // the word "stress" of the next comment line
    EXPECT_EQ(stopMessage(p), "Please put 1 or 2 for the method of elastoplastic correction");
}

TEST(AnalysisParametersFile, ValuesOnePerLineReadTheSame) {
    std::string file = canonicalFile();
    std::string spread = file;
    spread.replace(spread.find("355, 210000, 510, 20"), 20, "355\r\n210000\r\n510\r\n20");
    AnalysisParameters a = read(file), b = read(spread);
    EXPECT_EQ(a.material.youngsModulus, b.material.youngsModulus);
    EXPECT_EQ(a.lifeUnitsPerRepeat, b.lifeUnitsPerRepeat);
}

TEST(AnalysisParametersFile, ChecksRunInTheirOrder) {
    AnalysisParameters p = read(canonicalFile("0", "3", "2"));
    EXPECT_EQ(stopMessage(p), "Please put 0, 1 or 2 for type of damage in the Blocks analysis");
    p.blocksDamageType = BlocksDamageType{0};
    EXPECT_EQ(stopMessage(p), "Please put 0 or 1 for the cycles extraction");
    p.cyclesExtraction = Switch{1};
    p.loadVariabilityFactor = 0.0;
    EXPECT_EQ(stopMessage(p), "");
    p.loadVariabilityFactor = -0.5;
    EXPECT_EQ(stopMessage(p), "The Load Variability Factor must be > 0");
    p.loadVariabilityFactor = 1;
    p.groundAirGround = Switch{-1};
    EXPECT_EQ(stopMessage(p), "Please put 0 or 1 for the Ground-Air-Ground analysis");
    p.groundAirGround = Switch{1};
    p.stressPathCorrection = Switch{2};
    EXPECT_EQ(stopMessage(p), "Please put 0 or 1 for the stress-path based correction");
    p.stressPathCorrection = Switch{1};
    p.elastoPlasticMethod = CorrectionMethod{0};
    EXPECT_EQ(stopMessage(p), "Please put 1 or 2 for the method of elastoplastic correction");
    p.elastoPlasticMethod = CorrectionMethod{2};
    p.materialsMode = MaterialsMode{3};
    EXPECT_EQ(stopMessage(p), "Please put 1 or 2 for analysis with one or multiple materials");
    p.materialsMode = MaterialsMode{2};
    p.material.goodmanMethod = GoodmanMethod{4};
    EXPECT_EQ(stopMessage(p), "Please put 1, 2 or 3 for the method of mean-stress correction");
    p.material.goodmanMethod = GoodmanMethod{1};
    p.elastoPlastic = Switch{2};
    EXPECT_EQ(stopMessage(p), "Please put 0 or 1 concerning the elasto-plastic correction");
    p.elastoPlastic = Switch{1};
    p.stressInputFormat = StressInputFormat{4};
    EXPECT_EQ(stopMessage(p), "Please put 1, 2 or 3 concerning the choice of the stress-input format");
}

TEST(AnalysisParametersFile, EmptyOrShortFilesReadAsZeros) {
    EXPECT_EQ(stopMessage(read("")), "Please put 1 or 2 for the method of elastoplastic correction");
    std::string file = canonicalFile();
    std::string upToRecord10 = file.substr(0, file.find("scale\r\n"));
    EXPECT_EQ(stopMessage(read(upToRecord10)),
              "Please put 1 or 2 for analysis with one or multiple materials");
}

}  // namespace
}  // namespace korvanel
