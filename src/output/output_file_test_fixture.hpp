#pragma once

// Test support for the result file writers: a temporary directory per test,
// the bytes of a written file, and runs of blanks for expected zone spacing.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace korvanel {

inline std::string spaces(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

class OutputFileTest : public ::testing::Test {
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

    static std::string bytesOf(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

}  // namespace korvanel
