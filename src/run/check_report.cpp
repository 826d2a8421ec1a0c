#include "run/check_report.hpp"

#include <iterator>
#include <string>
#include <unordered_set>
#include <variant>
#include <vector>

#include "run/job_location.hpp"

namespace korvanel {
namespace {

constexpr std::size_t kMaterialIdsListed = 20;

// One line of the report: the item, padded to the third print zone, then the value.
void item(OutputChannel& console, const char* name, const std::string& value) {
    putText(console, name);
    putZone(console);
    if (console.column() < 28) putZone(console);
    putTextLine(console, value);
}

std::string count(std::int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The material IDs of the nodes in order of first use, each with its
// records in the material file or "no record".
std::string materialsUsed(const RunInputs& run, const NodeStressTable& nodes) {
    std::vector<std::int64_t> ids;
    std::unordered_set<std::int64_t> seen;
    for (const NodeEntry& node : nodes.nodes)
        if (seen.insert(node.nodeMaterialId).second) ids.push_back(node.nodeMaterialId);
    std::string text;
    for (std::size_t i = 0; i < ids.size() && i < kMaterialIdsListed; ++i) {
        std::string records;
        int matching = 0;
        for (std::size_t r = 0; r < run.materials.size(); ++r)
            if (run.materials[r].materialId == ids[i])
                records += (matching++ == 0 ? "" : ", ") + std::to_string(r + 1);
        text += (i == 0 ? "" : "; ") + std::string("ID ") + std::to_string(ids[i]) +
                (matching == 0   ? " (no record)"
                 : matching == 1 ? " (record " + records + ")"
                                 : " (records " + records + ")");
    }
    if (ids.size() > kMaterialIdsListed)
        text += "; and " + std::to_string(ids.size() - kMaterialIdsListed) + " more";
    return text;
}

// "<count> in <job file with `extension`>".
std::string countIn(const RunInputs& run, std::int64_t n, const char* extension) {
    return std::to_string(n) + " in " + jobFilePath(run.job, extension);
}

}  // namespace

void printCheckReport(OutputChannel& console, const RunInputs& run, const CheckFindings& found) {
    const AnalysisParameters& p = run.parameters;
    putText(console, "Check of the job: every input file was read and checked; nothing was "
                     "analysed and no file was written");
    putLineEnd(console);
    item(console, "Stress-input format",
         std::to_string(fileNumber(p.stressInputFormat)) + " (" + toString(p.stressInputFormat) +
             ")");
    // What was read of the job's kind of stress input.
    const NodeStressTable* nodes = nodeStressOf(run.input);
    if (nodes != nullptr) {
        item(console, "Nodes", countIn(run, nodes->nodeCount, ".nds"));
        item(console, "Load cases", std::to_string(p.loadCaseCount));
    }
    if (const auto* in = std::get_if<SingleHistoryInput>(&run.input))
        item(console, "Time points", countIn(run, std::ssize(in->history.states), ".sig"));
    if (const auto* in = std::get_if<CombinationInput>(&run.input))
        item(console, "Time points", countIn(run, in->combination.timePointCount, ".cmb"));
    if (const auto* in = std::get_if<SpectrumInput>(&run.input))
        item(console, "Blocks", countIn(run, in->spectrum.blockCount, ".blc"));
    if (p.blocksDamageType == BlocksDamageType::worstGroup)
        item(console, "Block groups", countIn(run, std::ssize(run.blockGroups), ".btf"));
    if (p.materialsMode == MaterialsMode::multiple && nodes != nullptr) {
        item(console, "Materials",
             count(static_cast<std::int64_t>(run.materials.size()), "record", "records") + " in " +
                 jobFilePath(run.job, ".mtr"));
        item(console, "Material IDs used", nodes->nodeCount == 0 ? "none" : materialsUsed(run, *nodes));
    } else {
        item(console, "Materials", "one, from the parameter file");
    }
    if (nodes != nullptr)
        item(console, "Complete-output node",
             std::to_string(p.completeOutputNode) +
                 (run.completeOutputNodeFound
                      ? " at node index " + std::to_string(run.completeOutputIndex)
                      : std::string(" not found among the node IDs")));
    if (run.allowUnloadedNodes && std::holds_alternative<CombinationInput>(run.input))
        item(console, "Unloaded nodes", std::to_string(found.unloadedNodes) + " (no damage)");
    item(console, "Warnings",
         std::to_string(found.warnings) + (found.warnings == 0 ? "" : " (on standard error)"));
    putText(console, "The job would run. Not checked: the stops that only the half-cycle analysis "
                     "and the elasto-plastic correction can find (a damage that is not a number, "
                     "Runtime Error Codes 024, 102, 109, 409).");
    putLineEnd(console);
}

}  // namespace korvanel
