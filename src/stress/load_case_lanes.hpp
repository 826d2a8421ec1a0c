#pragma once

// The wide form of the load-case combination (history_assembly.cpp), in a
// file of its own compiled for AVX2.

#include <cstdint>

#include "model/stress6.hpp"
#include "stress/history_assembly.hpp"

namespace korvanel {

// Combines the time points [0, 2 * floor(timePointCount / 2)) two at a
// time, exactly as combineLoadCases does one at a time, into history[t];
// returns the count done. Call only where the processor has AVX2.
std::int64_t combinePairsAvx2(const LoadHistory& loads, Stress6* history);

}  // namespace korvanel
