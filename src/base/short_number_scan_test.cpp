#include "base/short_number_scan.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "base/fatal_stop.hpp"
#include "base/text_input.hpp"

namespace korvanel {
namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Scans `number` followed by `after`, with and without room for the word path.
void expectReal(const std::string& number, const std::string& after, double expected) {
    for (const std::string& padding : {std::string(), std::string(24, ' ')}) {
        const std::string text = number + after + padding;
        const char* next = nullptr;
        double value = 0.0;
        ASSERT_TRUE(scanShortReal(text.data(), text.data() + text.size(), next, value))
            << number << after << " padding " << padding.size();
        EXPECT_EQ(next, text.data() + number.size()) << number;
        EXPECT_TRUE(sameBits(value, expected)) << number << " gave " << value;
    }
}

void expectRealDeclined(const std::string& text) {
    for (const std::string& padding : {std::string(), std::string(24, ' ')}) {
        const std::string padded = text + padding;
        const char* next = nullptr;
        double value = 0.0;
        EXPECT_FALSE(scanShortReal(padded.data(), padded.data() + padded.size(), next, value))
            << text;
    }
}

TEST(ShortNumberScan, ReadsTheUsualNumberForms) {
    expectReal("-5.858", ",", -5.858);
    expectReal("13.385", "\r\n", 13.385);
    expectReal("+0.5", "\t", 0.5);
    expectReal("-.25", " ", -0.25);
    expectReal("7.", "\n", 7.0);
    expectReal("-0.000", ",", -0.0);
    expectReal("1234567.7654321", ",", 1234567.7654321);
    expectReal("-5.858234E+00", ",", -5.858234);
    expectReal("2.5e-3", "", 0.0025);
    expectReal("1e22", ",", 1e22);
    expectReal("123456789012345", ",", 123456789012345.0);  // 15 digits: the character path
    expectReal("0.000000000000000000001", ",", 1e-21);      // leading zeros do not count
}

TEST(ShortNumberScan, LeavesEveryOtherValueToTheGeneralRead) {
    expectRealDeclined("1d5,");               // exponent letter d
    expectRealDeclined("&H10,");              // radix integer
    expectRealDeclined("\"1.5\",");           // quoted
    expectRealDeclined("1.2.3,");             // text after the number
    expectRealDeclined("12abc,");
    expectRealDeclined("1e,");                // incomplete exponent
    expectRealDeclined("1e23,");              // power of ten beyond 22
    expectRealDeclined("1234567890123456,");  // 16 significant digits
    expectRealDeclined(".,");
    expectRealDeclined("-,");
    expectRealDeclined(",");
}

TEST(ShortNumberScan, ReadsShortIntegersOnly) {
    const std::string text = "-1234567,";
    const char* next = nullptr;
    std::int64_t value = 0;
    ASSERT_TRUE(scanShortInteger(text.data(), text.data() + text.size(), next, value));
    EXPECT_EQ(value, -1234567);
    EXPECT_EQ(next, text.data() + 8);
    for (const std::string declined : {"1.5,", "1234567890123456789,", "&H1,", "x,", "-,", "1e3,"})
        EXPECT_FALSE(scanShortInteger(declined.data(), declined.data() + declined.size(), next,
                                      value))
            << declined;
}

// A value text of random shape, from the common to the odd.
std::string randomValue(std::mt19937_64& random) {
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto digits = [&](int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += static_cast<char>('0' + pick(10));
        return s;
    };
    const char* signs[] = {"", "-", "+"};
    std::string s = pick(4) == 0 ? " " : "";
    s += signs[pick(3)];
    s += digits(pick(4) == 0 ? pick(20) : pick(4));
    if (pick(3) != 0) {
        s += '.';
        s += digits(pick(4) == 0 ? pick(20) : pick(8));
    }
    if (pick(4) == 0) {
        const char* letters[] = {"e", "E", "d", "D", "x"};
        s += letters[pick(5)];
        s += signs[pick(3)];
        s += digits(pick(4));
    }
    const char* ends[] = {",", " ", "\t", "\r\n", "\n", "", "x", ".", "\"", " ,"};
    s += ends[pick(10)];
    return s;
}

bool sameValue(double a, double b) { return sameBits(a, b); }
bool sameValue(std::int64_t a, std::int64_t b) { return a == b; }

// Reads one value of `data` with `read` and with the value read followed by
// `convert`: value, verdict and position must agree.
template <class Number>
void expectReadsAgree(const std::string& data, Number (*read)(InputText&),
                      bool (*convert)(std::string_view, Number&)) {
    InputText fast = inputTextFromString("t", data);
    InputText general = inputTextFromString("t", data);
    Number expected{};
    const bool expectedOk = convert(readValueText(general), expected);
    Number got{};
    bool gotOk = true;
    try {
        got = read(fast);
    } catch (const FatalStop&) {
        gotOk = false;
    }
    ASSERT_EQ(gotOk, expectedOk) << data;
    if (gotOk) {
        ASSERT_TRUE(sameValue(got, expected)) << data << " gave " << got;
    }
    ASSERT_EQ(fast.position(), general.position()) << data;
}

// The one-pass reads give what the value read and the general conversion
// give, value, verdict and position, for every kind of value text.
TEST(ShortNumberScan, ReadsAgreeWithTheGeneralConversion) {
    std::mt19937_64 random(2026);
    for (int round = 0; round < 200000; ++round) {
        std::string data = randomValue(random);
        if (round % 2 == 0) data += randomValue(random) + randomValue(random);
        expectReadsAgree(data, readReal, convertReal);
        expectReadsAgree(data, readInteger, convertInteger);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace korvanel
