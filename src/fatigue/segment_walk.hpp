#pragma once

// The steps of walking one segment of the closed path over open
// half-cycles, shared by the walk over the open list and the walk over key
// groups (key_group_walk.hpp): both must do the very same operations, in the
// same order, so that they give the same bits.

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/fatal_stop.hpp"
#include "fatigue/cycle_extraction.hpp"
#include "model/stress6.hpp"
#include "stress/stress_measures.hpp"

namespace korvanel {

// "No half-cycle extended in this segment": larger than any index.
constexpr std::int64_t kNoHalfCycle = 1000000000000;

// The break-point list has room for 4 * timePointCount entries and may hold
// at most 4 * timePointCount - 2 of them.
inline std::int64_t breakPointLimit(std::int64_t timePointCount) {
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

    void count() {
        if (scratch.pathPointCount > limit - 2) throw runtimeError(InternalCheck::breakPointCapacity);
        scratch.pathPointCount += 2;
    }
    void add(const Stress6& from, const Stress6& to, std::int64_t owner) {
        count();
        if (keep) {
            scratch.pathPoints.push_back(PathPoint{from, owner});
            scratch.pathPoints.push_back(PathPoint{to, owner});
        }
    }
};

// The point prev + fraction * v of a segment, component by component; the
// SSE2 form does the same two operations on pairs of components.
inline void pointOnSegment(const Stress6& prev, double fraction, const Stress6& v, Stress6& out) {
#if defined(__SSE2__)
    const __m128d f = _mm_set1_pd(fraction);
    for (int k = 0; k < 6; k += 2)
        _mm_storeu_pd(out.s + k,
                      _mm_add_pd(_mm_loadu_pd(prev.s + k), _mm_mul_pd(f, _mm_loadu_pd(v.s + k))));
#else
    out = prev + fraction * v;
#endif
}

// The segment vector cur - prev and the segment reflected through prev,
// 2 * prev - cur, component by component.
inline void segmentVectors(const Stress6& prev, const Stress6& cur, Stress6& v, Stress6& mirrored) {
#if defined(__SSE2__)
    const __m128d two = _mm_set1_pd(2.0);
    for (int k = 0; k < 6; k += 2) {
        const __m128d p = _mm_loadu_pd(prev.s + k);
        const __m128d c = _mm_loadu_pd(cur.s + k);
        _mm_storeu_pd(v.s + k, _mm_sub_pd(c, p));
        _mm_storeu_pd(mirrored.s + k, _mm_sub_pd(_mm_mul_pd(two, p), c));
    }
#else
    v = cur - prev;
    mirrored = 2.0 * prev - cur;
#endif
}

// The segment prev -> cur of the closed path, its vectors and the first
// invariants of its ends, as the walk of the segment holds them.
struct Segment {
    const Stress6& prev;
    const Stress6& cur;
    const Stress6& v;         // cur - prev
    const Stress6& mirrored;  // 2 * prev - cur: the segment reflected through prev
    double i1Prev;
    double i1Cur;
};

// How far a segment has been handed out while the open half-cycles are
// visited oldest first: [0, lmin] is not yet given to an older half-cycle,
// and jmin is the lowest index of a half-cycle extended in this segment.
struct SegmentProgress {
    double lmin = 1.0;
    std::int64_t jmin = kNoHalfCycle;
};

// Where a segment leaves the range surface of a half-cycle.
struct RangeCrossing {
    double a;       // vonMisesSquared of the segment vector
    double h;
    double lambda;  // the fraction of the segment at the crossing
};

// The crossing of a segment that ends outside a half-cycle (dNew >
// rangeSquared) with its range surface, from the vonMisesSquared distances
// of the half-cycle's origin to the segment's end (dNew), to its start
// (dOld) and to the segment reflected through its start (dMirror). There is
// none when the segment has no von Mises length (a not above 0): dNew >
// rangeSquared is then rounding, and the segment ends inside the
// half-cycle; h and lambda are then not formed.
inline RangeCrossing crossRangeSurface(double dNew, double dOld, double dMirror,
                                       double rangeSquared) {
    const double a = (dNew + dMirror) / 2.0 - dOld;  // q(v)
    if (!(a > 0.0)) return RangeCrossing{a, 0.0, 0.0};
    const double h = (dNew - dMirror) / 2.0;
    double disc = h * h - (4.0 * a) * (dOld - rangeSquared);
    if (disc < 0.0) disc = 0.0;  // prev lies inside: only rounding makes it negative
    const double root = std::sqrt(disc);
    return RangeCrossing{a, h, maxOf((root - h) / (2.0 * a), (-h - root) / (2.0 * a))};
}

// Whether there is a crossing (see crossRangeSurface).
inline bool crosses(const RangeCrossing& crossing) { return crossing.a > 0.0; }

// Half-cycle j (entry c, distance dOld from its origin to the segment's
// start, square root of its rangeSquared r0Root) takes the piece
// [crossing.lambda, lmin] of the segment and grows to the end of that piece.
// Returns the square root of its new rangeSquared.
inline double growOverPiece(const Segment& s, const RangeCrossing& crossing, double dOld,
                            double lmin, double r0Root, std::int64_t j, HalfCycle& c,
                            BreakPoints& breakPoints) {
    const double grown = (dOld + (lmin * lmin) * crossing.a) + crossing.h * lmin;
    c.rangeSquared = grown;
    pointOnSegment(s.prev, lmin, s.v, c.sigB);
    if (breakPoints.keep) {
        Stress6 at;
        pointOnSegment(s.prev, crossing.lambda, s.v, at);
        breakPoints.add(at, c.sigB, j);
    } else {
        breakPoints.count();
    }
    const double grownRoot = std::sqrt(grown);
    const double lambda = crossing.lambda;
    const double meanInvariants = s.i1Cur * (lambda + lmin) + s.i1Prev * ((2.0 - lambda) - lmin);
    c.meanIntegral = c.meanIntegral + ((grownRoot - r0Root) * meanInvariants) / 2.0;
    return grownRoot;
}

}  // namespace korvanel
