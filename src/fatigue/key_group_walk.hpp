#pragma once

// The walk of one segment over the open half-cycles held in key groups.
//
// The walk over the open list visits every open half-cycle, oldest first.
// For a half-cycle whose key (see open_key_groups.hpp) says that the segment
// ends inside it, or that it has no von Mises length, that visit changes
// nothing; the same holds when the segment leaves its range surface only at
// a fraction of 1 or more, as long as no crossing fraction met before is
// NaN. This walk tests each key once, skips the groups of such keys whole,
// and visits the members of the others in index order with the very steps
// of the walk over the open list. A visited member is closed, or extended
// and taken out of its group; it stays only when that is what the steps say.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fatigue/cycle_extraction.hpp"
#include "fatigue/open_key_groups.hpp"
#include "fatigue/segment_walk.hpp"

namespace korvanel {

// Walks segment `pos` of the closed path (closedPath[pos - 1] ->
// closedPath[pos]) over the members of scratch.openKeyGroups, which are older than every
// other open half-cycle: extends and closes them as the walk over the open
// list would, oldest first, then closes every member newer than the lowest
// extended one. Returns how far the groups have handed out the segment, for
// the walk over the newer half-cycles. The lowest extended member, when it
// stays open, goes to the group of its new key: every other open half-cycle
// is then newer (the walk over the open list closes all its entries, as
// newer than that member).
SegmentProgress walkKeyGroups(ExtractionScratch& scratch, std::size_t pos,
                              BreakPoints& breakPoints, std::vector<HalfCycle>& halfCycles);

}  // namespace korvanel
