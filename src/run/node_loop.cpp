#include "run/node_loop.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <limits>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <stdexcept>

#include "input/material_selection.hpp"
#include "base/fatal_stop.hpp"
#include "base/helper_threads.hpp"
#include "base/signal_guard.hpp"
#include "run/job_location.hpp"
#include "run/material_schedule.hpp"
#include "run/node_analysis.hpp"
#include "run/progress_display.hpp"

namespace korvanel {
namespace {

enum class NodeState : unsigned char { pending, done, failed, deferred };

// What the worker threads share while the loop runs.
struct LoopState {
    std::atomic<std::int64_t> nextNode{0};
    std::atomic<std::int64_t> completed{0};
    // Nodes from here on need no analysis: an earlier node stops the run.
    std::atomic<std::int64_t> stopAt{std::numeric_limits<std::int64_t>::max()};
    std::mutex failureMutex;
    std::int64_t failureNode = std::numeric_limits<std::int64_t>::max();
    std::optional<FatalStop> failure;
};

struct LoopContext {
    const RunInputs& run;
    const MaterialSchedule& schedule;
    NodeTables& tables;
    std::vector<NodeState>& states;
    std::vector<unsigned char>& unloaded;  // per node, written by the thread that has it
    LoopState& shared;
    std::int64_t chunk;
    bool checkOnly;
    bool detailFiles;             // nodes with detail files are left for the ordered pass
    std::int64_t firstNode;       // these nodes' place in the whole model
    std::int64_t modelNodeCount;
};

// Every node with the complete-output ID writes the detail files, not only
// the one findCompleteOutputNode keeps: in node order, the last one's stay.
bool writesDetailFiles(const RunInputs& run, std::int64_t node) {
    if (run.parameters.stressInputFormat == StressInputFormat::singleHistory) return true;
    return run.nodeStress.nodes[node].nodeId == run.parameters.completeOutputNode;
}

// "node ID 20 (node index 2 of 3, material ID 1)", or the stress history of
// format 1. `node` indexes the nodes of `run`, the first of which is node
// `firstNode` of a model of `modelNodeCount` nodes.
std::string nodeText(const RunInputs& run, std::int64_t node, std::int64_t firstNode,
                     std::int64_t modelNodeCount) {
    if (run.parameters.stressInputFormat == StressInputFormat::singleHistory)
        return "the stress history (node ID 1)";
    const NodeEntry& entry = run.nodeStress.nodes[node];
    std::string text = "node ID " + std::to_string(entry.nodeId) + " (node index " +
                       std::to_string(firstNode + node + 1) + " of " +
                       std::to_string(modelNodeCount);
    if (run.parameters.materialsMode == MaterialsMode::multiple)
        text += ", material ID " + std::to_string(entry.nodeMaterialId);
    return text + ")";
}

// Puts the node in front of the stop's cause (or makes it the only detail).
void addNodeToStop(FatalStop& stop, const LoopContext& c, std::int64_t node) {
    const std::string where = "at " + nodeText(c.run, node, c.firstNode, c.modelNodeCount);
    if (stop.details.empty())
        stop.details.push_back(where);
    else
        stop.details.front() = where + ": " + stop.details.front();
}

// The material values in effect at a node.
MaterialValues scheduledMaterial(const LoopContext& c, std::int64_t node) {
    const RunInputs& run = c.run;
    if (node == c.schedule.failingNode) {
        // The node's material records hold an unusable curve type:
        // selecting them raises the stop.
        MaterialValues values = run.parameters.material;
        selectMaterial(run.nodeStress.nodes[node].nodeMaterialId, run.materials,
                       run.parameters.stressInputFormat == StressInputFormat::blockSpectrum,
                       values);
    }
    return materialAt(c.schedule, node, run.parameters.material, run.materials);
}

NodeResult analyseScheduledNode(const LoopContext& c, std::int64_t node, bool detailFiles,
                                NodeScratch& scratch) {
    const RunInputs& run = c.run;
    try {
        const MaterialValues material = scheduledMaterial(c, node);
        if (c.checkOnly) return checkNode(run, node, material, detailFiles, scratch);
        return analyseNode(run, node, material, detailFiles, scratch);
    } catch (FatalStop& stop) {
        addNodeToStop(stop, c, node);
        throw;
    }
}

void store(const LoopContext& c, NodeLoopOutcome& outcome, std::int64_t node, const NodeResult& r) {
    c.unloaded[node] = r.unloaded;
    if (c.run.parameters.stressInputFormat == StressInputFormat::singleHistory) {
        outcome.singleHistory = r.singleHistory;
        return;
    }
    c.tables.nodeDamage[node] = r.nodeDamage;
    c.tables.lifeRepeats[node] = r.lifeRepeats;
    c.tables.staticFailureCode[node] = r.staticFailureCode;
}

void recordFailure(LoopState& shared, std::int64_t node, FatalStop stop) {
    std::lock_guard<std::mutex> lock(shared.failureMutex);
    if (node >= shared.failureNode) return;
    shared.failureNode = node;
    shared.failure = std::move(stop);
    shared.stopAt.store(node, std::memory_order_relaxed);
}

void noteFailure(const LoopContext& c, std::int64_t node, const FatalStop& stop) {
    recordFailure(c.shared, node, stop);
    c.states[node] = NodeState::failed;
}

void analyseOne(const LoopContext& c, NodeLoopOutcome& outcome, std::int64_t node,
                NodeScratch& scratch) {
    try {
        stopIfOutOfMemory([&] { store(c, outcome, node, analyseScheduledNode(c, node, false, scratch)); });
        c.states[node] = NodeState::done;
    } catch (const FatalStop& stop) {
        noteFailure(c, node, stop);
    }
}

// Nodes analysed together, their extractions walked in turns, and the
// work tables of each place in the group.
constexpr std::size_t kNodesInTurns = 2;  // three or four ran slower than two
static_assert(kNodesInTurns <= kMaxPathsInTurns);
struct NodeGroup {
    std::int64_t node[kNodesInTurns] = {};
    std::size_t count = 0;
    NodeScratch* scratch[kNodesInTurns] = {};
};

// A group of nodes with their extractions walked in turns; a node whose
// material cannot be had stops, and the others go on without it.
void analyseGroup(const LoopContext& c, NodeLoopOutcome& outcome, const NodeGroup& group) {
    MaterialValues materials[kNodesInTurns];
    std::array<NodeToAnalyse, kNodesInTurns> members;
    std::size_t count = 0;
    for (std::size_t k = 0; k < group.count; ++k) {
        const std::int64_t node = group.node[k];
        try {
            stopIfOutOfMemory([&] { materials[count] = scheduledMaterial(c, node); });
            members[count] = NodeToAnalyse{node, &materials[count], group.scratch[k]};
            ++count;
        } catch (FatalStop& stop) {
            addNodeToStop(stop, c, node);
            noteFailure(c, node, stop);
        }
    }
    std::array<NodeOutcome, kNodesInTurns> outcomes;
    analyseNodesInTurns(c.run, std::span<const NodeToAnalyse>(members.data(), count),
                        std::span<NodeOutcome>(outcomes.data(), count));
    for (std::size_t k = 0; k < count; ++k) {
        const std::int64_t node = members[k].node;
        if (outcomes[k].stop) {
            addNodeToStop(*outcomes[k].stop, c, node);
            noteFailure(c, node, *outcomes[k].stop);
        } else {
            store(c, outcome, node, outcomes[k].result);
            c.states[node] = NodeState::done;
        }
    }
}

// The first node from `node` on, before `end`, that is analysed here: nodes
// that write detail files are marked for the ordered pass and passed over.
std::int64_t nextNodeHere(const LoopContext& c, std::int64_t node, std::int64_t end) {
    while (node < end && c.detailFiles && writesDetailFiles(c.run, node)) {
        c.states[node] = NodeState::deferred;
        ++node;
    }
    return node;
}

// Analyses nodes chunk by chunk until none is left. Nodes that write
// detail files are left for the ordered pass. In format 2 the nodes go two
// at a time, their extractions walked in turns (analyseNodesInTurns).
void analyseChunks(const LoopContext& c, NodeLoopOutcome& outcome, NodeScratch& scratch,
                   ProgressDisplay* progress) {
    const std::int64_t total = c.run.nodeCount;
    const bool inTurns = !c.checkOnly && c.run.parameters.stressInputFormat ==
                                             StressInputFormat::nodeCombination;
    NodeScratch otherScratch[kNodesInTurns - 1];
    NodeGroup group;
    group.scratch[0] = &scratch;
    for (std::size_t k = 1; k < kNodesInTurns; ++k) group.scratch[k] = &otherScratch[k - 1];
    for (;;) {
        std::int64_t begin = c.shared.nextNode.fetch_add(c.chunk, std::memory_order_relaxed);
        if (begin >= total) break;
        std::int64_t end = std::min(total, begin + c.chunk);
        for (std::int64_t node = begin; node < end; ++node) {
            node = nextNodeHere(c, node, end);
            const std::int64_t stopAt = c.shared.stopAt.load(std::memory_order_relaxed);
            if (node >= end || node >= stopAt) break;
            if (stopSignal() != 0) break;  // the main thread stops the run after the loop
            if (!inTurns) {
                analyseOne(c, outcome, node, scratch);
                continue;
            }
            group.node[0] = node;
            group.count = 1;
            while (group.count < kNodesInTurns) {
                const std::int64_t next = nextNodeHere(c, node + 1, end);
                if (next >= end || next >= stopAt) break;
                node = next;
                group.node[group.count++] = node;
            }
            analyseGroup(c, outcome, group);
        }
        std::int64_t done = c.shared.completed.fetch_add(end - begin) + (end - begin);
        if (progress != nullptr) updateProgress(*progress, done, total);
    }
}

// At least a group's worth, so that small jobs take their nodes in turns
// as large ones do.
std::int64_t chunkSize(std::int64_t nodes, int threads) {
    constexpr auto kLeast = static_cast<std::int64_t>(kNodesInTurns);
    return std::clamp<std::int64_t>(nodes / (std::int64_t{threads} * 64), kLeast, 1024);
}

}  // namespace

NodeLoopOutcome runNodeLoop(const RunInputs& run, const NodeLoopOptions& options,
                            InputWarnings& warnings) {
    NodeLoopRun loop = runNodeLoopFrom(run, options, NodeRange{}, &warnings);
    if (loop.stop) {
        reportUnloadedNodes(run, loop.unloaded, loop.stopNode, warnings);
        throw std::move(*loop.stop);
    }
    loop.outcome.unloadedNodeCount =
        reportUnloadedNodes(run, loop.unloaded, run.nodeCount, warnings);
    return std::move(loop.outcome);
}

NodeLoopRun runNodeLoopFrom(const RunInputs& run, const NodeLoopOptions& options,
                            const NodeRange& range, InputWarnings* warnings) {
    int threads = options.threads;
    const AnalysisParameters& p = run.parameters;
    const std::int64_t nodeCount = run.nodeCount;
    NodeLoopRun loop;
    NodeLoopOutcome& outcome = loop.outcome;
    const bool modelNodes = p.stressInputFormat != StressInputFormat::singleHistory;
    if (modelNodes) {
        outcome.tables.nodeDamage.assign(nodeCount, 0.0);
        outcome.tables.lifeRepeats.assign(nodeCount, 0.0);
        outcome.tables.staticFailureCode.assign(nodeCount, StaticFailureCode::none);
    }
    MaterialSchedule schedule;
    if (p.materialsMode == MaterialsMode::multiple && modelNodes) {
        schedule = scheduleMaterials(run.nodeStress.nodes, run.materials, range.carriedIn);
        if (warnings != nullptr)
            warnAboutMaterials(schedule.withoutRecord, run.nodeStress.nodes, run.materials,
                               jobFilePath(run.job, ".mtr"), *warnings);
    }

    std::vector<NodeState> states(nodeCount, NodeState::pending);
    std::vector<unsigned char>& unloaded = loop.unloaded;
    unloaded.assign(nodeCount, 0);
    LoopState shared;
    if (schedule.failingNode >= 0) shared.stopAt = schedule.failingNode + 1;  // no node after it matters
    threads = static_cast<int>(std::clamp<std::int64_t>(threads, 1, std::max<std::int64_t>(nodeCount, 1)));
    const std::int64_t modelNodeCount = range.modelNodeCount < 0 ? nodeCount : range.modelNodeCount;
    LoopContext context{run,
                        schedule,
                        outcome.tables,
                        states,
                        unloaded,
                        shared,
                        chunkSize(nodeCount, threads),
                        options.checkOnly,
                        range.detailFiles,
                        range.firstNode,
                        modelNodeCount};
    ProgressDisplay progress = startProgress(nodeCount);

    NodeScratch mainScratch;
    {
        auto stopAll = [&shared]() noexcept { shared.stopAt.store(0); };
        HelperThreads<decltype(stopAll)> helpers(stopAll);
        helpers.start(threads - 1, [&context, &outcome] {
            NodeScratch scratch;
            analyseChunks(context, outcome, scratch, nullptr);
        });
        analyseChunks(context, outcome, mainScratch, &progress);
        helpers.joinAll();
    }
    finishProgress(progress);
    stopIfInterrupted();

    // In node order: the nodes with detail files, and the first stop.
    // An interruption is thrown.
    for (std::int64_t node = 0; node < nodeCount; ++node) {
        stopIfInterrupted();
        try {
            if (node == shared.failureNode) throw *shared.failure;
            if (states[node] == NodeState::deferred)
                store(context, outcome, node, analyseScheduledNode(context, node, true, mainScratch));
        } catch (const FatalStop& stop) {
            loop.stopNode = node;
            loop.stop = stop;
            return loop;
        }
    }
    if (modelNodes)
        for (StaticFailureCode code : outcome.tables.staticFailureCode)
            if (code != StaticFailureCode::none) outcome.staticFailureAtSomeNode = true;
    return loop;
}

std::int64_t reportUnloadedNodes(const RunInputs& run, const std::vector<unsigned char>& unloaded,
                                 std::int64_t end, InputWarnings& warnings) {
    std::int64_t count = 0;
    for (std::int64_t node = 0; node < end; ++node) {
        if (!unloaded[node]) continue;
        ++count;
        warn(warnings, WarningKind::unloadedNode, [&] {
            return nodeText(run, node, 0, run.nodeCount) +
                   ": the stress path is constant within 0.0001 (an unloaded node): damage 1e-18, "
                   "life 1e18 repeats, static failure code 0";
        });
    }
    return count;
}

}  // namespace korvanel
