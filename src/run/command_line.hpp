#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvanel {

// Which node writes the detail files (.cyc, .cif, .sep) of formats 2 and 3.
struct DetailNodeChoice {
    enum class Kind { parameterFile, nodeId, worst } kind = Kind::parameterFile;
    std::int64_t nodeId = 0;  // for nodeId
};

// What the command line asks for. Without arguments the program runs the
// job of korvanel.inp on every hardware thread.
struct CommandLine {
    enum class Action { run, showVersion, showHelp, usageError } action = Action::run;
    int threads = 0;   // 0: one per processor the run may use
    bool check = false;
    bool strict = false;
    bool allowUnloadedNodes = false;
    DetailNodeChoice detailNode;  // --detail-node ID|worst
    bool damageScreen = true;           // --no-damage-screen turns it off
    bool countScreenedNodes = false;    // --count-screened-nodes
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
