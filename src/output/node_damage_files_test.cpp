#include "output/node_damage_files.hpp"
#include "base/test_support.hpp"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"

namespace korvanel {
namespace {

using NodeDamageFilesTest = TempDirTest;

const std::string heading = " Node ID      Damage        Life           Static Failure\r\n";

TEST_F(NodeDamageFilesTest, ListsEveryNodeAndKeepsTheFirstOfEqualMaxima) {
    const std::vector<NodeEntry> nodes{{11, 0}, {12, 0}, {-13, 0}};
    MaxDamageNode maxNode;
    const std::string ndd = textWritten('.', [&](OutputChannel& out) {
        maxNode = writeNodeDamageFile(out, nodes, {1e-3, 4e-3, 4e-3}, {1000.0, 250.0, 250.0},
                                      {StaticFailureCode::none, StaticFailureCode::type2,
                                       StaticFailureCode::both},
                                      1.0);
    });

    EXPECT_EQ(maxNode.nodeId, 12);
    EXPECT_EQ(maxNode.damage, 4e-3);
    EXPECT_EQ(maxNode.lifeRepeats, 250.0);
    EXPECT_EQ(fileNumber(maxNode.staticFailureCode), 2);
    EXPECT_EQ(ndd, heading +
                                " 11" + spaces(11) + "1.000000e-03  1.000000e+03   0\r\n" +
                                " 12" + spaces(11) + "4.000000e-03  2.500000e+02   2\r\n" +
                                "-13" + spaces(11) + "4.000000e-03  2.500000e+02   12\r\n");

    const std::string ans = textWritten(
        '.', [&](OutputChannel& out) { writeLogLifeFile(out, nodes, {1000.0, 250.0, 250.0}, 1.0); });
    EXPECT_EQ(ans, "1.100000e+01 3.000000e+00\r\n"
                            "1.200000e+01 2.397940e+00\r\n"
                            "-1.300000e+01 2.397940e+00\r\n");
}

TEST_F(NodeDamageFilesTest, MostDamagedNodeIsTheOneTheFileNames) {
    const std::vector<std::vector<double>> tables = {
        {1e-3, 4e-3, 4e-3}, {5e-2}, {1e-18, 1e-18}, {-2e8, -1.5e8, 3e-9, 2e-9}, {}};
    for (const std::vector<double>& damage : tables) {
        std::vector<NodeEntry> nodes;
        for (std::size_t n = 0; n < damage.size(); ++n)
            nodes.push_back({static_cast<std::int64_t>(100 + n), 0});
        MaxDamageNode maxNode;
        textWritten('.', [&](OutputChannel& out) {
            maxNode = writeNodeDamageFile(out, nodes, damage,
                                          std::vector<double>(damage.size(), 1.0),
                                          std::vector<StaticFailureCode>(damage.size()), 1.0);
        });
        const std::int64_t most = mostDamagedNode(damage);
        EXPECT_EQ(most < 0 ? 0 : nodes[static_cast<std::size_t>(most)].nodeId, maxNode.nodeId);
    }
}

TEST_F(NodeDamageFilesTest, FloorNodeAndLifeUnits) {
    const std::vector<NodeEntry> nodes{{1, 0}};
    auto ndd = [&](double damage, double life, StaticFailureCode code, double units, char sep) {
        return textWritten(sep, [&](OutputChannel& out) {
            writeNodeDamageFile(out, nodes, {damage}, {life}, {code}, units);
        });
    };
    auto ans = [&](double life, double units, char sep) {
        return textWritten(sep, [&](OutputChannel& out) { writeLogLifeFile(out, nodes, {life}, units); });
    };
    EXPECT_EQ(ndd(1e-18, 1e18, StaticFailureCode::none, 1.0, '.'),
              heading + " 1" + spaces(12) + "1.000000e-18  1.000000e+18   0\r\n");
    EXPECT_EQ(ans(1e18, 1.0, '.'), "1.000000e+00 1.800000e+01\r\n");

    // Damage per life unit and life in life units; the locale's separator.
    EXPECT_EQ(ndd(0.5, 2.0, StaticFailureCode::type1, 2000.0, ','),
              heading + " 1" + spaces(12) + "2,500000e-04  4,000000e+03   1\r\n");
    EXPECT_EQ(ans(2.0, 2000.0, ','), "1,000000e+00 3,602060e+00\r\n");
}

TEST_F(NodeDamageFilesTest, NoNodesGiveHeadingOnlyAndKeepTheStartValues) {
    const std::string ndd = pathOf("job.ndd");
    const std::string ans = pathOf("job.ans");
    const MaxDamageNode maxNode = writeNodeDamageFile(ndd, {}, {}, {}, {}, 1.0, '.');
    writeLogLifeFile(ans, {}, {}, 1.0, '.');

    EXPECT_EQ(bytesOf(ndd), heading);
    EXPECT_TRUE(std::filesystem::exists(ans));
    EXPECT_EQ(bytesOf(ans), "");
    EXPECT_EQ(maxNode.nodeId, 0);
    EXPECT_EQ(maxNode.damage, -123456000.0);
    EXPECT_EQ(maxNode.lifeRepeats, 0.0);
    EXPECT_EQ(fileNumber(maxNode.staticFailureCode), 0);
}

TEST_F(NodeDamageFilesTest, UnwritablePathIsAFatalStop) {
    const std::string path = pathOf("missing_dir/job.ndd");
    EXPECT_EQ(expectStop([&] { writeNodeDamageFile(path, {}, {}, {}, {}, 1.0, '.'); }).consoleLines,
              std::vector<std::string>{"Cannot write the output file " + path});
}

}  // namespace
}  // namespace korvanel
