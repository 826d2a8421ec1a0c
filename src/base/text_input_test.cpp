#include "base/text_input.hpp"

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"
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

}  // namespace
}  // namespace korvanel
