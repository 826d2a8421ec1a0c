#pragma once

// The load-case combination file (.cmb) of stress-input format 2: the factors
// of load cases 1..loadCaseCount at time point 1, then at time point 2, and
// so on. The number of time points follows from the number of values.

#include <cstdint>
#include <string>

#include "model/job_tables.hpp"
#include "base/text_input.hpp"

namespace korvanel {

// Reads every value, then, in this order:
// - fewer than two values: fatal stop "Error: at least two values are needed
//   in the stress-history";
// - loadCaseCount of 0: fatal stop "Error: at least one load case is needed
//   for the load-case combination";
// - timePointCount = floor(count / loadCaseCount) in real arithmetic; the
//   values after the last full time point are not used.
// A negative loadCaseCount (which the node stress file already refuses) is
// the node stress file's size stop. Values left after the last full time
// point are a warning to `warnings`.
CombinationTable readCombinationFile(const std::string& path, std::int64_t loadCaseCount,
                                     InputWarnings* warnings = nullptr);
CombinationTable readCombinationFile(InputText& in, std::int64_t loadCaseCount);

}  // namespace korvanel
