#pragma once

// The stress-history file (.sig): the single stress history of stress-input
// format 1, groups of six reals (one stress state per time point) until the
// end of the file.

#include <string>

#include "model/job_tables.hpp"
#include "base/text_input.hpp"

namespace korvanel {

// Reads every group of six values. A group cut short by the end of the file
// counts, its missing values 0 (so an empty last line adds a zero state).
// Fewer than two groups is the fatal stop "At least two values are needed
// in the stress-history". A group cut short is a warning to `warnings`.
StressHistoryFile readStressHistoryFile(const std::string& path, InputWarnings* warnings = nullptr);
StressHistoryFile readStressHistoryFile(InputText& in);

}  // namespace korvanel
