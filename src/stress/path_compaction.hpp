#pragma once

// Removal of the points of a stress history that do not move the stress.

#include <vector>

#include "model/stress6.hpp"

#include "base/simd_level.hpp"

namespace korvanel {

// Drops every point whose Euclidean distance to its successor is below
// config::kCompactionDistance; the successor of the last point is the first. All
// points are marked on the unreduced history before any is removed, so of
// a run of equal points only the last stays and a last point equal to the
// first is dropped. `history` shrinks to the kept points in their order;
// `keepScratch` holds the marks and keeps its capacity between nodes.
// Throws the compaction check if more points were kept than the history had.
// `simd` plain marks one point at a time, any other level two (SSE2); the
// marks are the same.
void compactPath(SimdLevel simd, std::vector<Stress6>& history, std::vector<unsigned char>& keepScratch);

// True when compactPath keeps a point `from` whose successor is `to`.
bool keptBeforeSuccessor(const Stress6& from, const Stress6& to);

}  // namespace korvanel
