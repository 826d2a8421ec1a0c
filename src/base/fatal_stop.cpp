#include "base/fatal_stop.hpp"

#include <cstdio>

namespace korvanel {

FatalStop fatalStop(const std::string& message) {
    return FatalStop{{message}, {message}};
}

FatalStop fatalStop(const std::string& message, std::string detail) {
    FatalStop stop{{message}, {message}};
    stop.details.push_back(std::move(detail));
    return stop;
}

namespace {

const char* causeOf(InternalCheck check) {
    switch (check) {
        case InternalCheck::compactionKeptTooMany:
            return "the compaction of the stress path kept more points than the path had";
        case InternalCheck::constantPath:
            return "the stress path is constant within 0.0001 (at most one point is left after "
                   "compaction): an unloaded node?";
        case InternalCheck::breakPointCapacity:
            return "the half-cycle count needs more break points than its room of 4 x time "
                   "points - 2";
        case InternalCheck::yieldHistoryOverflow:
            return "the yield history of the Neuber Non-Linear correction overflowed";
        case InternalCheck::negativeStaticFailureCode:
            return "the static failure code came out below 0";
        case InternalCheck::cycleFileHalfCycleCount:
            return "the .cyc would list more half-cycles than were extracted";
        case InternalCheck::processMessageBroken:
            return "a message between the processes of the run was not what its reader expects";
        case InternalCheck::cycleEndsOutsideSingleHistory:
            return "cycles extraction (record 17 = 1) writes the .cif of a single stress history "
                   "only: set record 17 to 0 with stress-input format 2";
    }
    return "an internal check failed";
}

}  // namespace

FatalStop runtimeError(InternalCheck check) {
    const int code = static_cast<int>(check);
    char buffer[80];
    std::snprintf(buffer, sizeof buffer,
                  "Runtime Error Code %03d: please contact the KORVANEL support", code);
    std::vector<std::string> lines{buffer, "Sorry for the inconvenience"};
    FatalStop stop{lines, lines};
    stop.details.push_back(causeOf(check));
    return stop;
}

FatalStop outOfMemory() { return fatalStop(std::string(kOutOfMemoryMessage)); }

FatalStop interruptedBySignal(int signal) {
    FatalStop stop = fatalStop("The run was interrupted by signal " + std::to_string(signal));
    stop.exitStatus = 128 + signal;
    return stop;
}

}  // namespace korvanel
