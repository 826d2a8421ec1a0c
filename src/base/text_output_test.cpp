#include "base/text_output.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace korvanel {
namespace {

TEST(PrintForm, DoublesFollowSixteenDigitsWithWideExponent) {
    EXPECT_EQ(printForm(0.5), " 0.5");
    EXPECT_EQ(printForm(-3.0), "-3");
    EXPECT_EQ(printForm(100.0), " 100");
    EXPECT_EQ(printForm(0.0), " 0");
    EXPECT_EQ(printForm(-0.0), " 0");
    EXPECT_EQ(printForm(1e20), " 1e+020");
    EXPECT_EQ(printForm(2.5e-7), " 2.5e-007");
    EXPECT_EQ(printForm(1e-5), " 1e-005");
    EXPECT_EQ(printForm(-1e300), "-1e+300");
    EXPECT_EQ(printForm(1234567890123456789.0), " 1.234567890123457e+018");
    EXPECT_EQ(printForm(0.1), " 0.1");
    EXPECT_EQ(printForm(1.0 / 3.0), " 0.3333333333333333");
    EXPECT_EQ(printForm(1e15), " 1000000000000000");
    EXPECT_EQ(printForm(1e16), " 1e+016");
    EXPECT_EQ(printForm(123456789012345.0), " 123456789012345");
    EXPECT_EQ(printForm(0.0001), " 0.0001");
    EXPECT_EQ(printForm(4.9e-324), " 4.940656458412465e-324");
}

TEST(PrintForm, NonFiniteAndIntegers) {
    double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(printForm(inf), " inf");
    EXPECT_EQ(printForm(-inf), "-inf");
    EXPECT_EQ(printForm(std::nan("")), " nan");
    EXPECT_EQ(writeForm(inf), "inf");
    EXPECT_EQ(writeForm(-inf), "-inf");
    EXPECT_EQ(writeForm(std::nan("")), "nan");
    EXPECT_EQ(printForm(std::int64_t{42}), " 42");
    EXPECT_EQ(printForm(std::int64_t{-7}), "-7");
    EXPECT_EQ(printForm(std::int64_t{0}), " 0");
    EXPECT_EQ(printForm(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

TEST(WriteForm, HasNoLeadingBlank) {
    EXPECT_EQ(writeForm(250.0), "250");
    EXPECT_EQ(writeForm(-12.5), "-12.5");
    EXPECT_EQ(writeForm(-0.0), "0");
    EXPECT_EQ(writeForm(1e20), "1e+020");
}

TEST(Formatted, MaskWithSixDecimals) {
    EXPECT_EQ(formatted(0.0, '.'), "0.000000e+00");
    EXPECT_EQ(formatted(-0.0, '.'), "0.000000e+00");
    EXPECT_EQ(formatted(123.456, '.'), "1.234560e+02");
    EXPECT_EQ(formatted(-0.00012, '.'), "-1.200000e-04");
    EXPECT_EQ(formatted(9.9999999, '.'), "1.000000e+01");
    EXPECT_EQ(formatted(1e100, '.'), "1.000000e+100");
    EXPECT_EQ(formatted(1e-18, '.'), "1.000000e-18");
    EXPECT_EQ(formatted(2.5e-4, ','), "2,500000e-04");
    EXPECT_EQ(formatted(std::numeric_limits<double>::infinity(), ','), "inf");
    EXPECT_EQ(formatted(std::nan(""), '.'), "nan");
}

TEST(OutputChannel, ZoneSeparatorAdvancesToNextFourteenColumnZone) {
    OutputChannel ch;
    putZone(ch);
    EXPECT_EQ(ch.text(), std::string(14, ' '));
    ch = OutputChannel();
    putText(ch, "12345678901234");  // exactly one zone wide
    putZone(ch);
    putText(ch, "x");
    EXPECT_EQ(ch.text().find('x'), 28u);  // column 29
    ch = OutputChannel();
    putText(ch, "1234567890123");
    putZone(ch);
    EXPECT_EQ(ch.text().size(), 14u);  // one blank
    putText(ch, "ab\r\ncd");
    EXPECT_EQ(ch.column(), 2);
    putLineEnd(ch);
    EXPECT_EQ(ch.column(), 0);
    EXPECT_EQ(ch.text().substr(ch.text().size() - 2), "\r\n");
}

TEST(OutputChannel, PrintStatementsAndWriteStatements) {
    OutputChannel ch;
    putText(ch, "Yielding stress ");
    putZone(ch);
    putDouble(ch, 355.0);
    putLineEnd(ch);
    EXPECT_EQ(ch.text(), "Yielding stress " + std::string(12, ' ') + " 355\r\n");
    ch = OutputChannel();
    const double values[] = {250.0, -12.5, 0.0, 40.0, 0.0, 0.0};
    putWriteStatement(ch, values);
    EXPECT_EQ(ch.text(), "250,-12.5,0,40,0,0\r\n");
}

}  // namespace
}  // namespace korvanel
