#pragma once

#include "base/simd_level.hpp"
#include "base/text_output.hpp"

namespace korvanel {

// Runs the job named by korvanel.inp in the working directory. Everything
// the run shows goes to `console`; a fatal stop shows its lines there and
// writes korvanel.adv. Returns the exit status: 0 after a normal end, 1
// after a fatal stop or when the console could not be written, 128 + N
// when signal N stopped the run.
struct RunOptions {
    int threads = 1;   // threads of the node loop; results do not depend on it
    SimdLevel simd = SimdLevel::plain;  // vector form of the kernels; results do not depend on it
};

int runKorvanel(OutputChannel& console, const RunOptions& options);

}  // namespace korvanel
