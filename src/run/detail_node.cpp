#include "run/detail_node.hpp"

#include "base/signal_guard.hpp"
#include "output/node_damage_files.hpp"
#include "run/material_schedule.hpp"
#include "run/node_analysis.hpp"
#include "run/output_probe.hpp"

namespace korvanel {
namespace {

bool nodeStressRun(const RunInputs& run) {
    return run.parameters.stressInputFormat != StressInputFormat::singleHistory;
}

}  // namespace

void applyDetailNodeId(RunInputs& run, const DetailNodeChoice& choice) {
    if (choice.kind == DetailNodeChoice::Kind::nodeId && nodeStressRun(run))
        run.parameters.completeOutputNode = choice.nodeId;
}

// Without any node there is no worst one: the run is as without the choice.
bool detailNodeAfterLoop(const RunInputs& run, const DetailNodeChoice& choice) {
    return choice.kind == DetailNodeChoice::Kind::worst && nodeStressRun(run) && run.nodeCount > 0;
}

void writeWorstNodeDetails(RunInputs& run, const NodeTables& tables,
                           const std::function<bool()>& analyseElsewhere) {
    const std::int64_t most = mostDamagedNode(tables.nodeDamage);
    if (most < 0) return;
    const std::vector<NodeEntry>& nodes = run.nodeStress.nodes;
    const std::int64_t id = nodes[static_cast<std::size_t>(most)].nodeId;
    run.parameters.completeOutputNode = id;
    run.completeOutputNodeFound = true;
    for (std::int64_t n = 0; n < run.nodeCount; ++n)
        if (nodes[static_cast<std::size_t>(n)].nodeId == id) run.completeOutputIndex = n + 1;
    if (analyseElsewhere()) return;
    MaterialSchedule schedule;  // empty: the parameter file's material at every node
    if (run.parameters.materialsMode == MaterialsMode::multiple)
        schedule = scheduleMaterials(nodes, run.materials);
    NodeScratch scratch;
    for (std::int64_t n = 0; n < run.nodeCount; ++n) {
        if (nodes[static_cast<std::size_t>(n)].nodeId != id) continue;
        stopIfInterrupted();
        const MaterialValues material =
            materialAt(schedule, n, run.parameters.material, run.materials);
        analyseNode(run, n, material, true, scratch);
    }
}

void probeDetailFiles(const RunInputs& run) {
    probeOutputFile(jobFilePath(run.job, ".cyc"));
    if (isOn(run.parameters.elastoPlastic) &&
        run.parameters.stressInputFormat == StressInputFormat::nodeCombination)
        probeOutputFile(jobFilePath(run.job, ".sep"));
}

std::string detailNodeLine(const RunInputs& run, const DetailNodeChoice& choice) {
    if (choice.kind == DetailNodeChoice::Kind::parameterFile || !nodeStressRun(run)) return {};
    if (choice.kind == DetailNodeChoice::Kind::worst && !detailNodeAfterLoop(run, choice)) return {};
    const std::string id = std::to_string(run.parameters.completeOutputNode);
    if (choice.kind == DetailNodeChoice::Kind::worst)
        return "Detail files (.cyc, .sep) of node " + id +
               ", the node of max damage (--detail-node worst)";
    return "Detail files (.cyc, .sep) of node " + id + " (--detail-node " + id + ")";
}

}  // namespace korvanel
