#include "fatigue/damage_screen.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "fatigue/screen_distances.hpp"
#include "stress/stress_measures.hpp"
#include "model/fixed_settings.hpp"

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

// A quick look before the bounds: the amplitude bound is at least half the
// distance of any two points, so when two points lie farther apart than twice
// the limit the corrected amplitude must stay below, nothing can be proven.
// A node of many damaging half-cycles leaves the screen here, after a few
// distances instead of two passes over its path.
bool clearlyBeyondTheLimit(std::span<const Stress6> path, const MaterialValues& m,
                           const SnCurve& curve) {
    const double limit = curve.type == SnCurveType::palmgren
                             ? std::min(m.enduranceLimit, curve.staticLimit)
                             : std::min(m.weibullSainf, m.weibullSault);
    const double reach = (2.0 * limit) * (2.0 * limit);
    if (!(limit > 0.0)) return false;
    const std::size_t count = path.size();
    const std::size_t step = std::max<std::size_t>(1, count / 16);
    for (std::size_t k = step; k < count; k += step)
        if (vonMisesSquared(path[k] - path[0]) > reach) return true;
    return false;
}

}  // namespace

ScreenBounds screenBounds(SimdLevel simd, std::span<const Stress6> path, bool stressPathCorrection) {
    ScreenBounds bounds;
    const std::size_t count = path.size();
    if (count < 2 || count > kMostPoints) return bounds;

    // The box of the points, their first invariants, whether all are finite,
    // and the shortest segment of the closed path (the same differences, in
    // the same direction, as the extraction's segment vectors: the same bits).
    const PathSurvey survey = surveyPath(simd, path);
    if (!survey.finite) return bounds;
    const Stress6& low = survey.low;
    const Stress6& high = survey.high;
    double largest = 0.0;
    for (int i = 0; i < 6; ++i) largest = std::max({largest, -low.s[i], high.s[i]});
    const double i1Low = survey.i1Low;
    const double i1High = survey.i1High;
    const double shortest = survey.shortestSegment;
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
    const double radiusSquared = largestDistanceFromCentre(simd, path, centre);
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

bool provesNoDamage(SimdLevel simd, std::span<const Stress6> path, bool stressPathCorrection,
                    const MaterialValues& m, const SnCurve& curve) {
    if (!kPowerWithinOneUlp) return false;
    if (clearlyBeyondTheLimit(path, m, curve)) return false;
    const ScreenBounds bounds = screenBounds(simd, path, stressPathCorrection);
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
