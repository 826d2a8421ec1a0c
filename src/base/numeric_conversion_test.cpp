#include "base/numeric_conversion.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace korvanel {
namespace {

double real(std::string_view s) {
    double v = -99.0;
    EXPECT_TRUE(convertReal(s, v)) << s;
    return v;
}

std::int64_t integer(std::string_view s) {
    std::int64_t v = -99;
    EXPECT_TRUE(convertInteger(s, v)) << s;
    return v;
}

TEST(NumericConversion, RealsAndLeadingNumericPrefix) {
    EXPECT_EQ(real("2.5"), 2.5);
    EXPECT_EQ(real("1d3"), 1000.0);
    EXPECT_EQ(real("-1.5D-2"), -0.015);
    EXPECT_EQ(real("+.5"), 0.5);
    EXPECT_EQ(real("12abc"), 12.0);
    EXPECT_EQ(real("3.5x7"), 3.5);
    EXPECT_EQ(real("1e"), 1.0);    // incomplete exponent is ignored
    EXPECT_EQ(real("1e+"), 1.0);
    EXPECT_EQ(real("abc"), 0.0);
    EXPECT_EQ(real("inf"), 0.0);
    EXPECT_EQ(real("nan"), 0.0);
    EXPECT_EQ(real("-"), 0.0);
    EXPECT_EQ(real(""), 0.0);
    EXPECT_EQ(real("."), 0.0);
    EXPECT_EQ(real("2."), 2.0);
    EXPECT_EQ(real("1e-400"), 0.0);
    EXPECT_EQ(real("123456789012345678901234567890"), 1.2345678901234568e29);
    EXPECT_EQ(real("&H1E"), 30.0);
    EXPECT_EQ(real("&o17"), 15.0);
    EXPECT_EQ(real("&B101"), 5.0);
    EXPECT_EQ(real("&Hzz"), 0.0);
}

TEST(NumericConversion, IntegersRoundRealsTiesToEven) {
    EXPECT_EQ(integer("2.0"), 2);
    EXPECT_EQ(integer("2.5"), 2);
    EXPECT_EQ(integer("3.5"), 4);
    EXPECT_EQ(integer("-2.5"), -2);
    EXPECT_EQ(integer("1e3"), 1000);
    EXPECT_EQ(integer("42abc"), 42);
    EXPECT_EQ(integer("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(integer("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(integer("000000000000000000000000007"), 7);
    EXPECT_EQ(integer("&HFF"), 255);
    EXPECT_EQ(integer("&H7FFFFFFFFFFFFFFF"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(integer("word"), 0);
}

TEST(NumericConversion, OutOfRangeValuesAreRefused) {
    double d;
    std::int64_t i;
    EXPECT_FALSE(convertReal("1e400", d));
    EXPECT_FALSE(convertReal("-1e400", d));
    EXPECT_FALSE(convertReal("1d999", d));
    EXPECT_FALSE(convertReal("&HFFFFFFFFFFFFFFFFFF", d));
    EXPECT_FALSE(convertInteger("9223372036854775808", i));
    EXPECT_FALSE(convertInteger("-9223372036854775809", i));
    EXPECT_FALSE(convertInteger("9.3e18", i));
    EXPECT_FALSE(convertInteger("&H8000000000000000", i));
    EXPECT_FALSE(convertInteger("1e400", i));
    EXPECT_FALSE(convertReal(std::string(400, '9'), d));
}

// Short decimals take a quicker path than long ones; both must give the
// nearest double, as the C library's conversion does.
TEST(NumericConversion, ShortAndLongDecimalsGiveTheNearestDouble) {
    std::uint64_t state = 12345;
    auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 33;
    };
    char text[64];
    for (int i = 0; i < 20000; ++i) {
        const int digits = 1 + static_cast<int>(next() % 19);
        const int point = static_cast<int>(next() % (digits + 1));
        int n = 0;
        if (next() % 2) text[n++] = '-';
        for (int d = 0; d < digits; ++d) {
            if (d == point && d > 0) text[n++] = '.';
            text[n++] = static_cast<char>('0' + next() % 10);
        }
        if (next() % 3 == 0) n += std::snprintf(text + n, sizeof text - n, "e%d",
                                                static_cast<int>(next() % 61) - 30);
        text[n] = '\0';
        double got = 0.0;
        ASSERT_TRUE(convertReal(text, got)) << text;
        EXPECT_EQ(got, std::strtod(text, nullptr)) << text;
    }
    double v = 0.0;
    ASSERT_TRUE(convertReal("0.000123d2", v));
    EXPECT_EQ(v, 0.0123);
    ASSERT_TRUE(convertReal("-0", v));
    EXPECT_TRUE(std::signbit(v));
    ASSERT_TRUE(convertReal("123456789012345.5", v));  // sixteen digits: the general way
    EXPECT_EQ(v, 123456789012345.5);
}

}  // namespace
}  // namespace korvanel
