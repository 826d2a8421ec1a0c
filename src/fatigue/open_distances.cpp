#include "fatigue/open_distances.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "stress/stress_measures.hpp"

namespace korvanel {

std::size_t distancesToEndPlain(const double* const o[6], const double end[6],
                                const double* rangeSquared, std::size_t count, double* out) {
    for (std::size_t i = 0; i < count; ++i)
        out[i] = vonMisesSquaredOf(end[0] - o[0][i], end[1] - o[1][i], end[2] - o[2][i],
                                   end[3] - o[3][i], end[4] - o[4][i], end[5] - o[5][i]);
    std::size_t first = 0;
    while (first < count && !(out[first] > rangeSquared[first])) ++first;
    return first;
}

#if defined(__SSE2__)
std::size_t distancesToEndSse2(const double* const o[6], const double end[6],
                               const double* rangeSquared, std::size_t count, double* out) {
    const __m128d e0 = _mm_set1_pd(end[0]), e1 = _mm_set1_pd(end[1]);
    const __m128d e2 = _mm_set1_pd(end[2]), e3 = _mm_set1_pd(end[3]);
    const __m128d e4 = _mm_set1_pd(end[4]), e5 = _mm_set1_pd(end[5]);
    const __m128d three = _mm_set1_pd(3.0);
    const __m128d zero = _mm_setzero_pd();
    std::size_t first = count;
    for (std::size_t i = 0; i < count; i += 2) {
        const __m128d s1 = _mm_sub_pd(e0, _mm_loadu_pd(o[0] + i));
        const __m128d s2 = _mm_sub_pd(e1, _mm_loadu_pd(o[1] + i));
        const __m128d s3 = _mm_sub_pd(e2, _mm_loadu_pd(o[2] + i));
        const __m128d s4 = _mm_sub_pd(e3, _mm_loadu_pd(o[3] + i));
        const __m128d s5 = _mm_sub_pd(e4, _mm_loadu_pd(o[4] + i));
        const __m128d s6 = _mm_sub_pd(e5, _mm_loadu_pd(o[5] + i));
        // ((s1*s1 + s2*s2) + s3*s3) - s1*s2 - s2*s3 - s1*s3
        __m128d normal = _mm_add_pd(_mm_mul_pd(s1, s1), _mm_mul_pd(s2, s2));
        normal = _mm_add_pd(normal, _mm_mul_pd(s3, s3));
        normal = _mm_sub_pd(normal, _mm_mul_pd(s1, s2));
        normal = _mm_sub_pd(normal, _mm_mul_pd(s2, s3));
        normal = _mm_sub_pd(normal, _mm_mul_pd(s1, s3));
        // (s4*s4 + s5*s5) + s6*s6
        __m128d shear = _mm_add_pd(_mm_mul_pd(s4, s4), _mm_mul_pd(s5, s5));
        shear = _mm_add_pd(shear, _mm_mul_pd(s6, s6));
        __m128d result = _mm_add_pd(_mm_mul_pd(three, shear), normal);
        // result < 0 becomes 0; a NaN stays what it is, as in the scalar form.
        result = _mm_andnot_pd(_mm_cmplt_pd(result, zero), result);
        _mm_storeu_pd(out + i, result);
        if (first == count) {
            // Lanes past the count are not entries.
            const int live = count - i >= 2 ? 3 : 1;
            const int leaves =
                _mm_movemask_pd(_mm_cmpgt_pd(result, _mm_loadu_pd(rangeSquared + i))) & live;
            if (leaves != 0) first = i + static_cast<std::size_t>(__builtin_ctz(leaves));
        }
    }
    return first;
}
#else
std::size_t distancesToEndSse2(const double* const o[6], const double end[6],
                               const double* rangeSquared, std::size_t count, double* out) {
    return distancesToEndPlain(o, end, rangeSquared, count, out);
}
#endif

#if !defined(KORVANEL_X86_SIMD)
std::size_t distancesToEndAvx2(const double* const o[6], const double end[6],
                               const double* rangeSquared, std::size_t count, double* out) {
    return distancesToEndPlain(o, end, rangeSquared, count, out);
}
std::size_t distancesToEndAvx512(const double* const o[6], const double end[6],
                                 const double* rangeSquared, std::size_t count, double* out) {
    return distancesToEndPlain(o, end, rangeSquared, count, out);
}
#endif

std::size_t distancesToEnd(SimdLevel level, const double* const origin[6], const double end[6],
                           const double* rangeSquared, std::size_t count, double* out) {
    switch (level) {
        case SimdLevel::plain: break;
        case SimdLevel::sse2: return distancesToEndSse2(origin, end, rangeSquared, count, out);
        case SimdLevel::avx2: return distancesToEndAvx2(origin, end, rangeSquared, count, out);
        case SimdLevel::avx512: return distancesToEndAvx512(origin, end, rangeSquared, count, out);
    }
    return distancesToEndPlain(origin, end, rangeSquared, count, out);
}

}  // namespace korvanel
