#include "fatigue/cycle_extraction.hpp"

#include <cmath>
#include <cstddef>
#include <new>
#include <stdexcept>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/fatal_stop.hpp"
#include "base/large_tables.hpp"
#include "fatigue/key_group_walk.hpp"
#include "fatigue/open_key_groups.hpp"
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
    std::size_t room = 0;  // entries each column has room for; always even

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
// node to node, by doubling as the open list needs; it is even, so that a
// pair of entries read at an odd count stays inside the columns.
OpenHalfCycles prepareOpenHalfCycles(ExtractionScratch& scratch) {
    constexpr std::size_t kInitialRoom = 64;
    OpenHalfCycles open{scratch};
    const std::size_t room = scratch.openColumns.size() / kOpenColumnCount;
    if (room < kInitialRoom) {
        open.layOut(kInitialRoom);
    } else {
        open.index = scratch.openHalfCycles.data();
        for (std::size_t c = 0; c < kOpenColumnCount; ++c)
            open.column[c] = scratch.openColumns.data() + c * room;
        open.room = room;
    }
    return open;
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

// vonMisesSquared(end - origin) of every open half-cycle, into the
// end-distance column.
//
// Each entry is computed on its own, in the order of vonMisesSquared. The
// SSE2 form runs two entries at once, each lane doing exactly the scalar
// operations. The columns have room for an even count, so an odd last entry
// is paired with an unused slot, whose result is never read.
[[maybe_unused]] void distancesToEndScalar(const OpenHalfCycles& open, const Stress6& end) {
    const double* const* o = open.column + kOrigin0;
    double* const out = open.column[kEndDistance];
    for (std::size_t i = 0; i < open.count; ++i)
        out[i] = vonMisesSquaredOf(end.s[0] - o[0][i], end.s[1] - o[1][i], end.s[2] - o[2][i],
                                   end.s[3] - o[3][i], end.s[4] - o[4][i], end.s[5] - o[5][i]);
}

#if defined(__SSE2__)
void distancesToEndSse2(const OpenHalfCycles& open, const Stress6& end) {
    const double* const* o = open.column + kOrigin0;
    double* const out = open.column[kEndDistance];
    const std::size_t n = open.count;
    const __m128d e0 = _mm_set1_pd(end.s[0]), e1 = _mm_set1_pd(end.s[1]);
    const __m128d e2 = _mm_set1_pd(end.s[2]), e3 = _mm_set1_pd(end.s[3]);
    const __m128d e4 = _mm_set1_pd(end.s[4]), e5 = _mm_set1_pd(end.s[5]);
    const __m128d three = _mm_set1_pd(3.0);
    const __m128d zero = _mm_setzero_pd();
    for (std::size_t i = 0; i < n; i += 2) {
        const __m128d s1 = _mm_sub_pd(e0, _mm_loadu_pd(o[0] + i));
        const __m128d s2 = _mm_sub_pd(e1, _mm_loadu_pd(o[1] + i));
        const __m128d s3 = _mm_sub_pd(e2, _mm_loadu_pd(o[2] + i));
        const __m128d s4 = _mm_sub_pd(e3, _mm_loadu_pd(o[3] + i));
        const __m128d s5 = _mm_sub_pd(e4, _mm_loadu_pd(o[4] + i));
        const __m128d s6 = _mm_sub_pd(e5, _mm_loadu_pd(o[5] + i));
        // ((s1*s1 + s2*s2) + s3*s3) - s1*s2 - s2*s3 - s1*s3
        __m128d normal = _mm_add_pd(_mm_mul_pd(s1, s1), _mm_mul_pd(s2, s2));
        normal = _mm_add_pd(normal, _mm_mul_pd(s3, s3));
        normal = _mm_sub_pd(normal, _mm_mul_pd(s1, s2));
        normal = _mm_sub_pd(normal, _mm_mul_pd(s2, s3));
        normal = _mm_sub_pd(normal, _mm_mul_pd(s1, s3));
        // (s4*s4 + s5*s5) + s6*s6
        __m128d shear = _mm_add_pd(_mm_mul_pd(s4, s4), _mm_mul_pd(s5, s5));
        shear = _mm_add_pd(shear, _mm_mul_pd(s6, s6));
        const __m128d result = _mm_add_pd(_mm_mul_pd(three, shear), normal);
        // result < 0 becomes 0; a NaN stays what it is, as in the scalar form.
        _mm_storeu_pd(out + i, _mm_andnot_pd(_mm_cmplt_pd(result, zero), result));
    }
}
#endif

void distancesToEnd(const OpenHalfCycles& open, const Stress6& end) {
#if defined(__SSE2__)
    distancesToEndSse2(open, end);
#else
    distancesToEndScalar(open, end);
#endif
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
void walkSegment(std::size_t pos, const ExtractionScratch& scratch, OpenHalfCycles& open,
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

    distancesToEnd(open, cur);
    const double* const* origin = open.column + kOrigin0;
    double* const rangeSquared = open.column[kRangeSquared];
    double* const range = open.column[kRange];
    const double* const startDistance = open.column[kStartDistance];
    const double* const endDistance = open.column[kEndDistance];
    const std::size_t n = open.count;

    // The segment ends inside every half-cycle before the first one whose
    // range it leaves: nothing happens to those.
    std::size_t first = 0;
    while (first < n && !(endDistance[first] > rangeSquared[first])) ++first;

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

void extract(std::span<const Stress6> path, std::int64_t timePointCount,
             bool stressPathCorrection, ExtractionScratch& scratch,
             std::vector<HalfCycle>& halfCycles) {
    if (path.size() <= 1) throw runtimeError(InternalCheck::constantPath);
    closePath(path, scratch);
    const std::size_t pointCount = path.size();

    // One half-cycle starts the path and every further segment starts one;
    // each sets every field of its entry.
    resizeLargeTable(halfCycles, pointCount);
    OpenHalfCycles open = prepareOpenHalfCycles(scratch);
    scratch.pathPoints.clear();
    scratch.pathPointCount = 0;
    BreakPoints breakPoints{scratch, breakPointLimit(timePointCount), stressPathCorrection};

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
    std::size_t groupingLength = kLongOpenList;
    for (std::size_t pos = 2; pos <= pointCount; ++pos) {
        // The half-cycles held in key groups are older than those of the list.
        SegmentProgress progress;
        if (!scratch.openKeyGroups.empty()) [[unlikely]]
            progress = walkKeyGroups(scratch, pos, breakPoints, halfCycles);
        walkSegment(pos, scratch, open, progress, breakPoints, halfCycles);
        if (open.count > groupingLength) [[unlikely]]
            groupingLength = groupOldestOpen(open, scratch.openKeyGroups);
    }

    if (stressPathCorrection) correctAlongPath(scratch, halfCycles);
}

}  // namespace

void extractHalfCycles(std::span<const Stress6> path, std::int64_t timePointCount,
                       bool stressPathCorrection, ExtractionScratch& scratch,
                       std::vector<HalfCycle>& halfCycles) {
    stopIfOutOfMemory([&] { extract(path, timePointCount, stressPathCorrection, scratch, halfCycles); });
}

}  // namespace korvanel
