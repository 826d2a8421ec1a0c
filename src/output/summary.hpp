#pragma once

// The run summary: the material and S-N curve data used (one material only),
// the kind of elasto-plastic correction, and the result: total damage and
// life of a single history, or the counts of a node-stress analysis and its
// node of maximum damage. Written to the .sum file and then to the console.

#include <cstdint>
#include <string>
#include <variant>

#include "fatigue/damage.hpp"
#include "output/node_damage_files.hpp"
#include "model/analysis_parameters.hpp"
#include "base/text_output.hpp"

namespace korvanel {

// The result of the nodes of a model: the count of time points of a
// load-case combination or of the blocks of a block spectrum, and the node
// of maximum damage.
struct ModelResult {
    enum class Steps { timePoints, blocks };
    Steps steps = Steps::timePoints;
    std::int64_t stepCount = 0;
    bool staticFailureAtSomeNode = false;
    MaxDamageNode maxDamageNode;
    bool completeOutputNodeFound = true;
    // When the command line chose the node of the detail files: the line
    // that says which node it is, after the count of time points or blocks.
    std::string detailNodeLine;
};

struct SummaryData {
    AnalysisParameters parameters;   // as read from the parameter file
    using Result = std::variant<SingleHistoryResult, ModelResult>;
    Result result;
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
