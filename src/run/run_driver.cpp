#include "run/run_driver.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
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
#include "base/standard_error_text.hpp"
#include "base/text_input.hpp"
#include "base/value_warnings.hpp"
#include "run/check_report.hpp"
#include "run/detail_node.hpp"
#include "run/unit_warnings.hpp"
#include "run/node_order.hpp"
#include "run/output_probe.hpp"
#include "run/run_environment.hpp"
#include "model/fixed_settings.hpp"
#include "run/process_group.hpp"

namespace korvanel {
namespace {

const char* const kJobControlFile = "korvanel.inp";
const char* const kAdvisoryFile = "korvanel.adv";

void printStartBanner(OutputChannel& console) {
    putText(console, "Runtime begin");
    putZone(console);
    putTextLine(console, timeOfDay());
    putTextLine(console, config::kBannerRunning);
    putTextLine(console, " ");  // one blank, not an empty line, as the banner has always had it
    putTextLine(console, config::kBannerExecuting);
}

// On a terminal the lines so far are shown at once (the banner before a
// long read); elsewhere the console is written in large pieces.
void showNow(OutputChannel& console) {
    if (console.isTerminal()) console.flush();
}

void toStandardError(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        std::fputs((escapedControlCharacters(line) + "\r\n").c_str(), stderr);
    std::fflush(stderr);
}

void showWarnings(InputWarnings& warnings) { toStandardError(takeWarningLines(warnings)); }

void printEndLines(OutputChannel& console) {
    putTextLine(console, "End of KORVANEL");
    putText(console, "Runtime end");
    putZone(console);
    putTextLine(console, timeOfDay());
}

// The material file when several materials are used, then the node stresses.
NodeStressTable readModelNodes(RunInputs& run, ProcessGroup& group, InputWarnings& warnings) {
    if (run.parameters.materialsMode == MaterialsMode::multiple) {
        run.materials = readMaterialFile(jobFilePath(run.job, ".mtr"), &warnings);
        showWarnings(warnings);
    }
    NodeStressTable nodes = readNodeStressOn(group, run, warnings);
    showWarnings(warnings);
    return nodes;
}

// The input files of the job's kind of stress input, in their order: the
// one place that decides the kind.
StressInput readStressInput(RunInputs& run, ProcessGroup& group, InputWarnings& warnings) {
    const AnalysisParameters& p = run.parameters;
    InputWarnings* const w = &warnings;
    StressInput input;
    if (p.stressInputFormat == StressInputFormat::singleHistory) {
        input = SingleHistoryInput{readStressHistoryFile(jobFilePath(run.job, ".sig"), w)};
    } else {
        NodeStressTable nodes = readModelNodes(run, group, warnings);
        if (p.stressInputFormat == StressInputFormat::nodeCombination)
            input = CombinationInput{std::move(nodes),
                                     readCombinationFile(jobFilePath(run.job, ".cmb"), p.loadCaseCount, w)};
        else
            input = SpectrumInput{std::move(nodes),
                                  readBlockSpectrumFile(jobFilePath(run.job, ".blc"), p.loadCaseCount, w)};
    }
    showWarnings(warnings);
    return input;
}

void readInputData(RunInputs& run, ProcessGroup& group, InputWarnings& warnings) {
    if (run.parameters.blocksDamageType == BlocksDamageType::worstGroup) {
        run.blockGroups = readBlockGroupFile(jobFilePath(run.job, ".btf"), &warnings);
        showWarnings(warnings);
    }
    run.input = readStressInput(run, group, warnings);
}

// The last node index whose ID is the complete-output node; a single
// history has its one node.
void findCompleteOutputNode(RunInputs& run) {
    const NodeStressTable* nodes = nodeStressOf(run.input);
    if (nodes == nullptr) {
        run.completeOutputNodeFound = true;
        run.completeOutputIndex = 1;
        return;
    }
    for (std::int64_t n = 0; n < nodes->nodeCount; ++n) {
        if (nodes->nodes[n].nodeId == run.parameters.completeOutputNode) {
            run.completeOutputNodeFound = true;
            run.completeOutputIndex = n + 1;
        }
    }
}

// --check after the node loop: the files the run would write then, in its
// order, and what was read.
void finishCheck(OutputChannel& console, const RunInputs& run, const NodeLoopOutcome& outcome,
                 const InputWarnings& warnings) {
    if (!run.completeOutputNodeFound) probeOutputFile(jobFilePath(run.job, ".cyc"));
    if (nodeStressOf(run.input) != nullptr) {
        probeOutputFile(jobFilePath(run.job, ".ndd"));
        probeOutputFile(jobFilePath(run.job, ".ans"));
    }
    probeOutputFile(jobFilePath(run.job, ".sum"));
    printCheckReport(console, run, {warningCount(warnings), outcome.unloadedNodeCount});
}

void runJob(OutputChannel& console, const RunOptions& options, InputWarnings& warnings) {
    printStartBanner(console);
    showNow(console);

    RunInputs run;
    run.simd = options.simd;
    run.decimalSeparator = console.decimalSeparator();
    run.allowUnloadedNodes = options.allowUnloadedNodes;
    run.damageScreen = options.damageScreen;
    run.job = readJobControlFile(kJobControlFile);
    const std::string parameterPath = jobFilePath(run.job, ".inp");
    putText(console, "Name of input file : ");
    putZone(console);
    putTextLine(console, parameterPath);
    showNow(console);
    // One run of a job at a time: the lock is taken on the job's parameter
    // file as it is opened and held to the end of the run (--check takes it
    // too: a lock creates no file).
    FileLock jobLock;
    ParameterOrigins origins;
    run.parameters = readInputFile(parameterPath, [&](InputText& in) {
        jobLock = lockExclusively(in);
        if (jobLock.heldElsewhere()) throw fatalStop("Another run of this job is in progress");
        attachWarnings(in, warnings);
        return readAnalysisParameters(in, &origins);
    });
    showWarnings(warnings);
    // Held by this run now: what a killed run of the job left is stale.
    if (!options.check) removeLeftResultTemporaries(run.job);
    checkAnalysisParameters(run.parameters, &origins);
    applyDetailNodeId(run, options.detailNode);
    warnAboutParameters(run.parameters, origins, warnings);
    showWarnings(warnings);
    const AnalysisParameters& p = run.parameters;

    // Without processes to share the nodes, this one alone.
    ProcessGroup oneProcess;
    ProcessGroup& group = options.processes != nullptr ? *options.processes : oneProcess;
    readInputData(run, group, warnings);
    warnAboutUnits(run, warnings);
    showWarnings(warnings);
    stopIfInterrupted();
    findCompleteOutputNode(run);
    run.detailFilesAfterLoop = detailNodeAfterLoop(run, options.detailNode);
    const std::string cyclePath = jobFilePath(run.job, ".cyc");
    // Before the loop, so that a run stopped in it still leaves the line.
    if (!run.completeOutputNodeFound && !run.detailFilesAfterLoop) {
        if (options.check)
            probeOutputFile(cyclePath);
        else
            writeMissingNodeLine(cyclePath, p.completeOutputNode, run.decimalSeparator);
    }

    const NodeLoopOptions loopOptions{options.threads, options.check};
    NodeLoopOutcome outcome = runNodeLoop(run, loopOptions, group, warnings);
    showWarnings(warnings);
    if (outcome.unloadedNodeCount > 0) {
        const std::int64_t listed = std::min(outcome.unloadedNodeCount, kWarningsShownPerKind);
        toStandardError({"korvanel: unloaded nodes given no damage: " +
                         std::to_string(outcome.unloadedNodeCount) + " in all, " +
                         std::to_string(listed) + " listed"});
    }
    if (options.countScreenedNodes)
        toStandardError({"korvanel: nodes screened as taking no damage: " +
                         std::to_string(outcome.screenedNodeCount) + " of " + std::to_string(nodeCountOf(run))});
    if (options.check) {
        if (run.detailFilesAfterLoop) probeDetailFiles(run);
        finishCheck(console, run, outcome, warnings);
        return;
    }
    const bool detailNodeChosenAfter = run.detailFilesAfterLoop;
    if (detailNodeChosenAfter) writeWorstNodeDetails(run, outcome.tables, group, loopOptions);
    const NodeStressTable* nodes = nodeStressOf(run.input);
    const NodeTables& tables = outcome.tables;

    // The same line once more: the .cyc has always been rewritten here, and
    // no node wrote it in between, so its content does not change.
    if (!run.completeOutputNodeFound && !detailNodeChosenAfter)
        writeMissingNodeLine(cyclePath, p.completeOutputNode, run.decimalSeparator);
    MaxDamageNode maxDamageNode;
    if (nodes != nullptr) {
        maxDamageNode = writeNodeDamageFile(
            jobFilePath(run.job, ".ndd"), nodes->nodes, tables.nodeDamage, tables.lifeRepeats,
            tables.staticFailureCode, p.lifeUnitsPerRepeat, run.decimalSeparator);
        stopIfInterrupted();
        writeLogLifeFile(jobFilePath(run.job, ".ans"), nodes->nodes, tables.lifeRepeats,
                         p.lifeUnitsPerRepeat, run.decimalSeparator);
        stopIfInterrupted();
    }
    // A single history's result, or the counts and the node of maximum damage of a model.
    SummaryData summary{p, outcome.singleHistory};
    const auto model = [&](ModelResult::Steps steps, std::int64_t count) {
        summary.result = ModelResult{steps, count, outcome.staticFailureAtSomeNode, maxDamageNode,
                                     run.completeOutputNodeFound,
                                     detailNodeLine(run, options.detailNode)};
    };
    if (const auto* in = std::get_if<CombinationInput>(&run.input))
        model(ModelResult::Steps::timePoints, in->combination.timePointCount);
    if (const auto* in = std::get_if<SpectrumInput>(&run.input))
        model(ModelResult::Steps::blocks, in->spectrum.blockCount);
    writeSummaryFile(jobFilePath(run.job, ".sum"), summary, run.decimalSeparator);
    writeConsoleSummary(console, summary);
    printEndLines(console);
    console.flush();
    // A signal that came before the end still ends the run as a stop.
    stopIfInterrupted();
}

// The advisory file first: should the console fail or block, the message is
// kept there. --check shows a stop on the console only: it writes no file.
void reportFatalStop(OutputChannel& console, const FatalStop& stop, bool check) {
    if (!check) writeAdvisoryFile(kAdvisoryFile, stop.advisoryLines, console.decimalSeparator());
    for (const auto& line : stop.consoleLines) putTextLine(console, line);
    console.flush();
}

int runAndReport(OutputChannel& console, const RunOptions& options) {
    InputWarnings warnings;
    warnings.strict = options.strict;
    int status = 0;
    try {
        stopIfOutOfMemory([&] { runJob(console, options, warnings); });
    } catch (const FatalStop& stop) {
        reportFatalStop(console, stop, options.check);
        showWarnings(warnings);
        toStandardError(moreWarningsLines(warnings));
        std::vector<std::string> details;
        for (const std::string& detail : stop.details) details.push_back("korvanel: " + detail);
        toStandardError(details);
        status = stop.exitStatus;
    }
    console.flush();
    if (status == 0) {
        showWarnings(warnings);
        toStandardError(moreWarningsLines(warnings));
    }
    // The results are kept, but a console that lost text is a failed run.
    if (status == 0 && console.writeFailed()) status = 1;
    const std::string tally = warningTallyLine(warnings);
    if (!tally.empty()) toStandardError({tally});
    return status;
}

}  // namespace

int runKorvanel(OutputChannel& console, const RunOptions& options) {
    try {
        return runAndReport(console, options);
    } catch (const std::bad_alloc&) {
        // Memory ran out even for the memory stop's texts, once the run's
        // tables were given back: its line, written without new memory.
        char line[80];
        const std::size_t size = std::min(kOutOfMemoryMessage.size(), sizeof line - 2);
        std::memcpy(line, kOutOfMemoryMessage.data(), size);
        std::memcpy(line + size, "\r\n", 2);
        [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, line, size + 2);
        return 1;
    }
}

}  // namespace korvanel
