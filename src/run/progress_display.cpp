#include "run/progress_display.hpp"

#include <unistd.h>

#include <cstdio>

namespace korvanel {
namespace {

constexpr auto kRefresh = std::chrono::milliseconds(250);
// Short loops finish before a display would help.
constexpr std::int64_t kSmallestLoopShown = 1000;

void formatDuration(char* out, std::size_t size, double seconds) {
    auto total = static_cast<long long>(seconds + 0.5);
    std::snprintf(out, size, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
}

}  // namespace

ProgressDisplay startProgress(std::int64_t total) {
    ProgressDisplay progress;
    progress.enabled = total >= kSmallestLoopShown && isatty(STDERR_FILENO) == 1;
    progress.start = progress.lastShown = std::chrono::steady_clock::now();
    return progress;
}

void updateProgress(ProgressDisplay& progress, std::int64_t done, std::int64_t total) {
    if (!progress.enabled) return;
    auto now = std::chrono::steady_clock::now();
    if (now - progress.lastShown < kRefresh) return;
    progress.lastShown = now;
    double elapsed = std::chrono::duration<double>(now - progress.start).count();
    double remaining = done > 0 ? elapsed * static_cast<double>(total - done) / static_cast<double>(done) : 0.0;
    char elapsedText[32], remainingText[32];
    formatDuration(elapsedText, sizeof elapsedText, elapsed);
    formatDuration(remainingText, sizeof remainingText, remaining);
    std::fprintf(stderr, "\rkorvanel: node %lld of %lld, %s elapsed, %s remaining   ",
                 static_cast<long long>(done), static_cast<long long>(total), elapsedText, remainingText);
    std::fflush(stderr);
    progress.shown = true;
}

void finishProgress(ProgressDisplay& progress) {
    if (!progress.shown) return;
    std::fprintf(stderr, "\r%79s\r", "");
    std::fflush(stderr);
    progress.shown = false;
}

}  // namespace korvanel
