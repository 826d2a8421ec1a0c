#include "run/node_analysis.hpp"

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <type_traits>
#include <variant>

#include "fatigue/damage_screen.hpp"
#include "fatigue/sn_curve.hpp"
#include "output/cycle_detail_files.hpp"
#include "output/path_file.hpp"
#include "run/output_probe.hpp"
#include "base/fatal_stop.hpp"
#include "base/large_tables.hpp"
#include "base/text_output.hpp"
#include "stress/block_correction.hpp"
#include "stress/history_assembly.hpp"
#include "stress/path_compaction.hpp"
#include "stress/plastic_material.hpp"

namespace korvanel {
namespace {

FatalStop correctionImpossible(const PlasticMaterial& m) {
    return fatalStop(
        "The material data do not allow the elasto-plastic correction: please check yield stress, "
        "Young's modulus, static strength and strain at failure",
        "yield stress Sy = " + writeForm(m.yieldStress) + ", Young's modulus E = " +
            writeForm(m.youngsModulus) + ", plastic modulus Ep = (Su - Sy) / (A/100 - Sy/E) = " +
            writeForm(m.plasticModulus) + ": each must be finite and greater than 0");
}

// A node's stresses under the steps of `factors`, with the run's scale factors.
LoadHistory loadsOf(const RunInputs& run, const NodeStressTable& nodes, std::int64_t node,
                    const double* factors, std::int64_t steps) {
    const AnalysisParameters& p = run.parameters;
    return LoadHistory{nodes.baseStress[node], nodes.loadCasesOf(node), nodes.loadCaseCount, factors,
                       steps, p.stressScaleFactor, p.loadCaseScaleFactor};
}

LoadHistory loadsOf(const RunInputs& run, const CombinationInput& in, std::int64_t node) {
    return loadsOf(run, in.nodeStress, node, in.combination.factor.data(),
                   in.combination.timePointCount);
}

// The raw count of time points.
std::int64_t timePointsOf(const SingleHistoryInput& in) {
    return static_cast<std::int64_t>(in.history.states.size());
}
std::int64_t timePointsOf(const CombinationInput& in) { return in.combination.timePointCount; }

// Only nodes of a combination may be unloaded, and only when the run allows it.
template <class History>
bool allowsUnloaded(const RunInputs& run, const History&) {
    return std::is_same_v<History, CombinationInput> && run.allowUnloadedNodes;
}

// The node's stress history, compacted: the single history as read, or the
// node's stresses combined at every time point.
template <class History>
void compactedHistory(const RunInputs& run, const History& in, std::int64_t node,
                      NodeScratch& scratch) {
    if constexpr (std::is_same_v<History, SingleHistoryInput>)
        copyLargeTable(scratch.history, in.history.states);
    else
        combineLoadCases(run.simd, loadsOf(run, in, node), scratch.history);
    compactPath(run.simd, scratch.history, scratch.keepMarks);
}

// A path of at most one point has nothing to count: the stop, or a node
// given no damage when unloaded nodes are allowed.
bool unloadedPath(bool constantPath, bool allowed) {
    if (!constantPath) return false;
    if (!allowed) throw runtimeError(InternalCheck::constantPath);
    return true;
}

// A history, up to the extraction: the compacted and corrected path in
// scratch.history, and whether the node is unloaded (then it has no
// half-cycles to count: no damage, as below the amplitude gate).
template <class History>
bool historyToExtract(const RunInputs& run, const History& in, std::int64_t node,
                      const PlasticMaterial& plastic, bool writesDetailFiles, NodeScratch& scratch) {
    const AnalysisParameters& p = run.parameters;
    auto& history = scratch.history;
    compactedHistory(run, in, node, scratch);

    if (isOn(p.elastoPlastic)) {
        correctPath(history, timePointsOf(in), p.elastoPlasticMethod, plastic, scratch.correction);
        if (writesDetailFiles)
            writePathFile(jobFilePath(run.job, ".sep"), history, run.decimalSeparator);
    }

    const bool unloaded = unloadedPath(history.size() <= 1, allowsUnloaded(run, in));
    if (unloaded) scratch.halfCycles.clear();
    return unloaded;
}

// The damage of a node of a model as storeNodeDamage keeps it.
NodeResult modelNodeResult(const HistoryDamage& damage) {
    const StoredDamage stored = storeNodeDamage(damage.damage);
    NodeResult result;
    result.nodeDamage = stored.nodeDamage;
    result.lifeRepeats = stored.lifeRepeats;
    result.staticFailureCode = damage.nodeCode;
    return result;
}

// After the extraction: damage, result and detail files. A single history
// keeps its damage unfloored; a node of a model, as storeNodeDamage keeps it.
template <class History>
NodeResult historyResult(const RunInputs& run, const History& in, std::int64_t node,
                         const MaterialValues& material, const SnCurve& curve, bool unloaded,
                         bool writesDetailFiles, NodeScratch& scratch) {
    constexpr bool single = std::is_same_v<History, SingleHistoryInput>;
    const AnalysisParameters& p = run.parameters;
    if (!single && isOn(p.cyclesExtraction))
        throw runtimeError(InternalCheck::cycleEndsOutsideSingleHistory);
    std::int64_t nodeId = 1;
    if constexpr (!single) nodeId = in.nodeStress.nodes[node].nodeId;
    const HistoryDamage damage = accumulateHalfCycles(scratch.halfCycles, !single,
                                                      isOn(p.groundAirGround), material, curve,
                                                      nodeId, scratch.halfCycleDamage);
    NodeResult result;
    if constexpr (single)
        result.singleHistory = SingleHistoryResult{damage.damage, damage.lastStaticType};
    else
        result = modelNodeResult(damage);
    result.unloaded = unloaded;
    if (writesDetailFiles) {
        const auto& d = scratch.halfCycleDamage;
        writeHalfCycleFile(jobFilePath(run.job, ".cyc"), scratch.halfCycles, d.halfCycleDamage,
                           d.staticFailureFlag, single ? nullptr : &p.completeOutputNode,
                           run.decimalSeparator);
        if (single && isOn(p.cyclesExtraction))
            writeHalfCycleEndsFile(jobFilePath(run.job, ".cif"), scratch.halfCycles,
                                   run.decimalSeparator);
    }
    return result;
}

// A node of a combination without detail files, whose extraction cannot
// stop: the screen's proof that every half-cycle of its path is "no damage".
// The node then gets what the half-cycle analysis would give it, without it.
template <class History>
bool screenedOut(const RunInputs& run, const History&, const MaterialValues& material,
                 const SnCurve& curve, bool writesDetailFiles, const NodeScratch& scratch) {
    const AnalysisParameters& p = run.parameters;
    if (std::is_same_v<History, SingleHistoryInput> || !run.damageScreen || writesDetailFiles ||
        isOn(p.cyclesExtraction))
        return false;
    return provesNoDamage(run.simd, scratch.history, isOn(p.stressPathCorrection), material, curve);
}

// The result of a node whose half-cycles are all "no damage": no static
// failure, the damage floor (a sum of 0, or with Ground-Air-Ground half of
// 0 or of the untouched start of the largest, is below it).
NodeResult screenedResult() {
    HistoryDamage none;
    none.damage = 0.0;
    NodeResult result = modelNodeResult(none);
    result.screened = true;
    return result;
}

// The material checks every node begins with: the elasto-plastic correction
// must be possible, and the S-N curve usable.
SnCurve checkedCurve(const RunInputs& run, const MaterialValues& inEffect, PlasticMaterial& plastic) {
    plastic = derivePlasticMaterial(inEffect);
    if (isOn(run.parameters.elastoPlastic) && !allowsElastoPlasticCorrection(plastic))
        throw correctionImpossible(plastic);
    return prepareSnCurve(inEffect, blocksAnalysis(run));
}

// A history: history, compaction, correction, extraction, damage.
template <class History>
NodeResult analyseInput(const RunInputs& run, const History& in, std::int64_t node,
                        const MaterialValues& material, const PlasticMaterial& plastic,
                        const SnCurve& curve, bool writesDetailFiles, NodeScratch& scratch) {
    const bool unloaded = historyToExtract(run, in, node, plastic, writesDetailFiles, scratch);
    if (!unloaded && screenedOut(run, in, material, curve, writesDetailFiles, scratch))
        return screenedResult();
    if (!unloaded)
        extractHalfCycles(run.simd, scratch.history, timePointsOf(in),
                          isOn(run.parameters.stressPathCorrection), scratch.extraction,
                          scratch.halfCycles);
    return historyResult(run, in, node, material, curve, unloaded, writesDetailFiles, scratch);
}

// Blocks: block states, block correction, blocks analysis.
NodeResult analyseInput(const RunInputs& run, const SpectrumInput& in, std::int64_t node,
                        const MaterialValues& material, const PlasticMaterial& plastic,
                        const SnCurve& curve, bool writesDetailFiles, NodeScratch& scratch) {
    const AnalysisParameters& p = run.parameters;
    const NodeStressTable& nodes = in.nodeStress;
    const BlockSpectrum& spectrum = in.spectrum;
    blockStates(loadsOf(run, nodes, node, spectrum.blockFrom.data(), spectrum.blockCount),
                spectrum.blockTo.data(), scratch.blockFrom, scratch.blockTo);
    if (isOn(p.elastoPlastic))
        correctBlocks(scratch.blockFrom, scratch.blockTo, p.elastoPlasticMethod, plastic);

    const std::int64_t nodeId = nodes.nodes[node].nodeId;
    const NodeBlocks blocks{scratch.blockFrom,      scratch.blockTo,    spectrum.blockCycles,
                            p.loadVariabilityFactor, p.blocksDamageType, run.blockGroups};
    const HistoryDamage damage =
        accumulateBlocks(blocks, material, curve, nodeId, scratch.blockDamage);
    NodeResult result = modelNodeResult(damage);

    if (writesDetailFiles) {
        const auto& d = scratch.blockDamage;
        writeBlockCycleFile(jobFilePath(run.job, ".cyc"), p.completeOutputNode, d.mean, d.amplitude,
                            spectrum.blockCycles, d.damageOfOneCycle, d.staticFailureFlag,
                            run.decimalSeparator);
    }
    return result;
}

// --check at a node, after the material checks.
NodeResult checkInput(const RunInputs& run, const SpectrumInput&, std::int64_t,
                      bool writesDetailFiles, NodeScratch&) {
    if (writesDetailFiles) probeOutputFile(jobFilePath(run.job, ".cyc"));
    return NodeResult{};
}

// The correction keeps the number of points, so the compacted path tells
// whether the extraction would find it constant.
template <class History>
bool constantPath(const RunInputs& run, const History& in, std::int64_t node, NodeScratch& scratch) {
    if constexpr (std::is_same_v<History, CombinationInput>)
        return combinedPathIsConstant(loadsOf(run, in, node));
    compactedHistory(run, in, node, scratch);
    return scratch.history.size() <= 1;
}

template <class History>
NodeResult checkInput(const RunInputs& run, const History& in, std::int64_t node,
                      bool writesDetailFiles, NodeScratch& scratch) {
    const AnalysisParameters& p = run.parameters;
    constexpr bool singleHistory = std::is_same_v<History, SingleHistoryInput>;
    if (isOn(p.elastoPlastic) && writesDetailFiles) probeOutputFile(jobFilePath(run.job, ".sep"));
    NodeResult result;
    result.unloaded = unloadedPath(constantPath(run, in, node, scratch), allowsUnloaded(run, in));
    if (isOn(p.cyclesExtraction) && !singleHistory)
        throw runtimeError(InternalCheck::cycleEndsOutsideSingleHistory);
    if (writesDetailFiles) {
        probeOutputFile(jobFilePath(run.job, ".cyc"));
        if (singleHistory && isOn(p.cyclesExtraction)) probeOutputFile(jobFilePath(run.job, ".cif"));
    }
    return result;
}

}  // namespace

NodeResult analyseNode(const RunInputs& run, std::int64_t node, const MaterialValues& inEffect,
                       bool writesDetailFiles, NodeScratch& scratch) {
    PlasticMaterial plastic;
    const SnCurve curve = checkedCurve(run, inEffect, plastic);
    return std::visit(
        [&](const auto& in) {
            return analyseInput(run, in, node, inEffect, plastic, curve, writesDetailFiles, scratch);
        },
        run.input);
}

bool takesNodesInTurns(const RunInputs& run) {
    return std::holds_alternative<CombinationInput>(run.input);
}

void analyseNodesInTurns(const RunInputs& run, std::span<const NodeToAnalyse> nodes,
                         std::span<NodeOutcome> outcomes) {
    const CombinationInput& in = std::get<CombinationInput>(run.input);
    constexpr std::size_t kMax = kMaxPathsInTurns;
    const std::size_t count = std::min({nodes.size(), outcomes.size(), kMax});
    PlasticMaterial plastic[kMax];
    SnCurve curve[kMax];
    bool unloaded[kMax] = {};
    bool screened[kMax] = {};
    // Runs one step of node k, unless it has stopped; a stop is its outcome.
    const auto attempt = [&](std::size_t k, auto&& step) {
        if (outcomes[k].stop) return;
        try {
            stopIfOutOfMemory(step);
        } catch (const FatalStop& stop) {
            outcomes[k].stop = stop;
        }
    };
    std::array<PathToExtract, kMax> paths;
    std::size_t nodeOfPath[kMax] = {};
    std::size_t pathCount = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const NodeToAnalyse& n = nodes[k];
        outcomes[k] = NodeOutcome{};
        attempt(k, [&] {
            curve[k] = checkedCurve(run, *n.material, plastic[k]);
            unloaded[k] = historyToExtract(run, in, n.node, plastic[k], false, *n.scratch);
        });
        if (outcomes[k].stop || unloaded[k]) continue;
        screened[k] = screenedOut(run, in, *n.material, curve[k], false, *n.scratch);
        if (screened[k]) {
            outcomes[k].result = screenedResult();
            continue;
        }
        NodeScratch& scratch = *n.scratch;
        nodeOfPath[pathCount] = k;
        paths[pathCount++] = PathToExtract{scratch.history, timePointsOf(in), &scratch.extraction,
                                           &scratch.halfCycles, std::nullopt};
    }
    extractHalfCyclesInTurns(run.simd, isOn(run.parameters.stressPathCorrection),
                             std::span<PathToExtract>(paths.data(), pathCount));
    for (std::size_t p = 0; p < pathCount; ++p)
        if (paths[p].stop) outcomes[nodeOfPath[p]].stop = std::move(paths[p].stop);
    for (std::size_t k = 0; k < count; ++k) {
        const NodeToAnalyse& n = nodes[k];
        if (screened[k]) continue;
        attempt(k, [&] {
            outcomes[k].result =
                historyResult(run, in, n.node, *n.material, curve[k], unloaded[k], false, *n.scratch);
        });
    }
}

NodeResult checkNode(const RunInputs& run, std::int64_t node, const MaterialValues& inEffect,
                     bool writesDetailFiles, NodeScratch& scratch) {
    PlasticMaterial plastic;
    checkedCurve(run, inEffect, plastic);
    return std::visit(
        [&](const auto& in) { return checkInput(run, in, node, writesDetailFiles, scratch); },
        run.input);
}

}  // namespace korvanel
