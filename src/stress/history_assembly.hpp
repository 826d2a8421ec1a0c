#pragma once

// The stress states of one node built from its base stress and its unit
// load-case stresses: a history of time points (load-case combination) or
// the two extreme states of every block (block spectrum).

#include <cstdint>
#include <vector>

#include "model/stress6.hpp"

#include "base/simd_level.hpp"

namespace korvanel {

// history[t] = F * (base + G * sum), t = 0 .. timePointCount - 1, where for
// each component sum is accumulated from zero in load-case order over
// factors[t * loadCaseCount + lc] * loadCaseStress[lc]. F is
// stressScaleFactor, G loadCaseScaleFactor. `history` is resized to
// timePointCount and keeps its capacity between nodes. `simd` chooses the
// vector form; every level gives the same bits.
void combineLoadCases(SimdLevel simd, const Stress6& base, const Stress6* loadCaseStress,
                      std::int64_t loadCaseCount, const double* factors,
                      std::int64_t timePointCount, double stressScaleFactor,
                      double loadCaseScaleFactor, std::vector<Stress6>& history);

// True when compactPath would leave at most one point of the history that
// combineLoadCases builds from the same values. The points are formed one at
// a time exactly as combineLoadCases forms them, and the test ends at the
// second point the compaction would keep, so a node whose stress moves is
// told after a few time points.
bool combinedPathIsConstant(const Stress6& base, const Stress6* loadCaseStress,
                            std::int64_t loadCaseCount, const double* factors,
                            std::int64_t timePointCount, double stressScaleFactor,
                            double loadCaseScaleFactor);

// The from-state and the to-state of every block, built like a time point
// of combineLoadCases from blockFrom[b * loadCaseCount + lc] and
// blockTo[b * loadCaseCount + lc].
void blockStates(const Stress6& base, const Stress6* loadCaseStress, std::int64_t loadCaseCount,
                 const double* blockFrom, const double* blockTo, std::int64_t blockCount,
                 double stressScaleFactor, double loadCaseScaleFactor,
                 std::vector<Stress6>& fromStates, std::vector<Stress6>& toStates);

}  // namespace korvanel
