#include "output/path_file.hpp"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

namespace korvanel {
namespace {

std::string bytesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PathFile, OneWriteLinePerPointAndEmptyPath) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("korvanel_path_file_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string sep = (dir / "job.sep").string();

    const std::vector<Stress6> points{{{250.0, -12.5, 0.0, 40.0, 0.0, 0.0}},
                                      {{1e-5, 0.1, -0.0, 1234567890123456789.0, -1e300, 2.0 / 3.0}}};
    writePathFile(sep, points, ',');
    EXPECT_EQ(bytesOf(sep), "250,-12.5,0,40,0,0\r\n"
                            "1e-005,0.1,0,1.234567890123457e+018,-1e+300,0.6666666666666666\r\n");

    // Rewriting empties the file first.
    writePathFile(sep, {}, '.');
    EXPECT_TRUE(std::filesystem::exists(sep));
    EXPECT_EQ(bytesOf(sep), "");

    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace korvanel
