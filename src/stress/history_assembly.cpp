#include "stress/history_assembly.hpp"

#include <new>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/fatal_stop.hpp"
#include "base/large_tables.hpp"
#include "stress/path_compaction.hpp"
#include "stress/load_case_lanes.hpp"

namespace korvanel {

namespace {

// F * (base + G * sum of factor * load case), the sum per component from
// zero in load-case order.
// The state of step `step`, with the factors `factors` of every step.
// Inlined: called per block, its loads stay in registers.
[[gnu::always_inline]] inline Stress6 combinedState(const LoadHistory& h, const double* factors, std::int64_t step) {
    const double* stepFactors = factors + step * h.loadCaseCount;
    Stress6 sum;
    for (std::int64_t lc = 0; lc < h.loadCaseCount; ++lc) {
        const double factor = stepFactors[lc];
        const Stress6& unit = h.loadCaseStress[lc];
        for (int k = 0; k < 6; ++k) sum.s[k] = sum.s[k] + factor * unit.s[k];
    }
    Stress6 state;
    for (int k = 0; k < 6; ++k)
        state.s[k] = h.stressScaleFactor * (h.base.s[k] + h.loadCaseScaleFactor * sum.s[k]);
    return state;
}

#if defined(__SSE2__)
// combinedState of steps t and t + 1 at once: each load case is loaded once
// for both. The sums are kept as pairs of components; every lane does
// exactly the operations of combinedState.
void combinedStatePair(const LoadHistory& h, std::int64_t t, Stress6& first, Stress6& second) {
    const Stress6& base = h.base;
    const Stress6* loadCaseStress = h.loadCaseStress;
    const std::int64_t loadCaseCount = h.loadCaseCount;
    const double* factors = h.factors + t * loadCaseCount;
    __m128d a01 = _mm_setzero_pd(), a23 = _mm_setzero_pd(), a45 = _mm_setzero_pd();
    __m128d b01 = _mm_setzero_pd(), b23 = _mm_setzero_pd(), b45 = _mm_setzero_pd();
    const double* secondFactors = factors + loadCaseCount;
    for (std::int64_t lc = 0; lc < loadCaseCount; ++lc) {
        const double* unit = loadCaseStress[lc].s;
        const __m128d u01 = _mm_loadu_pd(unit);
        const __m128d u23 = _mm_loadu_pd(unit + 2);
        const __m128d u45 = _mm_loadu_pd(unit + 4);
        const __m128d fa = _mm_set1_pd(factors[lc]);
        const __m128d fb = _mm_set1_pd(secondFactors[lc]);
        a01 = _mm_add_pd(a01, _mm_mul_pd(fa, u01));
        a23 = _mm_add_pd(a23, _mm_mul_pd(fa, u23));
        a45 = _mm_add_pd(a45, _mm_mul_pd(fa, u45));
        b01 = _mm_add_pd(b01, _mm_mul_pd(fb, u01));
        b23 = _mm_add_pd(b23, _mm_mul_pd(fb, u23));
        b45 = _mm_add_pd(b45, _mm_mul_pd(fb, u45));
    }
    const __m128d f = _mm_set1_pd(h.stressScaleFactor);
    const __m128d g = _mm_set1_pd(h.loadCaseScaleFactor);
    const __m128d base01 = _mm_loadu_pd(base.s);
    const __m128d base23 = _mm_loadu_pd(base.s + 2);
    const __m128d base45 = _mm_loadu_pd(base.s + 4);
    _mm_storeu_pd(first.s, _mm_mul_pd(f, _mm_add_pd(base01, _mm_mul_pd(g, a01))));
    _mm_storeu_pd(first.s + 2, _mm_mul_pd(f, _mm_add_pd(base23, _mm_mul_pd(g, a23))));
    _mm_storeu_pd(first.s + 4, _mm_mul_pd(f, _mm_add_pd(base45, _mm_mul_pd(g, a45))));
    _mm_storeu_pd(second.s, _mm_mul_pd(f, _mm_add_pd(base01, _mm_mul_pd(g, b01))));
    _mm_storeu_pd(second.s + 2, _mm_mul_pd(f, _mm_add_pd(base23, _mm_mul_pd(g, b23))));
    _mm_storeu_pd(second.s + 4, _mm_mul_pd(f, _mm_add_pd(base45, _mm_mul_pd(g, b45))));
}
#endif

#if !defined(KORVANEL_X86_SIMD)
std::int64_t combinePairsAvx2(const LoadHistory&, Stress6*) {
    return 0;
}
#endif

void resizeTable(std::vector<Stress6>& table, std::int64_t rows) {
    stopIfOutOfMemory([&] { resizeLargeTable(table, static_cast<std::size_t>(rows < 0 ? 0 : rows)); });
}

}  // namespace

void combineLoadCases(SimdLevel simd, const LoadHistory& loadsGiven, std::vector<Stress6>& history) {
    const LoadHistory loads = loadsGiven;  // a copy: the history written cannot alias it
    const std::int64_t timePointCount = loads.stepCount;
    resizeTable(history, timePointCount);
    std::int64_t t = 0;
    if (simd == SimdLevel::avx2 || simd == SimdLevel::avx512)
        t = combinePairsAvx2(loads, history.data());
#if defined(__SSE2__)
    if (simd != SimdLevel::plain)
        for (; t + 1 < timePointCount; t += 2) combinedStatePair(loads, t, history[t], history[t + 1]);
#endif
    for (; t < timePointCount; ++t) history[t] = combinedState(loads, loads.factors, t);
}

bool combinedPathIsConstant(const LoadHistory& loads) {
    const std::int64_t timePointCount = loads.stepCount;
    auto point = [&](std::int64_t t) { return combinedState(loads, loads.factors, t); };
    if (timePointCount <= 1) return true;  // a single point is its own successor
    const Stress6 first = point(0);
    Stress6 current = first;
    int kept = 0;
    for (std::int64_t t = 0; t < timePointCount; ++t) {
        const Stress6 next = t + 1 < timePointCount ? point(t + 1) : first;
        if (keptBeforeSuccessor(current, next) && ++kept == 2) return false;
        current = next;
    }
    return true;
}

void blockStates(const LoadHistory& blocksGiven, const double* blockTo,
                 std::vector<Stress6>& fromStates, std::vector<Stress6>& toStates) {
    const LoadHistory blocks = blocksGiven;  // a copy: the states written cannot alias it
    resizeTable(fromStates, blocks.stepCount);
    resizeTable(toStates, blocks.stepCount);
    for (std::int64_t b = 0; b < blocks.stepCount; ++b) {
        fromStates[b] = combinedState(blocks, blocks.factors, b);
        toStates[b] = combinedState(blocks, blockTo, b);
    }
}

}  // namespace korvanel
