#pragma once

// The block group file (.btf): pairs of block numbers, first and last block
// of each group of the block spectrum, until the end of the file.

#include <string>
#include <vector>

#include "model/job_tables.hpp"
#include "base/text_input.hpp"

namespace korvanel {

// Reads every pair of integers; a pair cut short by the end of the file
// counts, its missing value 0. Nothing is validated: an empty file gives no
// group, and a pair may name blocks that do not exist or run backwards.
// A pair cut short is a warning to `warnings`.
std::vector<BlockGroup> readBlockGroupFile(const std::string& path,
                                           InputWarnings* warnings = nullptr);
std::vector<BlockGroup> readBlockGroupFile(InputText& in);

}  // namespace korvanel
