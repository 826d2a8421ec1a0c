#include "run/node_order.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "base/signal_guard.hpp"
#include "run/job_location.hpp"
#include "run/material_schedule.hpp"

namespace korvanel {
namespace {

// Lists the nodes flagged unloaded before `end` in node order as warnings
// and returns their count.
std::int64_t reportUnloadedNodes(const RunInputs& run, const std::vector<unsigned char>& unloaded,
                                 std::int64_t end, InputWarnings& warnings) {
    std::int64_t count = 0;
    for (std::int64_t node = 0; node < end; ++node) {
        if (unloaded[static_cast<std::size_t>(node)] != kUnloadedNode) continue;
        ++count;
        warn(warnings, WarningKind::unloadedNode, [&] {
            return nodeText(run, node, 0, nodeCountOf(run)) +
                   ": the stress path is constant within 0.0001 (an unloaded node): damage 1e-18, "
                   "life 1e18 repeats, static failure code 0";
        });
    }
    return count;
}

// The nodes that write detail files, in node order, and the material in
// effect before each.
std::pair<std::vector<std::int64_t>, std::vector<MaterialCarry>> detailNodesOf(const RunInputs& run) {
    const NodeStressTable* nodes = nodeStressOf(run.input);
    std::vector<std::int64_t> detailNodes;
    for (std::int64_t node = 0; node < nodeCountOf(run); ++node)
        if (writesDetailFiles(run, node)) detailNodes.push_back(node);
    std::vector<MaterialCarry> carries(detailNodes.size());
    if (run.parameters.materialsMode == MaterialsMode::multiple && nodes != nullptr)
        carries = carriesBefore(nodes->nodes, run.materials, detailNodes).before;
    return {std::move(detailNodes), std::move(carries)};
}

}  // namespace

std::vector<std::int64_t> evenSlices(std::int64_t nodeCount, int slices) {
    std::vector<std::int64_t> first(static_cast<std::size_t>(slices), 0);
    if (nodeCount <= 0) return first;
    for (int r = 0; r < slices; ++r)
        first[static_cast<std::size_t>(r)] =
            static_cast<std::int64_t>(static_cast<__int128>(nodeCount) * r / slices);
    return first;
}

SliceOutcome analyseSlicesHere(const RunInputs& run, const std::vector<std::int64_t>& sliceFirst,
                               const std::vector<SliceWork>& work, const NodeLoopOptions& options) {
    const std::int64_t nodeCount = nodeCountOf(run);
    const auto slice = [&](std::size_t r) {
        const std::int64_t end = r + 1 < sliceFirst.size() ? sliceFirst[r + 1] : nodeCount;
        return NodeSlice{sliceFirst[r], end, 0, nodeCount, work[r].carriedIn, false};
    };
    if (sliceFirst.size() == 1) return analyseSlice(run, slice(0), options);
    SliceOutcome all = emptyOutcome(run, nodeCount);
    for (std::size_t r = 0; r < sliceFirst.size() && !all.stop; ++r) {
        if (!work[r].analyse) continue;
        SliceOutcome part = analyseSlice(run, slice(r), options);
        placeOutcome(all, part, sliceFirst[r]);
        if (part.stop) keepFirstStop(all, part.stopNode, std::move(*part.stop));
    }
    return all;
}

SliceOutcome analyseDetailNodeHere(const RunInputs& run, std::int64_t node,
                                   const MaterialCarry& carriedIn, const NodeLoopOptions& options) {
    return analyseSlice(run, NodeSlice{node, node + 1, 0, nodeCountOf(run), carriedIn, true},
                        options);
}

void analyseDetailNodesAgain(const RunInputs& run, const ProcessGroup& group,
                             const NodeLoopOptions& options) {
    const auto [detailNodes, carries] = detailNodesOf(run);
    for (std::size_t i = 0; i < detailNodes.size(); ++i) {
        stopIfInterrupted();
        SliceOutcome one = analyseDetailNodeOn(group, run, i, detailNodes[i], carries[i], options);
        if (one.stop) throw std::move(*one.stop);
    }
}

NodeLoopOutcome runNodeLoop(const RunInputs& run, const NodeLoopOptions& options,
                            ProcessGroup& group, InputWarnings& warnings) {
    const std::int64_t nodeCount = nodeCountOf(run);
    const NodeStressTable* nodes = nodeStressOf(run.input);
    const std::vector<std::int64_t> sliceFirst = evenSlices(nodeCount, nodes == nullptr ? 1 : group.size);
    const auto [detailNodes, detailCarries] = detailNodesOf(run);

    std::vector<SliceWork> work(sliceFirst.size());
    if (run.parameters.materialsMode == MaterialsMode::multiple && nodes != nullptr) {
        const MaterialCarries atSlices = carriesBefore(nodes->nodes, run.materials, sliceFirst);
        for (std::size_t r = 0; r < work.size(); ++r) {
            work[r].carriedIn = atSlices.before[r];
            // Slices after the node that stops the run for its material are not analysed.
            work[r].analyse = atSlices.failingNode < 0 || sliceFirst[r] <= atSlices.failingNode;
        }
        warnAboutMaterials(atSlices.withoutRecord, nodes->nodes, run.materials,
                           jobFilePath(run.job, ".mtr"), warnings);
    }

    SliceOutcome all = analyseSlicesOn(group, run, sliceFirst, work, options);
    // A signal to any process ends the run here: no detail file is written
    // after it, whatever stop a node met.
    if (all.stop && isInterruption(*all.stop)) throw std::move(*all.stop);
    stopIfInterrupted();
    for (std::size_t i = 0; i < detailNodes.size(); ++i) {
        const std::int64_t node = detailNodes[i];
        if (all.stop && node > all.stopNode) break;
        stopIfInterrupted();
        SliceOutcome one = analyseDetailNodeOn(group, run, i, node, detailCarries[i], options);
        if (one.stop) {
            keepFirstStop(all, one.stopNode, std::move(*one.stop));
            break;
        }
        placeOutcome(all, one, node);
    }
    if (all.stop) {
        reportUnloadedNodes(run, all.unloaded, all.stopNode, warnings);
        throw std::move(*all.stop);
    }

    NodeLoopOutcome outcome;
    outcome.unloadedNodeCount = reportUnloadedNodes(run, all.unloaded, nodeCount, warnings);
    // The detail nodes' flags are those of their own analysis, which the
    // screen never passes.
    outcome.screenedNodeCount = std::count(all.unloaded.begin(), all.unloaded.end(), kScreenedNode);
    outcome.tables = std::move(all.tables);
    outcome.singleHistory = all.singleHistory;
    for (StaticFailureCode code : outcome.tables.staticFailureCode)
        if (code != StaticFailureCode::none) outcome.staticFailureAtSomeNode = true;
    return outcome;
}

}  // namespace korvanel
