#pragma once

// Numeric conversion of a value's text, shared by every input file.

#include <cstdint>
#include <string_view>

namespace korvanel {

// "&H", "&O", "&B" (either case) make a hexadecimal, octal or binary
// integer; otherwise any of ". e E d D" makes a real; otherwise a decimal
// integer. Only the leading numeric characters count (none gives 0). An
// integer receiving a real rounds to nearest, ties to even. Return false
// when the value is out of range.
bool convertReal(std::string_view text, double& value);
bool convertInteger(std::string_view text, std::int64_t& value);

// True when the conversion reads the whole text: a radix prefix with at
// least one digit and nothing after its digits, or a real or integer number
// (a complete exponent included) with nothing after it. False for an empty
// text, "3OO", "1e", "1.5.3", "20MPa" and the like.
bool isWhollyNumber(std::string_view text);

}  // namespace korvanel
