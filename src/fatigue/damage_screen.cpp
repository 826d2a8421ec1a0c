#include "fatigue/damage_screen.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "model/fixed_settings.hpp"
#include "stress/stress_measures.hpp"

namespace korvanel {

namespace {

// The allowances of the proof in docs/developers.md ("The damage screen").
// u is the unit roundoff, Z the square of the largest magnitude of any
// component of the path; every rounding of the extraction is bounded by a
// multiple of u * Z. The multiples are at least twice what the proof needs.
constexpr double kUnitRoundoff = 0x1p-53;
constexpr double kCentreDistanceError = 0x1p13;  // a computed squared distance from the centre
constexpr double kRangeSquaredError = 0x1p18;    // a computed rangeSquared beyond the exact one
constexpr double kShrinkError = 0x1p20;          // how far an extension may lower a rangeSquared
constexpr double kOvershootFactor = 0x1p16;      // squared reach of a crossing before a segment's start
constexpr double kLargestOvershoot = 0.125;
// Relative allowance for the rounding of the bounds' own arithmetic, and for
// the accumulation of a mean over at most kMostPoints pieces.
constexpr double kMargin = 0x1p-40;
constexpr double kSumMargin = 0x1p-20;
constexpr std::size_t kMostPoints = std::size_t{1} << 30;
// Magnitudes for which no square overflows and no underflow matters.
constexpr double kSmallestMagnitude = 0x1p-200;
constexpr double kLargestMagnitude = 0x1p200;
// A growth noise ratio beyond this gives bounds too wide to be of use.
constexpr double kLargestNoiseRatio = 16.0;

// The library power is within one unit in the last place of x^k with the
// GNU C library (2.28 and later); elsewhere the screen proves nothing.
constexpr bool kPowerWithinOneUlp =
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
    true;
#else
    false;
#endif

// What one pass over the path gathers for the bounds.
struct PathFacts {
    bool finite = true;
    Stress6 low;
    Stress6 high;
    double i1Low = 0.0;
    double i1High = 0.0;
    double shortest = 0.0;  // least vonMisesSquared of a segment of the closed path
};

void addPoint(PathFacts& f, const Stress6& x, const Stress6& next) {
    for (int i = 0; i < 6; ++i) {
        f.finite = f.finite && std::isfinite(x.s[i]);
        f.low.s[i] = std::min(f.low.s[i], x.s[i]);
        f.high.s[i] = std::max(f.high.s[i], x.s[i]);
    }
    const double i1 = firstInvariant(x);
    f.i1Low = std::min(f.i1Low, i1);
    f.i1High = std::max(f.i1High, i1);
    f.shortest = std::min(f.shortest, vonMisesSquared(next - x));
}

#if defined(__SSE2__)
// Component k of points a and b, in the two lanes.
inline __m128d lanesOf(const Stress6& a, const Stress6& b, int k) {
    return _mm_loadh_pd(_mm_load_sd(&a.s[k]), &b.s[k]);
}

// vonMisesSquaredOf in each lane: the same operations in the same order.
inline __m128d vonMisesSquaredLanes(const __m128d* s) {
    const __m128d normal = _mm_sub_pd(
        _mm_sub_pd(_mm_sub_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(s[0], s[0]), _mm_mul_pd(s[1], s[1])),
                                         _mm_mul_pd(s[2], s[2])),
                              _mm_mul_pd(s[0], s[1])),
                   _mm_mul_pd(s[1], s[2])),
        _mm_mul_pd(s[0], s[2]));
    const __m128d shear =
        _mm_add_pd(_mm_add_pd(_mm_mul_pd(s[3], s[3]), _mm_mul_pd(s[4], s[4])), _mm_mul_pd(s[5], s[5]));
    const __m128d result = _mm_add_pd(_mm_mul_pd(_mm_set1_pd(3.0), shear), normal);
    return _mm_and_pd(result, _mm_cmpge_pd(result, _mm_setzero_pd()));  // below 0: 0
}

inline double lowerLane(__m128d x) { return std::min(_mm_cvtsd_f64(x), _mm_cvtsd_f64(_mm_unpackhi_pd(x, x))); }
inline double upperLane(__m128d x) { return std::max(_mm_cvtsd_f64(x), _mm_cvtsd_f64(_mm_unpackhi_pd(x, x))); }
#endif

// Minima and maxima are exact, so the points may be taken in any order:
// two at a time in the lanes of SSE2 registers, the rest one by one.
PathFacts pathFacts(std::span<const Stress6> path) {
    const std::size_t count = path.size();
    PathFacts f;
    f.low = f.high = path[0];
    f.i1Low = f.i1High = firstInvariant(path[0]);
    f.shortest = vonMisesSquared(path[0] - path[count - 1]);
    std::size_t k = 0;
#if defined(__SSE2__)
    __m128d low[3], high[3];
    for (int i = 0; i < 3; ++i) low[i] = high[i] = _mm_loadu_pd(path[0].s + 2 * i);
    __m128d notFinite = _mm_setzero_pd();  // becomes NaN with any infinity or NaN
    __m128d i1Low = _mm_set1_pd(f.i1Low), i1High = i1Low;
    __m128d shortest = _mm_set1_pd(f.shortest);
    const __m128d zero = _mm_setzero_pd();
    for (; k + 2 < count; k += 2) {
        const Stress6& a = path[k];
        const Stress6& b = path[k + 1];
        const Stress6& c = path[k + 2];
        for (int i = 0; i < 3; ++i) {
            const __m128d pa = _mm_loadu_pd(a.s + 2 * i);
            const __m128d pb = _mm_loadu_pd(b.s + 2 * i);
            low[i] = _mm_min_pd(low[i], _mm_min_pd(pa, pb));
            high[i] = _mm_max_pd(high[i], _mm_max_pd(pa, pb));
            notFinite = _mm_add_pd(notFinite, _mm_add_pd(_mm_mul_pd(pa, zero), _mm_mul_pd(pb, zero)));
        }
        __m128d at[6], v[6];
        for (int i = 0; i < 6; ++i) {
            at[i] = lanesOf(a, b, i);
            v[i] = _mm_sub_pd(lanesOf(b, c, i), at[i]);
        }
        const __m128d i1 = _mm_add_pd(_mm_add_pd(at[0], at[1]), at[2]);
        i1Low = _mm_min_pd(i1Low, i1);
        i1High = _mm_max_pd(i1High, i1);
        shortest = _mm_min_pd(shortest, vonMisesSquaredLanes(v));
    }
    double lanes[2];
    _mm_storeu_pd(lanes, notFinite);
    f.finite = lanes[0] == 0.0 && lanes[1] == 0.0;
    for (int i = 0; i < 3; ++i) {
        double l[2], h[2];
        _mm_storeu_pd(l, low[i]);
        _mm_storeu_pd(h, high[i]);
        f.low.s[2 * i] = l[0];
        f.low.s[2 * i + 1] = l[1];
        f.high.s[2 * i] = h[0];
        f.high.s[2 * i + 1] = h[1];
    }
    f.i1Low = lowerLane(i1Low);
    f.i1High = upperLane(i1High);
    f.shortest = lowerLane(shortest);
#endif
    for (; k + 1 < count; ++k) addPoint(f, path[k], path[k + 1]);
    addPoint(f, path[count - 1], path[0]);  // the closing segment is counted twice: no matter
    return f;
}

// The largest vonMisesSquared distance of a point from `centre`.
double largestDistanceSquared(std::span<const Stress6> path, const Stress6& centre) {
    const std::size_t count = path.size();
    double largest = 0.0;
    std::size_t k = 0;
#if defined(__SSE2__)
    __m128d centreLanes[6];
    for (int i = 0; i < 6; ++i) centreLanes[i] = _mm_set1_pd(centre.s[i]);
    __m128d most = _mm_setzero_pd();
    for (; k + 1 < count; k += 2) {
        __m128d d[6];
        for (int i = 0; i < 6; ++i) d[i] = _mm_sub_pd(lanesOf(path[k], path[k + 1], i), centreLanes[i]);
        most = _mm_max_pd(most, vonMisesSquaredLanes(d));
    }
    largest = upperLane(most);
#endif
    for (; k < count; ++k) largest = std::max(largest, vonMisesSquared(path[k] - centre));
    return largest;
}

}  // namespace

ScreenBounds screenBounds(std::span<const Stress6> path, bool stressPathCorrection) {
    ScreenBounds bounds;
    const std::size_t count = path.size();
    if (count < 2 || count > kMostPoints) return bounds;

    // One pass: the box of the points, their first invariants, whether they
    // are all finite, and the shortest segment of the closed path (the same
    // differences, in the same direction, as the extraction's segment
    // vectors, so the same bits).
    PathFacts facts = pathFacts(path);
    if (!facts.finite) return bounds;
    const Stress6& low = facts.low;
    const Stress6& high = facts.high;
    double largest = 0.0;
    for (int i = 0; i < 6; ++i) largest = std::max({largest, -low.s[i], high.s[i]});
    const double i1Low = facts.i1Low;
    const double i1High = facts.i1High;
    const double shortest = facts.shortest;
    if (!(largest >= kSmallestMagnitude && largest <= kLargestMagnitude)) return bounds;
    if (!(shortest > 0.0)) return bounds;

    const double unitZ = kUnitRoundoff * (largest * largest);
    // How far before a segment's start a crossing can be computed, as a
    // fraction of the segment.
    const double overshoot = std::sqrt(kOvershootFactor * unitZ / shortest);
    if (!(overshoot <= kLargestOvershoot)) return bounds;
    // The ratio of the range a half-cycle may lose to rounding over all its
    // extensions to its range.
    const double n = static_cast<double>(count);
    const double shrink = n * (kShrinkError * unitZ);
    if (!(shortest > 2.0 * shrink)) return bounds;
    const double noiseRatio = 2.0 * shrink / (shortest - shrink) + kSumMargin;
    if (!(noiseRatio <= kLargestNoiseRatio)) return bounds;

    // Von Mises radius of the path about the centre of its box.
    Stress6 centre;
    for (int i = 0; i < 6; ++i) centre.s[i] = low.s[i] + (high.s[i] - low.s[i]) / 2.0;
    const double radiusSquared = largestDistanceSquared(path, centre);
    const double radius = std::sqrt(radiusSquared + kCentreDistanceError * unitZ) *
                          (1.0 + 2.0 * overshoot) * (1.0 + kMargin);
    // A range is a distance between two points within that radius; the
    // stress-path correction makes it a two-leg length, at most twice that.
    double rangeSquared = (2.0 * radius) * (2.0 * radius) + kRangeSquaredError * unitZ;
    if (stressPathCorrection) rangeSquared = 4.0 * rangeSquared;
    bounds.amplitude = std::sqrt(rangeSquared) / 2.0 * (1.0 + kMargin);

    const double span = i1High - i1Low;
    const double largestI1 = std::max(std::fabs(i1Low), std::fabs(i1High));
    bounds.lowWeight = i1Low - overshoot * span - kMargin * largestI1;
    bounds.highWeight = i1High + overshoot * span + kMargin * largestI1;
    bounds.noiseRatio = noiseRatio;
    bounds.usable = true;
    return bounds;
}

bool provesNoDamage(std::span<const Stress6> path, bool stressPathCorrection,
                    const MaterialValues& m, const SnCurve& curve) {
    if (!kPowerWithinOneUlp) return false;
    const ScreenBounds bounds = screenBounds(path, stressPathCorrection);
    if (!bounds.usable) return false;
    // Every half-cycle falls below the amplitude gate: none is counted.
    if (bounds.amplitude <= config::kAmplitudeGate) return true;

    const double k = m.goodmanExponent;
    const double smMax = m.goodmanSmMax;
    if (!(std::isfinite(k) && k > 0.0 && std::isfinite(smMax) && smMax > 0.0)) return false;

    // The bound of the tested mean: the mean itself under the signed and the
    // tensile-only methods, its magnitude under the others. The corrected
    // amplitude grows with it in each method.
    const double span = bounds.highWeight - bounds.lowWeight;
    const double largestWeight = std::max(std::fabs(bounds.lowWeight), std::fabs(bounds.highWeight));
    const double noise = bounds.noiseRatio * span * (1.0 + kMargin) + kSumMargin * (largestWeight + span);
    const bool testsSignedMean = m.goodmanMethod == GoodmanMethod::signedMean ||
                                 m.goodmanMethod == GoodmanMethod::tensileMeanOnly;
    const double meanBound =
        (testsSignedMean ? std::max(bounds.highWeight, 0.0) : largestWeight) * (1.0 + kMargin) + noise;
    if (!(meanBound < smMax)) return false;

    // (mean / SmMAX)^k, above the power the correction can compute for any
    // mean within the bound.
    double power = 0.0;
    const double ratio = meanBound / smMax;
    if (ratio > 0.0) power = std::pow(ratio, k) * (1.0 + kMargin) + 0x1p-1000;
    if (!(power < 1.0)) return false;
    const double equivalent = bounds.amplitude / (1.0 - power);

    if (curve.type == SnCurveType::palmgren)
        return equivalent <= m.enduranceLimit && equivalent < curve.staticLimit;
    if (curve.type == SnCurveType::weibull)
        return equivalent <= m.weibullSainf && equivalent < m.weibullSault;
    return false;
}

}  // namespace korvanel
