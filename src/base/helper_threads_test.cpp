// Helpers that fail, and a calling thread that fails while they run: the
// failure comes out on the calling thread, never through std::terminate.

#include "base/helper_threads.hpp"

#include <atomic>
#include <new>
#include <stdexcept>

#include <gtest/gtest.h>

namespace korvanel {
namespace {

// Work that runs until it is asked to stop, as the node loop's chunks do.
struct Loop {
    std::atomic<bool> stopped{false};
    std::atomic<int> ran{0};
    void work() {
        ++ran;
        while (!stopped.load()) std::this_thread::yield();
    }
};

TEST(HelperThreads, EveryHelperRunsAndIsJoined) {
    std::atomic<int> ran{0};
    auto stop = [] {};
    HelperThreads<decltype(stop)> helpers(stop);
    helpers.start(7, [&](int) { ++ran; });
    helpers.joinAll();
    EXPECT_EQ(ran.load(), helpers.count());
    EXPECT_GE(helpers.count(), 1);
}

// The first failure of a helper, a failed allocation as much as any other,
// stops the others and is thrown by joinAll on the calling thread.
TEST(HelperThreads, HelperFailureStopsTheOthersAndComesOutOnTheCaller) {
    Loop loop;
    auto stop = [&] { loop.stopped = true; };
    HelperThreads<decltype(stop)> helpers(stop);
    std::atomic<int> started{0};
    helpers.start(8, [&](int) {
        if (started++ == 3) throw std::bad_alloc();
        loop.work();
    });
    EXPECT_THROW(helpers.joinAll(), std::bad_alloc);
    EXPECT_TRUE(loop.stopped.load());
    EXPECT_NO_THROW(helpers.joinAll());  // thrown once
}

// The calling thread fails while the helpers run: they are stopped and
// joined before its exception goes on.
TEST(HelperThreads, CallerFailureStopsAndJoinsTheHelpers) {
    Loop loop;
    try {
        auto stop = [&] { loop.stopped = true; };
        HelperThreads<decltype(stop)> helpers(stop);
        helpers.start(8, [&](int) { loop.work(); });
        throw std::bad_alloc();
    } catch (const std::bad_alloc&) {
    }
    EXPECT_TRUE(loop.stopped.load());
}

}  // namespace
}  // namespace korvanel
