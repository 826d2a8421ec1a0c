#include "stress/path_correction.hpp"

#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>

#include "base/fatal_stop.hpp"
#include "base/large_tables.hpp"
#include "base/signal_guard.hpp"
#include "stress/stress_measures.hpp"
#include "model/fixed_settings.hpp"

namespace korvanel {

namespace {

// The measure before one is computed: far above the convergence limit, so no
// attempt ends on its first pass. Any such value would do; this one is the
// program's long-standing choice.
constexpr double kConvergenceStart = 123456000.0;

// Sub-step counts from 2^53 on can neither be walked in any useful time nor
// divide the increment exactly; such a segment (and one whose length or
// quotient is not a number) is walked in a single sub-step.
constexpr double kSubStepCountLimit = 9007199254740992.0;

struct MethodSettings {
    std::int64_t maxPasses;
    std::int64_t maxAttempts;
    bool linear;
};

MethodSettings settingsFor(CorrectionMethod method) {
    if (method == CorrectionMethod::neuberLinear) return {5, 3, true};
    return {3, 1, false};
}

// Neuber linear walks a yielding segment in steps of h = Sy/50 or finer: an
// elastic increment of more than this many yield stresses cannot come from a
// real part, only from stresses and yield stress in different units, and
// would take a practically endless walk.
constexpr double kLargestIncrementInYieldStresses = 1000.0;

FatalStop stressesTooLarge() {
    return fatalStop(
        "The stresses are too large for the elasto-plastic correction: please check the units of "
        "the stresses and of the yield stress");
}

std::int64_t linearSubStepCount(double incrementLength, double h) {
    const double quotient = incrementLength / h;
    if (!(quotient >= 0.0 && quotient < kSubStepCountLimit)) return 1;
    return static_cast<std::int64_t>(std::floor(quotient)) + 1;
}

// Largest yield-history count allowed: the capacity 3 * (T + 1) * 3 minus 2,
// saturated where it would not fit 64 bits.
std::int64_t yieldHistoryLimit(std::int64_t timePointCount) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kLargestCount = (kMax - 7) / 9 - 1;
    if (timePointCount > kLargestCount) return kMax;
    if (timePointCount < -kLargestCount) return -kMax;
    return 3 * (timePointCount + 1) * 3 - 2;
}

// The unit direction of a yielding step, prepared for the history sum: the
// parts of deviatoricProduct(direction, entry) that depend on the direction
// alone, formed as that function forms them.
struct PreparedDirection {
    double deviation[3];
    double doubledShear[3];
};

PreparedDirection prepareDirection(const Stress6& n) {
    const double mean = ((n[0] + n[1]) + n[2]) / 3.0;
    PreparedDirection d;
    for (int k = 0; k < 3; ++k) {
        d.deviation[k] = n[k] - mean;
        d.doubledShear[k] = 2.0 * n[k + 3];
    }
    return d;
}

// deviatoricProduct(direction, entry), term for term in the same order.
double preparedProduct(const PreparedDirection& d, const YieldHistoryEntry& h) {
    const double bracket = d.deviation[0] * h.deviation[0] + d.deviation[1] * h.deviation[1] +
                           d.deviation[2] * h.deviation[2] + d.doubledShear[0] * h.shear[0] +
                           d.doubledShear[1] * h.shear[1] + d.doubledShear[2] * h.shear[2];
    return 3.0 * bracket / 2.0;
}

struct Walk {
    const PlasticMaterial& material;
    bool linear;
    double subStep;                   // h
    std::int64_t historyLimit;
    std::vector<YieldHistoryEntry>& history;
};

// One sub-step that leaves the yield surface, neuber linear: the stress goes
// to neuberLinear(q) from the back stress, the back stress follows so that
// the stress lies on the surface.
void linearYieldStep(const Stress6& relative, double q, Stress6& s, Stress6& x,
                     const PlasticMaterial& m) {
    const Stress6 n = relative / q;
    const double target = neuberLinear(q, m);
    for (int k = 0; k < 6; ++k) {
        s[k] = target * n[k] + x[k];
        x[k] = s[k] - m.yieldStress * n[k];
    }
}

// The same with neuber non-linear, the relative trial increased by the
// yield history, and a history entry for this step.
void nonLinearYieldStep(const Stress6& relative, double q, Stress6& s, Stress6& x,
                        const Walk& w) {
    const PlasticMaterial& m = w.material;
    const Stress6 n = relative / q;
    const double sigma = neuberNonLinear(q + yieldHistorySum(n, w.history), m);
    if (static_cast<std::int64_t>(w.history.size()) + 1 > w.historyLimit)
        throw runtimeError(InternalCheck::yieldHistoryOverflow);
    Stress6 entry;
    for (int k = 0; k < 6; ++k) {
        s[k] = sigma * n[k] + x[k];
        x[k] = s[k] - m.yieldStress * n[k];
        entry[k] = n[k] * (q - m.yieldStress);
    }
    w.history.push_back(makeYieldHistoryEntry(entry));
}

// A segment from row j - 1 to row j that leaves the yield surface, walked
// in sub-steps.
[[gnu::noinline]] void walkYieldingSegment(CorrectionScratch& c, std::size_t j,
                                           const Stress6& increment, const Walk& w) {
    const double sy = w.material.yieldStress;
    stopIfInterrupted();  // a long walk must not hold up a stop the run was asked for
    std::int64_t steps = 1;
    if (w.linear) {
        const double length = std::sqrt(vonMisesSquared(increment));
        if (length > kLargestIncrementInYieldStresses * sy) throw stressesTooLarge();
        steps = linearSubStepCount(length, w.subStep);
    }
    const Stress6 delta = increment / static_cast<double>(steps);
    Stress6 s = c.corrected[j - 1];
    Stress6 x = c.backStress[j - 1];
    for (std::int64_t i = 0; i < steps; ++i) {
        const Stress6 relative = (s + delta) - x;
        const double q = std::sqrt(vonMisesSquared(relative));
        if (q <= sy)
            s = s + delta;
        else if (w.linear)
            linearYieldStep(relative, q, s, x, w.material);
        else
            nonLinearYieldStep(relative, q, s, x, w);
    }
    c.corrected[j] = s;
    c.backStress[j] = x;
}

// Segment from row j - 1 to row j.
inline void walkSegment(CorrectionScratch& c, std::size_t j, const Walk& w) {
    const double sy = w.material.yieldStress;
    const Stress6 increment = c.elastic[j] - c.elastic[j - 1];
    const Stress6 trial = c.corrected[j - 1] + increment;
    if (std::sqrt(vonMisesSquared(trial - c.backStress[j - 1])) <= sy) {
        c.corrected[j] = increment + c.corrected[j - 1];
        c.backStress[j] = c.backStress[j - 1];
        return;
    }
    walkYieldingSegment(c, j, increment, w);
}

// One pass over the segments 1..P. With `measure`, also the sum over the
// points, component by component in order, of the squared change of the
// corrected point against the previous pass; each point's previous value is
// read just before its segment overwrites it.
double walkPass(CorrectionScratch& c, std::size_t pointCount, const Walk& w, bool measure) {
    double sum = 0.0;
    if (!measure) {
        for (std::size_t j = 1; j <= pointCount; ++j) walkSegment(c, j, w);
        return sum;
    }
    for (std::size_t j = 1; j <= pointCount; ++j) {
        const Stress6 previous = c.corrected[j];
        walkSegment(c, j, w);
        for (int k = 0; k < 6; ++k) {
            const double d = previous[k] - c.corrected[j][k];
            sum = sum + d * d;
        }
    }
    return sum;
}

// Fills the tables for a path: Se = 0 then the path, Sc and X all zero.
// Each row is written once.
void prepareTables(CorrectionScratch& c, const std::vector<Stress6>& path, bool linear) {
    const std::size_t pointCount = path.size();
    stopIfOutOfMemory([&] {
        c.elastic.clear();
        reserveLargeTable(c.elastic, pointCount + 1);
        c.elastic.push_back(Stress6{});
        c.elastic.insert(c.elastic.end(), path.begin(), path.end());
        reserveLargeTable(c.corrected, pointCount + 1);
        c.corrected.assign(pointCount + 1, Stress6{});
        reserveLargeTable(c.backStress, pointCount + 1);
        c.backStress.assign(pointCount + 1, Stress6{});
        c.yieldHistory.clear();
        // At most one entry per segment and pass.
        if (!linear) reserveLargeTable(c.yieldHistory, 3 * pointCount);
    });
}

}  // namespace

YieldHistoryEntry makeYieldHistoryEntry(const Stress6& e) {
    const double mean = ((e[0] + e[1]) + e[2]) / 3.0;
    YieldHistoryEntry h;
    for (int k = 0; k < 3; ++k) {
        h.deviation[k] = e[k] - mean;
        h.shear[k] = e[k + 3];
    }
    return h;
}

double yieldHistorySum(const Stress6& direction, const std::vector<YieldHistoryEntry>& history) {
    const PreparedDirection d = prepareDirection(direction);
    double sum = 0.0;
    for (const YieldHistoryEntry& h : history) {
        sum = sum + preparedProduct(d, h);
        if (!(sum >= 0.0)) sum = 0.0;
    }
    return sum;
}

void correctPath(std::vector<Stress6>& path, std::int64_t timePointCount, CorrectionMethod method,
                 const PlasticMaterial& m, CorrectionScratch& c) {
    const MethodSettings settings = settingsFor(method);
    c.attempts = 0;
    c.lastAttemptPasses = 0;
    c.totalPasses = 0;
    c.lastSubStep = m.initialSubStep;
    c.convergence = kConvergenceStart;
    c.yieldHistoryCount = 0;
    const std::size_t pointCount = path.size();
    if (pointCount == 0) return;

    prepareTables(c, path, settings.linear);

    Walk walk{m, settings.linear, m.initialSubStep, yieldHistoryLimit(timePointCount),
              c.yieldHistory};
    double convergence = kConvergenceStart;
    std::int64_t passes = 0;
    std::int64_t passesOfLastAttempt = 0;
    bool restart = true;
    // Back stress at the last point before and after the current pass.
    Stress6 startBack;
    Stress6 endBack;
    Stress6 drift;

    while (c.attempts < settings.maxAttempts && restart) {
        ++c.attempts;
        c.yieldHistory.clear();
        // A new attempt starts from zero rows 1..P (the first finds them so).
        // Row 0 keeps what the last pass of the previous attempt copied into
        // it, as the corrected paths have always been computed.
        if (c.attempts > 1)
            for (std::size_t j = 1; j <= pointCount; ++j) {
                c.corrected[j] = Stress6{};
                c.backStress[j] = Stress6{};
            }
        c.lastSubStep = walk.subStep;

        while (passes < settings.maxPasses && convergence > config::kConvergenceLimit) {
            restart = false;
            ++passes;
            ++c.totalPasses;
            // From the second pass on the path is a closed loop: each pass
            // starts where the previous one ended.
            if (passes >= 2) {
                c.elastic[0] = c.elastic[pointCount];
                c.backStress[0] = c.backStress[pointCount];
                c.corrected[0] = c.corrected[pointCount];
                startBack = c.backStress[pointCount];
            }
            // From the second pass on, the convergence measure is the
            // root-mean-square change of the corrected points.
            const double change = walkPass(c, pointCount, walk, passes >= 2);
            endBack = c.backStress[pointCount];
            if (passes >= 2) convergence = std::sqrt(change / static_cast<double>(pointCount));
            c.convergence = convergence;
            passesOfLastAttempt = passes;
        }
        drift = endBack - startBack;
        c.yieldHistoryCount = static_cast<std::int64_t>(c.yieldHistory.size());

        if (!(convergence <= config::kConvergenceLimit)) {
            walk.subStep = walk.subStep / 2.0;
            restart = true;
            passes = 0;
            convergence = kConvergenceStart;
        }
    }
    c.lastAttemptPasses = passesOfLastAttempt;

    // The non-linear walk lets the back stress drift from pass to pass; the
    // corrected path is moved back by the drift of every pass made.
    if (!settings.linear) {
        const Stress6 shift = static_cast<double>(passesOfLastAttempt) * drift;
        for (std::size_t j = 0; j <= pointCount; ++j) c.corrected[j] = c.corrected[j] - shift;
    }
    for (std::size_t j = 1; j <= pointCount; ++j) path[j - 1] = c.corrected[j];
}

}  // namespace korvanel
