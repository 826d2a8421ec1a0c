// Compiled with -mavx2 (never FMA); called only where the processor has AVX2.
#include "fatigue/open_distances.hpp"

#include <immintrin.h>

namespace korvanel {

std::size_t distancesToEndAvx2(const double* const o[6], const double end[6],
                               const double* rangeSquared, std::size_t count, double* out) {
    const __m256d e0 = _mm256_set1_pd(end[0]), e1 = _mm256_set1_pd(end[1]);
    const __m256d e2 = _mm256_set1_pd(end[2]), e3 = _mm256_set1_pd(end[3]);
    const __m256d e4 = _mm256_set1_pd(end[4]), e5 = _mm256_set1_pd(end[5]);
    const __m256d three = _mm256_set1_pd(3.0);
    const __m256d zero = _mm256_setzero_pd();
    std::size_t first = count;
    for (std::size_t i = 0; i < count; i += 4) {
        const __m256d s1 = _mm256_sub_pd(e0, _mm256_loadu_pd(o[0] + i));
        const __m256d s2 = _mm256_sub_pd(e1, _mm256_loadu_pd(o[1] + i));
        const __m256d s3 = _mm256_sub_pd(e2, _mm256_loadu_pd(o[2] + i));
        const __m256d s4 = _mm256_sub_pd(e3, _mm256_loadu_pd(o[3] + i));
        const __m256d s5 = _mm256_sub_pd(e4, _mm256_loadu_pd(o[4] + i));
        const __m256d s6 = _mm256_sub_pd(e5, _mm256_loadu_pd(o[5] + i));
        // ((s1*s1 + s2*s2) + s3*s3) - s1*s2 - s2*s3 - s1*s3
        __m256d normal = _mm256_add_pd(_mm256_mul_pd(s1, s1), _mm256_mul_pd(s2, s2));
        normal = _mm256_add_pd(normal, _mm256_mul_pd(s3, s3));
        normal = _mm256_sub_pd(normal, _mm256_mul_pd(s1, s2));
        normal = _mm256_sub_pd(normal, _mm256_mul_pd(s2, s3));
        normal = _mm256_sub_pd(normal, _mm256_mul_pd(s1, s3));
        // (s4*s4 + s5*s5) + s6*s6
        __m256d shear = _mm256_add_pd(_mm256_mul_pd(s4, s4), _mm256_mul_pd(s5, s5));
        shear = _mm256_add_pd(shear, _mm256_mul_pd(s6, s6));
        __m256d result = _mm256_add_pd(_mm256_mul_pd(three, shear), normal);
        // result < 0 becomes 0; a NaN stays what it is, as in the scalar form.
        result = _mm256_andnot_pd(_mm256_cmp_pd(result, zero, _CMP_LT_OQ), result);
        _mm256_storeu_pd(out + i, result);
        if (first == count) {
            // Lanes past the count are not entries.
            const std::size_t left = count - i;
            const int live = left >= 4 ? 0xF : (1 << left) - 1;
            const int leaves = _mm256_movemask_pd(_mm256_cmp_pd(
                                   result, _mm256_loadu_pd(rangeSquared + i), _CMP_GT_OQ)) &
                               live;
            if (leaves != 0) first = i + static_cast<std::size_t>(__builtin_ctz(leaves));
        }
    }
    return first;
}

}  // namespace korvanel
