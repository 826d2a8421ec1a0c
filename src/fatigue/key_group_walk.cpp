#include "fatigue/key_group_walk.hpp"

#include <algorithm>
#include <cstddef>

#include "stress/stress_measures.hpp"

namespace korvanel {

namespace {

// What a segment does to the members of a group.
enum Effect : unsigned char {
    kEndsInside,          // nothing
    kLeavesBeyondEnd,     // crossing fraction 1 or more: nothing, unless lmin is NaN
    kLeavesWithin,        // crossing fraction below 1, or NaN: every member is visited
};

// The distances of the group's origin to the segment's end and to the
// reflected segment, and from them the effect of the segment. Returns
// whether a crossing fraction is NaN.
bool findEffect(const Segment& s, OpenKeyGroup& group) {
    const Stress6& o = group.key.origin;
    const double dNew =
        vonMisesSquaredOf(s.cur.s[0] - o.s[0], s.cur.s[1] - o.s[1], s.cur.s[2] - o.s[2],
                          s.cur.s[3] - o.s[3], s.cur.s[4] - o.s[4], s.cur.s[5] - o.s[5]);
    group.endDistance = dNew;
    group.effect = kEndsInside;
    if (!(dNew > group.key.rangeSquared)) return false;
    const double dMirror = vonMisesSquaredOf(
        s.mirrored.s[0] - o.s[0], s.mirrored.s[1] - o.s[1], s.mirrored.s[2] - o.s[2],
        s.mirrored.s[3] - o.s[3], s.mirrored.s[4] - o.s[4], s.mirrored.s[5] - o.s[5]);
    const RangeCrossing crossing =
        crossRangeSurface(dNew, group.key.startDistance, dMirror, group.key.rangeSquared);
    if (!crosses(crossing)) return false;
    group.crossingA = crossing.a;
    group.crossingH = crossing.h;
    group.crossingLambda = crossing.lambda;
    if (crossing.lambda >= 1.0) {
        group.effect = kLeavesBeyondEnd;
        return false;
    }
    group.effect = kLeavesWithin;
    return !(crossing.lambda == crossing.lambda);
}

// Takes every member of the groups to visit out of its group, into
// groups.pairs in index order.
void takeVisitedMembers(OpenKeyGroups& groups, bool nanCrossing) {
    groups.pairs.clear();
    for (std::size_t g = 0; g < groups.groups.size(); ++g) {
        OpenKeyGroup& group = groups.groups[g];
        if (!(group.effect == kLeavesWithin || (nanCrossing && group.effect == kLeavesBeyondEnd)))
            continue;
        for (std::int64_t j = group.newest; j >= 0;
             j = groups.olderMember[static_cast<std::size_t>(j)]) {
            groups.pairs.emplace_back(j, g);
            --groups.memberCount;
        }
        group.newest = -1;
    }
    std::sort(groups.pairs.begin(), groups.pairs.end());
}

void putBack(OpenKeyGroups& groups, std::int64_t j, std::size_t g) {
    groups.olderMember[static_cast<std::size_t>(j)] = groups.groups[g].newest;
    groups.groups[g].newest = j;
    ++groups.memberCount;
}

// Closes every member newer than jmin: the newest members of each group.
void closeNewerThan(OpenKeyGroups& groups, std::int64_t jmin,
                    std::vector<HalfCycle>& halfCycles) {
    for (OpenKeyGroup& group : groups.groups)
        while (group.newest > jmin) {
            halfCycles[static_cast<std::size_t>(group.newest)].closed = true;
            group.newest = groups.olderMember[static_cast<std::size_t>(group.newest)];
            --groups.memberCount;
        }
}

}  // namespace

SegmentProgress walkKeyGroups(ExtractionScratch& scratch, std::size_t pos,
                              BreakPoints& breakPoints, std::vector<HalfCycle>& halfCycles) {
    OpenKeyGroups& groups = scratch.openKeyGroups;
    const Stress6& prev = scratch.closedPath[pos - 1];
    const Stress6& cur = scratch.closedPath[pos];
    Stress6 v;
    Stress6 mirrored;
    segmentVectors(prev, cur, v, mirrored);
    const Segment s{prev, cur, v, mirrored, scratch.firstInvariants[pos - 1],
                    scratch.firstInvariants[pos]};
    bool nanCrossing = false;
    for (OpenKeyGroup& group : groups.groups)
        if (findEffect(s, group)) nanCrossing = true;
    takeVisitedMembers(groups, nanCrossing);

    double lmin = 1.0;
    std::int64_t jmin = kNoHalfCycle;
    bool extendedStaysOpen = false;
    OpenKey extendedKey;
    for (const auto& [j, g] : groups.pairs) {
        const OpenKeyGroup& group = groups.groups[g];
        HalfCycle& c = halfCycles[static_cast<std::size_t>(j)];
        const RangeCrossing crossing{group.crossingA, group.crossingH, group.crossingLambda};
        if (crossing.lambda >= lmin) {
            // Leaves j inside a piece an older half-cycle already took.
            if (crossing.lambda < 1.0)
                c.closed = true;
            else
                putBack(groups, j, g);  // the pairs are in index order, so is the group
            continue;
        }
        jmin = minOf(jmin, j);
        const double grownRoot =
            growOverPiece(s, crossing, group.key.startDistance, lmin, group.key.range, j, c,
                          breakPoints);
        if (lmin < 1.0 || j > jmin) {
            // An older half-cycle continues the growth, or (lmin NaN) j is
            // newer than the lowest extended half-cycle.
            c.closed = true;
        } else {
            extendedStaysOpen = true;
            extendedKey = OpenKey{group.key.origin, c.rangeSquared, grownRoot, group.endDistance};
        }
        lmin = crossing.lambda;
    }
    if (jmin != kNoHalfCycle) closeNewerThan(groups, jmin, halfCycles);

    // The end of this segment is the start of the next one.
    std::erase_if(groups.groups, [](const OpenKeyGroup& group) { return group.newest < 0; });
    for (OpenKeyGroup& group : groups.groups) group.key.startDistance = group.endDistance;
    if (extendedStaysOpen) groups.add(jmin, extendedKey);
    return SegmentProgress{lmin, jmin};
}

}  // namespace korvanel
