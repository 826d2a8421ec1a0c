#include "input/node_stress_file.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>
#include <utility>

#include "base/fatal_stop.hpp"
#include "base/test_support.hpp"
#include "base/value_warnings.hpp"

namespace korvanel {
namespace {

using Lines = std::vector<std::string>;

const std::string size =
    "Please check number of nodes and loadcases and size of .nds file, they look not coherent";
const std::string numbering =
    "Please check the nodes numbering in the .nds file, it looks not coherent";

// One line of the file: the IDs, then the components s, s + 1, ..., s + 5.
std::string line(std::int64_t id, std::int64_t material, int s = 0) {
    std::string text = std::to_string(id) + "," + std::to_string(material);
    for (int k = 0; k < 6; ++k) {
        text += ' ';
        text += std::to_string(s + k);
    }
    return text + "\r\n";
}

NodeStressTable read(const std::string& data, std::int64_t nodes, std::int64_t cases,
                     std::uint64_t memoryLimit = std::numeric_limits<std::uint64_t>::max()) {
    InputText in = inputTextFromString("job.nds", data);
    return readNodeStressFile(in, nodes, cases, memoryLimit);
}

FatalStop stopOf(const std::string& data, std::int64_t nodes, std::int64_t cases,
                 std::uint64_t memoryLimit = std::numeric_limits<std::uint64_t>::max()) {
    return expectStop([&] { read(data, nodes, cases, memoryLimit); });
}

// Nodes 10, 20, 30 (materials 1, 2, 1) in three blocks; block k, node n has
// components from 100k + 10n.
std::string threeNodesTwoLoadCases() {
    std::string data;
    for (int k = 0; k < 3; ++k)
        for (int n = 0; n < 3; ++n) data += line(10 * (n + 1), n == 1 ? 2 : 1, 100 * k + 10 * n);
    return data;
}

TEST(NodeStressFile, BlocksGoToBaseAndPerNodeLoadCases) {
    const NodeStressTable t = read(threeNodesTwoLoadCases(), 3, 2);
    ASSERT_EQ(t.nodes.size(), 3u);
    ASSERT_EQ(t.loadCaseStress.size(), 6u);
    EXPECT_EQ(t.nodes[1].nodeId, 20);
    EXPECT_EQ(t.nodes[1].nodeMaterialId, 2);
    EXPECT_EQ(t.baseStress[2], (Stress6{{20, 21, 22, 23, 24, 25}}));
    EXPECT_EQ(t.loadCasesOf(1)[0], (Stress6{{110, 111, 112, 113, 114, 115}}));
    EXPECT_EQ(t.loadCasesOf(2)[1], (Stress6{{220, 221, 222, 223, 224, 225}}));
    // A group cut short by the end of the file counts, its missing values 0.
    EXPECT_EQ(read(line(5, 1) + "5 1 7", 1, 1).loadCasesOf(0)[0], (Stress6{{7, 0, 0, 0, 0, 0}}));
    EXPECT_TRUE(read("", 0, 4).nodes.empty());
}

TEST(NodeStressFile, GroupCountMustMatchTheCounts) {
    const std::string nine = threeNodesTwoLoadCases();
    EXPECT_EQ(stopOf(nine.substr(0, nine.rfind("30,")), 3, 2).consoleLines, Lines{size});
    EXPECT_EQ(stopOf(nine + line(10, 1), 3, 2).consoleLines, Lines{size});
    EXPECT_EQ(stopOf(nine + "\r\n", 3, 2).consoleLines, Lines{size});  // one more empty group
    const std::int64_t big = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(stopOf("", -1, 0).consoleLines, Lines{size});
    EXPECT_EQ(stopOf("", 0, -1).consoleLines, Lines{size});
    EXPECT_EQ(stopOf("", 0, big).consoleLines, Lines{size});
    EXPECT_EQ(stopOf(line(1, 1), big / 2, 2).consoleLines, Lines{size});
}

TEST(NodeStressFile, FirstNumberingMismatchShowsTheValueRead) {
    // Block 2 lists the nodes as 20, 10: its first line differs.
    FatalStop stop = stopOf(line(10, 1) + line(20, 1) + line(20, 1) + line(10, 1), 2, 1);
    EXPECT_EQ(stop.consoleLines, (Lines{"ndummy2        20", numbering}));
    EXPECT_EQ(stop.advisoryLines, Lines{numbering});
    EXPECT_EQ(stopOf(line(10, 1) + line(10, -4), 1, 1).consoleLines[0], "ndummy3       -4");
    EXPECT_EQ(stopOf(line(10, 1) + line(11, 2), 1, 1).consoleLines[0], "ndummy2        11");
    // A material mismatch in block 2 comes before a node mismatch in block 3.
    stop = stopOf(
        line(10, 1) + line(20, 1) + line(10, 1) + line(20, 9) + line(99, 1) + line(20, 1), 2, 2);
    EXPECT_EQ(stop.consoleLines[0], "ndummy3        9");
}

TEST(NodeStressFile, StopsInReadingThenCountThenNumberingOrder) {
    EXPECT_EQ(stopOf(line(10, 1) + line(11, 1) + line(10, 1), 1, 1).consoleLines, Lines{size});
    // Values beyond the counted groups are converted in the type of their
    // position: 1e300 is a fine real but no 64-bit integer.
    const std::string good = line(10, 1) + line(10, 1);
    const Lines outOfRange = {"Number out of range in the file job.nds"};
    EXPECT_EQ(stopOf(good + "1e300", 1, 1).consoleLines, outOfRange);
    EXPECT_EQ(stopOf(good + "1 1 1e300", 1, 1).consoleLines, Lines{size});
    EXPECT_EQ(stopOf(good + "1 1 1e400", 1, 1).consoleLines, outOfRange);
    EXPECT_EQ(expectStop([] { readNodeStressFile("/nonexistent-korvanel/job.nds", 0, 0); }).consoleLines,
              Lines{"Cannot open the input file /nonexistent-korvanel/job.nds"});
}

// Tables the machine cannot hold stop the run once the count is known to
// be right, before the numbering is looked at.
TEST(NodeStressFile, TablesBeyondTheMemoryLimitStopAfterTheCountCheck) {
    const std::string memory = "Not enough memory for the analysis";
    // Three nodes, two load cases: 3 node entries, 3 base and 6 load-case states.
    const std::uint64_t needed = 3 * sizeof(NodeEntry) + 9 * sizeof(Stress6);
    EXPECT_EQ(read(threeNodesTwoLoadCases(), 3, 2, needed).nodes.size(), 3u);
    EXPECT_EQ(stopOf(threeNodesTwoLoadCases(), 3, 2, needed - 1).consoleLines, Lines{memory});
    EXPECT_EQ(stopOf(threeNodesTwoLoadCases(), 3, 1, 1).consoleLines, Lines{size});
    std::string renumbered = threeNodesTwoLoadCases();
    renumbered.replace(renumbered.find("20,2", 20), 4, "21,2");  // node 20 of block 2
    EXPECT_EQ(stopOf(renumbered, 3, 2).consoleLines.back(), numbering);
    EXPECT_EQ(stopOf(renumbered, 3, 2, 1).consoleLines, Lines{memory});
}

// Reading by slices: the index finds where every slice begins; the slices
// read from there hold exactly what the whole reading holds.
NodeStressIndex indexOf(const std::string& data, std::int64_t nodes, std::int64_t cases,
                        const std::vector<std::int64_t>& firsts, std::int64_t keptId = -999) {
    InputText in = inputTextFromString("job.nds", data);
    return indexNodeStressFile(in, nodes, cases, firsts, keptId);
}

FatalStop indexStopOf(const std::string& data, std::int64_t nodes, std::int64_t cases,
                      std::uint64_t memoryLimit = std::numeric_limits<std::uint64_t>::max()) {
    try {
        InputText in = inputTextFromString("job.nds", data);
        indexNodeStressFile(in, nodes, cases, {0}, 20, memoryLimit);
    } catch (const FatalStop& stop) {
        return stop;
    }
    return FatalStop{{"no fatal stop"}, {}};
}

TEST(NodeStressFile, SlicesReadAsTheWholeFile) {
    // Values in varied forms and separators, a quoted value and a line cut
    // short, so that a slice must begin exactly where its group begins.
    const std::string data =
        "10,1 1 2 3 4 5 6\r\n 20 , 2,\"7\",8,9,1e1,11,12\n30\t1\t.5\t-1.5d2\t0\t0\t0\t&H1F\r"
        "10 1 1.25 2 3 4 5 6\r\n20 2 7 8 9 10 11 12\r\n30 1 13 14 15 16 17 18\r\n"
        "10 1 -1 -2 -3 -4 -5 -6\r\n20 2 1E2 0 0 0 0 0\r\n30 1 9 9 9 9 9";
    const NodeStressTable whole = read(data, 3, 2);
    for (const std::vector<std::int64_t>& firsts :
         {std::vector<std::int64_t>{0}, {0, 1}, {0, 2}, {0, 1, 2}, {0, 1, 1, 3}}) {
        const NodeStressIndex index = indexOf(data, 3, 2, firsts);
        ASSERT_EQ(index.slices.size(), firsts.size());
        EXPECT_EQ(index.fileSize, data.size());
        ASSERT_EQ(index.nodes.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(index.nodes[i].nodeId, whole.nodes[i].nodeId);
        for (const NodeStressSlice& slice : index.slices) {
            InputText in = inputTextFromString("job.nds", data);
            const NodeStressTable t = readNodeStressSlice(in, 2, slice);
            ASSERT_EQ(t.nodeCount, slice.nodeCount);
            const auto rows = static_cast<std::size_t>(slice.nodeCount);
            ASSERT_EQ(t.nodes.size(), rows);
            ASSERT_EQ(t.baseStress.size(), rows);
            ASSERT_EQ(t.loadCaseStress.size(), 2 * rows);
            for (std::int64_t n = 0; n < slice.nodeCount; ++n) {
                const std::int64_t w = slice.firstNode + n;
                EXPECT_EQ(t.nodes[n].nodeMaterialId, whole.nodes[w].nodeMaterialId);
                EXPECT_EQ(t.baseStress[n], whole.baseStress[w]);
                EXPECT_EQ(t.loadCasesOf(n)[0], whole.loadCasesOf(w)[0]);
                EXPECT_EQ(t.loadCasesOf(n)[1], whole.loadCasesOf(w)[1]);
            }
        }
    }
}

TEST(NodeStressFile, IndexKeepsTheNodesOfOneIdWhole) {
    const std::string data = threeNodesTwoLoadCases();  // IDs 10, 20, 30
    const NodeStressIndex index = indexOf(data, 3, 2, {0}, 20);
    ASSERT_EQ(index.keptNodeIndexes, (std::vector<std::int64_t>{1}));
    EXPECT_EQ(index.keptNodes.baseStress[0], (Stress6{{10, 11, 12, 13, 14, 15}}));
    EXPECT_EQ(index.keptNodes.loadCasesOf(0)[1], (Stress6{{210, 211, 212, 213, 214, 215}}));
    EXPECT_TRUE(indexOf(data, 3, 2, {0}, 99).keptNodes.nodes.empty());
}

TEST(NodeStressFile, IndexStopsAsTheWholeReading) {
    const std::string nine = threeNodesTwoLoadCases();
    std::string renumbered = nine;
    renumbered.replace(renumbered.find("20,2", 20), 4, "21,2");
    const std::vector<std::tuple<std::string, std::int64_t, std::int64_t>> jobs = {
        {nine + line(10, 1), 3, 2}, {nine, 3, 1}, {line(10, 1) + line(10, 1) + "1e300", 1, 1},
        {line(10, 1) + line(10, -4), 1, 1}, {renumbered, 3, 2}, {"", -1, 0},
        {"\xEF\xBB\xBF" + renumbered, 3, 2}};
    for (const auto& [data, nodes, cases] : jobs) {
        const FatalStop whole = stopOf(data, nodes, cases);
        const FatalStop indexed = indexStopOf(data, nodes, cases);
        EXPECT_EQ(indexed.consoleLines, whole.consoleLines) << data;
        EXPECT_EQ(indexed.advisoryLines, whole.advisoryLines) << data;
        EXPECT_EQ(indexed.details, whole.details) << data;
    }
    // The index holds the node entries and the kept node (ID 20), not the stresses.
    const std::uint64_t entries = 3 * sizeof(NodeEntry);
    const std::uint64_t kept = sizeof(NodeEntry) + 3 * sizeof(Stress6);
    EXPECT_EQ(indexStopOf(nine, 3, 2, entries + kept).consoleLines, Lines{"no fatal stop"});
    EXPECT_EQ(indexStopOf(nine, 3, 2, entries + kept - 1).consoleLines,
              Lines{"Not enough memory for the analysis"});
}

// The warnings of a reading, with its stop or none.
std::pair<Lines, Lines> warningsOf(const std::string& data, bool indexed) {
    InputWarnings warnings;
    InputText in = inputTextFromString("job.nds", data);
    attachWarnings(in, warnings);
    Lines stop;
    try {
        if (indexed)
            indexNodeStressFile(in, 3, 2, {0, 2}, 20);
        else
            readNodeStressFile(in, 3, 2);
    } catch (const FatalStop& s) {
        stop = s.consoleLines;
    }
    return {takeWarningLines(warnings), stop};
}

TEST(NodeStressFile, IndexWarnsAsTheWholeReading) {
    const std::string nine = threeNodesTwoLoadCases();
    for (const std::string& data : {"\xEF\xBB\xBF" + nine, nine + "10 1 2", nine.substr(0, 40),
                                    "3O" + nine.substr(2)}) {
        const auto whole = warningsOf(data, false);
        EXPECT_EQ(warningsOf(data, true), whole) << data;
    }
    EXPECT_FALSE(warningsOf(nine + "10 1 2", true).first.empty());
}

TEST(NodeStressFile, SliceOfAnotherFileIsRefused) {
    const NodeStressIndex index = indexOf(threeNodesTwoLoadCases(), 3, 2, {0, 2});
    const Lines changed = {"The input file job.nds changed while it was being read"};
    std::string renumbered = threeNodesTwoLoadCases();
    renumbered.replace(renumbered.find("30,1", 67), 4, "31,1");  // node 30 of block 2
    for (const std::string& data : {renumbered, threeNodesTwoLoadCases().substr(0, 30)}) {
        InputText in = inputTextFromString("job.nds", data);
        try {
            readNodeStressSlice(in, 2, index.slices[1]);
            ADD_FAILURE() << "no fatal stop";
        } catch (const FatalStop& stop) {
            EXPECT_EQ(stop.consoleLines, changed);
        }
    }
}

}  // namespace
}  // namespace korvanel
