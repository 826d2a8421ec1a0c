#pragma once

#include <cstdint>
#include <vector>

#include "base/input_warnings.hpp"
#include "fatigue/damage.hpp"
#include "run/run_inputs.hpp"

namespace korvanel {

// The stored results of every node of a model, indexed like the node table.
struct NodeTables {
    std::vector<double> nodeDamage;
    std::vector<double> lifeRepeats;
    std::vector<StaticFailureCode> staticFailureCode;
};

struct NodeLoopOutcome {
    // The nodes of a model (empty tables for a single history).
    NodeTables tables;
    bool staticFailureAtSomeNode = false;
    // A single history.
    SingleHistoryResult singleHistory;
    // Format 2 with unloaded nodes allowed: the nodes given no damage.
    std::int64_t unloadedNodeCount = 0;
};

struct NodeLoopOptions {
    int threads = 1;         // results do not depend on it
    bool checkOnly = false;  // --check: the per-node checks only, no analysis, no file
};

// Analyses every node on `options.threads` threads. The outcome, every file
// and the stop raised are those of a one-thread run in node order: nodes
// that write detail files are analysed in node order after the others, and
// the first node (in node order) that stops the run decides the stop, which
// is thrown once every node before it has been analysed. A stop raised at a
// node carries the node (ID, index, material ID) in its details.
// `warnings` gets, before the loop, each material ID without a record, and
// after it, in node order, the nodes given no damage as unloaded.
NodeLoopOutcome runNodeLoop(const RunInputs& run, const NodeLoopOptions& options,
                            InputWarnings& warnings);

}  // namespace korvanel
