#include "run/node_analysis.hpp"

#include <algorithm>
#include <array>
#include <span>
#include <string>

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

// Formats 1 and 2: the node's stress history, compacted.
void compactedHistory(const RunInputs& run, std::int64_t node, NodeScratch& scratch) {
    const AnalysisParameters& p = run.parameters;
    auto& history = scratch.history;
    if (p.stressInputFormat == StressInputFormat::singleHistory) {
        copyLargeTable(history, run.stressHistory.states);
    } else {
        const NodeStressTable& nodes = run.nodeStress;
        combineLoadCases(run.simd, nodes.baseStress[node], nodes.loadCasesOf(node), nodes.loadCaseCount,
                         run.combination.factor.data(), run.combination.timePointCount,
                         p.stressScaleFactor, p.loadCaseScaleFactor, history);
    }
    compactPath(run.simd, history, scratch.keepMarks);
}

// A path of at most one point has nothing to count: the stop, or a node
// given no damage when the run allows unloaded nodes (format 2).
bool unloadedPath(const RunInputs& run, bool constantPath) {
    if (!constantPath) return false;
    if (!run.allowUnloadedNodes ||
        run.parameters.stressInputFormat != StressInputFormat::nodeCombination)
        throw runtimeError(InternalCheck::constantPath);
    return true;
}

// Formats 1 and 2, up to the extraction: the compacted and corrected path
// in scratch.history, and whether the node is unloaded (then it has no
// half-cycles to count: no damage, as below the amplitude gate).
bool historyToExtract(const RunInputs& run, std::int64_t node, const PlasticMaterial& plastic,
                      bool writesDetailFiles, NodeScratch& scratch) {
    const AnalysisParameters& p = run.parameters;
    auto& history = scratch.history;
    compactedHistory(run, node, scratch);

    if (isOn(p.elastoPlastic)) {
        correctPath(history, run.timePointCount, p.elastoPlasticMethod, plastic, scratch.correction);
        if (writesDetailFiles)
            writePathFile(jobFilePath(run.job, ".sep"), history, run.decimalSeparator);
    }

    const bool unloaded = unloadedPath(run, history.size() <= 1);
    if (unloaded) scratch.halfCycles.clear();
    return unloaded;
}

void extractHistory(const RunInputs& run, NodeScratch& scratch) {
    extractHalfCycles(run.simd, scratch.history, run.timePointCount,
                      isOn(run.parameters.stressPathCorrection), scratch.extraction,
                      scratch.halfCycles);
}

// Formats 1 and 2, after the extraction: damage, result and detail files.
NodeResult historyResult(const RunInputs& run, std::int64_t node, const MaterialValues& material,
                         const SnCurve& curve, bool unloaded, bool writesDetailFiles,
                         NodeScratch& scratch) {
    const AnalysisParameters& p = run.parameters;
    const bool singleHistory = p.stressInputFormat == StressInputFormat::singleHistory;
    if (isOn(p.cyclesExtraction) && !singleHistory) throw runtimeError(InternalCheck::cycleEndsOutsideSingleHistory);

    const std::int64_t nodeId = singleHistory ? 1 : run.nodeStress.nodes[node].nodeId;
    HistoryDamage damage =
        accumulateHalfCycles(scratch.halfCycles, !singleHistory, isOn(p.groundAirGround), material,
                             curve, nodeId, scratch.halfCycleDamage);

    NodeResult result;
    result.unloaded = unloaded;
    if (singleHistory) {
        result.singleHistory = SingleHistoryResult{damage.damage, damage.lastStaticType};
    } else {
        StoredDamage stored = storeNodeDamage(damage.damage);
        result.nodeDamage = stored.nodeDamage;
        result.lifeRepeats = stored.lifeRepeats;
        result.staticFailureCode = damage.nodeCode;
    }

    if (writesDetailFiles) {
        const auto& d = scratch.halfCycleDamage;
        writeHalfCycleFile(jobFilePath(run.job, ".cyc"), scratch.halfCycles, d.halfCycleDamage,
                           d.staticFailureFlag, singleHistory ? nullptr : &p.completeOutputNode,
                           run.decimalSeparator);
        if (singleHistory && isOn(p.cyclesExtraction))
            writeHalfCycleEndsFile(jobFilePath(run.job, ".cif"), scratch.halfCycles,
                                   run.decimalSeparator);
    }
    return result;
}

// Formats 1 and 2: history, compaction, correction, extraction, damage.
NodeResult analyseHistory(const RunInputs& run, std::int64_t node, const MaterialValues& material,
                          const PlasticMaterial& plastic, const SnCurve& curve,
                          bool writesDetailFiles, NodeScratch& scratch) {
    const bool unloaded = historyToExtract(run, node, plastic, writesDetailFiles, scratch);
    if (!unloaded) extractHistory(run, scratch);
    return historyResult(run, node, material, curve, unloaded, writesDetailFiles, scratch);
}

// The material checks every node begins with: the elasto-plastic correction
// must be possible, and the S-N curve usable.
SnCurve checkedCurve(const RunInputs& run, const MaterialValues& inEffect, PlasticMaterial& plastic) {
    const AnalysisParameters& p = run.parameters;
    plastic = derivePlasticMaterial(inEffect);
    if (isOn(p.elastoPlastic) && !allowsElastoPlasticCorrection(plastic)) throw correctionImpossible(plastic);
    return prepareSnCurve(inEffect, p.stressInputFormat == StressInputFormat::blockSpectrum);
}

// Format 3: block states, block correction, blocks analysis.
NodeResult analyseBlocks(const RunInputs& run, std::int64_t node, const MaterialValues& material,
                         const PlasticMaterial& plastic, const SnCurve& curve,
                         bool writesDetailFiles, NodeScratch& scratch) {
    const AnalysisParameters& p = run.parameters;
    const NodeStressTable& nodes = run.nodeStress;
    const BlockSpectrum& spectrum = run.blockSpectrum;
    blockStates(nodes.baseStress[node], nodes.loadCasesOf(node), nodes.loadCaseCount,
                spectrum.blockFrom.data(), spectrum.blockTo.data(), spectrum.blockCount,
                p.stressScaleFactor, p.loadCaseScaleFactor, scratch.blockFrom, scratch.blockTo);
    if (isOn(p.elastoPlastic))
        correctBlocks(scratch.blockFrom, scratch.blockTo, p.elastoPlasticMethod, plastic);

    const std::int64_t nodeId = nodes.nodes[node].nodeId;
    HistoryDamage damage = accumulateBlocks(scratch.blockFrom, scratch.blockTo, spectrum.blockCycles,
                                            p.loadVariabilityFactor, p.blocksDamageType,
                                            run.blockGroups, material, curve, nodeId,
                                            scratch.blockDamage);
    StoredDamage stored = storeNodeDamage(damage.damage);
    NodeResult result;
    result.nodeDamage = stored.nodeDamage;
    result.lifeRepeats = stored.lifeRepeats;
    result.staticFailureCode = damage.nodeCode;

    if (writesDetailFiles) {
        const auto& d = scratch.blockDamage;
        writeBlockCycleFile(jobFilePath(run.job, ".cyc"), p.completeOutputNode, d.mean, d.amplitude,
                            spectrum.blockCycles, d.damageOfOneCycle, d.staticFailureFlag,
                            run.decimalSeparator);
    }
    return result;
}

}  // namespace

NodeResult analyseNode(const RunInputs& run, std::int64_t node, const MaterialValues& inEffect,
                       bool writesDetailFiles, NodeScratch& scratch) {
    PlasticMaterial plastic;
    const SnCurve curve = checkedCurve(run, inEffect, plastic);
    if (run.parameters.stressInputFormat == StressInputFormat::blockSpectrum)
        return analyseBlocks(run, node, inEffect, plastic, curve, writesDetailFiles, scratch);
    return analyseHistory(run, node, inEffect, plastic, curve, writesDetailFiles, scratch);
}

void analyseNodesInTurns(const RunInputs& run, std::span<const NodeToAnalyse> nodes,
                         std::span<NodeOutcome> outcomes) {
    constexpr std::size_t kMax = kMaxPathsInTurns;
    const std::size_t count = std::min({nodes.size(), outcomes.size(), kMax});
    PlasticMaterial plastic[kMax];
    SnCurve curve[kMax];
    bool unloaded[kMax] = {};
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
            unloaded[k] = historyToExtract(run, n.node, plastic[k], false, *n.scratch);
        });
        if (outcomes[k].stop || unloaded[k]) continue;
        NodeScratch& scratch = *n.scratch;
        nodeOfPath[pathCount] = k;
        paths[pathCount++] = PathToExtract{scratch.history, run.timePointCount,
                                           &scratch.extraction, &scratch.halfCycles, std::nullopt};
    }
    extractHalfCyclesInTurns(run.simd, isOn(run.parameters.stressPathCorrection),
                             std::span<PathToExtract>(paths.data(), pathCount));
    for (std::size_t p = 0; p < pathCount; ++p)
        if (paths[p].stop) outcomes[nodeOfPath[p]].stop = std::move(paths[p].stop);
    for (std::size_t k = 0; k < count; ++k) {
        const NodeToAnalyse& n = nodes[k];
        attempt(k, [&] {
            outcomes[k].result =
                historyResult(run, n.node, *n.material, curve[k], unloaded[k], false, *n.scratch);
        });
    }
}

NodeResult checkNode(const RunInputs& run, std::int64_t node, const MaterialValues& inEffect,
                     bool writesDetailFiles, NodeScratch& scratch) {
    const AnalysisParameters& p = run.parameters;
    const PlasticMaterial plastic = derivePlasticMaterial(inEffect);
    if (isOn(p.elastoPlastic) && !allowsElastoPlasticCorrection(plastic))
        throw correctionImpossible(plastic);
    const bool blocksAnalysis = p.stressInputFormat == StressInputFormat::blockSpectrum;
    prepareSnCurve(inEffect, blocksAnalysis);
    NodeResult result;
    if (blocksAnalysis) {
        if (writesDetailFiles) probeOutputFile(jobFilePath(run.job, ".cyc"));
        return result;
    }
    if (isOn(p.elastoPlastic) && writesDetailFiles) probeOutputFile(jobFilePath(run.job, ".sep"));
    // The correction keeps the number of points, so the compacted path
    // tells whether the extraction would find it constant.
    const bool singleHistory = p.stressInputFormat == StressInputFormat::singleHistory;
    bool constant = false;
    if (singleHistory) {
        compactedHistory(run, node, scratch);
        constant = scratch.history.size() <= 1;
    } else {
        const NodeStressTable& nodes = run.nodeStress;
        constant = combinedPathIsConstant(nodes.baseStress[node], nodes.loadCasesOf(node),
                                          nodes.loadCaseCount, run.combination.factor.data(),
                                          run.combination.timePointCount, p.stressScaleFactor,
                                          p.loadCaseScaleFactor);
    }
    result.unloaded = unloadedPath(run, constant);
    if (isOn(p.cyclesExtraction) && !singleHistory)
        throw runtimeError(InternalCheck::cycleEndsOutsideSingleHistory);
    if (writesDetailFiles) {
        probeOutputFile(jobFilePath(run.job, ".cyc"));
        if (singleHistory && isOn(p.cyclesExtraction)) probeOutputFile(jobFilePath(run.job, ".cif"));
    }
    return result;
}

}  // namespace korvanel
