#pragma once

// The run summary: the material and S-N curve data used (one material only),
// the kind of elasto-plastic correction, and the result: total damage and
// life of a single history, or the counts of a node-stress analysis and its
// node of maximum damage. Written to the .sum file and then to the console.

#include <cstdint>
#include <string>

#include "fatigue/damage.hpp"
#include "output/node_damage_files.hpp"
#include "model/analysis_parameters.hpp"
#include "base/text_output.hpp"

namespace korvanel {

struct SummaryData {
    AnalysisParameters parameters;   // as read from the parameter file

    // The result of a single stress history.
    SingleHistoryResult singleHistory;

    // The result of the nodes of a model; the count of time points of a
    // load-case combination or of the blocks of a block spectrum.
    std::int64_t timePointCount = 0;
    std::int64_t blockCount = 0;
    bool staticFailureAtSomeNode = false;
    MaxDamageNode maxDamageNode;
    bool completeOutputNodeFound = true;
    // When the command line chose the node of the detail files: the line
    // that says which node it is, after the count of time points or blocks.
    std::string detailNodeLine;
};

// Creates the .sum, writes it in full and closes it. Call it before
// writeConsoleSummary: the file is complete before the console shows anything.
void writeSummaryFile(const std::string& path, const SummaryData& d, char decimalSeparator);
// The .sum's text into a channel (in memory, say).
void writeSummaryFile(OutputChannel& out, const SummaryData& d);

// The same summary on the console (no blank line after the title; ends with
// the "not existing" line when the complete-output node was not found).
// Does not flush the console.
void writeConsoleSummary(OutputChannel& console, const SummaryData& d);

}  // namespace korvanel
