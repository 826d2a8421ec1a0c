#include "base/value_warnings.hpp"

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"

namespace korvanel {
namespace {

struct Row {
    const char* text;    // the file: one value in the middle of a line
    bool integer;        // read into an integer field
    const char* shown;   // the warning, without "korvanel: warning: "; "" for none
};

// Reads "1, <value>, 2" from the second line of a file, the value as a real or an integer.
std::vector<std::string> warningsOf(const Row& row) {
    InputWarnings warnings;
    InputText in = inputTextFromString("job/j.cmb", std::string("0\r\n1, ") + row.text + ", 2\r\n");
    attachWarnings(in, warnings);
    readReal(in);
    readReal(in);
    if (row.integer)
        readInteger(in);
    else
        readReal(in);
    EXPECT_EQ(readReal(in), 2.0) << row.text;
    return takeWarningLines(warnings);
}

TEST(ValueWarnings, TextThatIsNotWhollyANumber) {
    const Row rows[] = {
        {"3OO", false, "job/j.cmb line 2, value 2: '3OO' is not wholly a number; read as 3"},
        {"O.5", false, "job/j.cmb line 2, value 2: 'O.5' is not wholly a number; read as 0"},
        {"1S0", true, "job/j.cmb line 2, value 2: '1S0' is not wholly a number; read as 1"},
        {"abc", true, "job/j.cmb line 2, value 2: 'abc' is not wholly a number; read as 0"},
        {"", false, "job/j.cmb line 2, value 2: an empty value; read as 0"},
        {"1e", false, "job/j.cmb line 2, value 2: '1e' is not wholly a number; read as 1"},
        {"2.5x", true, "job/j.cmb line 2, value 2: '2.5x' is not wholly a number; read as 2"},
        {"&HFG", true, "job/j.cmb line 2, value 2: '&HFG' is not wholly a number; read as 15"},
        {"\"1,000\"", false, "job/j.cmb line 2, value 2: '1,000' is not wholly a number; read as 1"},
        {"5;", false, "job/j.cmb line 2, value 2: '5;' is not wholly a number; read as 5"},
        {"\x01\xff", false, "job/j.cmb line 2, value 2: '\\x01\\xFF' is not wholly a number; read as 0"},
        // Whole numbers of every form read without a word.
        {"-2.5E+3", false, ""}, {"1.8d2", false, ""}, {"+7", true, ""}, {"&HFF", true, ""},
        {"2.5", true, ""}, {".5", false, ""}, {"\"5\"", false, ""},
        {"12345678901234567890.5", false, ""},
    };
    for (const Row& row : rows) {
        std::vector<std::string> lines = warningsOf(row);
        if (*row.shown == '\0') {
            EXPECT_TRUE(lines.empty()) << row.text;
        } else {
            ASSERT_EQ(lines.size(), 1u) << row.text;
            EXPECT_EQ(lines[0], std::string("korvanel: warning: ") + row.shown);
        }
    }
}

TEST(ValueWarnings, StrictMakesTheFirstWarningTheStop) {
    InputWarnings warnings;
    warnings.strict = true;
    InputText in = inputTextFromString("job/j.sig", "1, 3OO\r\n");
    attachWarnings(in, warnings);
    readReal(in);
    try {
        readReal(in);
        FAIL() << "no stop";
    } catch (const FatalStop& stop) {
        const std::string text = "job/j.sig line 1, value 2: '3OO' is not wholly a number; read as 3";
        EXPECT_EQ(stop.consoleLines, std::vector<std::string>{text});
        EXPECT_EQ(stop.advisoryLines, std::vector<std::string>{text});
    }
}

TEST(ValueWarnings, OnlyTheFirstOfAKindAreShownTheRestCounted) {
    InputWarnings warnings;
    std::string text;
    for (int i = 0; i < 25; ++i) text += "x\r\n";
    InputText in = inputTextFromString("job/j.sig", text);
    attachWarnings(in, warnings);
    while (!atEnd(in)) readReal(in);
    const std::vector<std::string> lines = takeWarningLines(warnings);
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines[19], "korvanel: warning: job/j.sig line 20, value 1: 'x' is not wholly a number; read as 0");
    EXPECT_EQ(moreWarningsLines(warnings),
              std::vector<std::string>{"korvanel: warning: ... and 5 more values that are not wholly numbers"});
    EXPECT_EQ(warningCount(warnings), 25);
}

TEST(ValueWarnings, OutOfRangeStopNamesTheLineAndTheText) {
    InputText in = inputTextFromString("job/j.sig", "1\r\n2 1e400\r\n");
    readReal(in);
    readReal(in);
    try {
        readReal(in);
        FAIL() << "no stop";
    } catch (const FatalStop& stop) {
        EXPECT_EQ(stop.consoleLines, std::vector<std::string>{"Number out of range in the file job/j.sig"});
        EXPECT_EQ(stop.details, std::vector<std::string>{
                                    "job/j.sig line 2, value 2: '1e400' is too large for its field"});
    }
}

TEST(ValueWarnings, LineShapesOfAFileWrittenOneGroupPerLine) {
    const char* const tail =
        ", but a time point is 2 load-case factors: the file is read as a stream of values, so "
        "this line is not one time point (a decimal comma, or a value too many or too few?)";
    struct ShapeRow {
        const char* file;
        std::vector<std::string> shown;  // without "korvanel: warning: " and `tail`
    };
    const ShapeRow rows[] = {
        {"0, 0\r\n1,5, 0,2\r\n1, 0\r\n", {"j.cmb line 2 holds 4 values ('1,5, 0,2')"}},
        {"1, 0, 1\n2, 0, 2\n", {"j.cmb line 1 holds 3 values ('1, 0, 1')",
                                "j.cmb line 2 holds 3 values ('2, 0, 2')"}},
        {"1, 0,\r\n0, 1\r\n", {"j.cmb line 1 holds 3 values ('1, 0,')"}},
        {"1\r\n0, 1\r\n", {"j.cmb line 1 holds 1 value ('1')"}},
        // One line holding every value is not a line per time point; empty
        // lines have warnings of their own; a last line end adds nothing.
        {"1, 0, 1, 0, 2, 1\r\n", {}},
        {"1, 0\r\n\r\n0, 1\r\n\r\n", {}},
        {"\xEF\xBB\xBF" "1, 0\r\n0, 1", {}},
        {"\"1\", 0\r\n0, 1\r\n", {}},
    };
    for (const ShapeRow& row : rows) {
        InputWarnings warnings;
        InputText in = inputTextFromString("j.cmb", row.file);
        attachWarnings(in, warnings);
        skipByteOrderMark(in);
        warnAboutLineShapes(in, in.position(), 2, "time point", "2 load-case factors");
        std::vector<std::string> expected;
        for (const std::string& line : row.shown) expected.push_back("korvanel: warning: " + line + tail);
        EXPECT_EQ(takeWarningLines(warnings), expected) << row.file;
    }
}

TEST(ValueWarnings, AGroupReadOffItsLineInALargeFile) {
    const char* const tail =
        ", but a node line is 3 values: the file is read as a stream of values, so this line is "
        "not one node line (a decimal comma, or a value too many or too few?)";
    struct ShiftRow {
        const char* file;
        std::vector<std::string> shown;  // without "korvanel: warning: " and `tail`
    };
    const ShiftRow rows[] = {
        {"1, 2, 3\r\n4, 5, 6\r\n", {}},
        {"1, 2, 3\r\n4, 5, 6, 7\r\n8, 9\r\n1, 2, 3\r\n",
         {"j.nds line 2 holds 4 values ('4, 5, 6, 7')"}},
        {"1, 2\r\n3, 4, 5\r\n6\r\n", {"j.nds line 1 holds 2 values ('1, 2')"}},
        {"1,5, 2, 3\r\n4, 5, 6\r\n", {"j.nds line 1 holds 4 values ('1,5, 2, 3')"}},
        {"1, 2, 3, 4, 5, 6\r\n", {}},          // all on one line
        {"1, 2, 3, 4, 5, 6, 7, 8, 9", {}},      // no line end at all
    };
    for (const ShiftRow& row : rows) {
        InputWarnings warnings;
        InputText in = inputTextFromString("j.nds", row.file);
        attachWarnings(in, warnings);
        while (!atEnd(in)) {
            const std::size_t start = in.position();
            const bool atStart = atLineStart(in);
            for (int k = 0; k < 3; ++k) readReal(in);
            if (atStart) warnIfGroupLeftItsLine(in, start, "node line", "3 values");
        }
        std::vector<std::string> expected;
        for (const std::string& line : row.shown) expected.push_back("korvanel: warning: " + line + tail);
        EXPECT_EQ(takeWarningLines(warnings), expected) << row.file;
    }
}

}  // namespace
}  // namespace korvanel
