#pragma once

// Threads that help the calling thread with one piece of work (the node
// loop). No exception ever leaves a helper, and no helper outlives the
// object: an exception that would end a thread with helpers still running
// ends the process (std::terminate), the worst way a run can end.
//
// - A helper that ends with an exception keeps it (an exception_ptr takes no
//   new memory: a failed allocation is kept as it was thrown) and asks the
//   others to stop; joinAll() throws the first one kept.
// - When the calling thread leaves by an exception, the object's end asks
//   the helpers to stop and waits for them before the exception goes on.
// - Stop signals are blocked in the helpers (see StopSignalsBlocked).

#include <exception>
#include <thread>
#include <utility>
#include <vector>

#include "base/signal_guard.hpp"

namespace korvanel {

template <class Stop>
class HelperThreads {
public:
    // `stop` asks the work to end soon; it must not throw.
    explicit HelperThreads(Stop stop) : stop_(std::move(stop)) {}
    HelperThreads(const HelperThreads&) = delete;
    HelperThreads& operator=(const HelperThreads&) = delete;
    ~HelperThreads() {
        if (running()) stop_();
        waitForAll();
    }

    // Starts up to `count` helpers that run `work(n)`, n = 1, 2, ... (0 is
    // the calling thread's number). Fewer start when the
    // system has no thread (or no memory) for more: the work is shared by
    // those there are. Memory for the helpers' records is taken before the
    // first starts, so that a failure there leaves nothing running.
    template <class Work>
    void start(int count, const Work& work) {
        if (count <= 0) return;
        threads_.reserve(static_cast<std::size_t>(count));
        failures_.resize(static_cast<std::size_t>(count));
        StopSignalsBlocked blocked;
        for (int t = 0; t < count; ++t) {
            std::exception_ptr* failure = &failures_[static_cast<std::size_t>(t)];
            try {
                threads_.emplace_back([this, failure, work, t]() noexcept {
                    try {
                        work(t + 1);
                    } catch (...) {
                        *failure = std::current_exception();
                        stop_();
                    }
                });
            } catch (...) {
                break;  // fewer helpers: the same work, only slower
            }
        }
    }

    int count() const { return static_cast<int>(threads_.size()); }

    // Waits for every helper, then throws the first exception one ended with.
    void joinAll() {
        waitForAll();
        for (std::exception_ptr& failure : failures_)
            if (failure) std::rethrow_exception(std::exchange(failure, nullptr));
    }

private:
    bool running() const {
        for (const std::thread& t : threads_)
            if (t.joinable()) return true;
        return false;
    }
    void waitForAll() noexcept {
        for (std::thread& t : threads_)
            if (t.joinable()) t.join();
    }

    Stop stop_;
    std::vector<std::thread> threads_;
    std::vector<std::exception_ptr> failures_;
};

}  // namespace korvanel
