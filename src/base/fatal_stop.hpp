#pragma once

#include <string>
#include <vector>

namespace korvanel {

// The one way a run ends on an error. Thrown from wherever the error is
// found and caught by the run driver, which prints `consoleLines` on the
// console, writes `advisoryLines` to korvanel.adv and ends with status 1.
// The two lists differ only for a few stops that show extra console lines
// or word the advisory text differently.
struct FatalStop {
    std::vector<std::string> consoleLines;
    std::vector<std::string> advisoryLines;
};

// A stop whose single message line goes to the console and the advisory file.
FatalStop fatalStop(const std::string& message);

// An internal consistency stop: "Runtime Error Code NNN: please contact the
// KORVANEL support" then "Sorry for the inconvenience".
FatalStop runtimeError(int code);

// The table that could not be allocated.
FatalStop outOfMemory();

}  // namespace korvanel
