#pragma once

// The stress states of one node built from its base stress and its unit
// load-case stresses: a history of time points (load-case combination) or
// the two extreme states of every block (block spectrum).

#include <cstdint>
#include <vector>

#include "model/stress6.hpp"

#include "base/simd_level.hpp"

namespace korvanel {

// A node's load history: its base stress and unit load-case stresses,
// combined at each step (a time point, or one end of every block) by the
// factors of that step.
struct LoadHistory {
    Stress6 base;
    const Stress6* loadCaseStress = nullptr;   // loadCaseCount of them
    std::int64_t loadCaseCount = 0;
    const double* factors = nullptr;           // factors[step * loadCaseCount + lc]
    std::int64_t stepCount = 0;
    double stressScaleFactor = 1.0;            // F
    double loadCaseScaleFactor = 1.0;          // G
};

// history[t] = F * (base + G * sum), t = 0 .. stepCount - 1, where for each
// component sum is accumulated from zero in load-case order over
// factors[t * loadCaseCount + lc] * loadCaseStress[lc]. `history` is
// resized to stepCount and keeps its capacity between nodes. `simd`
// chooses the vector form; every level gives the same bits.
void combineLoadCases(SimdLevel simd, const LoadHistory& loads, std::vector<Stress6>& history);

// True when compactPath would leave at most one point of the history that
// combineLoadCases builds from the same values. The points are formed one at
// a time exactly as combineLoadCases forms them, and the test ends at the
// second point the compaction would keep, so a node whose stress moves is
// told after a few time points.
bool combinedPathIsConstant(const LoadHistory& loads);

// The from-state and the to-state of every block, built like a time point
// of combineLoadCases: the steps of `blocks`, whose factors are those of the
// blocks' starts, and the same with the factors `blockTo` of their ends.
void blockStates(const LoadHistory& blocks, const double* blockTo,
                 std::vector<Stress6>& fromStates, std::vector<Stress6>& toStates);

}  // namespace korvanel
