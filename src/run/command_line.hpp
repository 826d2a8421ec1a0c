#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "run/run_driver.hpp"

namespace korvanel {

// What the command line asks for. Without arguments the program runs the
// job of korvanel.inp on every hardware thread.
struct CommandLine {
    enum class Action { run, showVersion, showHelp, usageError } action = Action::run;
    RunOptions run;             // the options given; threads only when threadsGiven
    bool threadsGiven = false;  // otherwise one per processor the run may use
    // For a usage error: what was wrong, e.g. "--threads needs a whole
    // number from 1 to 4096, got 'abc'".
    std::string problem;
};

CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The usage lines, each ending in CR LF. The last ones name the user guide:
// userGuide, the installed guide's path, or, when it is empty, where the
// sources and an installation keep it.
std::string usageText(const std::string& userGuide);

}  // namespace korvanel
