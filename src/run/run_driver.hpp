#pragma once

#include "base/text_output.hpp"

namespace korvanel {

struct ProcessGroup;  // the processes of a run under MPI

// Runs the job named by korvanel.inp in the working directory. Everything
// the run shows goes to `console`; a fatal stop shows its lines there and
// writes korvanel.adv. Returns the exit status: 0 after a normal end, 1
// after a fatal stop.
struct RunOptions {
    int threads = 1;   // threads of the node loop; results do not depend on it
    ProcessGroup* processes = nullptr;  // several processes share the nodes (MPI build)
};

int runKorvanel(OutputChannel& console, const RunOptions& options);

}  // namespace korvanel
