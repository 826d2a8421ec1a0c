#pragma once

// The node stress file (.nds) of stress-input formats 2 and 3: loadCaseCount
// + 1 blocks of nodeCount lines, each line a node ID, a material ID and six
// stress components. Block 1 holds the base stresses, block k + 1 those of
// unit load case k, the nodes in the same order in every block.

#include <cstdint>
#include <string>

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

}  // namespace korvanel
