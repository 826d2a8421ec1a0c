#include "output/path_file.hpp"

#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "base/test_support.hpp"

namespace korvanel {
namespace {

using PathFile = TempDirTest;

TEST_F(PathFile, OneWriteLinePerPointAndEmptyPath) {
    const std::string sep = pathOf("job.sep");

    const std::vector<Stress6> points{{{250.0, -12.5, 0.0, 40.0, 0.0, 0.0}},
                                      {{1e-5, 0.1, -0.0, 1234567890123456789.0, -1e300, 2.0 / 3.0}}};
    writePathFile(sep, points, ',');
    EXPECT_EQ(bytesOf(sep), "250,-12.5,0,40,0,0\r\n"
                            "1e-005,0.1,0,1.234567890123457e+018,-1e+300,0.6666666666666666\r\n");

    // Rewriting empties the file first.
    writePathFile(sep, {}, '.');
    EXPECT_TRUE(std::filesystem::exists(sep));
    EXPECT_EQ(bytesOf(sep), "");
}

}  // namespace
}  // namespace korvanel
