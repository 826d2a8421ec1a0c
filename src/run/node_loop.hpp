#pragma once

#include <cstdint>
#include <vector>

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
};

// Analyses every node on `threads` threads. The outcome, every file and the
// stop raised are those of a one-thread run in node order: nodes that write
// detail files are analysed in node order after the others, and the first
// node (in node order) that stops the run decides the stop, which is thrown
// once every node before it has been analysed.
NodeLoopOutcome runNodeLoop(const RunInputs& run, int threads);

}  // namespace korvanel
