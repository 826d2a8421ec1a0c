#include "output/summary.hpp"
#include "base/test_support.hpp"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

namespace korvanel {
namespace {

// One material, Palmgren's curve, linear Neuber correction, single history.
SummaryData palmgrenHistory() {
    SummaryData d;
    AnalysisParameters& p = d.parameters;
    p.material.yieldStress = 250.0;
    p.material.youngsModulus = 210000.0;
    p.material.staticStrength = 400.0;
    p.material.strainAtFailurePercent = 12.5;
    p.material.snCurveType = SnCurveType{1};
    p.material.palmgrenL1 = 12.0;
    p.material.palmgrenP = 3.0;
    p.material.palmgrenC = 1e6;
    p.material.enduranceLimit = 80.0;
    p.material.weibullSainf = 100.0;
    p.material.weibullSault = 500.0;
    p.material.weibullAlfa = 2.5;
    p.material.weibullBeta = 1e-5;
    p.material.goodmanExponent = 1.0;
    p.material.goodmanMethod = GoodmanMethod{2};
    p.material.goodmanSmMax = 400.0;
    p.elastoPlastic = Switch{1};
    p.elastoPlasticMethod = CorrectionMethod{1};
    p.materialsMode = MaterialsMode{1};
    p.lifeUnitsPerRepeat = 1000.0;
    d.result = SingleHistoryResult{0.25, StaticFailureCode::none};
    return d;
}

const std::string materialBlock =
    "The following parameters define the elasto-plastic behavior of the material:\r\n"
    "Yielding stress " + spaces(12) + " 250\r\n"
    "Young's modulus " + spaces(12) + " 210000\r\n"
    "Static strength " + spaces(12) + " 400\r\n"
    "Total strain at failure (%)  12.5\r\n";

const std::string curveHeading =
    " \r\n"
    "The following unique set of material properties has been used for the analysis:\r\n";

const std::string goodmanLines =
    "Parameters for the mean-stress correction:\r\n"
    "Goodman exponent" + spaces(12) + " 1\r\n"
    "Goodman method" + spaces(14) + " 2\r\n"
    "Goodman SmMAX   " + spaces(12) + " 400\r\n";

const std::string palmgrenLines =
    "The S-N curve format is the Palmgren's equation, with the following parameters:\r\n"
    "L1 = " + spaces(9) + " 12\r\n"
    "p = " + spaces(10) + " 3\r\n"
    "C = " + spaces(10) + " 1000000\r\n"
    "Endurance limit = " + spaces(10) + " 80\r\n";

class SummaryTest : public TempDirTest {
protected:
    // The .sum and the console text, the console captured through a file channel.
    std::pair<std::string, std::string> summaries(const SummaryData& d) {
        writeSummaryFile((dir / "job.sum").string(), d, '.');
        const std::filesystem::path consolePath = dir / "console.txt";
        OutputChannel console = OutputChannel::file(consolePath.string(), '.');
        writeConsoleSummary(console, d);
        console.close();
        return {bytesOf(dir / "job.sum"), bytesOf(consolePath)};
    }
};

TEST_F(SummaryTest, HistoryWithPalmgrenCurve) {
    const std::string result = "Total damage is equal to" + spaces(4) + " 0.25\r\n"
                               "Number of Life Repeats" + spaces(6) + " 4\r\n"
                               "Total Fatigue Life" + spaces(10) + " 4000\r\n";
    const std::string setup = materialBlock +
                              "The elasto-plastic correction with Neuber Linear has been applied\r\n" +
                              curveHeading + palmgrenLines + goodmanLines;
    const auto [sum, console] = summaries(palmgrenHistory());
    EXPECT_EQ(sum, "KORVANEL version v25.02\r\n \r\n" + setup + result);
    EXPECT_EQ(console, "KORVANEL version v25.02\r\n" + setup + result);
}

TEST_F(SummaryTest, HistoryAtTheDamageFloorWithStaticFailureAndMultipleMaterials) {
    SummaryData d = palmgrenHistory();
    d.parameters.materialsMode = MaterialsMode{2};
    d.parameters.elastoPlastic = Switch{0};
    d.parameters.elastoPlasticMethod = CorrectionMethod{2};
    d.result = SingleHistoryResult{1e-18, StaticFailureCode::type2};
    const std::string body = "Analysis performed without elasto-plastic correction\r\n"
                             "Static Failure occurred, see file .cyc for details\r\n"
                             "Total damage is < 1e-18\r\n"
                             "Number of Life Repeats is > 1e18\r\n";
    const auto [sum, console] = summaries(d);
    EXPECT_EQ(sum, "KORVANEL version v25.02\r\n \r\n" + body);
    EXPECT_EQ(console, "KORVANEL version v25.02\r\n" + body);
}

TEST_F(SummaryTest, NodesWithWeibullCurveAndBothStaticFailures) {
    SummaryData d = palmgrenHistory();
    d.parameters.material.snCurveType = SnCurveType{2};
    d.parameters.elastoPlasticMethod = CorrectionMethod{2};
    d.parameters.nodeCount = 3;
    d.parameters.loadCaseCount = 2;
    d.parameters.completeOutputNode = -8;
    d.parameters.lifeUnitsPerRepeat = 2.0;
    d.result = ModelResult{ModelResult::Steps::timePoints, 40, true,
                           MaxDamageNode{12, 0.004, 250.0, StaticFailureCode::both}, false, {}};

    const std::string setup =
        materialBlock + "The elasto-plastic correction with Neuber Non-Linear has been applied\r\n" +
        curveHeading +
        "The S-N curve format is the Weibull's equation, with the following parameters:\r\n"
        "Sainf = " + spaces(6) + " 100\r\n"
        "Sault = " + spaces(6) + " 500\r\n"
        "alfa = " + spaces(7) + " 2.5\r\n"
        "beta = " + spaces(7) + " 1e-005\r\n" +
        goodmanLines;
    const std::string result =
        " \r\n"
        "Number of nodes " + spaces(12) + " 3\r\n"
        "Number of load cases " + spaces(7) + " 2\r\n"
        "Number of time points " + spaces(6) + " 40\r\n"
        "For the damage summary on all the nodes see file .ndd\r\n"
        "Static Failure occurred at least at one node, see file .ndd for the details at the nodes\r\n"
        "Max damage is at node " + spaces(6) + " 12\r\n"
        "Damage at node " + spaces(13) + " 12" + spaces(11) + "is = " + spaces(9) + " 0.004\r\n"
        "Life Repeats at node " + spaces(7) + " 12" + spaces(11) + "are = " + spaces(8) + " 250\r\n"
        "Total Fatigue Life at node   12" + spaces(11) + "is = " + spaces(9) + " 500\r\n"
        "Static failures of both type 1 and 2 occurred at node " + spaces(2) + " 12\r\n";
    const std::string notExisting =
        "The node where complete output was requested looks not existing! please chek node ID: " +
        spaces(12) + "-8\r\n";

    const auto [sum, console] = summaries(d);
    EXPECT_EQ(sum, "KORVANEL version v25.02\r\n \r\n" + setup + result);
    EXPECT_EQ(console, "KORVANEL version v25.02\r\n" + setup + result + notExisting);
}

TEST_F(SummaryTest, BlockSpectrumLinesAndSingleStaticFailureKinds) {
    SummaryData d = palmgrenHistory();
    d.parameters.materialsMode = MaterialsMode{2};
    d.parameters.nodeCount = 1;
    d.parameters.loadCaseCount = 4;
    d.parameters.lifeUnitsPerRepeat = 1.0;
    d.result = ModelResult{ModelResult::Steps::blocks, 6, false,
                           MaxDamageNode{-5, 0.5, 2.0, StaticFailureCode::type1}, true, {}};
    ModelResult& model = std::get<ModelResult>(d.result);

    const std::string head = "Number of blocks " + spaces(11) + " 6\r\n"
                             "For the damage summary on all the nodes see file .ndd\r\n"
                             "Max damage is at node " + spaces(6) + "-5\r\n";
    const std::string type1 = "Static failure of type 1 occurred at node " + spaces(14) + "-5\r\n";
    auto [sum, console] = summaries(d);
    EXPECT_NE(sum.find(head), std::string::npos);
    EXPECT_EQ(sum.substr(sum.size() - type1.size()), type1);
    EXPECT_EQ(console.substr(console.size() - type1.size()), type1);

    model.maxDamageNode.staticFailureCode = StaticFailureCode{2};
    std::tie(sum, console) = summaries(d);
    const std::string type2 = "Static failure of type 2 occurred at node " + spaces(14) + "-5\r\n";
    EXPECT_EQ(sum.substr(sum.size() - type2.size()), type2);

    model.maxDamageNode.staticFailureCode = StaticFailureCode{0};
    std::tie(sum, console) = summaries(d);
    const std::string lifeLine = "Total Fatigue Life at node  -5" + spaces(12) + "is = " + spaces(9) + " 2\r\n";
    EXPECT_EQ(sum.substr(sum.size() - lifeLine.size()), lifeLine);
    // The console is the file without the blank line after the title.
    std::string consoleExpected = sum;
    consoleExpected.erase(std::string("KORVANEL version v25.02\r\n").size(), 3);
    EXPECT_EQ(console, consoleExpected);

    // A node chosen for the detail files on the command line: one line more.
    model.detailNodeLine = "Detail files (.cyc, .sep) of node -5 (--detail-node -5)";
    std::tie(sum, console) = summaries(d);
    EXPECT_NE(sum.find("Number of blocks " + spaces(11) + " 6\r\n" + model.detailNodeLine +
                       "\r\nFor the damage summary"),
              std::string::npos);
}

}  // namespace
}  // namespace korvanel
