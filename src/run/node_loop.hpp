#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/fatal_stop.hpp"
#include "run/material_schedule.hpp"
#include "run/run_inputs.hpp"

namespace korvanel {

// The stored results of every node (formats 2 and 3), indexed like the
// node table.
struct NodeTables {
    std::vector<double> nodeDamage;
    std::vector<double> lifeRepeats;
    std::vector<StaticFailureCode> staticFailureCode;
};

struct NodeLoopOutcome {
    NodeTables tables;                    // formats 2 and 3
    bool staticFailureAtSomeNode = false; // formats 2 and 3
    double totalDamage = 0.0;             // format 1
    StaticFailureCode lastStaticType = StaticFailureCode::none;  // format 1
};

// Analyses every node on `threads` threads. The outcome, every file and the
// stop raised are those of a one-thread run in node order: nodes that write
// detail files are analysed in node order after the others, and the first
// node (in node order) that stops the run decides the stop, which is thrown
// once every node before it has been analysed.
NodeLoopOutcome runNodeLoop(const RunInputs& run, int threads);

// The same loop over nodes that continue a longer run of nodes: `carriedIn`
// is the material in effect before the first of them. The first stop in
// node order is returned with its node index instead of being thrown.
// Without `detailFiles` no node writes detail files (they are analysed like
// the others).
struct NodeLoopRun {
    NodeLoopOutcome outcome;
    std::int64_t stopNode = -1;       // -1: no node stopped the run
    std::optional<FatalStop> stop;
};
NodeLoopRun runNodeLoopFrom(const RunInputs& run, int threads, const MaterialCarry& carriedIn,
                            bool detailFiles);

}  // namespace korvanel
