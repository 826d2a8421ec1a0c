#include "base/short_number_scan.hpp"

#include <bit>
#include <cstring>

namespace korvanel {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool endsValue(const char* p, const char* end) {
    return p == end || *p == ',' || *p == ' ' || *p == '\t' || *p == '\r' || *p == '\n';
}

// --- Eight bytes at a time -------------------------------------------------
// A word holds eight characters, the first in the lowest byte (the word path
// is taken on little-endian machines only).

constexpr bool kWordPath = std::endian::native == std::endian::little;

constexpr std::uint64_t kEachByte(std::uint64_t byte) { return byte * 0x0101010101010101ULL; }

std::uint64_t loadWord(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// Number of leading characters of the word that are decimal digits (8 when all are).
int leadingDigitCount(std::uint64_t word) {
    // A byte is a digit when its high half is 3 and its low half plus 6 stays below 16.
    const std::uint64_t highHalf = (word & kEachByte(0xF0)) ^ kEachByte(0x30);
    const std::uint64_t lowCarry = ((word & kEachByte(0x0F)) + kEachByte(0x06)) & kEachByte(0xF0);
    const std::uint64_t notDigit = highHalf | lowCarry;  // zero byte for a digit
    const std::uint64_t marks =
        (notDigit | ((notDigit & kEachByte(0x7F)) + kEachByte(0x7F))) & kEachByte(0x80);
    return marks == 0 ? 8 : __builtin_ctzll(marks) / 8;
}

// Value of the first `count` (1 to 7) characters of the word, all digits.
std::uint64_t digitsValue(std::uint64_t word, int count) {
    word <<= 8 * (8 - count);  // drop the characters after them; zero bytes lead
    word = ((word & kEachByte(0x0F)) * 2561) >> 8;
    word = ((word & 0x00FF00FF00FF00FFULL) * 6553601) >> 16;
    return ((word & 0x0000FFFF0000FFFFULL) * 42949672960001ULL) >> 32;
}

constexpr std::uint64_t kIntegerPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000,
                                                 10000000};

// The end of a short real: an optional exponent at q, the end of the value,
// and the value of mantissa * 10^scale.
bool finishShortReal(bool negative, std::uint64_t mantissa, int scale, const char* q,
                     const char* end, const char*& next, double& value) {
    if (q != end && (*q == 'e' || *q == 'E')) {
        ++q;
        bool negativeExponent = false;
        if (q != end && (*q == '-' || *q == '+')) negativeExponent = *q++ == '-';
        if (q == end || !isDigit(*q)) return false;
        int exponent = 0;
        for (; q != end && isDigit(*q); ++q) {
            exponent = exponent * 10 + (*q - '0');
            if (exponent > 400) return false;
        }
        scale += negativeExponent ? -exponent : exponent;
    }
    if (!endsValue(q, end) || scale < -22 || scale > 22) return false;
    const double magnitude = static_cast<double>(mantissa);
    const double result = scale < 0 ? magnitude / kExactPowersOfTen[-scale]
                                    : magnitude * kExactPowersOfTen[scale];
    value = negative ? -result : result;
    next = q;
    return true;
}

// --- One character at a time ----------------------------------------------

bool scanShortRealByCharacter(const char* p, const char* end, const char*& next, double& value) {
    bool negative = false;
    if (p != end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    std::uint64_t mantissa = 0;
    int mantissaDigits = 0;     // every digit of the mantissa
    int significantDigits = 0;  // from the first digit that is not 0
    int scale = 0;              // power of ten of the mantissa's last digit
    for (; p != end && isDigit(*p); ++p, ++mantissaDigits) {
        if (mantissa != 0 || *p != '0') ++significantDigits;
        if (significantDigits > 15) return false;
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    }
    if (p != end && *p == '.') {
        for (++p; p != end && isDigit(*p); ++p, ++mantissaDigits, --scale) {
            if (mantissa != 0 || *p != '0') ++significantDigits;
            if (significantDigits > 15) return false;
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        }
    }
    if (mantissaDigits == 0) return false;
    return finishShortReal(negative, mantissa, scale, p, end, next, value);
}

}  // namespace

bool scanShortReal(const char* p, const char* end, const char*& next, double& value) {
    // The word path reads up to 17 characters from p; it takes numbers of at
    // most 7 digits before and 7 after the point and leaves longer ones to
    // the character path.
    if (!kWordPath || end - p < 17) return scanShortRealByCharacter(p, end, next, value);
    const char* q = p;
    const bool negative = *q == '-';
    q += (*q == '-') | (*q == '+');
    const std::uint64_t integerWord = loadWord(q);
    const int integerDigits = leadingDigitCount(integerWord);
    if (integerDigits == 8) return scanShortRealByCharacter(p, end, next, value);
    std::uint64_t mantissa = integerDigits == 0 ? 0 : digitsValue(integerWord, integerDigits);
    q += integerDigits;
    int fractionDigits = 0;
    if (*q == '.') {
        const std::uint64_t fractionWord = loadWord(q + 1);
        fractionDigits = leadingDigitCount(fractionWord);
        if (fractionDigits == 8) return scanShortRealByCharacter(p, end, next, value);
        if (fractionDigits > 0)
            mantissa = mantissa * kIntegerPowersOfTen[fractionDigits] +
                       digitsValue(fractionWord, fractionDigits);
        q += 1 + fractionDigits;
    }
    if (integerDigits + fractionDigits == 0) return false;
    // At most 14 digits: the mantissa is below 2^53 and so an exact double.
    return finishShortReal(negative, mantissa, -fractionDigits, q, end, next, value);
}

bool scanShortInteger(const char* p, const char* end, const char*& next, std::int64_t& value) {
    bool negative = false;
    if (p != end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    const char* const digitsStart = p;
    std::int64_t magnitude = 0;
    if (kWordPath && end - p >= 8) {
        const std::uint64_t word = loadWord(p);
        const int digits = leadingDigitCount(word);
        if (digits < 8) {
            if (digits == 0 || !endsValue(p + digits, end)) return false;
            magnitude = static_cast<std::int64_t>(digitsValue(word, digits));
            value = negative ? -magnitude : magnitude;
            next = p + digits;
            return true;
        }
    }
    for (; p != end && isDigit(*p); ++p) {
        if (p - digitsStart == 18) return false;
        magnitude = magnitude * 10 + (*p - '0');
    }
    if (p == digitsStart || !endsValue(p, end)) return false;
    value = negative ? -magnitude : magnitude;
    next = p;
    return true;
}

}  // namespace korvanel
