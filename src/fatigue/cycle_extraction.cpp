#include "fatigue/cycle_extraction.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>
#include <optional>
#include <stdexcept>
#include <utility>

#include "base/fatal_stop.hpp"
#include "base/large_tables.hpp"
#include "base/signal_guard.hpp"
#include "fatigue/key_group_walk.hpp"
#include "fatigue/open_key_groups.hpp"
#include "fatigue/open_distances.hpp"
#include "fatigue/segment_walk.hpp"
#include "stress/stress_measures.hpp"

namespace korvanel {

namespace {

// The columns of the open half-cycles (see ExtractionScratch): the six
// components of the origin sigA, then per half-cycle its rangeSquared, the
// square root of that rangeSquared as last formed, the vonMisesSquared
// distance from its origin to the start of the current segment, and the
// distance to the segment's end.
enum OpenColumn : std::size_t {
    kOrigin0,
    kRangeSquared = kOrigin0 + 6,
    kRange,
    kStartDistance,
    kEndDistance,
    kOpenColumnCount
};

// The open half-cycles during one extraction: their indexes and the
// columns, kept in the scratch so that their storage outlives the node.
struct OpenHalfCycles {
    ExtractionScratch& scratch;
    std::int64_t* index = nullptr;
    double* column[kOpenColumnCount] = {};
    std::size_t count = 0;
    std::size_t room = 0;  // entries each column has room for; a multiple of kOpenColumnLanes

    // Lays the columns out anew with room for `newRoom` entries, keeping
    // the entries in use.
    void layOut(std::size_t newRoom) {
        std::vector<double> columns(newRoom * kOpenColumnCount);
        for (std::size_t c = 0; c < kOpenColumnCount; ++c)
            for (std::size_t i = 0; i < count; ++i) columns[c * newRoom + i] = column[c][i];
        scratch.openColumns.swap(columns);
        if (scratch.openHalfCycles.size() < newRoom) scratch.openHalfCycles.resize(newRoom);
        index = scratch.openHalfCycles.data();
        for (std::size_t c = 0; c < kOpenColumnCount; ++c)
            column[c] = scratch.openColumns.data() + c * newRoom;
        room = newRoom;
    }

    // Appends a half-cycle with origin `origin` at the end of the list.
    void append(std::int64_t halfCycle, const Stress6& origin, double rangeSquared, double range,
                double startDistance) {
        if (count == room) layOut(2 * room);
        const std::size_t i = count++;
        index[i] = halfCycle;
        for (int k = 0; k < 6; ++k) column[kOrigin0 + k][i] = origin.s[k];
        column[kRangeSquared][i] = rangeSquared;
        column[kRange][i] = range;
        column[kStartDistance][i] = startDistance;
    }
    // Moves entry `from` to position `to` (to <= from).
    void move(std::size_t from, std::size_t to) {
        index[to] = index[from];
        for (std::size_t c = 0; c < kOpenColumnCount; ++c) column[c][to] = column[c][from];
    }
};

// An empty open list on the scratch's columns. Their room only grows, from
// node to node, by doubling as the open list needs; it is a multiple of
// kOpenColumnLanes, so that the lanes read past the count stay inside the
// columns.
void prepareOpenHalfCycles(OpenHalfCycles& open) {
    constexpr std::size_t kInitialRoom = 64;
    static_assert(kInitialRoom % kOpenColumnLanes == 0);
    ExtractionScratch& scratch = open.scratch;
    open.count = 0;
    const std::size_t room = scratch.openColumns.size() / kOpenColumnCount;
    if (room < kInitialRoom) {
        open.layOut(kInitialRoom);
    } else {
        open.index = scratch.openHalfCycles.data();
        for (std::size_t c = 0; c < kOpenColumnCount; ++c)
            open.column[c] = scratch.openColumns.data() + c * room;
        open.room = room;
    }
}

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
    resizeLargeTable(closed, count + 1);
    std::size_t r = 0;
    for (std::size_t k = start; k < count; ++k) closed[r++] = path[k];
    for (std::size_t k = 0; k < start; ++k) closed[r++] = path[k];
    closed[count] = closed[0];

    resizeLargeTable(scratch.firstInvariants, count + 1);
    for (std::size_t k = 0; k <= count; ++k)
        scratch.firstInvariants[k] = firstInvariant(closed[k]);
}

// Walks the segment closedPath[pos - 1] -> closedPath[pos] on from
// `progress` (what the older half-cycles held in key groups left of it):
// extends or closes the open half-cycles of the list it leaves, oldest
// first, then starts a new half-cycle on the piece not given to an older one.
//
// Two values are carried instead of recomputed, each being the same
// operation on the same operands: the distance from an origin to the
// segment's start is the distance to the previous segment's end (for the
// half-cycle started on the previous segment, whose origin is that
// segment's start, it is vonMisesSquared of that segment's vector), and the
// square root of a half-cycle's rangeSquared is the one formed when the
// rangeSquared was set. The end distances become the start distances of the
// next segment by exchanging the two columns.
void walkSegment(SimdLevel simd, std::size_t pos, const ExtractionScratch& scratch,
                 OpenHalfCycles& open,
                 SegmentProgress progress, BreakPoints& breakPoints,
                 std::vector<HalfCycle>& halfCycles) {
    const Stress6& prev = scratch.closedPath[pos - 1];
    const Stress6& cur = scratch.closedPath[pos];
    const double i1Prev = scratch.firstInvariants[pos - 1];
    const double i1Cur = scratch.firstInvariants[pos];
    Stress6 v;
    Stress6 mirrored;  // the segment reflected through prev
    segmentVectors(prev, cur, v, mirrored);
    const Segment segment{prev, cur, v, mirrored, i1Prev, i1Cur};

    // [0, lmin] of the segment is not yet given to an older half-cycle.
    double lmin = progress.lmin;
    std::int64_t jmin = progress.jmin;

    const double* const* origin = open.column + kOrigin0;
    double* const rangeSquared = open.column[kRangeSquared];
    double* const range = open.column[kRange];
    const double* const startDistance = open.column[kStartDistance];
    const double* const endDistance = open.column[kEndDistance];
    const std::size_t n = open.count;

    // The segment ends inside every half-cycle before the first one whose
    // range it leaves: nothing happens to those.
    const std::size_t first =
        distancesToEnd(simd, origin, cur.s, rangeSquared, n, open.column[kEndDistance]);

    std::size_t kept = first;
    for (std::size_t i = first; i < n; ++i) {
        const double dNew = endDistance[i];
        bool closes = false;
        if (dNew > rangeSquared[i]) {
            const double dOld = startDistance[i];
            const double dMirror = vonMisesSquaredOf(
                mirrored.s[0] - origin[0][i], mirrored.s[1] - origin[1][i],
                mirrored.s[2] - origin[2][i], mirrored.s[3] - origin[3][i],
                mirrored.s[4] - origin[4][i], mirrored.s[5] - origin[5][i]);
            const RangeCrossing crossing = crossRangeSurface(dNew, dOld, dMirror, rangeSquared[i]);
            if (crosses(crossing)) {
                if (crossing.lambda >= lmin) {
                    // Leaves j inside a piece an older half-cycle already took.
                    if (crossing.lambda < 1.0) closes = true;
                } else {
                    // j takes [lambda, lmin] and grows to the end of that piece.
                    const std::int64_t j = open.index[i];
                    HalfCycle& c = halfCycles[j];
                    jmin = minOf(jmin, j);
                    range[i] = growOverPiece(segment, crossing, dOld, lmin, range[i], j, c,
                                             breakPoints);
                    rangeSquared[i] = c.rangeSquared;
                    if (lmin < 1.0) closes = true;  // an older half-cycle continues the growth
                    lmin = crossing.lambda;
                }
            }
        }
        if (closes) {
            halfCycles[open.index[i]].closed = true;
        } else {
            if (kept != i) open.move(i, kept);
            ++kept;
        }
    }
    // When an older half-cycle continues, every newer one ends.
    while (kept > 0 && open.index[kept - 1] > jmin) halfCycles[open.index[--kept]].closed = true;
    open.count = kept;
    // The end of this segment is the start of the next one.
    std::swap(open.column[kStartDistance], open.column[kEndDistance]);

    // Half-cycle 0 starts the path; segment pos starts half-cycle pos - 1.
    const std::int64_t newIndex = static_cast<std::int64_t>(pos) - 1;
    const double segmentLength = vonMisesSquared(v);
    HalfCycle& fresh = halfCycles[newIndex];
    fresh.sigA = prev;
    pointOnSegment(prev, lmin, v, fresh.sigB);
    fresh.rangeSquared = (lmin * lmin) * segmentLength;
    breakPoints.add(prev, fresh.sigB, newIndex);
    const double freshRoot = std::sqrt(fresh.rangeSquared);
    fresh.meanIntegral = (freshRoot * (lmin * i1Cur + (2.0 - lmin) * i1Prev)) / 2.0;
    // Stays open only when the whole segment lay inside every open half-cycle.
    fresh.closed = !(lmin == 1.0);
    if (!fresh.closed)
        open.append(newIndex, prev, fresh.rangeSquared, freshRoot, segmentLength);
}

// Once the open list is longer than kLongOpenList, all its entries but the
// newest kKeptInList move into key groups, as long as the groups then hold
// kMembersPerKey members per key or more; where they would not, the list
// is left as it is and the next try waits until it has grown twofold.
// Ordinary histories keep a few open half-cycles and never get here;
// repeated blocks and constant amplitude keep thousands under a few keys.
constexpr std::size_t kLongOpenList = 32;
constexpr std::size_t kKeptInList = 8;
constexpr std::size_t kMembersPerKey = 4;

// Moves the oldest entries of the open list into key groups; returns the
// list length at which to try next.
std::size_t groupOldestOpen(OpenHalfCycles& open, OpenKeyGroups& groups) {
    const std::size_t moving = open.count - kKeptInList;
    groups.beginAdding();
    for (std::size_t i = 0; i < moving; ++i) {
        OpenKey key;
        for (int k = 0; k < 6; ++k) key.origin.s[k] = open.column[kOrigin0 + k][i];
        key.rangeSquared = open.column[kRangeSquared][i];
        key.range = open.column[kRange][i];
        key.startDistance = open.column[kStartDistance][i];
        groups.addUndoably(open.index[i], key);
        // Give up as soon as too many keys are certain.
        if (groups.groups.size() * kMembersPerKey > groups.memberCount + (moving - 1 - i)) break;
    }
    if (!groups.pay(kMembersPerKey) || groups.pairs.size() < moving) {
        groups.undoAdding();
        return 2 * open.count;
    }
    for (std::size_t i = moving; i < open.count; ++i) open.move(i, i - moving);
    open.count -= moving;
    return kLongOpenList;
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

constexpr std::size_t kSegmentsBetweenStopChecks = 256;

// One extraction, walked a segment at a time.
struct ExtractionWalk {
    SimdLevel simd;
    ExtractionScratch& scratch;
    std::vector<HalfCycle>& halfCycles;
    bool stressPathCorrection;
    OpenHalfCycles open;
    BreakPoints breakPoints;
    std::size_t pointCount = 0;
    std::size_t pos = 2;  // the segment walked next ends at closedPath[pos]
    std::size_t groupingLength = kLongOpenList;

    ExtractionWalk(SimdLevel level, std::span<const Stress6> path, std::int64_t timePointCount,
                   bool correction, ExtractionScratch& s, std::vector<HalfCycle>& cycles)
        : simd(level),
          scratch(s),
          halfCycles(cycles),
          stressPathCorrection(correction),
          open{s},
          breakPoints{s, breakPointLimit(timePointCount), correction} {
        if (path.size() <= 1) throw runtimeError(InternalCheck::constantPath);
        closePath(path, scratch);
        pointCount = path.size();

        // One half-cycle starts the path and every further segment starts one;
        // each sets every field of its entry.
        resizeLargeTable(halfCycles, pointCount);
        prepareOpenHalfCycles(open);
        scratch.pathPoints.clear();
        scratch.pathPointCount = 0;

        const std::vector<Stress6>& r = scratch.closedPath;
        const std::vector<double>& i1 = scratch.firstInvariants;
        HalfCycle& first = halfCycles[0];
        first.sigA = r[0];
        first.sigB = r[1];
        first.rangeSquared = vonMisesSquared(r[1] - r[0]);
        breakPoints.add(r[0], r[1], 0);
        const double firstRoot = std::sqrt(first.rangeSquared);
        first.meanIntegral = firstRoot * (i1[1] + i1[0]) / 2.0;
        first.closed = false;
        // The next segment starts at r[1]: its distance from the origin r[0] is
        // this rangeSquared.
        open.append(0, r[0], first.rangeSquared, firstRoot, first.rangeSquared);
        scratch.openKeyGroups.reset(pointCount);
    }

    bool done() const { return pos > pointCount; }

    // Walks the next segment.
    void step() {
        // The half-cycles held in key groups are older than those of the list.
        SegmentProgress progress;
        if (!scratch.openKeyGroups.empty()) [[unlikely]]
            progress = walkKeyGroups(scratch, pos, breakPoints, halfCycles);
        walkSegment(simd, pos, scratch, open, progress, breakPoints, halfCycles);
        if (open.count > groupingLength) [[unlikely]]
            groupingLength = groupOldestOpen(open, scratch.openKeyGroups);
        ++pos;
        // A long history must not hold up a stop. A segment may walk a
        // hundred thousand open half-cycles (a history of decreasing
        // amplitude keeps every one open), so the request is looked at
        // every few hundred segments.
        if (pos % kSegmentsBetweenStopChecks == 0) stopIfInterrupted();
    }

    void finish() {
        if (stressPathCorrection) correctAlongPath(scratch, halfCycles);
    }
};

}  // namespace

void extractHalfCycles(SimdLevel simd, std::span<const Stress6> path,
                       std::int64_t timePointCount, bool stressPathCorrection,
                       ExtractionScratch& scratch, std::vector<HalfCycle>& halfCycles) {
    stopIfOutOfMemory([&] {
        ExtractionWalk walk(simd, path, timePointCount, stressPathCorrection, scratch, halfCycles);
        while (!walk.done()) walk.step();
        walk.finish();
    });
}

void extractHalfCyclesInTurns(SimdLevel simd, bool stressPathCorrection,
                              std::span<PathToExtract> paths) {
    const std::size_t count = std::min(paths.size(), kMaxPathsInTurns);
    std::optional<ExtractionWalk> walks[kMaxPathsInTurns];
    const auto attempt = [&](std::size_t k, auto&& work) {
        try {
            stopIfOutOfMemory(work);
        } catch (const FatalStop& stop) {
            paths[k].stop = stop;
            walks[k].reset();
        }
    };
    for (std::size_t k = 0; k < count; ++k) {
        PathToExtract& p = paths[k];
        attempt(k, [&] {
            walks[k].emplace(simd, p.path, p.timePointCount, stressPathCorrection, *p.scratch,
                             *p.halfCycles);
        });
    }
    // A segment of each walk in turn while every walk lasts, then each on
    // to its end alone.
    const auto everyWalkGoesOn = [&] {
        for (std::size_t k = 0; k < count; ++k)
            if (!walks[k] || walks[k]->done()) return false;
        return count > 0;
    };
    while (everyWalkGoesOn())
        for (std::size_t k = 0; k < count; ++k)
            if (walks[k]) attempt(k, [&] { walks[k]->step(); });
    for (std::size_t k = 0; k < count; ++k) {
        attempt(k, [&] {
            if (!walks[k]) return;
            while (!walks[k]->done()) walks[k]->step();
            walks[k]->finish();
        });
    }
}

}  // namespace korvanel
