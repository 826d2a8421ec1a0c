#pragma once

#include <cstdint>

#include "base/simd_level.hpp"
#include "base/text_output.hpp"

namespace korvanel {

struct ProcessGroup;  // run/process_group.hpp

// Which node writes the detail files (.cyc, .cif, .sep) of formats 2 and 3.
struct DetailNodeChoice {
    enum class Kind { parameterFile, nodeId, worst } kind = Kind::parameterFile;
    std::int64_t nodeId = 0;  // for nodeId
};

// Runs the job named by korvanel.inp in the working directory. Everything
// the run shows goes to `console`; a fatal stop shows its lines there and
// writes korvanel.adv. Warnings and the details of a stop go to standard
// error. Returns the exit status: 0 after a normal end, 1 after a fatal stop
// or when the console could not be written, 128 + N when signal N stopped
// the run.
struct RunOptions {
    int threads = 1;   // threads of the node loop; results do not depend on it
    // Read and check the job as a run does, analyse nothing, write no file
    // (a stop shows its lines on the console only) and report what was read.
    bool check = false;
    bool strict = false;               // the first warning is a fatal stop
    bool allowUnloadedNodes = false;   // with a combination: constant paths get no damage
    DetailNodeChoice detailNode;       // node stresses: the node of the detail files
    bool damageScreen = true;          // format 2: nodes proven to take no damage skip the analysis
    bool countScreenedNodes = false;   // their count goes to standard error
    ProcessGroup* processes = nullptr;  // those that share the nodes; none: this process alone
    SimdLevel simd = SimdLevel::plain;  // vector form of the kernels; results do not depend on it
};

int runKorvanel(OutputChannel& console, const RunOptions& options);

}  // namespace korvanel
