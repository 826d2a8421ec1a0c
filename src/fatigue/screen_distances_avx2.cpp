// Compiled with -mavx2 (never FMA); called only where the processor has AVX2.
#include "fatigue/screen_distances.hpp"

#include <algorithm>

#include <immintrin.h>

namespace korvanel {

namespace {

// The six components of the four consecutive points p[0..3], component i
// of point j in lane j of c[i]: six loads of the 24 doubles, then a
// transposition by halves and pairs.
static_assert(sizeof(Stress6) == 6 * sizeof(double));
inline void components(const Stress6* p, __m256d* c) {
    const double* d = p[0].s;
    const __m256d r0 = _mm256_loadu_pd(d);       // p0.0 p0.1 p0.2 p0.3
    const __m256d r1 = _mm256_loadu_pd(d + 4);   // p0.4 p0.5 p1.0 p1.1
    const __m256d r2 = _mm256_loadu_pd(d + 8);   // p1.2 p1.3 p1.4 p1.5
    const __m256d r3 = _mm256_loadu_pd(d + 12);  // p2.0 p2.1 p2.2 p2.3
    const __m256d r4 = _mm256_loadu_pd(d + 16);  // p2.4 p2.5 p3.0 p3.1
    const __m256d r5 = _mm256_loadu_pd(d + 20);  // p3.2 p3.3 p3.4 p3.5
    const __m256d t0 = _mm256_permute2f128_pd(r0, r3, 0x20);  // p0.0 p0.1 p2.0 p2.1
    const __m256d t1 = _mm256_permute2f128_pd(r1, r4, 0x31);  // p1.0 p1.1 p3.0 p3.1
    const __m256d t2 = _mm256_permute2f128_pd(r0, r3, 0x31);  // p0.2 p0.3 p2.2 p2.3
    const __m256d t3 = _mm256_permute2f128_pd(r2, r5, 0x20);  // p1.2 p1.3 p3.2 p3.3
    const __m256d t4 = _mm256_permute2f128_pd(r1, r4, 0x20);  // p0.4 p0.5 p2.4 p2.5
    const __m256d t5 = _mm256_permute2f128_pd(r2, r5, 0x31);  // p1.4 p1.5 p3.4 p3.5
    c[0] = _mm256_unpacklo_pd(t0, t1);
    c[1] = _mm256_unpackhi_pd(t0, t1);
    c[2] = _mm256_unpacklo_pd(t2, t3);
    c[3] = _mm256_unpackhi_pd(t2, t3);
    c[4] = _mm256_unpacklo_pd(t4, t5);
    c[5] = _mm256_unpackhi_pd(t4, t5);
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
    // Below 0: 0, as vonMisesSquaredOf; NaN gives 0 here, which surveyPathAvx2 relies on.
    return _mm256_and_pd(result, _mm256_cmp_pd(result, _mm256_setzero_pd(), _CMP_GE_OQ));
}

double lanes(__m256d x, bool lowest) {
    double v[4];
    _mm256_storeu_pd(v, x);
    return lowest ? std::min({v[0], v[1], v[2], v[3]}) : std::max({v[0], v[1], v[2], v[3]});
}

}  // namespace

std::size_t surveyPathAvx2(const Stress6* path, std::size_t count, PathSurvey& survey) {
    __m256d low[6], high[6];
    for (int i = 0; i < 6; ++i) {
        low[i] = _mm256_set1_pd(survey.low.s[i]);
        high[i] = _mm256_set1_pd(survey.high.s[i]);
    }
    __m256d i1Low = _mm256_set1_pd(survey.i1Low), i1High = _mm256_set1_pd(survey.i1High);
    __m256d shortest = _mm256_set1_pd(survey.shortestSegment);
    std::size_t k = 0;
    // Segments k .. k + 3 end at points k + 1 .. k + 4: the lanes of the
    // points moved down by one, point k + 4 in the top lane.
    for (; k + 4 < count; k += 4) {
        __m256d at[6], v[6];
        components(path + k, at);
        for (int i = 0; i < 6; ++i) {
            const __m256d moved = _mm256_permute4x64_pd(at[i], 0x39);  // lanes 1, 2, 3, 0
            const __m256d next = _mm256_blend_pd(moved, _mm256_broadcast_sd(&path[k + 4].s[i]), 0x8);
            v[i] = _mm256_sub_pd(next, at[i]);
            low[i] = _mm256_min_pd(low[i], at[i]);
            high[i] = _mm256_max_pd(high[i], at[i]);
        }
        const __m256d i1 = _mm256_add_pd(_mm256_add_pd(at[0], at[1]), at[2]);
        i1Low = _mm256_min_pd(i1Low, i1);
        i1High = _mm256_max_pd(i1High, i1);
        shortest = _mm256_min_pd(shortest, vonMisesSquared4(v));
    }
    for (int i = 0; i < 6; ++i) {
        survey.low.s[i] = lanes(low[i], true);
        survey.high.s[i] = lanes(high[i], false);
    }
    survey.i1Low = lanes(i1Low, true);
    survey.i1High = lanes(i1High, false);
    survey.shortestSegment = lanes(shortest, true);
    // A NaN in a point taken here makes the lengths of both its segments 0
    // (vonMisesSquared4), so the shortest segment is 0, which the screen
    // refuses; infinities stay in the box, where its magnitude test refuses
    // them. So `finite` is left to the points taken one by one.
    return k;
}

std::size_t largestDistanceFromCentreAvx2(const Stress6* path, std::size_t count, const Stress6& centre,
                                          double& largest) {
    __m256d most = _mm256_set1_pd(largest);
    __m256d c[6];
    for (int i = 0; i < 6; ++i) c[i] = _mm256_set1_pd(centre.s[i]);
    std::size_t k = 0;
    for (; k + 3 < count; k += 4) {
        __m256d d[6];
        components(path + k, d);
        for (int i = 0; i < 6; ++i) d[i] = _mm256_sub_pd(d[i], c[i]);
        most = _mm256_max_pd(most, vonMisesSquared4(d));
    }
    largest = lanes(most, false);
    return k;
}

}  // namespace korvanel
