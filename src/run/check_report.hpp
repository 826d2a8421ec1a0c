#pragma once

// What --check shows on the console after it has read and checked a job
// without a stop: what it read, and that the job would run.

#include <cstdint>

#include "base/text_output.hpp"
#include "run/run_inputs.hpp"

namespace korvanel {

struct CheckFindings {
    std::int64_t warnings = 0;
    std::int64_t unloadedNodes = 0;
};

void printCheckReport(OutputChannel& console, const RunInputs& run, const CheckFindings& found);

}  // namespace korvanel
