// Compiled with -mavx2 (never FMA); called only where the processor has AVX2.
#include "stress/load_case_lanes.hpp"

#include <immintrin.h>

namespace korvanel {

// Two time points a and b in three registers: components 0-3 of a, 0-3 of b,
// and 4-5 of a beside 4-5 of b. Every lane runs sum = sum + factor * unit
// from zero in load-case order, then F * (base + G * sum).
std::int64_t combinePairsAvx2(const LoadHistory& loads, Stress6* history) {
    const Stress6& base = loads.base;
    const Stress6* loadCaseStress = loads.loadCaseStress;
    const std::int64_t loadCaseCount = loads.loadCaseCount;
    const double* factors = loads.factors;
    const std::int64_t timePointCount = loads.stepCount;
    const __m256d f = _mm256_set1_pd(loads.stressScaleFactor);
    const __m256d g = _mm256_set1_pd(loads.loadCaseScaleFactor);
    const __m256d base0123 = _mm256_loadu_pd(base.s);
    const __m256d base45 = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(base.s + 4));
    std::int64_t t = 0;
    for (; t + 1 < timePointCount; t += 2) {
        const double* fa = factors + t * loadCaseCount;
        const double* fb = fa + loadCaseCount;
        __m256d a0123 = _mm256_setzero_pd(), b0123 = _mm256_setzero_pd();
        __m256d ab45 = _mm256_setzero_pd();
        for (std::int64_t lc = 0; lc < loadCaseCount; ++lc) {
            const double* unit = loadCaseStress[lc].s;
            const __m256d u0123 = _mm256_loadu_pd(unit);
            const __m256d u45 = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(unit + 4));
            const __m256d ffa = _mm256_set1_pd(fa[lc]);
            const __m256d ffb = _mm256_set1_pd(fb[lc]);
            a0123 = _mm256_add_pd(a0123, _mm256_mul_pd(ffa, u0123));
            b0123 = _mm256_add_pd(b0123, _mm256_mul_pd(ffb, u0123));
            ab45 = _mm256_add_pd(ab45, _mm256_mul_pd(_mm256_blend_pd(ffa, ffb, 0xC), u45));
        }
        Stress6& a = history[t];
        Stress6& b = history[t + 1];
        _mm256_storeu_pd(a.s, _mm256_mul_pd(f, _mm256_add_pd(base0123, _mm256_mul_pd(g, a0123))));
        _mm256_storeu_pd(b.s, _mm256_mul_pd(f, _mm256_add_pd(base0123, _mm256_mul_pd(g, b0123))));
        const __m256d r45 = _mm256_mul_pd(f, _mm256_add_pd(base45, _mm256_mul_pd(g, ab45)));
        _mm_storeu_pd(a.s + 4, _mm256_castpd256_pd128(r45));
        _mm_storeu_pd(b.s + 4, _mm256_extractf128_pd(r45, 1));
    }
    return t;
}

}  // namespace korvanel
