#include "run/job_location.hpp"

#include <gtest/gtest.h>

#include "base/test_directory.hpp"

namespace korvanel {
namespace {

JobLocation readFrom(const std::string& content) {
    TestDirectory dir;
    writeBytes(dir / "korvanel.inp", content);
    return readJobControlFile(dir / "korvanel.inp");
}

TEST(JobControlFile, OneLineOrTwoLinesGiveTheSameJob) {
    JobLocation oneLine = readFrom("/data/jobs,bracket\r\n");
    JobLocation twoLines = readFrom("/data/jobs\r\nbracket\r\n");
    EXPECT_EQ(oneLine.directory, "/data/jobs");
    EXPECT_EQ(oneLine.name, "bracket");
    EXPECT_EQ(twoLines.directory, oneLine.directory);
    EXPECT_EQ(twoLines.name, oneLine.name);
}

TEST(JobControlFile, BlanksAreKeptAndQuotesMayHoldCommas) {
    JobLocation job = readFrom("  my jobs ,  name\r\n");
    EXPECT_EQ(job.directory, "my jobs ");
    EXPECT_EQ(job.name, "name");
    EXPECT_EQ(jobFilePath(job, ".inp"), "my jobs /name.inp");
    job = readFrom("\"a,b\",\"c d\"\n");
    EXPECT_EQ(job.directory, "a,b");
    EXPECT_EQ(job.name, "c d");
}

TEST(JobFilePath, SeparatorIsInsertedWithoutNormalisation) {
    EXPECT_EQ(jobFilePath({"dir/", "j"}, ".sum"), "dir//j.sum");
    EXPECT_EQ(jobFilePath({"", "j"}, ".nds"), "/j.nds");
}

}  // namespace
}  // namespace korvanel
