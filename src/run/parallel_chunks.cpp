#include "run/parallel_chunks.hpp"

#include <algorithm>
#include <atomic>

#include "base/helper_threads.hpp"
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
    {
        // No exception leaves a helper, and the helpers are joined before
        // one leaves this thread (a failed allocation anywhere in the work):
        // the first is thrown here once no chunk is handed out any more.
        // The helpers never take a stop signal: it reaches the calling thread.
        auto handOutNoMore = [&next, count]() noexcept { next.store(count); };
        HelperThreads<decltype(handOutNoMore)> helpers(handOutNoMore);
        helpers.start(threads - 1, [&takeChunks](int worker) { takeChunks(worker, nullptr); });
        takeChunks(0, &progress);
        helpers.joinAll();
    }
    finishProgress(progress);
}

}  // namespace korvanel
