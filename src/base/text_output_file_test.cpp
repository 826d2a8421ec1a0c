// Output files reach their names whole: written under a temporary name in
// the same directory and renamed when closed.

#include <unistd.h>

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"
#include "base/test_directory.hpp"
#include "base/text_output.hpp"

namespace korvanel {
namespace {

void writeLine(const std::string& path, const std::string& text) {
    OutputChannel file = OutputChannel::file(path, '.');
    putText(file, text);
    putLineEnd(file);
    file.close();
}

// A symbolic link (also a dangling one) and a hard link at the name are
// replaced by the new file; what they led to stays as it was.
TEST(OutputFile, LinksAtTheNameAreReplacedNotWrittenThrough) {
    TestDirectory dir;
    writeBytes(dir / "kept", "kept\r\n");
    ASSERT_EQ(::symlink("kept", (dir / "j.sum").c_str()), 0);
    ASSERT_EQ(::symlink("created", (dir / "j.cyc").c_str()), 0);
    ASSERT_EQ(::link((dir / "kept").c_str(), (dir / "j.ndd").c_str()), 0);
    for (const char* name : {"j.sum", "j.cyc", "j.ndd"}) writeLine(dir / name, "new");
    EXPECT_EQ(fileBytes(dir / "kept"), "kept\r\n");
    for (const char* name : {"j.sum", "j.cyc", "j.ndd"})
        EXPECT_EQ(fileBytes(dir / name), "new\r\n");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"j.cyc", "j.ndd", "j.sum", "kept"}));
}

// A file left unfinished (a stop on its way) is removed: the name keeps its
// earlier file, and no temporary is left.
TEST(OutputFile, UnfinishedFileLeavesTheNameAsItWas) {
    TestDirectory dir;
    writeBytes(dir / "j.ndd", "old\r\n");
    {
        OutputChannel file = OutputChannel::file(dir / "j.ndd", '.');
        putText(file, std::string(3 << 20, 'x'));
        file.flushIfLarge();
        EXPECT_EQ(dir.names().size(), 2u);  // the file and its temporary
    }
    EXPECT_EQ(fileBytes(dir / "j.ndd"), "old\r\n");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"j.ndd"});
}

// A name that cannot take the file (a directory) is the write stop, and the
// temporary is removed.
TEST(OutputFile, NameThatCannotBeReplacedStopsTheRun) {
    TestDirectory dir;
    ASSERT_EQ(::mkdir((dir / "j.sum").c_str(), 0755), 0);
    try {
        writeLine(dir / "j.sum", "new");
        FAIL() << "no stop";
    } catch (const FatalStop& stop) {
        EXPECT_EQ(stop.consoleLines.at(0), "Cannot write the output file " + (dir / "j.sum"));
        EXPECT_EQ(stop.exitStatus, 1);
    }
    EXPECT_EQ(dir.names(), std::vector<std::string>{"j.sum"});
}

}  // namespace
}  // namespace korvanel
