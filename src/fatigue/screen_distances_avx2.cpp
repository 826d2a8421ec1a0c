// Compiled with -mavx2 (never FMA); called only where the processor has AVX2.
#include "fatigue/screen_distances.hpp"

#include <algorithm>

#include <immintrin.h>

namespace korvanel {

namespace {

// Component i of the four points p[0..3], in the four lanes.
inline __m256d component(const Stress6* p, int i) {
    return _mm256_set_pd(p[3].s[i], p[2].s[i], p[1].s[i], p[0].s[i]);
}

// vonMisesSquaredOf in each lane: the same operations in the same order.
inline __m256d vonMisesSquared4(const __m256d* s) {
    __m256d normal = _mm256_add_pd(_mm256_mul_pd(s[0], s[0]), _mm256_mul_pd(s[1], s[1]));
    normal = _mm256_add_pd(normal, _mm256_mul_pd(s[2], s[2]));
    normal = _mm256_sub_pd(normal, _mm256_mul_pd(s[0], s[1]));
    normal = _mm256_sub_pd(normal, _mm256_mul_pd(s[1], s[2]));
    normal = _mm256_sub_pd(normal, _mm256_mul_pd(s[0], s[2]));
    __m256d shear = _mm256_add_pd(_mm256_mul_pd(s[3], s[3]), _mm256_mul_pd(s[4], s[4]));
    shear = _mm256_add_pd(shear, _mm256_mul_pd(s[5], s[5]));
    const __m256d result = _mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(3.0), shear), normal);
    // Below 0: 0, as vonMisesSquaredOf.
    return _mm256_and_pd(result, _mm256_cmp_pd(result, _mm256_setzero_pd(), _CMP_GE_OQ));
}

double lowest(__m256d x) {
    double lanes[4];
    _mm256_storeu_pd(lanes, x);
    return std::min({lanes[0], lanes[1], lanes[2], lanes[3]});
}

double highest(__m256d x) {
    double lanes[4];
    _mm256_storeu_pd(lanes, x);
    return std::max({lanes[0], lanes[1], lanes[2], lanes[3]});
}

}  // namespace

std::size_t screenDistancesAvx2(const Stress6* path, std::size_t count, const Stress6& centre,
                                double& shortestSegment, double& largestFromCentre) {
    __m256d shortest = _mm256_set1_pd(shortestSegment);
    __m256d largest = _mm256_set1_pd(largestFromCentre);
    __m256d c[6];
    for (int i = 0; i < 6; ++i) c[i] = _mm256_set1_pd(centre.s[i]);
    std::size_t k = 0;
    // Segments k .. k + 3 end at points k + 1 .. k + 4: the lanes of the
    // points moved down by one, point k + 4 in the top lane.
    for (; k + 4 < count; k += 4) {
        __m256d v[6], d[6];
        for (int i = 0; i < 6; ++i) {
            const __m256d at = component(path + k, i);
            const __m256d moved = _mm256_permute4x64_pd(at, 0x39);  // lanes 1, 2, 3, 0
            const __m256d next =
                _mm256_blend_pd(moved, _mm256_broadcast_sd(&path[k + 4].s[i]), 0x8);
            v[i] = _mm256_sub_pd(next, at);
            d[i] = _mm256_sub_pd(at, c[i]);
        }
        shortest = _mm256_min_pd(shortest, vonMisesSquared4(v));
        largest = _mm256_max_pd(largest, vonMisesSquared4(d));
    }
    shortestSegment = lowest(shortest);
    largestFromCentre = highest(largest);
    return k;
}

}  // namespace korvanel
