#include "run/process_messages.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "base/test_support.hpp"

namespace korvanel {
namespace {

TEST(ProcessMessages, SliceReadingArrivesWhole) {
    SliceReading reading;
    reading.path = "dir with blanks/job.nds";
    reading.loadCaseCount = 2;
    reading.stamp = FileStamp{7, 42, 1234, 1700000000, 999, 1700000001, 5, "node01"};
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
    run.detailFilesAfterLoop = true;
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
    EXPECT_TRUE(back.detailFilesAfterLoop);
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
}

// A message cut short anywhere, or a count in it beyond its end, is the
// internal check 951 naming the message, never a memory stop or a crash.
TEST(ProcessMessages, BrokenMessageIsAnInternalCheckThatNamesIt) {
    SliceReading reading;
    reading.path = "d/j.nds";
    reading.slices = {NodeStressSlice{0, 2, {0, 40, 80}}};
    RunInputs run;
    CombinationInput combination;
    combination.combination = CombinationTable{2, 1, {0.5, -0.5}};
    run.input = combination;
    const struct {
        std::string bytes;
        std::function<void(std::string_view)> unpack;
        const char* name;
        std::size_t countAt;  // where a count of the message lies
    } messages[] = {
        {packSliceReading(reading), [](std::string_view b) { unpackSliceReading(b); },
         "the node stress slices", 0},
        {packLoopPlan(run, {SliceWork{}}), [](std::string_view b) { unpackLoopPlan(b); },
         "the loop plan", sizeof(AnalysisParameters)},
        {packStop(4, fatalStop("a stop", "its detail")), [](std::string_view b) { unpackStop(b); },
         "a stop", sizeof(std::int64_t)},
    };
    for (const auto& m : messages) {
        std::vector<std::string> broken;
        for (std::size_t size = 0; size < m.bytes.size(); ++size)
            broken.push_back(m.bytes.substr(0, size));
        std::string huge = m.bytes;  // a count made enormous
        std::memset(huge.data() + m.countAt, 0x7f, 8);
        broken.push_back(huge);
        for (const std::string& bytes : broken) {
            const FatalStop stop = expectStop([&] { m.unpack(bytes); });
            ASSERT_EQ(stop.consoleLines.at(0),
                      "Runtime Error Code 951: please contact the KORVANEL support")
                << m.name << ", " << bytes.size() << " bytes";
            ASSERT_EQ(stop.details.size(), 2u);
            EXPECT_EQ(stop.details[1].rfind(std::string("the message of ") + m.name + " is cut short", 0), 0u)
                << stop.details[1];
        }
    }
}

TEST(ProcessMessages, StampsTellFilesApart) {
    const FileStamp one{7, 42, 1234, 1700000000, 999, 1700000001, 5, "node01"};
    FileStamp otherMachine = one;
    std::strcpy(otherMachine.machine, "node02");
    otherMachine.device = 9;  // the same file system mounted there under another number
    FileStamp renamedIn = one;
    renamedIn.inode = 43;
    FileStamp rewritten = one;
    rewritten.changedNanoseconds = 6;
    FileStamp otherDevice = one;
    otherDevice.device = 8;
    EXPECT_TRUE(sameFile(one, one));
    EXPECT_TRUE(sameFile(one, otherMachine));
    EXPECT_FALSE(sameFile(one, renamedIn));
    EXPECT_FALSE(sameFile(one, rewritten));
    EXPECT_FALSE(sameFile(one, otherDevice));
    renamedIn.device = 9;
    std::strcpy(renamedIn.machine, "node02");
    EXPECT_FALSE(sameFile(one, renamedIn));
}

}  // namespace
}  // namespace korvanel
