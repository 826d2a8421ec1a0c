#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/fatal_stop.hpp"
#include "base/input_warnings.hpp"
#include "fatigue/damage.hpp"
#include "run/material_schedule.hpp"
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
    // Format 2: the nodes the damage screen passed.
    std::int64_t screenedNodeCount = 0;
};

// What a node's flag in NodeLoopRun::unloaded says.
constexpr unsigned char kUnloadedNode = 1;  // given no damage as unloaded
constexpr unsigned char kScreenedNode = 2;  // passed by the damage screen

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

// The same loop over a run of consecutive nodes of a larger model (one
// process's share): `run` holds these nodes only. Stops name the nodes by
// their place in the whole model. The first stop in node order is returned
// with its index among these nodes instead of being thrown (an interruption
// is thrown), and the unloaded nodes are flagged, not reported. Material
// warnings go to `warnings` when given.
struct NodeRange {
    std::int64_t firstNode = 0;        // index of the first of them in the whole model
    std::int64_t modelNodeCount = -1;  // nodes of the whole model; -1: these are all
    MaterialCarry carriedIn;           // the material in effect before the first of them
    bool detailFiles = true;           // false: no node writes detail files
};
struct NodeLoopRun {
    NodeLoopOutcome outcome;
    std::vector<unsigned char> unloaded;  // per node: 0, kUnloadedNode or kScreenedNode
    std::int64_t stopNode = -1;           // -1: no node stopped the run
    std::optional<FatalStop> stop;
};
NodeLoopRun runNodeLoopFrom(const RunInputs& run, const NodeLoopOptions& options,
                            const NodeRange& range, InputWarnings* warnings);

// Lists the nodes flagged unloaded before `end` in node order as warnings
// and returns their count; `run` holds every node of the model.
std::int64_t reportUnloadedNodes(const RunInputs& run, const std::vector<unsigned char>& unloaded,
                                 std::int64_t end, InputWarnings& warnings);

// The nodes flagged as passed by the damage screen, but those that write
// the detail files: they are analysed once more with them (on several
// processes), and with them the screen is never asked; `run` holds every
// node of the model.
std::int64_t countScreenedNodes(const RunInputs& run, const std::vector<unsigned char>& flags);

}  // namespace korvanel
