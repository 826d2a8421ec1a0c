#pragma once

#include <chrono>
#include <cstdint>

namespace korvanel {

// A one-line progress display on standard error for long node loops:
// nodes done, total, elapsed and estimated remaining time. It shows only
// when standard error is a terminal, refreshes at most a few times a
// second and clears its line at the end; standard output never changes.
struct ProgressDisplay {
    bool enabled = false;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastShown;
    bool shown = false;
};

ProgressDisplay startProgress(std::int64_t total);
void updateProgress(ProgressDisplay& progress, std::int64_t done, std::int64_t total);
void finishProgress(ProgressDisplay& progress);

}  // namespace korvanel
