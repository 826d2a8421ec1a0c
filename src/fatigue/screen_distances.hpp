#pragma once

// The two passes the damage screen makes over a path. The first gathers the
// box of the points, their first invariants, whether every value is finite,
// and the vonMisesSquared length of every segment of the closed path; the
// second the largest vonMisesSquared distance from a centre. Each value is
// computed on its own, in the order of vonMisesSquaredOf and
// firstInvariant; the vector forms run two or four points at once, each
// lane doing exactly the scalar operations, so the segment lengths are the
// very bits the extraction computes for the same segments. Minima and
// maxima are exact, so the order in which points are taken does not matter.

#include <cstddef>
#include <span>

#include "base/simd_level.hpp"
#include "model/stress6.hpp"

namespace korvanel {

// A path with a value that is not finite has `finite` false, a shortest
// segment of 0 (a NaN in a point the AVX2 form takes) or an infinity in its
// box: each of which the screen refuses.
struct PathSurvey {
    bool finite = true;
    Stress6 low;              // the box of the points
    Stress6 high;
    double i1Low = 0.0;       // the range of their first invariants
    double i1High = 0.0;
    double shortestSegment = 0.0;  // least vonMisesSquared(path[k+1] - path[k]), closing segment included
};

// REQUIRES: path has at least two points.
PathSurvey surveyPath(SimdLevel level, std::span<const Stress6> path);
double largestDistanceFromCentre(SimdLevel level, std::span<const Stress6> path, const Stress6& centre);

// The AVX2 forms: the points [0, returned count) taken four at a time and
// folded into what `survey` or `largest` already hold.
std::size_t surveyPathAvx2(const Stress6* path, std::size_t count, PathSurvey& survey);
std::size_t largestDistanceFromCentreAvx2(const Stress6* path, std::size_t count, const Stress6& centre,
                                          double& largest);

}  // namespace korvanel
