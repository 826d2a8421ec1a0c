#pragma once

// The analysis of a slice of consecutive nodes on several threads. Which
// slices there are, and how their outcomes become the run's, is
// run/node_order.hpp.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/fatal_stop.hpp"
#include "fatigue/damage.hpp"
#include "run/material_schedule.hpp"
#include "run/run_inputs.hpp"

namespace korvanel {

// The stored results of nodes of a model, indexed like their node table.
struct NodeTables {
    std::vector<double> nodeDamage;
    std::vector<double> lifeRepeats;
    std::vector<StaticFailureCode> staticFailureCode;
};

struct NodeLoopOptions {
    int threads = 1;         // results do not depend on it
    bool checkOnly = false;  // --check: the per-node checks only, no analysis, no file
};

// A run of consecutive nodes: rows `begin` to `end` of the run's node table,
// whose row 0 is node index `firstModelNode` of a model of `modelNodeCount`
// nodes (a process may hold its own nodes only).
struct NodeSlice {
    std::int64_t begin = 0;
    std::int64_t end = 0;
    std::int64_t firstModelNode = 0;
    std::int64_t modelNodeCount = 0;
    MaterialCarry carriedIn;   // the material in effect before row `begin`
    // Off: the nodes that write detail files are left out, for the pass in
    // node order. On: they are analysed and write them (one thread).
    bool detailFiles = false;
};

// A slice's share of a run: the material in effect before its first node,
// and whether its nodes matter at all (they do not when an earlier node
// stops the run for its material).
struct SliceWork {
    MaterialCarry carriedIn;
    bool analyse = true;
};

// What a node's flag in SliceOutcome::unloaded says.
constexpr unsigned char kUnloadedNode = 1;  // given no damage as unloaded
constexpr unsigned char kScreenedNode = 2;  // passed by the damage screen

// What a slice comes to: its nodes' results and unloaded flags (from row
// `begin` on), and the first stop among its nodes in node order.
struct SliceOutcome {
    NodeTables tables;                    // empty for a single history
    SingleHistoryResult singleHistory;
    std::vector<unsigned char> unloaded;  // per node: 0, kUnloadedNode or kScreenedNode
    std::int64_t stopNode = -1;           // the stop's node index in the model
    std::optional<FatalStop> stop;
};

// The outcome of `count` nodes: tables of that size, nothing analysed.
SliceOutcome emptyOutcome(const RunInputs& run, std::int64_t count);

// The rows of `part` in `all` from row `first` on.
void placeOutcome(SliceOutcome& all, const SliceOutcome& part, std::int64_t first);

// Keeps `stop` at model node `node` unless `into` has one at an earlier node.
void keepFirstStop(SliceOutcome& into, std::int64_t node, FatalStop stop);

// Analyses the nodes of a slice on `options.threads` threads: they take
// chunks of consecutive nodes, and each node's result goes to its own row,
// so the outcome does not depend on the threads. A node that stops records
// its stop as keepFirstStop says, and no node after it is started. A stop
// carries the node (ID, index, material ID) in its details. An
// interruption is thrown.
SliceOutcome analyseSlice(const RunInputs& run, const NodeSlice& slice,
                          const NodeLoopOptions& options);

// Every node with the complete-output ID writes the detail files, and the
// one node of a single history.
bool writesDetailFiles(const RunInputs& run, std::int64_t row);

// "node ID 20 (node index 2 of 3, material ID 1)", or the single stress
// history.
std::string nodeText(const RunInputs& run, std::int64_t row, std::int64_t firstModelNode,
                     std::int64_t modelNodeCount);

}  // namespace korvanel
