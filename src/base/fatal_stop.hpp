#pragma once

#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvanel {

// The one way a run ends on an error. Thrown from wherever the error is
// found and caught by the run driver, which writes `advisoryLines` to
// korvanel.adv, prints `consoleLines` on the console and ends with
// `exitStatus`. The two lists differ only for a few stops that show extra
// console lines or word the advisory text differently. `details` say where
// and why in plain words (the node, the file and line, the cause); they go
// to standard error only, so the console and korvanel.adv keep their exact
// texts.
struct FatalStop : std::exception {
    std::vector<std::string> consoleLines;
    std::vector<std::string> advisoryLines;
    std::vector<std::string> details;
    int exitStatus = 1;

    FatalStop() = default;
    FatalStop(std::vector<std::string> console, std::vector<std::string> advisory, int status = 1)
        : consoleLines(std::move(console)), advisoryLines(std::move(advisory)), exitStatus(status) {}

    // The first console line.
    const char* what() const noexcept override {
        return consoleLines.empty() ? "fatal stop" : consoleLines.front().c_str();
    }
};

// A stop whose single message line goes to the console and the advisory file.
FatalStop fatalStop(const std::string& message);

// The internal consistency checks. Each guards a state the analysis cannot
// reach on any input as far as is known; the code is what the user reports.
enum class InternalCheck : int {
    compactionKeptTooMany = 14,         // compaction kept more points than the history had
    constantPath = 18,                  // a path of at most one point after compaction
    breakPointCapacity = 24,            // more break points than the extraction has room for
    yieldHistoryOverflow = 102,         // the non-linear correction's yield history overflowed
    negativeStaticFailureCode = 109,    // a node's static failure code below zero
    cycleFileHalfCycleCount = 409,      // the .cyc lists more half-cycles than were extracted
    cycleEndsOutsideSingleHistory = 912,  // the .cif asked for a node of a model
    processMessageBroken = 951,         // a message between the processes of a run was malformed
};

// An internal consistency stop: "Runtime Error Code NNN: please contact the
// KORVANEL support" then "Sorry for the inconvenience", with the check's
// cause in plain words as its detail.
FatalStop runtimeError(InternalCheck check);

// A stop whose single message line goes to the console and the advisory
// file, with one detail line.
FatalStop fatalStop(const std::string& message, std::string detail);

// The table that could not be allocated.
inline constexpr std::string_view kOutOfMemoryMessage = "Not enough memory for the analysis";
FatalStop outOfMemory();

// Runs `work`; a failed allocation in it (or a table size beyond what a
// vector can hold) becomes the memory stop. The one place where allocation
// failure turns into a stop.
template <class Work>
decltype(auto) stopIfOutOfMemory(Work&& work) {
    try {
        return std::forward<Work>(work)();
    } catch (const std::bad_alloc&) {
        throw outOfMemory();
    } catch (const std::length_error&) {
        throw outOfMemory();
    }
}

// The run was asked to stop by a signal: exit status 128 + the signal number.
FatalStop interruptedBySignal(int signal);

// True for the stop of a signal (interruptedBySignal).
inline bool isInterruption(const FatalStop& stop) { return stop.exitStatus > 128; }

}  // namespace korvanel
