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
#include "base/file_lock.hpp"
#include "base/signal_guard.hpp"
#include "base/text_input.hpp"
#include "run/node_loop.hpp"
#include "run/run_environment.hpp"
#include "model/fixed_settings.hpp"

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
    printLine(console, " ");  // one blank, not an empty line, as the banner has always had it
    printLine(console, std::string(config::kBannerExecuting));
}

void printEndLines(OutputChannel& console) {
    printLine(console, "End of KORVANEL");
    putText(console, "Runtime end");
    putZone(console);
    putText(console, timeOfDay());
    putLineEnd(console);
}

// The input files of the chosen stress-input format, in their order.
void readInputData(RunInputs& run) {
    const AnalysisParameters& p = run.parameters;
    if (p.blocksDamageType == BlocksDamageType::worstGroup) run.blockGroups = readBlockGroupFile(jobFilePath(run.job, ".btf"));
    if (p.stressInputFormat == StressInputFormat::singleHistory) {
        run.stressHistory = readStressHistoryFile(jobFilePath(run.job, ".sig"));
        run.timePointCount = static_cast<std::int64_t>(run.stressHistory.states.size());
        run.nodeCount = 1;
        return;
    }
    if (p.materialsMode == MaterialsMode::multiple) run.materials = readMaterialFile(jobFilePath(run.job, ".mtr"));
    run.nodeStress = readNodeStressFile(jobFilePath(run.job, ".nds"), p.nodeCount, p.loadCaseCount);
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
    run.simd = options.simd;
    run.decimalSeparator = console.decimalSeparator();
    run.job = readJobControlFile(kJobControlFile);
    const std::string parameterPath = jobFilePath(run.job, ".inp");
    putText(console, "Name of input file : ");
    putZone(console);
    putText(console, parameterPath);
    putLineEnd(console);
    // One run of a job at a time: the lock is taken on the job's parameter
    // file as it is opened and held to the end of the run.
    FileLock jobLock;
    run.parameters = readInputFile(parameterPath, [&](InputText& in) {
        jobLock = lockExclusively(in);
        if (jobLock.heldElsewhere()) throw fatalStop("Another run of this job is in progress");
        return readAnalysisParameters(in);
    });
    checkAnalysisParameters(run.parameters);
    const AnalysisParameters& p = run.parameters;

    readInputData(run);
    stopIfInterrupted();
    findCompleteOutputNode(run);
    const std::string cyclePath = jobFilePath(run.job, ".cyc");
    // Before the loop, so that a run stopped in it still leaves the line.
    if (!run.completeOutputNodeFound)
        writeMissingNodeLine(cyclePath, p.completeOutputNode, run.decimalSeparator);

    NodeLoopOutcome outcome = runNodeLoop(run, options.threads);
    const bool nodeStresses = p.stressInputFormat != StressInputFormat::singleHistory;
    const NodeTables& tables = outcome.tables;

    SummaryData summary;
    summary.parameters = p;
    summary.timePointCount = run.timePointCount;
    summary.blockCount = run.blockSpectrum.blockCount;
    summary.completeOutputNodeFound = run.completeOutputNodeFound;
    summary.singleHistory = outcome.singleHistory;
    summary.staticFailureAtSomeNode = outcome.staticFailureAtSomeNode;

    // The same line once more: the .cyc has always been rewritten here, and
    // no node wrote it in between, so its content does not change.
    if (!run.completeOutputNodeFound)
        writeMissingNodeLine(cyclePath, p.completeOutputNode, run.decimalSeparator);
    if (nodeStresses) {
        summary.maxDamageNode = writeNodeDamageFile(
            jobFilePath(run.job, ".ndd"), run.nodeStress.nodes, tables.nodeDamage, tables.lifeRepeats,
            tables.staticFailureCode, p.lifeUnitsPerRepeat, run.decimalSeparator);
        stopIfInterrupted();
        writeLogLifeFile(jobFilePath(run.job, ".ans"), run.nodeStress.nodes, tables.lifeRepeats,
                         p.lifeUnitsPerRepeat, run.decimalSeparator);
        stopIfInterrupted();
    }
    writeSummaryFile(jobFilePath(run.job, ".sum"), summary, run.decimalSeparator);
    writeConsoleSummary(console, summary);
    printEndLines(console);
    flushConsole(console);
    // A signal that came before the end still ends the run as a stop.
    stopIfInterrupted();
}

// The advisory file first: should the console fail or block, the message is
// kept there.
void reportFatalStop(OutputChannel& console, const FatalStop& stop) {
    writeAdvisoryFile(kAdvisoryFile, stop.advisoryLines, console.decimalSeparator());
    for (const auto& line : stop.consoleLines) printLine(console, line);
    flushConsole(console);
}

}  // namespace

int runKorvanel(OutputChannel& console, const RunOptions& options) {
    int status = 0;
    try {
        stopIfOutOfMemory([&] { runJob(console, options); });
    } catch (const FatalStop& stop) {
        reportFatalStop(console, stop);
        status = stop.exitStatus;
    }
    flushConsole(console);
    // The results are kept, but a console that lost text is a failed run.
    if (status == 0 && consoleWriteFailed(console)) status = 1;
    return status;
}

}  // namespace korvanel
