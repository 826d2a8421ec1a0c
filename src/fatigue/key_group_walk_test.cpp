#include "fatigue/key_group_walk.hpp"

#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

namespace korvanel {
namespace {

Stress6 st(double x, double t = 0.0) { return Stress6{{x, 0, 0, t, 0, 0}}; }

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Half-cycles 1 and 3 share a key whose range surface the segment 0 -> 1
// leaves only at fraction 1 + sqrt(2)/2 (origin 2, rangeSquared 0.5: both
// ends of the segment lie outside, a state the walk itself never makes).
// Half-cycle 2, whose origin is 1e300 in shear, gets a NaN fraction; the
// segment ends inside half-cycle 4.
struct GroupWalk {
    ExtractionScratch scratch;
    std::vector<HalfCycle> halfCycles = std::vector<HalfCycle>(5);
    SegmentProgress progress;

    explicit GroupWalk(bool withNanCrossing) {
        scratch.closedPath = {st(0), st(1)};
        scratch.firstInvariants = {0.0, 1.0};
        OpenKeyGroups& groups = scratch.openKeyGroups;
        groups.reset(halfCycles.size());
        groups.beginAdding();
        const OpenKey beyondEnd{st(2), 0.5, std::sqrt(0.5), 4.0};
        groups.add(1, beyondEnd);
        if (withNanCrossing) groups.add(2, OpenKey{st(0, 1e300), 1.0, 1.0, 1.0});
        groups.add(3, beyondEnd);
        groups.add(4, OpenKey{st(1), 100.0, 10.0, 100.0});
        BreakPoints breakPoints{scratch, 100, false};
        progress = walkKeyGroups(scratch, 1, breakPoints, halfCycles);
    }
};

TEST(KeyGroupWalk, LeavingBeyondTheSegmentsEndChangesNothing) {
    GroupWalk w(false);
    EXPECT_EQ(w.progress.lmin, 1.0);
    EXPECT_EQ(w.progress.jmin, kNoHalfCycle);
    EXPECT_EQ(w.scratch.openKeyGroups.memberCount, 3u);
    EXPECT_EQ(w.scratch.pathPointCount, 0);
}

TEST(KeyGroupWalk, AfterANanCrossingEveryLeavingMemberGrows) {
    // 1 is left as it is; 2 grows (NaN is not >= lmin) and stays open as the
    // lowest extended, in a group of its new key; 3 then grows too (its
    // fraction is not >= NaN) and is closed as newer than 2, and so is 4.
    GroupWalk w(true);
    EXPECT_EQ(w.progress.jmin, 2);
    EXPECT_FALSE(w.halfCycles[1].closed);
    EXPECT_FALSE(w.halfCycles[2].closed);
    EXPECT_TRUE(w.halfCycles[3].closed);
    EXPECT_TRUE(w.halfCycles[4].closed);
    EXPECT_EQ(w.scratch.pathPointCount, 4);
    const OpenKeyGroups& groups = w.scratch.openKeyGroups;
    EXPECT_EQ(groups.memberCount, 2u);
    ASSERT_EQ(groups.groups.size(), 2u);
    EXPECT_EQ(groups.groups[0].newest, 1);
    EXPECT_EQ(groups.groups[1].newest, 2);
    EXPECT_TRUE(sameBits(groups.groups[1].key.rangeSquared, w.halfCycles[2].rangeSquared));
}

}  // namespace
}  // namespace korvanel
