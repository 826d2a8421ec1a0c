#pragma once

// The node whose detail files (.cyc, .cif, .sep) a run of node stresses
// writes when the command line names it (--detail-node ID|worst) instead of
// the parameter file's complete-output node. A single history has one node,
// whose detail files are always written: the choice changes nothing there.

#include <string>

#include "run/node_loop.hpp"
#include "run/process_group.hpp"
#include "run/run_inputs.hpp"

namespace korvanel {

// Before the input files are read: a node ID given takes the place of the
// parameter file's complete-output node for every later step, exactly as if
// the parameter file named it.
void applyDetailNodeId(RunInputs& run, const DetailNodeChoice& choice);

// True when the node of the detail files is known only after the loop
// (--detail-node worst, node stresses, at least one node); the driver then
// sets run.detailFilesAfterLoop, and no node of the loop writes them.
bool detailNodeAfterLoop(const RunInputs& run, const DetailNodeChoice& choice);

// After that loop: the node of largest damage (the node the .ndd and the
// summary name) becomes the complete-output node, and every node with its
// ID is analysed again in node order with its detail files, as a run whose
// parameter file names that ID analyses them (the last one's files remain).
void writeWorstNodeDetails(RunInputs& run, const NodeTables& tables, ProcessGroup& group,
                           const NodeLoopOptions& options);

// --check with --detail-node worst: that the detail files could be written.
void probeDetailFiles(const RunInputs& run);

// With a node chosen on the command line, the line of the summary that
// says which node the detail files are for; empty otherwise.
std::string detailNodeLine(const RunInputs& run, const DetailNodeChoice& choice);

}  // namespace korvanel
