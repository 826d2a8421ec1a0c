#pragma once

// Support shared by the unit tests; included only by *_test.cpp files.
// expectStop gives the FatalStop a piece of code raises; TempDirTest gives
// each test a fresh directory for the writers that take a path, and
// bytesOf reads back what they wrote.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <source_location>
#include <string>
#include <utility>

#include "base/fatal_stop.hpp"
#include "base/text_output.hpp"

namespace korvanel {

// Runs `work` and returns the FatalStop it raises. When it ends without one,
// the test fails at the caller's line and the stop returned has the single
// line "no fatal stop" on both lists, so that comparisons after it fail too.
template <class Work>
FatalStop expectStop(Work&& work, std::source_location where = std::source_location::current()) {
    try {
        std::forward<Work>(work)();
    } catch (const FatalStop& stop) {
        return stop;
    }
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line())) << "no fatal stop";
    return FatalStop{{"no fatal stop"}, {"no fatal stop"}};
}

// A run of n blanks, for expected zone spacing.
inline std::string spaces(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

// The text a writer puts into a channel, rendered in memory: what its file
// would hold, with no disk involved.
template <class Write>
std::string textWritten(char decimalSeparator, Write&& write) {
    OutputChannel out(decimalSeparator);
    write(out);
    return out.text();
}

// The bytes of a file; empty when it cannot be read.
inline std::string bytesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A directory of its own for every test, removed with its contents after it.
class TempDirTest : public ::testing::Test {
protected:
    std::filesystem::path dir;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              ("korvanel_" + std::string(info->name()) + "_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string pathOf(const char* name) const { return (dir / name).string(); }
};

}  // namespace korvanel
