#pragma once

// One-pass reading of the values that make up nearly all of a large input
// file: unquoted decimal numbers of a few digits. Each scan either reads
// the whole value, giving exactly what the value read and the general
// numeric conversion would give, or declines and leaves the value to them.

#include <cstdint>

namespace korvanel {

// The powers of ten that are exact doubles.
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A real value [+-]digits[.digits][(e|E)[+-]digits] with at most 15
// significant digits and a power of ten within 22 either way, ended by a
// comma, blank, tab, line end or `end`: its value (digits and power of ten
// are exact doubles, so one correctly rounded product or quotient gives the
// nearest double) and where it ends. False for any other text.
bool scanShortReal(const char* p, const char* end, const char*& next, double& value);

// An integer value [+-]digits of at most 18 digits, ended likewise.
bool scanShortInteger(const char* p, const char* end, const char*& next, std::int64_t& value);

}  // namespace korvanel
