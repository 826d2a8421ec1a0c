#pragma once

// The vonMisesSquared distances from the end of a segment to the origins of
// the open half-cycles, kept as columns (cycle_extraction.cpp). Each entry
// is computed on its own, in the order of vonMisesSquaredOf; the vector forms
// run 2, 4 or 8 entries at once, each lane doing exactly the scalar
// operations, so every level gives the same bits.

#include <cstddef>

#include "base/simd_level.hpp"

namespace korvanel {

// The columns have room for a multiple of this many entries, so that the
// widest form reads and writes whole registers; entries past the count are
// written but never read.
constexpr std::size_t kOpenColumnLanes = 8;

// out[i] = vonMisesSquaredOf(end[0] - origin[0][i], ..., end[5] - origin[5][i])
// for i < count. Returns the first i with out[i] > rangeSquared[i] (the
// first half-cycle whose range the segment leaves), or count.
std::size_t distancesToEnd(SimdLevel level, const double* const origin[6], const double end[6],
                           const double* rangeSquared, std::size_t count, double* out);

// The forms of each level; distancesToEnd calls the one `level` names.
std::size_t distancesToEndPlain(const double* const origin[6], const double end[6],
                                const double* rangeSquared, std::size_t count, double* out);
std::size_t distancesToEndSse2(const double* const origin[6], const double end[6],
                               const double* rangeSquared, std::size_t count, double* out);
std::size_t distancesToEndAvx2(const double* const origin[6], const double end[6],
                               const double* rangeSquared, std::size_t count, double* out);
std::size_t distancesToEndAvx512(const double* const origin[6], const double end[6],
                                 const double* rangeSquared, std::size_t count, double* out);

}  // namespace korvanel
