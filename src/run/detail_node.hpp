#pragma once

// The node whose detail files (.cyc, .cif, .sep) a run of formats 2 and 3
// writes when the command line names it (--detail-node ID|worst) instead of
// the parameter file's complete-output node. Format 1 has one history,
// whose detail files are always written: the choice changes nothing there.

#include <functional>
#include <string>

#include "run/command_line.hpp"
#include "run/node_loop.hpp"
#include "run/run_inputs.hpp"

namespace korvanel {

// Before the input files are read: a node ID given takes the place of the
// parameter file's complete-output node for every later step, exactly as if
// the parameter file named it.
void applyDetailNodeId(RunInputs& run, const DetailNodeChoice& choice);

// True when the node of the detail files is known only after the loop
// (--detail-node worst in formats 2 and 3): the nodes of the loop then
// write no detail files.
bool detailNodeAfterLoop(const RunInputs& run, const DetailNodeChoice& choice);

// After the loop, with --detail-node worst: the node of largest damage (the
// node the .ndd and the summary name) becomes the complete-output node, and
// every node with its ID is analysed again in node order with its detail
// files, as a run whose parameter file names that ID analyses them (the
// last one's files remain). `analyseElsewhere` does that analysis when the
// stresses are not in `run` (several processes) and returns true.
void writeWorstNodeDetails(RunInputs& run, const NodeTables& tables,
                           const std::function<bool()>& analyseElsewhere);

// --check with --detail-node worst: that the detail files could be written.
void probeDetailFiles(const RunInputs& run);

// With a node chosen on the command line, the line of the summary that
// says which node the detail files are for; empty otherwise.
std::string detailNodeLine(const RunInputs& run, const DetailNodeChoice& choice);

}  // namespace korvanel
