#pragma once

// Half-cycles of a multiaxial stress path. The path is closed on itself and
// walked segment by segment; every piece of it is given to exactly one
// half-cycle, whose range is the von Mises distance from its origin. On a
// uniaxial path this finds the cycles of a rainflow count of the repeated
// history.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "base/fatal_stop.hpp"
#include "base/simd_level.hpp"
#include "fatigue/open_key_groups.hpp"
#include "model/stress6.hpp"

namespace korvanel {

struct HalfCycle {
    Stress6 sigA;                // origin
    Stress6 sigB;                // current end
    double rangeSquared = 0.0;   // vonMisesSquared(sigB - sigA), or the path-corrected value
    bool closed = false;         // can no longer grow
    double meanIntegral = 0.0;   // sum over its pieces of range growth times mean first invariant
};

// A break point of the pieces of path, with the 0-based index of the
// half-cycle its piece belongs to.
struct PathPoint {
    Stress6 point;
    std::int64_t owner = 0;
};

// Working tables of one extraction; they keep their capacity from node to
// node, so a warm scratch allocates nothing.
struct ExtractionScratch {
    std::vector<Stress6> closedPath;       // path rotated to its start point, first point repeated
    std::vector<double> firstInvariants;   // of every point of closedPath
    // Break points in creation order. Filled only when the stress-path
    // correction needs them; otherwise only counted.
    std::vector<PathPoint> pathPoints;
    std::int64_t pathPointCount = 0;
    // Storage of the open half-cycles, in creation order (ascending index),
    // kept as parallel columns so that the walk reads them contiguously:
    // entry i of every column belongs to half-cycle openHalfCycles[i]. Both
    // grow as the open list needs and keep their room from node to node.
    std::vector<std::int64_t> openHalfCycles;
    std::vector<double> openColumns;  // columns of equal length, one after the other
    // When the open list grows long, its older entries are kept in groups
    // of equal key instead (open_key_groups.hpp).
    OpenKeyGroups openKeyGroups;
};

// Extracts the half-cycles of a compacted path of P = path.size() points.
// timePointCount is the raw point count before compaction: the break-point
// list has room for 4 * timePointCount entries.
// Throws the constant-path check when P <= 1, the break-point check as soon as the break
// points would exceed 4 * timePointCount - 2.
// With stressPathCorrection, every half-cycle's range is then lengthened to
// the longest two-leg distance through one of its break points.
// halfCycles is refilled in creation order (N = P entries). `simd` chooses
// the vector form of the distance tests; every level gives the same bits.
void extractHalfCycles(SimdLevel simd, std::span<const Stress6> path,
                       std::int64_t timePointCount, bool stressPathCorrection,
                       ExtractionScratch& scratch, std::vector<HalfCycle>& halfCycles);

// A path of extractHalfCyclesInTurns, with what extractHalfCycles takes
// for it, and the stop its extraction came to, if any.
struct PathToExtract {
    std::span<const Stress6> path;
    std::int64_t timePointCount = 0;
    ExtractionScratch* scratch = nullptr;
    std::vector<HalfCycle>* halfCycles = nullptr;
    std::optional<FatalStop> stop;
};

// The extractions of several paths, with their segments walked in turns: the
// walks do not depend on each other, so the processor works on one while
// another waits on its square roots, divisions and mispredicted branches.
// Each path gets exactly what extractHalfCycles gives it, or, in its
// `stop`, the stop extractHalfCycles would throw; a stop of one ends only
// that one. Up to kMaxPathsInTurns paths are taken; more are left as they
// are.
constexpr std::size_t kMaxPathsInTurns = 4;
void extractHalfCyclesInTurns(SimdLevel simd, bool stressPathCorrection,
                              std::span<PathToExtract> paths);

}  // namespace korvanel
