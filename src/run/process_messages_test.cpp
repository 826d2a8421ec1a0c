#include "run/process_messages.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace korvanel {
namespace {

TEST(ProcessMessages, SliceReadingArrivesWhole) {
    SliceReading reading;
    reading.path = "dir with blanks/job.nds";
    reading.loadCaseCount = 2;
    reading.stamp = FileStamp{1234, 1700000000, 999};
    reading.slices = {NodeStressSlice{0, 2, {0, 40, 80}}, NodeStressSlice{2, 0, {}}};
    const SliceReading back = unpackSliceReading(packSliceReading(reading));
    EXPECT_EQ(back.path, reading.path);
    EXPECT_EQ(back.loadCaseCount, 2);
    EXPECT_EQ(back.stamp, reading.stamp);
    ASSERT_EQ(back.slices.size(), 2u);
    EXPECT_EQ(back.slices[0].offsets, (std::vector<std::uint64_t>{0, 40, 80}));
    EXPECT_EQ(back.slices[1].firstNode, 2);
}

TEST(ProcessMessages, LoopPlanCarriesEverythingTheLoopReads) {
    RunInputs run;
    run.parameters.nodeCount = 7;
    run.parameters.material.yieldStress = 355.5;
    run.parameters.completeOutputNode = -3;
    run.job = JobLocation{"d", "j"};
    run.decimalSeparator = ',';
    run.blockGroups = {BlockGroup{1, 4}};
    run.materials = {MaterialRecord{}};
    run.materials[0].goodmanSmMax = 600.25;
    CombinationInput combination;
    combination.nodeStress.nodeCount = 7;
    combination.nodeStress.nodes.resize(7);
    combination.combination = CombinationTable{2, 1, {0.5, -0.5}};
    run.input = combination;
    run.allowUnloadedNodes = true;
    run.completeOutputNodeFound = true;
    run.completeOutputIndex = 5;
    const std::vector<SliceWork> work = {SliceWork{}, SliceWork{MaterialCarry{0, 1, 2}, false}};
    auto [back, backWork] = unpackLoopPlan(packLoopPlan(run, work));
    EXPECT_EQ(back.parameters.material.yieldStress, 355.5);
    EXPECT_EQ(back.parameters.completeOutputNode, -3);
    EXPECT_EQ(back.job.directory, "d");
    EXPECT_EQ(back.job.name, "j");
    EXPECT_EQ(back.decimalSeparator, ',');
    EXPECT_EQ(back.blockGroups[0].lastBlock, 4);
    EXPECT_EQ(back.materials[0].goodmanSmMax, 600.25);
    const auto& in = std::get<CombinationInput>(back.input);
    EXPECT_EQ(in.combination.factor, (std::vector<double>{0.5, -0.5}));
    EXPECT_EQ(in.combination.timePointCount, 2);
    EXPECT_EQ(in.nodeStress.nodeCount, 7);
    EXPECT_TRUE(in.nodeStress.nodes.empty());  // every process reads its own
    SpectrumInput spectrum;
    spectrum.spectrum.blockCount = 1;
    spectrum.spectrum.blockCycles = {1e6};
    spectrum.spectrum.blockTo = {2.0};
    run.input = spectrum;
    const RunInputs blocksBack = unpackLoopPlan(packLoopPlan(run, work)).first;
    const auto& blocks = std::get<SpectrumInput>(blocksBack.input);
    EXPECT_EQ(blocks.spectrum.blockCycles, (std::vector<double>{1e6}));
    EXPECT_EQ(blocks.spectrum.blockTo, (std::vector<double>{2.0}));
    EXPECT_TRUE(back.allowUnloadedNodes);
    EXPECT_TRUE(back.completeOutputNodeFound);
    EXPECT_EQ(back.completeOutputIndex, 5);
    ASSERT_EQ(backWork.size(), 2u);
    EXPECT_EQ(backWork[1].carriedIn.weibullRecord, 2);
    EXPECT_FALSE(backWork[1].analyse);
}

TEST(ProcessMessages, StopKeepsItsLinesDetailsStatusAndNode) {
    FatalStop stop{{"ndummy2        20", "numbering"}, {"numbering"}, 143};
    stop.details = {"at node ID 20 (node index 42 of 50)"};
    auto [node, back] = unpackStop(packStop(41, stop));
    EXPECT_EQ(back.details, stop.details);
    EXPECT_EQ(back.exitStatus, 143);
    EXPECT_EQ(node, 41);
    EXPECT_EQ(back.consoleLines, stop.consoleLines);
    EXPECT_EQ(back.advisoryLines, stop.advisoryLines);
    const std::string bytes = packStop(41, stop);
    EXPECT_THROW(unpackStop(bytes.substr(0, bytes.size() - 1)), std::length_error);
}

}  // namespace
}  // namespace korvanel
