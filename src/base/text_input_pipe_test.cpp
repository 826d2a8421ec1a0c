// Input files that are not plain files: a named pipe that no program writes
// to must read as an empty file instead of blocking the run for ever.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"
#include "base/test_directory.hpp"
#include "base/test_support.hpp"
#include "base/text_input.hpp"

namespace korvanel {
namespace {

TEST(TextInputPipe, NamedPipeWithoutWriterReadsAsEmpty) {
    TestDirectory dir;
    const std::string fifo = dir.path + "/j.sig";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    InputText in = openInputText(fifo);
    EXPECT_TRUE(atEnd(in));
    EXPECT_EQ(in.path(), fifo);
    EXPECT_EQ(readReal(in), 0.0);  // a read at the end of the file is empty
}

TEST(TextInputPipe, DirectoryStillCannotBeOpened) {
    TestDirectory dir;
    EXPECT_EQ(expectStop([&] { openInputText(dir.path); }).consoleLines,
              std::vector<std::string>{"Cannot open the input file " + dir.path});
}

}  // namespace
}  // namespace korvanel
