#pragma once

// The node loop of a run. Its nodes are cut into slices of consecutive
// nodes, which the process group analyses (run/process_group.hpp: one
// slice in one process, one per process under MPI, or several in one
// process for the tests); their outcomes then become the run's by one
// rule, whatever the slices and threads: that of one thread in node order.
// - The first stop in node order wins.
// - The nodes that write detail files are left out of the slices and
//   analysed afterwards in node order, up to that stop, so the files are
//   those of the last such node before it.
// - The unloaded nodes up to the stop are listed.

#include <cstdint>
#include <vector>

#include "base/input_warnings.hpp"
#include "run/node_loop.hpp"
#include "run/process_group.hpp"
#include "run/run_inputs.hpp"

namespace korvanel {

struct NodeLoopOutcome {
    // The nodes of a model (empty tables for a single history).
    NodeTables tables;
    bool staticFailureAtSomeNode = false;
    // A single history.
    SingleHistoryResult singleHistory;
    // Node stresses with a combination, unloaded nodes allowed: the nodes
    // given no damage.
    std::int64_t unloadedNodeCount = 0;
    // Node stresses with a combination: the nodes the damage screen passed.
    std::int64_t screenedNodeCount = 0;
};

// Analyses every node; the outcome, every file and the stop raised are
// those of one thread in node order (above). `warnings` gets, before the
// loop, each material ID without a record, and after it, in node order, the
// nodes given no damage as unloaded (up to the stop).
NodeLoopOutcome runNodeLoop(const RunInputs& run, const NodeLoopOptions& options,
                            ProcessGroup& group, InputWarnings& warnings);

// Slice r of `slices` holds nodes nodeCount * r / slices up to the next
// slice's first: the first node of every slice.
std::vector<std::int64_t> evenSlices(std::int64_t nodeCount, int slices);

// The slices analysed one after the other in this process, which holds
// every node: the outcome of every node in node order, up to the first
// stop of the slices.
SliceOutcome analyseSlicesHere(const RunInputs& run, const std::vector<std::int64_t>& sliceFirst,
                               const std::vector<SliceWork>& work, const NodeLoopOptions& options);

// Node `node` of `run` analysed alone, with its detail files.
SliceOutcome analyseDetailNodeHere(const RunInputs& run, std::int64_t node,
                                   const MaterialCarry& carriedIn, const NodeLoopOptions& options);

// After a loop whose nodes wrote no detail files (--detail-node worst, the
// complete-output node chosen since): the nodes that write them now, each
// analysed again alone in node order with its files, as the loop's pass in
// node order analyses them. Under MPI the first process must hold them
// (keepDetailNodesOn). A stop is thrown.
void analyseDetailNodesAgain(const RunInputs& run, const ProcessGroup& group,
                             const NodeLoopOptions& options);

}  // namespace korvanel
