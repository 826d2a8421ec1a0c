#include "fatigue/screen_distances.hpp"

#include <algorithm>
#include <cmath>

#include "stress/stress_measures.hpp"

namespace korvanel {

namespace {

// One point and the segment from it to `next`, as the plain form takes them.
void surveyPoint(PathSurvey& survey, const Stress6& x, const Stress6& next) {
    for (int i = 0; i < 6; ++i) {
        survey.finite = survey.finite && std::isfinite(x.s[i]);
        survey.low.s[i] = std::min(survey.low.s[i], x.s[i]);
        survey.high.s[i] = std::max(survey.high.s[i], x.s[i]);
    }
    const double i1 = firstInvariant(x);
    survey.i1Low = std::min(survey.i1Low, i1);
    survey.i1High = std::max(survey.i1High, i1);
    survey.shortestSegment = std::min(survey.shortestSegment, vonMisesSquared(next - x));
}

}  // namespace

#if !defined(KORVANEL_X86_SIMD)
std::size_t surveyPathAvx2(const Stress6*, std::size_t, PathSurvey&) { return 0; }
std::size_t largestDistanceFromCentreAvx2(const Stress6*, std::size_t, const Stress6&, double&) { return 0; }
#endif

PathSurvey surveyPath(SimdLevel level, std::span<const Stress6> path) {
    const std::size_t count = path.size();
    PathSurvey survey;
    survey.low = survey.high = path[0];
    survey.i1Low = survey.i1High = firstInvariant(path[0]);
    survey.shortestSegment = vonMisesSquared(path[0] - path[count - 1]);  // the closing segment
    std::size_t k = 0;
    if (level == SimdLevel::avx2 || level == SimdLevel::avx512) k = surveyPathAvx2(path.data(), count, survey);
    for (; k + 1 < count; ++k) surveyPoint(survey, path[k], path[k + 1]);
    surveyPoint(survey, path[count - 1], path[0]);
    return survey;
}

double largestDistanceFromCentre(SimdLevel level, std::span<const Stress6> path, const Stress6& centre) {
    const std::size_t count = path.size();
    double largest = 0.0;
    std::size_t k = 0;
    if (level == SimdLevel::avx2 || level == SimdLevel::avx512)
        k = largestDistanceFromCentreAvx2(path.data(), count, centre, largest);
    for (; k < count; ++k) largest = std::max(largest, vonMisesSquared(path[k] - centre));
    return largest;
}

}  // namespace korvanel
