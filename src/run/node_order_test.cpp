#include "run/node_order.hpp"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"
#include "base/test_support.hpp"
#include "input/material_selection.hpp"
#include "run/node_analysis.hpp"
#include "run/random_model_test_support.hpp"

namespace korvanel {
namespace {

constexpr std::int64_t kNodes = 40;
constexpr std::int64_t kLoadCases = 2;
constexpr std::int64_t kTimePoints = 60;
constexpr std::int64_t kBlocks = 12;

// Material IDs of the job's material file.
constexpr std::int64_t kSteel = 1;
constexpr std::int64_t kNotANumber = 2;   // its damage is not a number: stops at the node
constexpr std::int64_t kUnusable = 3;     // an unusable curve type: stops the material selection

MaterialRecord steel(std::int64_t id) {
    MaterialRecord r;
    r.materialId = id;
    r.yieldStress = 355;
    r.youngsModulus = 210000;
    r.staticStrength = 510;
    r.strainAtFailurePercent = 20;
    r.snCurveType = SnCurveType::palmgren;
    r.snParameters[0] = 12.6;
    r.snParameters[1] = -3.5;
    r.snParameters[2] = 0;
    r.snParameters[3] = 40;
    r.goodmanExponent = 1;
    r.goodmanMethod = GoodmanMethod::signedMean;
    r.goodmanSmMax = 600;
    return r;
}

std::vector<MaterialRecord> materialFile() {
    MaterialRecord notANumber = steel(kNotANumber);
    notANumber.snParameters[0] = std::numeric_limits<double>::quiet_NaN();
    MaterialRecord unusable = steel(kUnusable);
    unusable.snCurveType = SnCurveType{4};
    return {steel(kSteel), notANumber, unusable};
}

// Node index n has ID 1000 + n and the steel unless `materialOf` says
// otherwise; loads grow with the index, so the later nodes yield. Node
// index 6 has the complete-output ID too: two nodes write the detail files.
RunInputs makeRun(StressInputFormat format, const std::map<std::int64_t, std::int64_t>& materialOf,
                  std::int64_t completeOutputNode) {
    RunInputs run;
    AnalysisParameters& p = run.parameters;
    p.material = MaterialValues{355, 210000, 510, 20, SnCurveType::palmgren, 12.6, -3.5, 0, 40,
                                80, 450, 6.5, 2, 1, GoodmanMethod::signedMean, 600};
    p.elastoPlastic = Switch::on;
    p.elastoPlasticMethod = CorrectionMethod::neuberLinear;
    p.stressInputFormat = format;
    p.stressScaleFactor = 1;
    p.loadCaseScaleFactor = 1;
    p.materialsMode = MaterialsMode::multiple;
    p.nodeCount = kNodes;
    p.loadCaseCount = kLoadCases;
    p.completeOutputNode = completeOutputNode;
    p.loadVariabilityFactor = 1;
    p.blocksDamageType = BlocksDamageType::wholeSpectrum;
    p.lifeUnitsPerRepeat = 1000;
    run.materials = materialFile();
    run.input = randomModelInput(RandomModel{11, kNodes, kLoadCases, kTimePoints, kBlocks, 60.0, 8.0, 5},
                                 format == StressInputFormat::nodeCombination, [&](std::int64_t n) {
                                     const auto material = materialOf.find(n);
                                     return material == materialOf.end() ? kSteel : material->second;
                                 });
    nodeStressOf(run.input)->nodes[6].nodeId = completeOutputNode;
    return run;
}

struct LoopResult {
    NodeLoopOutcome outcome;
    std::optional<FatalStop> stop;
};

// The loop as one thread in node order would run it, written plainly:
// select the material, analyse, store; the first stop ends it.
LoopResult runInNodeOrder(const RunInputs& run) {
    const AnalysisParameters& p = run.parameters;
    LoopResult result;
    NodeTables& tables = result.outcome.tables;
    tables.nodeDamage.assign(kNodes, 0.0);
    tables.lifeRepeats.assign(kNodes, 0.0);
    tables.staticFailureCode.assign(kNodes, StaticFailureCode::none);
    MaterialValues material = p.material;
    NodeScratch scratch;
    try {
        for (std::int64_t n = 0; n < kNodes; ++n) {
            const NodeEntry& node = nodeStressOf(run.input)->nodes[n];
            selectMaterial(node.nodeMaterialId, run.materials, blocksAnalysis(run), material);
            const NodeResult r =
                analyseNode(run, n, material, node.nodeId == p.completeOutputNode, scratch);
            tables.nodeDamage[n] = r.nodeDamage;
            tables.lifeRepeats[n] = r.lifeRepeats;
            tables.staticFailureCode[n] = r.staticFailureCode;
            if (r.staticFailureCode != StaticFailureCode::none)
                result.outcome.staticFailureAtSomeNode = true;
        }
    } catch (const FatalStop& stop) {
        result.stop = stop;
    }
    return result;
}

// `slices` slices, analysed one after the other in this process.
LoopResult runLoop(const RunInputs& run, int threads, int slices) {
    LoopResult result;
    try {
        InputWarnings warnings;
        ProcessGroup group;
        group.size = slices;
        result.outcome = runNodeLoop(run, {threads, false}, group, warnings);
    } catch (const FatalStop& stop) {
        result.stop = stop;
    }
    return result;
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// Every file of a directory by name.
std::map<std::string, std::string> filesIn(const std::filesystem::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        files[entry.path().filename().string()] = bytesOf(entry.path());
    return files;
}

struct Case {
    const char* name;
    std::map<std::int64_t, std::int64_t> materialOf;  // node index -> material ID
    std::int64_t completeOutputNode;
    const char* stopLine;  // the expected first console line of the stop, or null
};

using NodeLoop = TempDirTest;

// Whatever the number of threads and slices, the loop gives what one thread
// in node order gives: the same tables, the same detail files and the same
// stop.
TEST_F(NodeLoop, SameResultsFilesAndStopForAnyThreadsAndSlices) {
    const std::string nanAt = "Error: the damage is not a number at node ID ";
    const std::vector<Case> cases = {
        {"no stop", {}, 1027, nullptr},
        {"the first of two failing nodes stops the run",
         {{13, kNotANumber}, {29, kNotANumber}}, 1005, "1013"},
        {"two failing nodes taken together", {{12, kNotANumber}, {13, kNotANumber}}, 1005, "1012"},
        {"the material selection's stop before a later failing node",
         {{20, kUnusable}, {25, kNotANumber}}, 1030, "Type of SN curve definition needs values 1, 2 or 3"},
        {"a failing node before the material selection's stop",
         {{5, kNotANumber}, {20, kUnusable}}, 1030, "1005"},
        {"the complete-output node fails before a later failing node",
         {{10, kNotANumber}, {30, kNotANumber}}, 1010, "1010"},
        {"a failing node before the complete-output node: its files are not written",
         {{3, kNotANumber}}, 1010, "1003"},
    };
    for (StressInputFormat format : {StressInputFormat::nodeCombination, StressInputFormat::blockSpectrum}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", format " + std::to_string(fileNumber(format)));
            RunInputs run = makeRun(format, c.materialOf, c.completeOutputNode);

            const std::filesystem::path inOrderDir = dir / "in-order";
            std::filesystem::create_directories(inOrderDir);
            run.job = JobLocation{inOrderDir.string(), "job"};
            const LoopResult expected = runInNodeOrder(run);
            ASSERT_EQ(expected.stop.has_value(), c.stopLine != nullptr);
            if (c.stopLine != nullptr) {
                EXPECT_NE(expected.stop->consoleLines.at(0).find(c.stopLine), std::string::npos);
            }

            for (const auto& [threads, slices] : {std::pair{1, 1}, {2, 1}, {8, 1}, {1, 2}, {2, 2},
                                                 {1, 3}, {2, 3}, {8, 3}}) {
                const std::string name = std::to_string(threads) + " threads, " +
                                         std::to_string(slices) + " slices";
                SCOPED_TRACE(name);
                const std::filesystem::path threadsDir = dir / name;
                std::filesystem::create_directories(threadsDir);
                run.job = JobLocation{threadsDir.string(), "job"};
                const LoopResult got = runLoop(run, threads, slices);
                EXPECT_EQ(filesIn(threadsDir), filesIn(inOrderDir));
                ASSERT_EQ(got.stop.has_value(), expected.stop.has_value());
                if (expected.stop) {
                    EXPECT_EQ(got.stop->consoleLines, expected.stop->consoleLines);
                    EXPECT_EQ(got.stop->advisoryLines, expected.stop->advisoryLines);
                    continue;
                }
                const NodeTables& want = expected.outcome.tables;
                EXPECT_TRUE(sameBits(got.outcome.tables.nodeDamage, want.nodeDamage));
                EXPECT_TRUE(sameBits(got.outcome.tables.lifeRepeats, want.lifeRepeats));
                EXPECT_EQ(got.outcome.tables.staticFailureCode, want.staticFailureCode);
                EXPECT_EQ(got.outcome.staticFailureAtSomeNode, expected.outcome.staticFailureAtSomeNode);
            }
            std::filesystem::remove_all(dir);
            std::filesystem::create_directories(dir);
        }
    }
}

}  // namespace
}  // namespace korvanel
