#include "run/detail_node.hpp"

#include "output/node_damage_files.hpp"
#include "run/node_order.hpp"
#include "run/output_probe.hpp"

namespace korvanel {

void applyDetailNodeId(RunInputs& run, const DetailNodeChoice& choice) {
    if (choice.kind == DetailNodeChoice::Kind::nodeId &&
        run.parameters.stressInputFormat != StressInputFormat::singleHistory)
        run.parameters.completeOutputNode = choice.nodeId;
}

// Without any node there is no worst one: the run is as without the choice.
bool detailNodeAfterLoop(const RunInputs& run, const DetailNodeChoice& choice) {
    return choice.kind == DetailNodeChoice::Kind::worst && nodeStressOf(run.input) != nullptr &&
           nodeCountOf(run) > 0;
}

void writeWorstNodeDetails(RunInputs& run, const NodeTables& tables, ProcessGroup& group,
                           const NodeLoopOptions& options) {
    const std::int64_t most = mostDamagedNode(tables.nodeDamage);
    const NodeStressTable* nodes = nodeStressOf(run.input);
    if (most < 0 || nodes == nullptr) return;
    const std::int64_t id = nodes->nodes[static_cast<std::size_t>(most)].nodeId;
    run.parameters.completeOutputNode = id;
    run.detailFilesAfterLoop = false;
    run.completeOutputNodeFound = true;
    for (std::int64_t n = 0; n < nodes->nodeCount; ++n)
        if (nodes->nodes[static_cast<std::size_t>(n)].nodeId == id) run.completeOutputIndex = n + 1;
    keepDetailNodesOn(group, run);
    analyseDetailNodesAgain(run, group, options);
}

void probeDetailFiles(const RunInputs& run) {
    probeOutputFile(jobFilePath(run.job, ".cyc"));
    if (isOn(run.parameters.elastoPlastic) &&
        run.parameters.stressInputFormat == StressInputFormat::nodeCombination)
        probeOutputFile(jobFilePath(run.job, ".sep"));
}

std::string detailNodeLine(const RunInputs& run, const DetailNodeChoice& choice) {
    if (choice.kind == DetailNodeChoice::Kind::parameterFile || nodeStressOf(run.input) == nullptr)
        return {};
    const std::string id = std::to_string(run.parameters.completeOutputNode);
    if (choice.kind == DetailNodeChoice::Kind::worst) {
        if (nodeCountOf(run) == 0) return {};
        return "Detail files (.cyc, .sep) of node " + id +
               ", the node of max damage (--detail-node worst)";
    }
    return "Detail files (.cyc, .sep) of node " + id + " (--detail-node " + id + ")";
}

}  // namespace korvanel
