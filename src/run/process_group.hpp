#pragma once

// The processes that share the nodes of one run, each analysing one slice
// of consecutive nodes; the first alone writes the console and every file,
// and every process ends with its status. Three forms, and every helper
// here serves each of them:
// - one process (the default build): one slice, every node;
// - the processes started together under Open MPI (mpirun, srun; built with
//   KORVANEL_MPI): one slice each. This file's .cpp is the only one that
//   sees MPI;
// - several slices analysed one after the other in one process, which
//   holds every node (the tests of the rule across slices).

#include <cstdint>
#include <vector>

#include "base/input_warnings.hpp"
#include "base/simd_level.hpp"
#include "base/text_output.hpp"
#include "model/job_tables.hpp"
#include "run/node_loop.hpp"
#include "run/run_driver.hpp"
#include "run/run_inputs.hpp"

namespace korvanel {

struct ProcessGroup {
    int rank = 0;
    int size = 1;               // processes, or slices in this one process
    bool distributed = false;   // under MPI: one slice per process
    // The vector form of the kernels on this process's own processor (the
    // machines of a cluster may differ); the results do not depend on it.
    SimdLevel simd = SimdLevel::plain;
    // Under MPI, from the reading on: where every slice begins, this
    // process's nodes, and on the first process the nodes with the
    // complete-output ID, whole, and their node indexes.
    std::vector<std::int64_t> sliceFirst;
    NodeStressTable slice;
    NodeStressTable keptNodes;
    std::vector<std::int64_t> keptNodeIndexes;
};

// Runs the job on all the processes started with this one and returns the
// exit status; without MPI, or on one process, as runKorvanel. Without
// `threadsGiven` each process takes its share of the hardware threads of
// its machine.
int runKorvanelOnProcesses(OutputChannel& console, RunOptions options, bool threadsGiven);

// The node stress file, read whole; under MPI the first process indexes and
// checks it, then every process reads its own slice, and the table returned
// holds the node entries of every node and no stresses. Its warnings go to
// `warnings`; the slices are read without any.
NodeStressTable readNodeStressOn(ProcessGroup& group, const RunInputs& run,
                                 InputWarnings& warnings);

// Every slice analysed, `work` giving each its material and whether it
// matters, nodes with detail files left out: on the first process, the
// outcome of every node in node order and the first stop of the slices.
SliceOutcome analyseSlicesOn(ProcessGroup& group, const RunInputs& run,
                             const std::vector<std::int64_t>& sliceFirst,
                             const std::vector<SliceWork>& work, const NodeLoopOptions& options);

// On the first process: node `node`, the detailIndex-th that writes detail
// files, analysed alone with its files.
SliceOutcome analyseDetailNodeOn(const ProcessGroup& group, const RunInputs& run,
                                 std::size_t detailIndex, std::int64_t node,
                                 const MaterialCarry& carriedIn, const NodeLoopOptions& options);

// Under MPI, on the first process: the nodes with the complete-output ID
// of `run`, whole, read again from the node stress file (the node chosen
// after the loop); nothing in one process, which holds every node.
void keepDetailNodesOn(ProcessGroup& group, const RunInputs& run);

}  // namespace korvanel
