#pragma once

// Which vector form the numeric kernels run: the widest the processor has,
// unless the environment variable KORVANEL_SIMD names one (plain, sse2,
// avx2, avx512), read once at start-up. Every form gives the same results;
// forcing one serves tests and timing.

#include <string>

#include "base/simd_level.hpp"

namespace korvanel {

struct SimdChoice {
    SimdLevel level = SimdLevel::plain;
    std::string problem;  // set when the forced level is unknown or not available: stop
};

// `forced` is the value of KORVANEL_SIMD, or null when it is not set; an
// empty value counts as not set.
SimdChoice chooseSimdLevel(const char* forced);

}  // namespace korvanel
