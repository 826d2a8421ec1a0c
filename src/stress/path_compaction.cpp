#include "stress/path_compaction.hpp"

#include <cmath>
#include <cstddef>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/fatal_stop.hpp"
#include "model/fixed_settings.hpp"

namespace korvanel {

namespace {

// Square root of the squared differences summed in component order from 0.
double euclideanDistance(const Stress6& from, const Stress6& to) {
    double sum = 0.0;
    for (int k = 0; k < 6; ++k) {
        const double d = to.s[k] - from.s[k];
        sum = sum + d * d;
    }
    return std::sqrt(sum);
}

#if defined(__SSE2__)
// The least sum of squares whose square root reaches the compaction
// distance. The square root is correctly rounded and so never decreases
// as its argument grows: sqrt(sum) >= distance exactly when sum >= this
// (NaN fails both), and the pairs below compare without a square root.
double leastKeptSumOfSquares() {
    const double distance = config::kCompactionDistance;
    double sum = distance * distance;
    while (std::sqrt(sum) >= distance) sum = std::nextafter(sum, 0.0);
    while (std::sqrt(sum) < distance) sum = std::nextafter(sum, 1.0);
    return sum;
}

// Marks points j and j + 1, whose successors are j + 1 and j + 2: the two
// sums of squares side by side in the lanes of SSE2 registers, each lane
// doing exactly the operations of euclideanDistance before its square root.
void markPair(const Stress6* p, unsigned char* marks, double leastKept) {
    __m128d sum = _mm_setzero_pd();
    for (int k = 0; k < 6; ++k) {
        const __m128d from = _mm_loadh_pd(_mm_load_sd(&p[0].s[k]), &p[1].s[k]);
        const __m128d to = _mm_loadh_pd(_mm_load_sd(&p[1].s[k]), &p[2].s[k]);
        const __m128d d = _mm_sub_pd(to, from);
        sum = _mm_add_pd(sum, _mm_mul_pd(d, d));
    }
    const int kept = _mm_movemask_pd(_mm_cmpge_pd(sum, _mm_set1_pd(leastKept)));
    marks[0] = (kept & 1) != 0 ? 1 : 0;
    marks[1] = (kept & 2) != 0 ? 1 : 0;
}
#endif

}  // namespace

void compactPath(SimdLevel simd, std::vector<Stress6>& history, std::vector<unsigned char>& keepScratch) {
    const std::size_t count = history.size();
    stopIfOutOfMemory([&] { keepScratch.resize(count); });
    // Every point against its successor; the last point's successor is the
    // first, so it is marked on its own.
    const Stress6* points = history.data();
    std::size_t j = 0;
#if defined(__SSE2__)
    static const double leastKept = leastKeptSumOfSquares();
    if (simd != SimdLevel::plain)
        for (; j + 2 < count; j += 2) markPair(points + j, keepScratch.data() + j, leastKept);
#endif
    for (; j < count; ++j) {
        const Stress6& next = points[j + 1 < count ? j + 1 : 0];
        keepScratch[j] = euclideanDistance(points[j], next) >= config::kCompactionDistance ? 1 : 0;
    }
    // Points before the first dropped one stay where they are.
    std::size_t kept = 0;
    while (kept < count && keepScratch[kept]) ++kept;
    for (std::size_t j = kept; j < count; ++j)
        if (keepScratch[j]) history[kept++] = history[j];
    if (kept > count) throw runtimeError(InternalCheck::compactionKeptTooMany);
    history.resize(kept);
}

bool keptBeforeSuccessor(const Stress6& from, const Stress6& to) {
    return euclideanDistance(from, to) >= config::kCompactionDistance;
}

}  // namespace korvanel
