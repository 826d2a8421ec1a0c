#include "fatigue/open_key_groups.hpp"

#include <cstring>

#include "base/large_tables.hpp"

namespace korvanel {

namespace {

static_assert(sizeof(OpenKey) == 9 * sizeof(double), "keys are compared as their bytes");

bool sameKey(const OpenKey& a, const OpenKey& b) {
    return std::memcmp(&a, &b, sizeof(OpenKey)) == 0;
}

// The group of `key`, made when there is none: its position in `groups`.
std::size_t groupOf(std::vector<OpenKeyGroup>& groups, const OpenKey& key) {
    std::size_t g = 0;
    while (g < groups.size() && !sameKey(groups[g].key, key)) ++g;
    if (g == groups.size()) {
        groups.emplace_back();
        groups.back().key = key;
    }
    return g;
}

}  // namespace

void OpenKeyGroups::reset(std::size_t count) {
    groups.clear();
    memberCount = 0;
    halfCycleCount = count;
}

std::size_t OpenKeyGroups::add(std::int64_t index, const OpenKey& key) {
    const std::size_t g = groupOf(groups, key);
    olderMember[static_cast<std::size_t>(index)] = groups[g].newest;
    groups[g].newest = index;
    ++memberCount;
    return g;
}

void OpenKeyGroups::beginAdding() {
    if (olderMember.size() < halfCycleCount) resizeLargeTable(olderMember, halfCycleCount);
    groupCountBeforeAdding = groups.size();
    pairs.clear();
}

void OpenKeyGroups::addUndoably(std::int64_t index, const OpenKey& key) {
    pairs.emplace_back(index, add(index, key));
}

void OpenKeyGroups::undoAdding() {
    for (std::size_t k = pairs.size(); k-- > 0;) {
        OpenKeyGroup& group = groups[pairs[k].second];
        group.newest = olderMember[static_cast<std::size_t>(pairs[k].first)];
        --memberCount;
    }
    groups.resize(groupCountBeforeAdding);
    pairs.clear();
}

}  // namespace korvanel
