// The stop signals, in a child process of their own (death tests): the
// stop request is remembered once and set for good.

#include "base/signal_guard.hpp"

#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"
#include "base/test_directory.hpp"

namespace korvanel {
namespace {

// The first stop signal removes the marked temporary files at once and
// leaves the stop to the run: exit status 128 + N.
bool firstSignalIsRemembered(const std::string& temporary) {
    installSignalHandlers();
    writeBytes(temporary, "part");
    TemporaryFileMark mark(temporary);
    if (stopSignal() != 0) return false;
    std::raise(SIGTERM);
    if (stopSignal() != SIGTERM || ::access(temporary.c_str(), F_OK) == 0) return false;
    try {
        stopIfInterrupted();
    } catch (const FatalStop& stop) {
        const std::vector<std::string> lines{"The run was interrupted by signal 15"};
        return stop.exitStatus == 128 + SIGTERM && stop.consoleLines == lines;
    }
    return false;
}

TEST(SignalGuardDeathTest, FirstStopSignalIsRememberedAndRemovesTemporaries) {
    TestDirectory dir;
    EXPECT_EXIT(std::_Exit(firstSignalIsRemembered(dir / ".j.ndd.1.0.tmp") ? 0 : 1),
                ::testing::ExitedWithCode(0), "");
}

TEST(SignalGuardDeathTest, SecondStopSignalEndsTheProcess) {
    EXPECT_EXIT(
        {
            installSignalHandlers();
            std::raise(SIGINT);
            std::raise(SIGINT);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGINT), "");
}

TEST(SignalGuardDeathTest, PipeAndFileSizeSignalsAreIgnored) {
    EXPECT_EXIT(
        {
            installSignalHandlers();
            std::raise(SIGPIPE);
            std::raise(SIGXFSZ);
            std::_Exit(stopSignal() == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Started with SIGHUP and SIGINT ignored (nohup, a script's background job):
// they stay ignored, while SIGTERM still stops the run.
TEST(SignalGuardDeathTest, InheritedIgnoredSignalsStayIgnored) {
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_IGN);
            std::signal(SIGINT, SIG_IGN);
            installSignalHandlers();
            std::raise(SIGHUP);
            std::raise(SIGINT);
            const bool ignored = stopSignal() == 0;
            std::raise(SIGTERM);
            std::_Exit(ignored && stopSignal() == SIGTERM ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace korvanel
