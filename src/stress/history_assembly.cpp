#include "stress/history_assembly.hpp"

#include <new>
#include <stdexcept>

#include "run/fatal_stop.hpp"

namespace korvanel {

namespace {

// F * (base + G * sum of factor * load case), the sum per component from
// zero in load-case order.
Stress6 combinedState(const Stress6& base, const Stress6* loadCaseStress,
                      std::int64_t loadCaseCount, const double* factors, double stressScale,
                      double loadCaseScale) {
    Stress6 sum;
    for (std::int64_t lc = 0; lc < loadCaseCount; ++lc) {
        const double factor = factors[lc];
        const Stress6& unit = loadCaseStress[lc];
        for (int k = 0; k < 6; ++k) sum.s[k] = sum.s[k] + factor * unit.s[k];
    }
    Stress6 state;
    for (int k = 0; k < 6; ++k) state.s[k] = stressScale * (base.s[k] + loadCaseScale * sum.s[k]);
    return state;
}

void resizeTable(std::vector<Stress6>& table, std::int64_t rows) {
    try {
        table.resize(static_cast<std::size_t>(rows < 0 ? 0 : rows));
    } catch (const std::bad_alloc&) {
        throw outOfMemory();
    } catch (const std::length_error&) {
        throw outOfMemory();
    }
}

}  // namespace

void combineLoadCases(const Stress6& base, const Stress6* loadCaseStress,
                      std::int64_t loadCaseCount, const double* factors,
                      std::int64_t timePointCount, double stressScaleFactor,
                      double loadCaseScaleFactor, std::vector<Stress6>& history) {
    resizeTable(history, timePointCount);
    for (std::int64_t t = 0; t < timePointCount; ++t)
        history[t] = combinedState(base, loadCaseStress, loadCaseCount,
                                   factors + t * loadCaseCount, stressScaleFactor,
                                   loadCaseScaleFactor);
}

void blockStates(const Stress6& base, const Stress6* loadCaseStress, std::int64_t loadCaseCount,
                 const double* blockFrom, const double* blockTo, std::int64_t blockCount,
                 double stressScaleFactor, double loadCaseScaleFactor,
                 std::vector<Stress6>& fromStates, std::vector<Stress6>& toStates) {
    resizeTable(fromStates, blockCount);
    resizeTable(toStates, blockCount);
    for (std::int64_t b = 0; b < blockCount; ++b) {
        fromStates[b] = combinedState(base, loadCaseStress, loadCaseCount,
                                      blockFrom + b * loadCaseCount, stressScaleFactor,
                                      loadCaseScaleFactor);
        toStates[b] = combinedState(base, loadCaseStress, loadCaseCount,
                                    blockTo + b * loadCaseCount, stressScaleFactor,
                                    loadCaseScaleFactor);
    }
}

}  // namespace korvanel
