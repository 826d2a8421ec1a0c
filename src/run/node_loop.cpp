#include "run/node_loop.hpp"

#include <algorithm>
#include <atomic>
#include <limits>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "input/material_selection.hpp"
#include "base/fatal_stop.hpp"
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
    LoopState& shared;
    std::int64_t chunk;
    bool detailFiles;  // nodes with detail files are left for the ordered pass
};

bool writesDetailFiles(const RunInputs& run, std::int64_t node) {
    if (run.parameters.stressInputFormat == StressInputFormat::singleHistory) return true;
    return run.nodeStress.nodes[node].nodeId == run.parameters.completeOutputNode;
}

NodeResult analyseScheduledNode(const LoopContext& c, std::int64_t node, bool detailFiles,
                                NodeScratch& scratch) {
    const RunInputs& run = c.run;
    if (node == c.schedule.failingNode) {
        // The node's material records hold an unusable curve type: selecting
        // them raises the stop.
        MaterialValues values = run.parameters.material;
        selectMaterial(run.nodeStress.nodes[node].nodeMaterialId, run.materials,
                       run.parameters.stressInputFormat == StressInputFormat::blockSpectrum, values);
    }
    const MaterialValues material =
        materialAt(c.schedule, node, run.parameters.material, run.materials);
    return analyseNode(run, node, material, detailFiles, scratch);
}

void store(const LoopContext& c, NodeLoopOutcome& outcome, std::int64_t node, const NodeResult& r) {
    if (c.run.parameters.stressInputFormat == StressInputFormat::singleHistory) {
        outcome.totalDamage = r.totalDamage;
        outcome.lastStaticType = r.lastStaticType;
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

// Analyses nodes chunk by chunk until none is left. Nodes that write
// detail files are left for the ordered pass.
void analyseChunks(const LoopContext& c, NodeLoopOutcome& outcome, NodeScratch& scratch,
                   ProgressDisplay* progress) {
    const std::int64_t total = c.run.nodeCount;
    for (;;) {
        std::int64_t begin = c.shared.nextNode.fetch_add(c.chunk, std::memory_order_relaxed);
        if (begin >= total) break;
        std::int64_t end = std::min(total, begin + c.chunk);
        for (std::int64_t node = begin; node < end; ++node) {
            if (node >= c.shared.stopAt.load(std::memory_order_relaxed)) break;
            if (c.detailFiles && writesDetailFiles(c.run, node)) {
                c.states[node] = NodeState::deferred;
                continue;
            }
            try {
                stopIfOutOfMemory([&] {
                    store(c, outcome, node, analyseScheduledNode(c, node, false, scratch));
                });
                c.states[node] = NodeState::done;
            } catch (const FatalStop& stop) {
                recordFailure(c.shared, node, stop);
                c.states[node] = NodeState::failed;
            }
        }
        std::int64_t done = c.shared.completed.fetch_add(end - begin) + (end - begin);
        if (progress != nullptr) updateProgress(*progress, done, total);
    }
}

std::int64_t chunkSize(std::int64_t nodes, int threads) {
    return std::clamp<std::int64_t>(nodes / (std::int64_t{threads} * 64), 1, 1024);
}

}  // namespace

NodeLoopOutcome runNodeLoop(const RunInputs& run, int threads) {
    NodeLoopRun loop = runNodeLoopFrom(run, threads, MaterialCarry{}, true);
    if (loop.stop) throw std::move(*loop.stop);
    return std::move(loop.outcome);
}

NodeLoopRun runNodeLoopFrom(const RunInputs& run, int threads, const MaterialCarry& carriedIn,
                            bool detailFiles) {
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
    if (p.materialsMode == MaterialsMode::multiple && modelNodes)
        schedule = scheduleMaterials(run.nodeStress.nodes, run.materials, carriedIn);

    std::vector<NodeState> states(nodeCount, NodeState::pending);
    LoopState shared;
    if (schedule.failingNode >= 0) shared.stopAt = schedule.failingNode + 1;  // no node after it matters
    threads = static_cast<int>(std::clamp<std::int64_t>(threads, 1, std::max<std::int64_t>(nodeCount, 1)));
    const std::int64_t chunk = chunkSize(nodeCount, threads);
    LoopContext context{run, schedule, outcome.tables, states, shared, chunk, detailFiles};
    ProgressDisplay progress = startProgress(nodeCount);

    NodeScratch mainScratch;
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back([&context, &outcome] {
                NodeScratch scratch;
                analyseChunks(context, outcome, scratch, nullptr);
            });
        } catch (const std::system_error&) {
            break;  // fewer threads: the same results, only slower
        }
    }
    analyseChunks(context, outcome, mainScratch, &progress);
    for (auto& helper : helpers) helper.join();
    finishProgress(progress);

    // In node order: the nodes with detail files, and the first stop.
    for (std::int64_t node = 0; node < nodeCount; ++node) {
        if (node == shared.failureNode) {
            loop.stopNode = node;
            loop.stop = std::move(shared.failure);
            return loop;
        }
        if (states[node] != NodeState::deferred) continue;
        try {
            stopIfOutOfMemory([&] {
                store(context, outcome, node, analyseScheduledNode(context, node, true, mainScratch));
            });
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

}  // namespace korvanel
