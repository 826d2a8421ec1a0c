#pragma once

// The node stress file (.nds) of stress-input formats 2 and 3: loadCaseCount
// + 1 blocks of nodeCount lines, each line a node ID, a material ID and six
// stress components. Block 1 holds the base stresses, block k + 1 those of
// unit load case k, the nodes in the same order in every block.

#include <cstdint>
#include <string>
#include <vector>

#include "model/job_tables.hpp"
#include "base/large_tables.hpp"
#include "base/text_input.hpp"

namespace korvanel {

// Reads every group of eight values (a group cut short by the end of the
// file counts, its missing values 0), then checks, in this order:
// - the number of groups is (loadCaseCount + 1) * nodeCount, both counts are
//   non-negative and that product fits 64 bits; otherwise the fatal stop
//   "Please check number of nodes and loadcases and size of .nds file, they
//   look not coherent";
// - every line of block 2 or later has the node ID, then the material ID, of
//   the line at the same position of block 1; the first mismatch in reading
//   order stops the run with the console line "ndummy2" (or "ndummy3"), the
//   next print zone and the integer read, then the message "Please check the
//   nodes numbering in the .nds file, it looks not coherent" (the advisory
//   file gets the message only).
// Node tables that cannot be allocated, or that would need more than
// `memoryLimit` bytes, are the fatal stop "Not enough memory for the
// analysis", which comes after the count check and before the numbering
// check, as the tables are sized between the two.
// A last group cut short is a warning to `warnings`.
NodeStressTable readNodeStressFile(const std::string& path, std::int64_t nodeCount,
                                   std::int64_t loadCaseCount,
                                   std::uint64_t memoryLimit = machineMemoryBytes(),
                                   InputWarnings* warnings = nullptr);
NodeStressTable readNodeStressFile(InputText& in, std::int64_t nodeCount,
                                   std::int64_t loadCaseCount,
                                   std::uint64_t memoryLimit = machineMemoryBytes());

// A run whose nodes are split into slices of consecutive node indexes (one
// per process) reads the file in two steps. One pass indexes it, with the
// checks above in the same order and with the same stops, keeping only the
// node entries, where each slice begins in every block, and the stresses of
// the nodes that carry one chosen ID; each slice is then read on its own,
// with no warnings (the index has given them).

// Nodes firstNode .. firstNode + nodeCount - 1: in block k + 1 the group of
// node `firstNode` begins at byte offsets[k] of the file.
struct NodeStressSlice {
    std::int64_t firstNode = 0;
    std::int64_t nodeCount = 0;
    std::vector<std::uint64_t> offsets;   // loadCaseCount + 1 entries
};

struct NodeStressIndex {
    std::vector<NodeEntry> nodes;               // every node, as in block 1
    std::vector<NodeStressSlice> slices;        // one per first node asked for
    NodeStressTable keptNodes;                  // the nodes with the kept ID, in node order
    std::vector<std::int64_t> keptNodeIndexes;  // their node indexes (0-based)
    std::uint64_t fileSize = 0;                 // bytes of the text indexed
};

// `sliceFirstNodes`: the first node of every slice, increasing from 0; a
// slice ends where the next one begins, the last one at nodeCount. The
// memory stop concerns the node entries and the kept nodes only.
NodeStressIndex indexNodeStressFile(const std::string& path, std::int64_t nodeCount,
                                    std::int64_t loadCaseCount,
                                    const std::vector<std::int64_t>& sliceFirstNodes,
                                    std::int64_t keptNodeId,
                                    std::uint64_t memoryLimit = machineMemoryBytes(),
                                    InputWarnings* warnings = nullptr);
NodeStressIndex indexNodeStressFile(InputText& in, std::int64_t nodeCount,
                                    std::int64_t loadCaseCount,
                                    const std::vector<std::int64_t>& sliceFirstNodes,
                                    std::int64_t keptNodeId,
                                    std::uint64_t memoryLimit = machineMemoryBytes());

// Reads the nodes of one slice of a file that indexNodeStressFile has
// checked, every value read as the whole-file reading reads it. Tables that
// cannot be had are the memory stop; a file that no longer matches the
// index (a slice beyond its end, IDs that differ between blocks) is the stop
// "The input file <path> changed while it was being read".
NodeStressTable readNodeStressSlice(const std::string& path, std::int64_t loadCaseCount,
                                    const NodeStressSlice& slice,
                                    std::uint64_t memoryLimit = machineMemoryBytes());
NodeStressTable readNodeStressSlice(InputText& in, std::int64_t loadCaseCount,
                                    const NodeStressSlice& slice,
                                    std::uint64_t memoryLimit = machineMemoryBytes());

}  // namespace korvanel
