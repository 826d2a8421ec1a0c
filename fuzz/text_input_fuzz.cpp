// Fuzz target: the value reader and the numeric conversion.
//
// The first byte chooses a sequence of reads (whole line, value, string
// value, real, integer); the rest is the file. Every read must move on
// unless the file is at its end (a reader loop would otherwise never end),
// and the conversions of each value text must agree with a plain reading
// of the conversion rules: the longest leading number
//   [+-]?(digits(.digits?)?|.digits)([eEdD][+-]?digits)?
// converted by strtod, or the digits of a "&H", "&O" or "&B" integer.

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "fuzz_support.hpp"
#include "base/text_input.hpp"

using namespace korvanel;
using korvanel::fuzz::require;

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

// The leading real number as strtod reads it, the exponent letter d/D
// turned into e. False when it overflows a double.
bool plainReal(std::string_view text, double& value) {
    std::string number;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
    std::size_t intDigits = 0, fracDigits = 0;
    while (i < text.size() && digit(text[i])) number += text[i++], ++intDigits;
    if (i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        while (j < text.size() && digit(text[j])) ++j, ++fracDigits;
        if (intDigits > 0 || fracDigits > 0) {
            number.append(text.substr(i, j - i));
            i = j;
        }
    }
    if (intDigits + fracDigits == 0) {
        value = 0.0;
        return true;
    }
    if (i < text.size() && std::strchr("eEdD", text[i]) != nullptr && text[i] != '\0') {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
        std::size_t start = j;
        while (j < text.size() && digit(text[j])) exponent += text[j++];
        if (j > start) number += exponent;
    }
    errno = 0;
    value = std::strtod(number.c_str(), nullptr);
    return !std::isinf(value);
}

// The digits of a radix integer; false beyond the 64-bit range.
bool plainRadix(std::string_view text, std::int64_t& value) {
    const char kind = static_cast<char>(text[1] | 0x20);
    const unsigned base = kind == 'h' ? 16 : kind == 'o' ? 8 : 2;
    unsigned __int128 v = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
        const char c = static_cast<char>(text[i] | 0x20);
        unsigned d;
        if (digit(text[i])) d = static_cast<unsigned>(text[i] - '0');
        else if (c >= 'a' && c <= 'f') d = static_cast<unsigned>(c - 'a' + 10);
        else break;
        if (d >= base) break;
        v = v * base + d;
        if (v > static_cast<unsigned __int128>(INT64_MAX)) return false;
    }
    value = static_cast<std::int64_t>(v);
    return true;
}

bool isRadix(std::string_view t) {
    if (t.size() < 2 || t[0] != '&') return false;
    const char k = static_cast<char>(t[1] | 0x20);
    return k == 'h' || k == 'o' || k == 'b';
}

bool looksReal(std::string_view t) { return t.find_first_of(".eEdD") != std::string_view::npos; }

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void checkConversions(std::string_view text) {
    double real = 0.0;
    const bool realOk = convertReal(text, real);
    std::int64_t integer = 0;
    const bool integerOk = convertInteger(text, integer);

    if (isRadix(text)) {
        std::int64_t expected = 0;
        const bool ok = plainRadix(text, expected);
        require(realOk == ok && integerOk == ok, "radix range verdict");
        if (ok) {
            require(integer == expected, "radix integer");
            require(sameBits(real, static_cast<double>(expected)), "radix real");
        }
        return;
    }
    double expected = 0.0;
    const bool ok = plainReal(text, expected);
    require(realOk == ok, "real range verdict");
    if (ok) require(sameBits(real, expected), "real value");
    if (looksReal(text)) {
        if (!ok) {
            require(!integerOk, "integer of an overflowing real");
            return;
        }
        const double rounded = std::nearbyint(expected);
        const bool fits = rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0;
        require(integerOk == fits, "integer range verdict of a real");
        if (fits) require(integer == static_cast<std::int64_t>(rounded), "integer of a real");
        return;
    }
    // A decimal integer: [+-]?digits, exactly.
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    __int128 v = 0;
    bool fits = true;
    for (; i < text.size() && digit(text[i]); ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > (static_cast<__int128>(1) << 63)) {
            fits = false;
            break;
        }
    }
    if (negative) v = -v;
    if (fits) fits = v >= INT64_MIN && v <= INT64_MAX;
    require(integerOk == fits, "decimal integer range verdict");
    if (fits) require(integer == static_cast<std::int64_t>(v), "decimal integer value");
}

// A real or integer read must give what the value read followed by the
// conversion gives (value, verdict and position): the one-pass reading of
// short numbers may not change a thing.
void checkNumberRead(InputText& in, std::string_view whole, bool asReal) {
    // The value read looks only ahead: the rest of the text from the position
    // reads as the text itself does there.
    const std::size_t start = in.position();
    InputText general = inputTextFromString("fuzz.txt", std::string(whole.substr(start)));
    const std::string_view text = readValueText(general);
    double expectedReal = 0.0, gotReal = 0.0;
    std::int64_t expectedInteger = 0, gotInteger = 0;
    const bool expectedOk = asReal ? convertReal(text, expectedReal)
                                   : convertInteger(text, expectedInteger);
    bool gotOk = true;
    FatalStop stop;
    try {
        if (asReal)
            gotReal = readReal(in);
        else
            gotInteger = readInteger(in);
    } catch (const FatalStop& thrown) {
        gotOk = false;
        stop = thrown;
    }
    require(gotOk == expectedOk, "number read verdict differs from the conversion");
    if (!gotOk) throw stop;  // checked by the caller like every other stop
    require(sameBits(gotReal, expectedReal) && gotInteger == expectedInteger,
            "number read value differs from the conversion");
    require(in.position() == start + general.position(),
            "number read ends elsewhere than the value read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned program = data[0];
    const std::string whole(fuzz::asText(data + 1, size - 1));
    InputText in = inputTextFromString("fuzz.txt", whole);
    const std::size_t length = size - 1;
    // Enough reads to walk any input of the fuzzer's size to its end.
    for (std::size_t step = 0; step <= length + 1 && !atEnd(in); ++step) {
        const std::size_t before = in.position();
        const unsigned op = (program >> ((step % 4) * 2)) & 3u;
        try {
            switch (step % 8 == 7 ? 4u : op) {
                case 0: {
                    std::string_view text = readValueText(in);
                    require(text.size() <= length, "value longer than the file");
                    checkConversions(text);
                    break;
                }
                case 1: {
                    std::string text = readStringValue(in);
                    require(text.size() <= 4096, "string value over 4096 characters");
                    break;
                }
                case 2:
                case 3:
                    checkNumberRead(in, whole, op == 2);
                    break;
                default:
                    readWholeLine(in);
                    break;
            }
        } catch (const FatalStop& stop) {
            fuzz::checkStop(stop);
            require(stop.consoleLines[0] == "Number out of range in the file fuzz.txt",
                    "unexpected stop of a read");
        }
        require(in.position() > before, "a read did not move on");
        require(in.position() <= length, "read position past the end");
    }
    return 0;
}
