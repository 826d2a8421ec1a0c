#include "fatigue/cycle_extraction.hpp"

#include <cmath>
#include <cstddef>
#include <limits>
#include <new>
#include <stdexcept>

#include "run/fatal_stop.hpp"
#include "stress/stress_measures.hpp"

namespace korvanel {

namespace {

// "No half-cycle extended in this segment": larger than any index.
constexpr std::int64_t kNoHalfCycle = 1000000000000;

// The break-point list has room for 4 * timePointCount entries and may hold
// at most 4 * timePointCount - 2 of them.
std::int64_t breakPointLimit(std::int64_t timePointCount) {
    if (timePointCount <= 0) return -2;
    if (timePointCount > std::numeric_limits<std::int64_t>::max() / 4)
        return std::numeric_limits<std::int64_t>::max();
    return 4 * timePointCount - 2;
}

// Counts the break points of the pieces of path, two per piece, and keeps
// them when the stress-path correction will need them.
struct BreakPoints {
    ExtractionScratch& scratch;
    std::int64_t limit;
    bool keep;

    void add(const Stress6& from, const Stress6& to, std::int64_t owner) {
        if (scratch.pathPointCount > limit - 2) throw runtimeError(24);
        scratch.pathPointCount += 2;
        if (keep) {
            scratch.pathPoints.push_back(PathPoint{from, owner});
            scratch.pathPoints.push_back(PathPoint{to, owner});
        }
    }
};

// Rotates the path to begin at its first point of largest von Mises value
// and repeats that point at the end; also the first invariant of every point.
void closePath(std::span<const Stress6> path, ExtractionScratch& scratch) {
    const std::size_t count = path.size();
    std::size_t start = 0;
    double largest = -1.0;
    for (std::size_t k = 0; k < count; ++k) {
        const double q = vonMisesSquared(path[k]);
        if (q > largest) {
            largest = q;
            start = k;
        }
    }
    std::vector<Stress6>& closed = scratch.closedPath;
    closed.resize(count + 1);
    std::size_t r = 0;
    for (std::size_t k = start; k < count; ++k) closed[r++] = path[k];
    for (std::size_t k = 0; k < start; ++k) closed[r++] = path[k];
    closed[count] = closed[0];

    scratch.firstInvariants.resize(count + 1);
    for (std::size_t k = 0; k <= count; ++k)
        scratch.firstInvariants[k] = firstInvariant(closed[k]);
}

// Walks the segment closedPath[pos - 1] -> closedPath[pos]: extends or
// closes the open half-cycles it leaves, oldest first, then starts a new
// half-cycle on the piece not given to an older one.
void walkSegment(std::size_t pos, ExtractionScratch& scratch, BreakPoints& breakPoints,
                 std::vector<HalfCycle>& halfCycles) {
    const Stress6& prev = scratch.closedPath[pos - 1];
    const Stress6& cur = scratch.closedPath[pos];
    const double i1Prev = scratch.firstInvariants[pos - 1];
    const double i1Cur = scratch.firstInvariants[pos];
    const Stress6 v = cur - prev;
    const Stress6 mirrored = 2.0 * prev - cur;  // the segment reflected through prev

    double lmin = 1.0;  // [0, lmin] of the segment is not yet given to an older half-cycle
    std::int64_t jmin = kNoHalfCycle;
    std::vector<std::int64_t>& open = scratch.openHalfCycles;
    std::size_t kept = 0;
    for (std::size_t read = 0; read < open.size(); ++read) {
        const std::int64_t j = open[read];
        HalfCycle& c = halfCycles[j];
        const double dNew = vonMisesSquared(cur - c.sigA);
        if (dNew > c.rangeSquared) {
            const double dOld = vonMisesSquared(prev - c.sigA);
            const double dMirror = vonMisesSquared(mirrored - c.sigA);
            const double a = (dNew + dMirror) / 2.0 - dOld;  // q(v)
            // A segment of no von Mises length cannot leave the range surface;
            // dNew > rangeSquared is then rounding.
            if (a > 0.0) {
                const double h = (dNew - dMirror) / 2.0;
                double disc = h * h - (4.0 * a) * (dOld - c.rangeSquared);
                if (disc < 0.0) disc = 0.0;  // prev lies inside: only rounding makes it negative
                const double root = std::sqrt(disc);
                const double lambda = maxOf((root - h) / (2.0 * a), (-h - root) / (2.0 * a));
                if (lambda >= lmin) {
                    // Leaves j inside a piece an older half-cycle already took.
                    if (lambda < 1.0) c.closed = true;
                } else {
                    // j takes [lambda, lmin] and grows to the end of that piece.
                    jmin = minOf(jmin, j);
                    const double r0 = c.rangeSquared;
                    c.rangeSquared = (dOld + (lmin * lmin) * a) + h * lmin;
                    const Stress6 crossing = prev + lambda * v;
                    c.sigB = prev + lmin * v;
                    breakPoints.add(crossing, c.sigB, j);
                    c.meanIntegral =
                        c.meanIntegral + ((std::sqrt(c.rangeSquared) - std::sqrt(r0)) *
                                          (i1Cur * (lambda + lmin) +
                                           i1Prev * ((2.0 - lambda) - lmin))) /
                                             2.0;
                    if (lmin < 1.0) c.closed = true;  // an older half-cycle continues the growth
                    lmin = lambda;
                }
            }
        }
        if (!c.closed) open[kept++] = j;
    }
    // When an older half-cycle continues, every newer one ends.
    while (kept > 0 && open[kept - 1] > jmin) halfCycles[open[--kept]].closed = true;
    open.resize(kept);

    const std::int64_t n = static_cast<std::int64_t>(halfCycles.size());
    HalfCycle fresh;
    fresh.sigA = prev;
    fresh.sigB = prev + lmin * v;
    fresh.rangeSquared = (lmin * lmin) * vonMisesSquared(v);
    breakPoints.add(prev, fresh.sigB, n);
    fresh.meanIntegral =
        (std::sqrt(fresh.rangeSquared) * (lmin * i1Cur + (2.0 - lmin) * i1Prev)) / 2.0;
    // Stays open only when the whole segment lay inside every open half-cycle.
    fresh.closed = !(lmin == 1.0);
    halfCycles.push_back(fresh);
    if (!fresh.closed) open.push_back(n);
}

// Lengthens each half-cycle's range to the longest two-leg distance from its
// origin through one of its break points to its end.
void correctAlongPath(const ExtractionScratch& scratch, std::vector<HalfCycle>& halfCycles) {
    for (const PathPoint& p : scratch.pathPoints) {
        HalfCycle& c = halfCycles[p.owner];
        const double range = pathRange(c.sigA, c.sigB, p.point, std::sqrt(c.rangeSquared));
        c.rangeSquared = range * range;
    }
}

void extract(std::span<const Stress6> path, std::int64_t timePointCount,
             bool stressPathCorrection, ExtractionScratch& scratch,
             std::vector<HalfCycle>& halfCycles) {
    if (path.size() <= 1) throw runtimeError(18);
    closePath(path, scratch);
    const std::size_t pointCount = path.size();

    halfCycles.clear();
    halfCycles.reserve(pointCount);
    scratch.openHalfCycles.clear();
    scratch.openHalfCycles.reserve(pointCount);
    scratch.pathPoints.clear();
    scratch.pathPointCount = 0;
    BreakPoints breakPoints{scratch, breakPointLimit(timePointCount), stressPathCorrection};

    const std::vector<Stress6>& r = scratch.closedPath;
    const std::vector<double>& i1 = scratch.firstInvariants;
    HalfCycle first;
    first.sigA = r[0];
    first.sigB = r[1];
    first.rangeSquared = vonMisesSquared(r[1] - r[0]);
    breakPoints.add(r[0], r[1], 0);
    first.meanIntegral = std::sqrt(first.rangeSquared) * (i1[1] + i1[0]) / 2.0;
    halfCycles.push_back(first);
    scratch.openHalfCycles.push_back(0);

    for (std::size_t pos = 2; pos <= pointCount; ++pos)
        walkSegment(pos, scratch, breakPoints, halfCycles);

    if (stressPathCorrection) correctAlongPath(scratch, halfCycles);
}

}  // namespace

void extractHalfCycles(std::span<const Stress6> path, std::int64_t timePointCount,
                       bool stressPathCorrection, ExtractionScratch& scratch,
                       std::vector<HalfCycle>& halfCycles) {
    try {
        extract(path, timePointCount, stressPathCorrection, scratch, halfCycles);
    } catch (const std::bad_alloc&) {
        throw outOfMemory();
    } catch (const std::length_error&) {
        throw outOfMemory();
    }
}

}  // namespace korvanel
