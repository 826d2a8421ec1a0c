#include "run/parallel_chunks.hpp"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

#include "base/signal_guard.hpp"
#include "run/progress_display.hpp"

namespace korvanel {

void forEachChunk(std::int64_t count, std::int64_t chunk, int threads,
                  const std::function<void(std::int64_t begin, std::int64_t end, int worker)>& work) {
    std::atomic<std::int64_t> next{0};
    std::atomic<std::int64_t> completed{0};
    const auto takeChunks = [&](int worker, ProgressDisplay* progress) {
        for (;;) {
            const std::int64_t begin = next.fetch_add(chunk, std::memory_order_relaxed);
            if (begin >= count) return;
            const std::int64_t end = std::min(count, begin + chunk);
            work(begin, end, worker);
            const std::int64_t done = completed.fetch_add(end - begin) + (end - begin);
            if (progress != nullptr) updateProgress(*progress, done, count);
        }
    };
    ProgressDisplay progress = startProgress(count);
    std::vector<std::thread> helpers;
    {
        // The helpers never take a stop signal: it reaches the calling thread.
        StopSignalsBlocked blocked;
        for (int t = 1; t < threads; ++t) {
            try {
                helpers.emplace_back(takeChunks, t, nullptr);
            } catch (const std::system_error&) {
                break;  // fewer threads: the same results, only slower
            }
        }
    }
    takeChunks(0, &progress);
    for (auto& helper : helpers) helper.join();
    finishProgress(progress);
}

}  // namespace korvanel
