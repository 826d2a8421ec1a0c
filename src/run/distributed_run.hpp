#pragma once

// One run of a job on several processes started together (mpirun, srun),
// built with KORVANEL_MPI only. The first process runs the job as a
// one-process run does and alone writes the console and every file; the
// others each read and analyse one slice of consecutive nodes when it asks
// them to, and hand their results back. Every process ends with the status
// of the first.

#include "base/text_output.hpp"
#include "model/job_tables.hpp"
#include "run/node_loop.hpp"
#include "run/run_driver.hpp"
#include "run/run_inputs.hpp"

namespace korvanel {

// Runs the job on all the processes started with this one and returns the
// exit status. Without `threadsGiven` each process takes its share of the
// hardware threads of its machine. A single process runs as runKorvanel.
int runKorvanelOnProcesses(OutputChannel& console, RunOptions options, bool threadsGiven);

// For the first process's run driver, in place of reading the node stress
// file whole: this process indexes and checks the file, then every process
// reads its own slice of the nodes. The table returned holds the node
// entries of every node and no stresses.
// Its warnings go to `warnings`; the slices are read without any.
NodeStressTable readNodeStressOnProcesses(ProcessGroup& group, const RunInputs& run,
                                          InputWarnings& warnings);

// In place of runNodeLoop (formats 2 and 3): every process analyses its
// slice; the results, the first stop in node order, the detail files of the
// complete-output nodes and the warnings (materials without a record, the
// unloaded nodes in node order) come out as those of a one-process run.
// Without `detailFiles` no node writes detail files.
NodeLoopOutcome runNodeLoopOnProcesses(ProcessGroup& group, const RunInputs& run, int threads,
                                       InputWarnings& warnings, bool detailFiles = true);

// On the first process after the loop: every node with the complete-output
// ID of `run`, its stresses read again from the node stress file, analysed
// in node order with its detail files, as the loop analyses them.
void writeDetailNodesOnProcesses(ProcessGroup& group, const RunInputs& run);

}  // namespace korvanel
