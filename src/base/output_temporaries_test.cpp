// Temporaries that killed runs left: exactly those of the file are removed.

#include "base/output_temporaries.hpp"

#include <algorithm>

#include <gtest/gtest.h>

#include "base/test_directory.hpp"
#include "base/text_output.hpp"

namespace korvanel {
namespace {

TEST(LeftTemporaries, OnlyThoseOfTheFileAreRemoved) {
    TestDirectory dir;
    const std::vector<std::string> removed{".j.ndd.1.0.tmp", ".j.ndd.4711.12.tmp"};
    const std::vector<std::string> kept{
        "j.ndd",                  // the file itself
        ".j.ndd.4711.0.tmp.x",    // more after the end
        ".j.ndd.x.0.tmp",         // no process ID
        ".j.ndd..0.tmp",          // an empty process ID
        ".j.ndd.4711.tmp",        // no number
        ".j.nddx.4711.0.tmp",     // another name
        ".j.ndd.ndd.4711.0.tmp",  // the .ndd of the job "j.ndd"
        ".k.ndd.4711.0.tmp",      // another job
        ".korvanel.adv.4711.0.tmp",
    };
    for (const auto& name : removed) writeBytes(dir / name, "part");
    for (const auto& name : kept) writeBytes(dir / name, "part");
    EXPECT_EQ(removeLeftTemporaries(dir / "j.ndd"), 2);
    std::vector<std::string> sortedKept = kept;
    std::sort(sortedKept.begin(), sortedKept.end());
    EXPECT_EQ(dir.names(), sortedKept);
}

// The names removed are those a file being written has.
TEST(LeftTemporaries, NameOfAFileBeingWrittenIsRecognised) {
    TestDirectory dir;
    OutputChannel open = OutputChannel::file(dir / "j.sum", '.');
    ASSERT_EQ(dir.names().size(), 1u);
    EXPECT_EQ((dir / dir.names()[0]).rfind(temporaryPrefix(dir / "j.sum"), 0), 0u);
    EXPECT_EQ(removeLeftTemporaries(dir / "j.sum"), 1);
    EXPECT_TRUE(dir.names().empty());
}

// A name cut to fit into its temporary's name could share its prefix with
// another file's: nothing is removed.
TEST(LeftTemporaries, NothingForANameThatWasCut) {
    TestDirectory dir;
    const std::string longName(230, 'n');
    OutputChannel open = OutputChannel::file(dir / longName, '.');
    EXPECT_EQ(removeLeftTemporaries(dir / longName), 0);
    EXPECT_EQ(dir.names().size(), 1u);
}

}  // namespace
}  // namespace korvanel
