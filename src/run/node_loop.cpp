#include "run/node_loop.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <limits>
#include <mutex>
#include <span>
#include <string>

#include "base/fatal_stop.hpp"
#include "base/signal_guard.hpp"
#include "input/material_selection.hpp"
#include "run/material_schedule.hpp"
#include "run/node_analysis.hpp"
#include "run/parallel_chunks.hpp"

namespace korvanel {
namespace {

// Nodes analysed together, their extractions walked in turns.
constexpr std::size_t kNodesInTurns = 2;  // three or four ran slower than two
static_assert(kNodesInTurns <= kMaxPathsInTurns);

// A worker's work tables: one for each place of a group of nodes.
struct WorkerScratch {
    NodeScratch scratch[kNodesInTurns];
};

// What the workers of one slice share.
struct SliceState {
    const RunInputs& run;
    const NodeSlice& slice;
    const MaterialSchedule& schedule;   // from row slice.begin on
    bool checkOnly;
    bool inTurns;
    SliceOutcome& outcome;
    // Rows from here on need no analysis: an earlier row stops the run.
    std::atomic<std::int64_t> stopAt;
    std::mutex stopMutex;
};

// Puts the node in front of the stop's cause (or makes it the only detail).
void addNodeToStop(FatalStop& stop, const SliceState& w, std::int64_t row) {
    const std::string where =
        "at " + nodeText(w.run, row, w.slice.firstModelNode, w.slice.modelNodeCount);
    if (stop.details.empty())
        stop.details.push_back(where);
    else
        stop.details.front() = where + ": " + stop.details.front();
}

void recordStop(SliceState& w, std::int64_t row, FatalStop stop) {
    addNodeToStop(stop, w, row);
    std::lock_guard<std::mutex> lock(w.stopMutex);
    keepFirstStop(w.outcome, w.slice.firstModelNode + row, std::move(stop));
    if (row < w.stopAt.load(std::memory_order_relaxed)) w.stopAt.store(row, std::memory_order_relaxed);
}

// The material values in effect at a row.
MaterialValues scheduledMaterial(const SliceState& w, std::int64_t row) {
    const RunInputs& run = w.run;
    const std::int64_t n = row - w.slice.begin;
    if (n == w.schedule.failingNode) {
        // The node's material records hold an unusable curve type:
        // selecting them raises the stop.
        MaterialValues values = run.parameters.material;
        selectMaterial(nodeStressOf(run.input)->nodes[row].nodeMaterialId, run.materials,
                       blocksAnalysis(run), values);
    }
    return materialAt(w.schedule, n, run.parameters.material, run.materials);
}

void store(SliceState& w, std::int64_t row, const NodeResult& r) {
    const auto n = static_cast<std::size_t>(row - w.slice.begin);
    SliceOutcome& o = w.outcome;
    o.unloaded[n] = r.unloaded ? kUnloadedNode : r.screened ? kScreenedNode : 0;
    if (o.tables.nodeDamage.empty()) {
        o.singleHistory = r.singleHistory;
        return;
    }
    o.tables.nodeDamage[n] = r.nodeDamage;
    o.tables.lifeRepeats[n] = r.lifeRepeats;
    o.tables.staticFailureCode[n] = r.staticFailureCode;
}

void analyseOne(SliceState& w, std::int64_t row, NodeScratch& scratch) {
    try {
        stopIfOutOfMemory([&] {
            const MaterialValues material = scheduledMaterial(w, row);
            const bool files = w.slice.detailFiles && writesDetailFiles(w.run, row);
            store(w, row, w.checkOnly ? checkNode(w.run, row, material, files, scratch)
                                      : analyseNode(w.run, row, material, files, scratch));
        });
    } catch (const FatalStop& stop) {
        recordStop(w, row, stop);
    }
}

// Nodes taken together, their extractions walked in turns; a node whose
// material cannot be had stops, and the others go on without it.
void analyseGroup(SliceState& w, std::span<const std::int64_t> rows, WorkerScratch& scratch) {
    MaterialValues materials[kNodesInTurns];
    std::array<NodeToAnalyse, kNodesInTurns> members;
    std::size_t count = 0;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        try {
            stopIfOutOfMemory([&] { materials[count] = scheduledMaterial(w, rows[k]); });
            members[count] = NodeToAnalyse{rows[k], &materials[count], &scratch.scratch[k]};
            ++count;
        } catch (const FatalStop& stop) {
            recordStop(w, rows[k], stop);
        }
    }
    std::array<NodeOutcome, kNodesInTurns> outcomes;
    analyseNodesInTurns(w.run, std::span<const NodeToAnalyse>(members.data(), count),
                        std::span<NodeOutcome>(outcomes.data(), count));
    for (std::size_t k = 0; k < count; ++k) {
        if (outcomes[k].stop)
            recordStop(w, members[k].node, std::move(*outcomes[k].stop));
        else
            store(w, members[k].node, outcomes[k].result);
    }
}

// The first row from `row` on, before `end`, that is analysed here: nodes
// that write detail files are left out unless the slice writes them.
std::int64_t nextRowHere(const SliceState& w, std::int64_t row, std::int64_t end) {
    while (row < end && !w.slice.detailFiles && writesDetailFiles(w.run, row)) ++row;
    return row;
}

// One chunk of rows, alone or a group at a time.
void analyseChunk(SliceState& w, std::int64_t begin, std::int64_t end, WorkerScratch& scratch) {
    std::int64_t group[kNodesInTurns];
    for (std::int64_t row = nextRowHere(w, begin, end); row < end;
         row = nextRowHere(w, row + 1, end)) {
        const std::int64_t stopAt = w.stopAt.load(std::memory_order_relaxed);
        if (row >= stopAt) break;
        if (stopSignal() != 0) break;  // the calling thread stops the run after the loop
        if (!w.inTurns) {
            analyseOne(w, row, scratch.scratch[0]);
            continue;
        }
        std::size_t count = 1;
        group[0] = row;
        while (count < kNodesInTurns) {
            const std::int64_t next = nextRowHere(w, row + 1, end);
            if (next >= end || next >= stopAt) break;
            row = group[count++] = next;
        }
        analyseGroup(w, std::span<const std::int64_t>(group, count), scratch);
    }
}

// At least a group's worth, so that small jobs take their nodes in turns
// as large ones do.
std::int64_t chunkSize(std::int64_t nodes, int threads) {
    constexpr auto kLeast = static_cast<std::int64_t>(kNodesInTurns);
    return std::clamp<std::int64_t>(nodes / (std::int64_t{threads} * 64), kLeast, 1024);
}

}  // namespace

SliceOutcome emptyOutcome(const RunInputs& run, std::int64_t count) {
    SliceOutcome o;
    const auto n = static_cast<std::size_t>(count);
    if (nodeStressOf(run.input) != nullptr) {
        o.tables.nodeDamage.assign(n, 0.0);
        o.tables.lifeRepeats.assign(n, 0.0);
        o.tables.staticFailureCode.assign(n, StaticFailureCode::none);
    }
    o.unloaded.assign(n, 0);
    return o;
}

void placeOutcome(SliceOutcome& all, const SliceOutcome& part, std::int64_t first) {
    const auto at = static_cast<std::ptrdiff_t>(first);
    std::copy(part.unloaded.begin(), part.unloaded.end(), all.unloaded.begin() + at);
    const NodeTables& from = part.tables;
    NodeTables& to = all.tables;
    std::copy(from.nodeDamage.begin(), from.nodeDamage.end(), to.nodeDamage.begin() + at);
    std::copy(from.lifeRepeats.begin(), from.lifeRepeats.end(), to.lifeRepeats.begin() + at);
    std::copy(from.staticFailureCode.begin(), from.staticFailureCode.end(),
              to.staticFailureCode.begin() + at);
    all.singleHistory = part.singleHistory;
}

void keepFirstStop(SliceOutcome& into, std::int64_t node, FatalStop stop) {
    if (into.stop && into.stopNode <= node) return;
    into.stopNode = node;
    into.stop = std::move(stop);
}

SliceOutcome analyseSlice(const RunInputs& run, const NodeSlice& slice,
                          const NodeLoopOptions& options) {
    const std::int64_t count = slice.end - slice.begin;
    SliceOutcome outcome = emptyOutcome(run, count);
    const NodeStressTable* nodes = nodeStressOf(run.input);
    MaterialSchedule schedule;
    if (run.parameters.materialsMode == MaterialsMode::multiple && nodes != nullptr)
        schedule = scheduleMaterials(
            std::span<const NodeEntry>(nodes->nodes).subspan(static_cast<std::size_t>(slice.begin),
                                                             static_cast<std::size_t>(count)),
            run.materials, slice.carriedIn);
    // Detail files are written in node order, on this thread.
    const int threads = slice.detailFiles ? 1
                                          : static_cast<int>(std::clamp<std::int64_t>(
                                                options.threads, 1, std::max<std::int64_t>(count, 1)));
    // No node after one that stops the run for its material matters.
    const std::int64_t stopAt = schedule.failingNode >= 0 ? slice.begin + schedule.failingNode + 1
                                                          : std::numeric_limits<std::int64_t>::max();
    const bool inTurns = !options.checkOnly && !slice.detailFiles && takesNodesInTurns(run);
    SliceState work{run, slice, schedule, options.checkOnly, inTurns, outcome, {stopAt}, {}};
    std::vector<WorkerScratch> scratch(static_cast<std::size_t>(threads));
    forEachChunk(count, chunkSize(count, threads), threads,
                 [&](std::int64_t begin, std::int64_t end, int worker) {
                     analyseChunk(work, slice.begin + begin, slice.begin + end,
                                  scratch[static_cast<std::size_t>(worker)]);
                 });
    stopIfInterrupted();
    return outcome;
}

bool writesDetailFiles(const RunInputs& run, std::int64_t row) {
    const NodeStressTable* nodes = nodeStressOf(run.input);
    return nodes == nullptr || (!run.detailFilesAfterLoop &&
                                nodes->nodes[row].nodeId == run.parameters.completeOutputNode);
}

std::string nodeText(const RunInputs& run, std::int64_t row, std::int64_t firstModelNode,
                     std::int64_t modelNodeCount) {
    const NodeStressTable* nodes = nodeStressOf(run.input);
    if (nodes == nullptr) return "the stress history (node ID 1)";
    const NodeEntry& entry = nodes->nodes[row];
    std::string text = "node ID " + std::to_string(entry.nodeId) + " (node index " +
                       std::to_string(firstModelNode + row + 1) + " of " +
                       std::to_string(modelNodeCount);
    if (run.parameters.materialsMode == MaterialsMode::multiple)
        text += ", material ID " + std::to_string(entry.nodeMaterialId);
    return text + ")";
}

}  // namespace korvanel
