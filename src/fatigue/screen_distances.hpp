#pragma once

// The two distances the damage screen takes from every point of a path:
// the vonMisesSquared length of each segment and the vonMisesSquared
// distance from a centre. Each value is computed on its own, in the order of
// vonMisesSquaredOf; the vector forms run two or four points at once, each
// lane doing exactly the scalar operations, so the segment lengths are the
// very bits the extraction computes for the same segments.

#include <cstddef>
#include <span>

#include "base/simd_level.hpp"
#include "model/stress6.hpp"

namespace korvanel {

struct ScreenDistances {
    double shortestSegment = 0.0;   // least vonMisesSquared(path[k+1] - path[k]), closing segment included
    double largestFromCentre = 0.0; // largest vonMisesSquared(path[k] - centre)
};

// REQUIRES: path has at least two points.
ScreenDistances screenDistances(SimdLevel level, std::span<const Stress6> path, const Stress6& centre);

// The AVX2 form: the points [0, returned count) taken four at a time, their
// least segment length and largest distance folded into the two values.
std::size_t screenDistancesAvx2(const Stress6* path, std::size_t count, const Stress6& centre,
                                double& shortestSegment, double& largestFromCentre);

}  // namespace korvanel
