// Compiled with -mavx512f (never FMA); called only where the processor has AVX-512F.
#include "fatigue/open_distances.hpp"

#include <immintrin.h>

namespace korvanel {

std::size_t distancesToEndAvx512(const double* const o[6], const double end[6],
                                 const double* rangeSquared, std::size_t count, double* out) {
    const __m512d e0 = _mm512_set1_pd(end[0]), e1 = _mm512_set1_pd(end[1]);
    const __m512d e2 = _mm512_set1_pd(end[2]), e3 = _mm512_set1_pd(end[3]);
    const __m512d e4 = _mm512_set1_pd(end[4]), e5 = _mm512_set1_pd(end[5]);
    const __m512d three = _mm512_set1_pd(3.0);
    const __m512d zero = _mm512_setzero_pd();
    std::size_t first = count;
    for (std::size_t i = 0; i < count; i += 8) {
        const __m512d s1 = _mm512_sub_pd(e0, _mm512_loadu_pd(o[0] + i));
        const __m512d s2 = _mm512_sub_pd(e1, _mm512_loadu_pd(o[1] + i));
        const __m512d s3 = _mm512_sub_pd(e2, _mm512_loadu_pd(o[2] + i));
        const __m512d s4 = _mm512_sub_pd(e3, _mm512_loadu_pd(o[3] + i));
        const __m512d s5 = _mm512_sub_pd(e4, _mm512_loadu_pd(o[4] + i));
        const __m512d s6 = _mm512_sub_pd(e5, _mm512_loadu_pd(o[5] + i));
        // ((s1*s1 + s2*s2) + s3*s3) - s1*s2 - s2*s3 - s1*s3
        __m512d normal = _mm512_add_pd(_mm512_mul_pd(s1, s1), _mm512_mul_pd(s2, s2));
        normal = _mm512_add_pd(normal, _mm512_mul_pd(s3, s3));
        normal = _mm512_sub_pd(normal, _mm512_mul_pd(s1, s2));
        normal = _mm512_sub_pd(normal, _mm512_mul_pd(s2, s3));
        normal = _mm512_sub_pd(normal, _mm512_mul_pd(s1, s3));
        // (s4*s4 + s5*s5) + s6*s6
        __m512d shear = _mm512_add_pd(_mm512_mul_pd(s4, s4), _mm512_mul_pd(s5, s5));
        shear = _mm512_add_pd(shear, _mm512_mul_pd(s6, s6));
        __m512d result = _mm512_add_pd(_mm512_mul_pd(three, shear), normal);
        // result < 0 becomes 0; a NaN stays what it is, as in the scalar form.
        result = _mm512_mask_mov_pd(result, _mm512_cmp_pd_mask(result, zero, _CMP_LT_OQ), zero);
        _mm512_storeu_pd(out + i, result);
        if (first == count) {
            // Lanes past the count are not entries.
            const std::size_t left = count - i;
            const unsigned live = left >= 8 ? 0xFFu : (1u << left) - 1u;
            const unsigned leaves =
                _mm512_cmp_pd_mask(result, _mm512_loadu_pd(rangeSquared + i), _CMP_GT_OQ) & live;
            if (leaves != 0) first = i + static_cast<std::size_t>(__builtin_ctz(leaves));
        }
    }
    return first;
}

}  // namespace korvanel
