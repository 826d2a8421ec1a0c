#pragma once

#include <string>
#include <vector>

namespace korvanel {

// The one way a run ends on an error. Thrown from wherever the error is
// found and caught by the run driver, which writes `advisoryLines` to
// korvanel.adv, prints `consoleLines` on the console and ends with
// `exitStatus`. The two lists differ only for a few stops that show extra
// console lines or word the advisory text differently.
struct FatalStop {
    std::vector<std::string> consoleLines;
    std::vector<std::string> advisoryLines;
    int exitStatus = 1;
};

// A stop whose single message line goes to the console and the advisory file.
FatalStop fatalStop(const std::string& message);

// An internal consistency stop: "Runtime Error Code NNN: please contact the
// KORVANEL support" then "Sorry for the inconvenience".
FatalStop runtimeError(int code);

// The table that could not be allocated.
FatalStop outOfMemory();

// The run was asked to stop by a signal: exit status 128 + the signal number.
FatalStop interruptedBySignal(int signal);

}  // namespace korvanel
