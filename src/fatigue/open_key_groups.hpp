#pragma once

// Open half-cycles grouped by key. A segment does the same to every open
// half-cycle whose origin, rangeSquared, square root of that rangeSquared
// and distance from the origin to the segment's start are bit for bit
// equal: on a history that repeats a block, or on constant amplitude,
// hundreds or thousands of open half-cycles share a handful of such keys.
// The walk over the groups (key_group_walk.hpp) tests each key once and
// visits only the members of the keys the segment leaves.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "model/stress6.hpp"

namespace korvanel {

// What a group's members share, compared bit for bit (so +0 and -0 are two
// keys, and so are NaNs of different bits).
struct OpenKey {
    Stress6 origin;
    double rangeSquared = 0.0;
    double range = 0.0;          // the square root of rangeSquared as last formed
    double startDistance = 0.0;  // vonMisesSquared from origin to the current segment's start
};

struct OpenKeyGroup {
    OpenKey key;
    std::int64_t newest = -1;  // its newest member; each member links to the next older one
    // What the current segment does to the members, found by the walk.
    double endDistance = 0.0;  // vonMisesSquared from origin to the segment's end
    double crossingA = 0.0;
    double crossingH = 0.0;
    double crossingLambda = 0.0;
    unsigned char effect = 0;
};

// The groups of one extraction. Every member is older (has a lower index)
// than every half-cycle of the open list. The tables keep their room from
// node to node; their size is bounded by the number of half-cycles.
struct OpenKeyGroups {
    std::vector<OpenKeyGroup> groups;
    // By half-cycle index: the next older member of its group, -1 for none.
    std::vector<std::int64_t> olderMember;
    std::size_t memberCount = 0;
    std::size_t halfCycleCount = 0;
    std::size_t groupCountBeforeAdding = 0;
    // Scratch: (half-cycle, group) pairs, of the members added undoably or
    // of the members a segment visits.
    std::vector<std::pair<std::int64_t, std::size_t>> pairs;

    bool empty() const { return memberCount == 0; }

    // No groups, for an extraction of `count` half-cycles.
    void reset(std::size_t count);

    // Adds half-cycle `index`, newer than every member so far, to the group
    // of its key, which is made when there is none; returns the group's
    // position in `groups`.
    std::size_t add(std::int64_t index, const OpenKey& key);

    // The same for many half-cycles, which may be taken out again as a
    // whole: beginAdding, addUndoably for each, then undoAdding if need be.
    void beginAdding();
    void addUndoably(std::int64_t index, const OpenKey& key);
    void undoAdding();

    // Whether the groups save work: at least `membersPerKey` members per
    // group on average.
    bool pay(std::size_t membersPerKey) const {
        return groups.size() * membersPerKey <= memberCount;
    }
};

}  // namespace korvanel
