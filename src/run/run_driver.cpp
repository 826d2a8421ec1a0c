#include "run/run_driver.hpp"

#include <new>
#include <string>
#include <vector>

#include "input/block_group_file.hpp"
#include "input/blocks_file.hpp"
#include "input/combination_file.hpp"
#include "input/material_file.hpp"
#include "input/node_stress_file.hpp"
#include "input/stress_history_file.hpp"
#include "output/cycle_detail_files.hpp"
#include "output/node_damage_files.hpp"
#include "output/summary.hpp"
#include "run/analysis_parameters_file.hpp"
#include "base/fatal_stop.hpp"
#include "run/node_loop.hpp"
#include "run/run_environment.hpp"
#include "model/fixed_settings.hpp"
#ifdef KORVANEL_MPI
#include "run/distributed_run.hpp"
#endif

namespace korvanel {
namespace {

const char* const kJobControlFile = "korvanel.inp";
const char* const kAdvisoryFile = "korvanel.adv";

void printLine(OutputChannel& console, const std::string& text) {
    putText(console, text);
    putLineEnd(console);
}

void printStartBanner(OutputChannel& console) {
    putText(console, "Runtime begin");
    putZone(console);
    putText(console, timeOfDay());
    putLineEnd(console);
    printLine(console, std::string(config::kBannerRunning));
    printLine(console, " ");
    printLine(console, std::string(config::kBannerExecuting));
}

void printEndLines(OutputChannel& console) {
    printLine(console, "End of KORVANEL");
    putText(console, "Runtime end");
    putZone(console);
    putText(console, timeOfDay());
    putLineEnd(console);
}

// The node stress file; on several processes each reads its own nodes.
NodeStressTable readNodeStress(const RunInputs& run, const RunOptions& options) {
#ifdef KORVANEL_MPI
    if (options.processes != nullptr) return readNodeStressOnProcesses(*options.processes, run);
#endif
    (void)options;
    return readNodeStressFile(jobFilePath(run.job, ".nds"), run.parameters.nodeCount,
                              run.parameters.loadCaseCount);
}

NodeLoopOutcome analyseNodes(const RunInputs& run, const RunOptions& options) {
#ifdef KORVANEL_MPI
    if (options.processes != nullptr &&
        run.parameters.stressInputFormat != StressInputFormat::singleHistory)
        return runNodeLoopOnProcesses(*options.processes, run, options.threads);
#endif
    return runNodeLoop(run, options.threads);
}

// The input files of the chosen stress-input format, in their order.
void readInputData(RunInputs& run, const RunOptions& options) {
    const AnalysisParameters& p = run.parameters;
    if (p.blocksDamageType == BlocksDamageType::worstGroup) run.blockGroups = readBlockGroupFile(jobFilePath(run.job, ".btf"));
    if (p.stressInputFormat == StressInputFormat::singleHistory) {
        run.stressHistory = readStressHistoryFile(jobFilePath(run.job, ".sig"));
        run.timePointCount = static_cast<std::int64_t>(run.stressHistory.states.size());
        run.nodeCount = 1;
        return;
    }
    if (p.materialsMode == MaterialsMode::multiple) run.materials = readMaterialFile(jobFilePath(run.job, ".mtr"));
    run.nodeStress = readNodeStress(run, options);
    run.nodeCount = run.nodeStress.nodeCount;
    if (p.stressInputFormat == StressInputFormat::nodeCombination) {
        run.combination = readCombinationFile(jobFilePath(run.job, ".cmb"), p.loadCaseCount);
        run.timePointCount = run.combination.timePointCount;
    } else {
        run.blockSpectrum = readBlockSpectrumFile(jobFilePath(run.job, ".blc"), p.loadCaseCount);
    }
}

// Formats 2 and 3: the last node index whose ID is the complete-output node.
void findCompleteOutputNode(RunInputs& run) {
    if (run.parameters.stressInputFormat == StressInputFormat::singleHistory) {
        run.completeOutputNodeFound = true;
        run.completeOutputIndex = 1;
        return;
    }
    const auto& nodes = run.nodeStress.nodes;
    for (std::int64_t n = 0; n < run.nodeCount; ++n) {
        if (nodes[n].nodeId == run.parameters.completeOutputNode) {
            run.completeOutputNodeFound = true;
            run.completeOutputIndex = n + 1;
        }
    }
}

void runJob(OutputChannel& console, const RunOptions& options) {
    printStartBanner(console);

    RunInputs run;
    run.decimalSeparator = console.decimalSeparator;
    run.job = readJobControlFile(kJobControlFile);
    const std::string parameterPath = jobFilePath(run.job, ".inp");
    putText(console, "Name of input file : ");
    putZone(console);
    putText(console, parameterPath);
    putLineEnd(console);
    {
        InputText parameterFile = openInputText(parameterPath);
        run.parameters = readAnalysisParameters(parameterFile);
    }
    checkAnalysisParameters(run.parameters);
    const AnalysisParameters& p = run.parameters;

    readInputData(run, options);
    findCompleteOutputNode(run);
    const std::string cyclePath = jobFilePath(run.job, ".cyc");
    if (!run.completeOutputNodeFound)
        writeMissingNodeLine(cyclePath, p.completeOutputNode, run.decimalSeparator);

    NodeLoopOutcome outcome = analyseNodes(run, options);
    const bool nodeStresses = p.stressInputFormat != StressInputFormat::singleHistory;
    const NodeTables& tables = outcome.tables;

    SummaryData summary;
    summary.parameters = p;
    summary.timePointCount = run.timePointCount;
    summary.blockCount = run.blockSpectrum.blockCount;
    summary.completeOutputNodeFound = run.completeOutputNodeFound;
    summary.totalDamage = outcome.totalDamage;
    summary.historyStaticFailure = outcome.lastStaticType;
    summary.staticFailureAtSomeNode = outcome.staticFailureAtSomeNode;

    if (!run.completeOutputNodeFound)
        writeMissingNodeLine(cyclePath, p.completeOutputNode, run.decimalSeparator);
    if (nodeStresses) {
        summary.maxDamageNode = writeNodeDamageFile(
            jobFilePath(run.job, ".ndd"), run.nodeStress.nodes, tables.nodeDamage, tables.lifeRepeats,
            tables.staticFailureCode, p.lifeUnitsPerRepeat, run.decimalSeparator);
        writeLogLifeFile(jobFilePath(run.job, ".ans"), run.nodeStress.nodes, tables.lifeRepeats,
                         p.lifeUnitsPerRepeat, run.decimalSeparator);
    }
    writeSummaryFile(jobFilePath(run.job, ".sum"), summary, run.decimalSeparator);
    writeConsoleSummary(console, summary);
    printEndLines(console);
}

void reportFatalStop(OutputChannel& console, const FatalStop& stop) {
    for (const auto& line : stop.consoleLines) printLine(console, line);
    flushConsole(console);
    writeAdvisoryFile(kAdvisoryFile, stop.advisoryLines);
}

}  // namespace

int runKorvanel(OutputChannel& console, const RunOptions& options) {
    try {
        stopIfOutOfMemory([&] { runJob(console, options); });
    } catch (const FatalStop& stop) {
        reportFatalStop(console, stop);
        return 1;
    }
    flushConsole(console);
    return 0;
}

}  // namespace korvanel
