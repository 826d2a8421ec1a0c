#include "base/text_input.hpp"

#include <unistd.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"
#include "base/test_directory.hpp"
#include "base/test_support.hpp"

namespace korvanel {
namespace {

InputText text(const std::string& data) { return inputTextFromString("job.inp", data); }

TEST(ValueRead, SeparatorsLineEndsAndEmptyValues) {
    InputText in = text("3, 4\r\n  2.0\n\n7\r8,,9");
    EXPECT_EQ(readInteger(in), 3);
    EXPECT_EQ(readInteger(in), 4);
    EXPECT_EQ(readInteger(in), 2);
    EXPECT_EQ(readInteger(in), 0);  // empty line: one empty value
    EXPECT_EQ(readInteger(in), 7);  // lone CR is a line end
    EXPECT_EQ(readInteger(in), 8);
    EXPECT_EQ(readInteger(in), 0);  // between two commas
    EXPECT_FALSE(atEnd(in));
    EXPECT_EQ(readInteger(in), 9);
    EXPECT_TRUE(atEnd(in));
    EXPECT_EQ(readInteger(in), 0);  // at the end of the file
}

TEST(ValueRead, TextAfterLastValueIsLeftForTheNextWholeLineRead) {
    InputText in = text("1  word\r\ncomment\r\n2\r\n");
    EXPECT_EQ(readInteger(in), 1);
    readWholeLine(in);  // takes "word", not the comment line
    EXPECT_EQ(readInteger(in), 0);  // "comment" has no leading number
    EXPECT_EQ(readInteger(in), 2);
    EXPECT_TRUE(atEnd(in));
}

TEST(ValueRead, QuotedValuesAndBlanksBetweenValues) {
    InputText in = text("\"1,5\" , 6\t7 \r\n\"12");
    EXPECT_EQ(readValueText(in), "1,5");
    EXPECT_EQ(readValueText(in), "6");
    EXPECT_EQ(readValueText(in), "7");
    EXPECT_EQ(readValueText(in), "12");  // no closing quote: to the end of the file
    EXPECT_TRUE(atEnd(in));
}

TEST(ValueRead, OutOfRangeNamesTheFile) {
    InputText in = text("1e400");
    EXPECT_EQ(expectStop([&] { readReal(in); }).consoleLines.at(0),
              "Number out of range in the file job.inp");
}

TEST(StringValueRead, KeepsInnerAndTrailingBlanks) {
    InputText in = text("  my dir ,job\r\n");
    EXPECT_EQ(readStringValue(in), "my dir ");
    EXPECT_EQ(readStringValue(in), "job");
    in = text("\"a,b\"  ,\"c\"\r\nrest");
    EXPECT_EQ(readStringValue(in), "a,b");
    EXPECT_EQ(readStringValue(in), "c");
    EXPECT_EQ(readStringValue(in), "rest");
    in = text(std::string(5000, 'x'));
    EXPECT_EQ(readStringValue(in).size(), 4096u);
}

TEST(InputFile, MissingFileOrDirectoryCannotBeOpened) {
    EXPECT_EQ(expectStop([] { openInputText("/nonexistent/dir/x.inp"); }).advisoryLines.at(0),
              "Cannot open the input file /nonexistent/dir/x.inp");
    EXPECT_THROW(openInputText("/tmp"), FatalStop);
}

// Pages of this process in memory (the mapped text included).
long residentPages() {
    long size = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return -1;
    if (std::fscanf(f, "%ld %ld", &size, &resident) != 2) resident = -1;
    std::fclose(f);
    return resident;
}

// A file of zeros is one value from end to end: it reads as one empty-looking
// value, and the text behind the scan is given back as it goes instead of
// staying in memory whole.
TEST(InputFile, ValueOfManyMegabytesIsNotKeptInMemoryWhole) {
    TestDirectory dir;
    const std::string path = dir / "zeros.nds";
    constexpr std::size_t kBytes = std::size_t{96} << 20;
    writeBytes(path, std::string(kBytes, '\0') + ", 7");
    InputText in = openInputText(path);
    const long before = residentPages();
    const std::string_view value = readValueText(in);
    const long grown = residentPages() - before;
    EXPECT_EQ(value.size(), kBytes);
    EXPECT_EQ(readInteger(in), 7);
    const long page = ::sysconf(_SC_PAGESIZE);
    EXPECT_LT(grown * page, static_cast<long>(kBytes / 3)) << grown << " pages stayed";
    EXPECT_EQ(value.front(), '\0');  // the text given back reads from the file again
}

}  // namespace
}  // namespace korvanel
