#include "base/numeric_conversion.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "base/short_number_scan.hpp"

namespace korvanel {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Value of a "&H", "&O" or "&B" integer: the longest run of valid digits
// after the prefix. False when it exceeds the 64-bit range.
bool convertRadix(std::string_view text, std::int64_t& value) {
    char kind = static_cast<char>(text[1] | 0x20);
    unsigned base = kind == 'h' ? 16 : kind == 'o' ? 8 : 2;
    std::uint64_t accumulated = 0;
    constexpr std::uint64_t limit = std::numeric_limits<std::int64_t>::max();
    for (std::size_t i = 2; i < text.size(); ++i) {
        char c = text[i];
        unsigned digit;
        if (isDigit(c))
            digit = static_cast<unsigned>(c - '0');
        else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')
            digit = static_cast<unsigned>((c | 0x20) - 'a' + 10);
        else
            break;
        if (digit >= base) break;
        if (accumulated > (limit - digit) / base) return false;
        accumulated = accumulated * base + digit;
    }
    value = static_cast<std::int64_t>(accumulated);
    return true;
}

bool hasRadixPrefix(std::string_view text) {
    if (text.size() < 2 || text[0] != '&') return false;
    char kind = static_cast<char>(text[1] | 0x20);
    return kind == 'h' || kind == 'o' || kind == 'b';
}

bool looksReal(std::string_view text) {
    for (char c : text)
        if (c == '.' || c == 'e' || c == 'E' || c == 'd' || c == 'D') return true;
    return false;
}

// Length of the leading real number: [+-]?(digits[.digits]|.digits)
// followed by an exponent [eEdD][+-]?digits when complete. 0 when the text
// does not begin with a number. `letterD` tells whether the exponent
// letter is "d" or "D".
std::size_t realPrefixLength(std::string_view text, bool& letterD) {
    letterD = false;
    std::size_t i = 0, n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t mantissaDigits = 0;
    while (i < n && isDigit(text[i])) ++i, ++mantissaDigits;
    if (i < n && text[i] == '.') {
        std::size_t afterPoint = i + 1, j = afterPoint;
        while (j < n && isDigit(text[j])) ++j;
        if (mantissaDigits > 0 || j > afterPoint) {
            mantissaDigits += j - afterPoint;
            i = j;
        }
    }
    if (mantissaDigits == 0) return 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::size_t j = i + 1;
        if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
        std::size_t digitsStart = j;
        while (j < n && isDigit(text[j])) ++j;
        if (j > digitsStart) {
            letterD = text[i] == 'd' || text[i] == 'D';
            i = j;
        }
    }
    return i;
}

// Converts decimal number text already known to be well formed (no "+",
// exponent letter "e"). Overflow is false; underflow gives the nearest
// representable value (0 or a subnormal).
bool parseDecimal(const char* first, const char* last, double& value) {
    auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc()) return true;
    // Out of range: tell overflow from underflow with strtod.
    std::string copy(first, last);
    errno = 0;
    double slow = std::strtod(copy.c_str(), nullptr);
    if (std::isinf(slow)) return false;
    value = slow;
    return true;
}

// The leading real number of the text: the usual short number directly, any
// other through from_chars with a leading "+" dropped and the exponent
// letters "d"/"D" read as "e".
bool convertRealPrefix(std::string_view text, double& value) {
    bool letterD = false;
    std::size_t length = realPrefixLength(text, letterD);
    if (length == 0) {
        value = 0.0;
        return true;
    }
    std::string_view number = text.substr(0, length);
    const char* next = nullptr;
    if (scanShortReal(number.data(), number.data() + number.size(), next, value)) return true;
    if (number[0] == '+') number.remove_prefix(1);
    if (!letterD) return parseDecimal(number.data(), number.data() + number.size(), value);
    std::string copy(number);
    for (char& c : copy)
        if (c == 'd' || c == 'D') c = 'e';
    return parseDecimal(copy.data(), copy.data() + copy.size(), value);
}

// The leading decimal integer [+-]?digits; none gives 0.
bool convertDecimalInteger(std::string_view text, std::int64_t& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::uint64_t magnitude = 0;
    const std::uint64_t limit =
        negative ? std::uint64_t{1} << 63 : std::uint64_t(std::numeric_limits<std::int64_t>::max());
    for (; i < text.size() && isDigit(text[i]); ++i) {
        unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (magnitude > (limit - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
    }
    value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

}  // namespace

bool convertReal(std::string_view text, double& value) {
    if (hasRadixPrefix(text)) {
        std::int64_t integer = 0;
        if (!convertRadix(text, integer)) return false;
        value = static_cast<double>(integer);
        return true;
    }
    // Digits-only text also goes through the real conversion: it gives the
    // nearest double however many digits there are.
    return convertRealPrefix(text, value);
}

bool convertInteger(std::string_view text, std::int64_t& value) {
    if (hasRadixPrefix(text)) return convertRadix(text, value);
    if (!looksReal(text)) return convertDecimalInteger(text, value);
    double real = 0.0;
    if (!convertRealPrefix(text, real)) return false;
    double rounded = std::nearbyint(real);  // default rounding: ties to even
    if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0)) return false;
    value = static_cast<std::int64_t>(rounded);
    return true;
}

bool isWhollyNumber(std::string_view text) {
    if (hasRadixPrefix(text)) {
        const char kind = static_cast<char>(text[1] | 0x20);
        const unsigned base = kind == 'h' ? 16 : kind == 'o' ? 8 : 2;
        if (text.size() == 2) return false;
        for (std::size_t i = 2; i < text.size(); ++i) {
            const char c = static_cast<char>(text[i] | 0x20);
            unsigned digit = isDigit(text[i]) ? static_cast<unsigned>(text[i] - '0')
                             : (c >= 'a' && c <= 'f') ? static_cast<unsigned>(c - 'a' + 10)
                                                      : 16;
            if (digit >= base) return false;
        }
        return true;
    }
    bool letterD = false;
    return !text.empty() && realPrefixLength(text, letterD) == text.size();
}

}  // namespace korvanel
