#include "stress/path_compaction.hpp"

#include <cmath>
#include <cstddef>
#include <new>

#include "run/fatal_stop.hpp"

namespace korvanel {

namespace {

// Square root of the squared differences summed in component order from 0.
double euclideanDistance(const Stress6& from, const Stress6& to) {
    double sum = 0.0;
    for (int k = 0; k < 6; ++k) {
        const double d = to.s[k] - from.s[k];
        sum = sum + d * d;
    }
    return std::sqrt(sum);
}

}  // namespace

void compactPath(std::vector<Stress6>& history, std::vector<unsigned char>& keepScratch) {
    const std::size_t count = history.size();
    try {
        keepScratch.resize(count);
    } catch (const std::bad_alloc&) {
        throw outOfMemory();
    }
    for (std::size_t j = 0; j < count; ++j) {
        const Stress6& next = history[j + 1 < count ? j + 1 : 0];
        keepScratch[j] = euclideanDistance(history[j], next) >= kCompactionDistance ? 1 : 0;
    }
    std::size_t kept = 0;
    for (std::size_t j = 0; j < count; ++j)
        if (keepScratch[j]) history[kept++] = history[j];
    if (kept > count) throw runtimeError(14);
    history.resize(kept);
}

}  // namespace korvanel
