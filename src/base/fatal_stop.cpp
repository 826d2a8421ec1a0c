#include "base/fatal_stop.hpp"

#include <cstdio>

namespace korvanel {

FatalStop fatalStop(const std::string& message) {
    return FatalStop{{message}, {message}};
}

FatalStop runtimeError(InternalCheck check) {
    const int code = static_cast<int>(check);
    char buffer[80];
    std::snprintf(buffer, sizeof buffer,
                  "Runtime Error Code %03d: please contact the KORVANEL support", code);
    std::vector<std::string> lines{buffer, "Sorry for the inconvenience"};
    return FatalStop{lines, lines};
}

FatalStop outOfMemory() { return fatalStop("Not enough memory for the analysis"); }

FatalStop interruptedBySignal(int signal) {
    FatalStop stop = fatalStop("The run was interrupted by signal " + std::to_string(signal));
    stop.exitStatus = 128 + signal;
    return stop;
}

}  // namespace korvanel
