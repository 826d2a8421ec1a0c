#pragma once

// The one piece of process state of the program: what its signal handlers
// may touch. A handler may only set the stop request, remove the temporary
// files being written and, for an input file cut short under the run, put
// zeros where its text was. Everything else happens on the main thread at a
// point where the run can stop (`stopIfInterrupted`).

#include <signal.h>

#include <cstddef>
#include <memory>
#include <string>

namespace korvanel {

// Installs the handlers of the run:
// - SIGINT, SIGTERM, SIGHUP: the first is remembered as the stop request and
//   every temporary file is removed; a second one ends the process at once,
//   as if there were no handler (the temporary files removed first). One
//   that the process inherited as ignored (nohup) stays ignored.
// - SIGPIPE, SIGXFSZ: ignored, so that the failing write returns an error.
// - SIGBUS inside a mapped input file (the file was cut short): the rest of
//   the mapping reads as zeros and the file is marked as cut. Anywhere else
//   the signal ends the process as usual.
// The handlers do not restart interrupted system calls: a read that waits on
// a pipe returns, so that the run notices the request.
void installSignalHandlers();

// The signal whose stop was requested; 0 when none was.
int stopSignal();

// Throws the stop "The run was interrupted by signal N" (exit status 128 + N)
// when a stop was requested.
void stopIfInterrupted();

// Long loops (the read of a large file, the extraction and the damage of a
// long history) look at the stop request once every this many steps: often
// enough to stop within milliseconds, rarely enough to cost nothing.
inline constexpr std::size_t kStepsBetweenStopChecks = std::size_t{1} << 16;
inline void stopIfInterruptedAtStep(std::size_t step) {
    if (step % kStepsBetweenStopChecks == 0) stopIfInterrupted();
}

// Blocks the stop signals on the calling thread while it lives, so that
// threads started meanwhile never run the handler: it then always runs on
// the main thread, between the main thread's own steps.
class StopSignalsBlocked {
public:
    StopSignalsBlocked();
    ~StopSignalsBlocked();
    StopSignalsBlocked(const StopSignalsBlocked&) = delete;
    StopSignalsBlocked& operator=(const StopSignalsBlocked&) = delete;

private:
    sigset_t saved_;
};

// A temporary file that a stop signal removes. Registered while the object
// lives; the name is kept in storage of its own that never moves.
class TemporaryFileMark {
public:
    TemporaryFileMark() = default;
    explicit TemporaryFileMark(const std::string& path);
    TemporaryFileMark(TemporaryFileMark&& other) noexcept;
    TemporaryFileMark& operator=(TemporaryFileMark&& other) noexcept;
    ~TemporaryFileMark();
    // Forgets the file: a signal no longer removes it.
    void release();

private:
    int slot_ = -1;
    std::unique_ptr<char[]> path_;
};

// A read-only mapping of an input file that a SIGBUS may fall in.
class InputMappingMark {
public:
    InputMappingMark() = default;
    InputMappingMark(const void* begin, std::size_t size);
    InputMappingMark(InputMappingMark&& other) noexcept;
    InputMappingMark& operator=(InputMappingMark&& other) noexcept;
    ~InputMappingMark();
    // False when no room was left to register the mapping: a SIGBUS in it
    // would then end the process, so the file must not be read through it.
    bool registered() const;
    // True when a part of the mapping could not be read (the file was cut
    // short) and now reads as zeros.
    bool cut() const;

private:
    int slot_ = -1;
};

}  // namespace korvanel
