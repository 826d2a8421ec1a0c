#include "fatigue/screen_distances.hpp"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "stress/stress_measures.hpp"

namespace korvanel {

namespace {

#if defined(__SSE2__)
// Component i of points a and b, in the two lanes.
inline __m128d lanesOf(const Stress6& a, const Stress6& b, int i) {
    return _mm_loadh_pd(_mm_load_sd(&a.s[i]), &b.s[i]);
}

// vonMisesSquaredOf in each lane: the same operations in the same order.
inline __m128d vonMisesSquared2(const __m128d* s) {
    __m128d normal = _mm_add_pd(_mm_mul_pd(s[0], s[0]), _mm_mul_pd(s[1], s[1]));
    normal = _mm_add_pd(normal, _mm_mul_pd(s[2], s[2]));
    normal = _mm_sub_pd(normal, _mm_mul_pd(s[0], s[1]));
    normal = _mm_sub_pd(normal, _mm_mul_pd(s[1], s[2]));
    normal = _mm_sub_pd(normal, _mm_mul_pd(s[0], s[2]));
    __m128d shear = _mm_add_pd(_mm_mul_pd(s[3], s[3]), _mm_mul_pd(s[4], s[4]));
    shear = _mm_add_pd(shear, _mm_mul_pd(s[5], s[5]));
    const __m128d result = _mm_add_pd(_mm_mul_pd(_mm_set1_pd(3.0), shear), normal);
    return _mm_and_pd(result, _mm_cmpge_pd(result, _mm_setzero_pd()));  // below 0: 0
}

// The points [0, returned count) two at a time.
std::size_t screenDistancesSse2(const Stress6* path, std::size_t count, const Stress6& centre,
                                double& shortestSegment, double& largestFromCentre) {
    __m128d shortest = _mm_set1_pd(shortestSegment);
    __m128d largest = _mm_set1_pd(largestFromCentre);
    __m128d c[6];
    for (int i = 0; i < 6; ++i) c[i] = _mm_set1_pd(centre.s[i]);
    std::size_t k = 0;
    for (; k + 2 < count; k += 2) {
        __m128d v[6], d[6];
        for (int i = 0; i < 6; ++i) {
            const __m128d at = lanesOf(path[k], path[k + 1], i);
            v[i] = _mm_sub_pd(lanesOf(path[k + 1], path[k + 2], i), at);
            d[i] = _mm_sub_pd(at, c[i]);
        }
        shortest = _mm_min_pd(shortest, vonMisesSquared2(v));
        largest = _mm_max_pd(largest, vonMisesSquared2(d));
    }
    double s[2], l[2];
    _mm_storeu_pd(s, shortest);
    _mm_storeu_pd(l, largest);
    shortestSegment = std::min(s[0], s[1]);
    largestFromCentre = std::max(l[0], l[1]);
    return k;
}
#endif

}  // namespace

#if !defined(KORVANEL_X86_SIMD)
std::size_t screenDistancesAvx2(const Stress6*, std::size_t, const Stress6&, double&, double&) {
    return 0;
}
#endif

// Minima and maxima are exact, so the points may be taken in any order: the
// vector forms take what they can, the rest follows one by one.
ScreenDistances screenDistances(SimdLevel level, std::span<const Stress6> path, const Stress6& centre) {
    const std::size_t count = path.size();
    ScreenDistances d;
    // The closing segment, from the last point back to the first.
    d.shortestSegment = vonMisesSquared(path[0] - path[count - 1]);
    d.largestFromCentre = 0.0;
    std::size_t k = 0;
    if (level == SimdLevel::avx2 || level == SimdLevel::avx512)
        k = screenDistancesAvx2(path.data(), count, centre, d.shortestSegment, d.largestFromCentre);
#if defined(__SSE2__)
    else if (level == SimdLevel::sse2)
        k = screenDistancesSse2(path.data(), count, centre, d.shortestSegment, d.largestFromCentre);
#endif
    for (; k < count; ++k) {
        if (k + 1 < count)
            d.shortestSegment = std::min(d.shortestSegment, vonMisesSquared(path[k + 1] - path[k]));
        d.largestFromCentre = std::max(d.largestFromCentre, vonMisesSquared(path[k] - centre));
    }
    return d;
}

}  // namespace korvanel
