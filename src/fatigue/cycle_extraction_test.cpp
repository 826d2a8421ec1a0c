#include "fatigue/cycle_extraction.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>

#include <gtest/gtest.h>

#include "base/fatal_stop.hpp"
#include "base/simd_test_values.hpp"
#include "base/test_support.hpp"
#include "stress/path_compaction.hpp"
#include "stress/stress_measures.hpp"

namespace korvanel {
namespace {

// A state with a normal stress x (component 1) and a shear stress t
// (component 4): vonMisesSquared is x*x + 3*t*t.
Stress6 st(double x, double t = 0.0) { return Stress6{{x, 0, 0, t, 0, 0}}; }

struct Extraction {
    SimdLevel level = bestSimdLevel();
    ExtractionScratch scratch;
    std::vector<HalfCycle> cycles;

    const std::vector<HalfCycle>& run(const std::vector<Stress6>& path, bool correction = false,
                                      std::int64_t timePoints = -1) {
        if (timePoints < 0) timePoints = static_cast<std::int64_t>(path.size());
        extractHalfCycles(level, path, timePoints, correction, scratch, cycles);
        return cycles;
    }
};

void expectHalfCycle(const HalfCycle& c, const Stress6& a, const Stress6& b, double rangeSquared,
                     bool closed, double meanIntegral) {
    EXPECT_EQ(c.sigA, a);
    EXPECT_EQ(c.sigB, b);
    EXPECT_DOUBLE_EQ(c.rangeSquared, rangeSquared);
    EXPECT_EQ(c.closed, closed);
    EXPECT_DOUBLE_EQ(c.meanIntegral, meanIntegral);
}

TEST(CycleExtractionUniaxial, ZeroTenFiveEight) {
    // Closed path 10, 5, 8, 0, 10. Means: 50/10, 19.5/3, 19.5/3, 50/10.
    Extraction e;
    const auto& c = e.run({st(0), st(10), st(5), st(8)});
    ASSERT_EQ(c.size(), 4u);
    expectHalfCycle(c[0], st(10), st(0), 100, false, 50);
    expectHalfCycle(c[1], st(5), st(8), 9, true, 19.5);
    expectHalfCycle(c[2], st(8), st(5), 9, true, 19.5);
    expectHalfCycle(c[3], st(0), st(10), 100, false, 50);
    EXPECT_EQ(e.scratch.pathPointCount, 10);
}

TEST(CycleExtractionStart, TwoPointsGiveTwoOpenFullRanges) {
    const Stress6 x{{1, 2, 3, 4, 5, 6}};
    const double q = 3.0 + 3.0 * 77.0;  // (1 + 4 + 9 - 2 - 6 - 3) + 3 * (16 + 25 + 36)
    Extraction e;
    const auto& c = e.run({Stress6{}, x});
    ASSERT_EQ(c.size(), 2u);
    expectHalfCycle(c[0], x, Stress6{}, q, false, std::sqrt(q) * 6 / 2);
    expectHalfCycle(c[1], Stress6{}, x + Stress6{}, q, false, std::sqrt(q) * 6 / 2);
}

template <class Run>
void expectRuntimeError(int code, Run run) {
    EXPECT_EQ(expectStop(run).consoleLines, runtimeError(InternalCheck{code}).consoleLines)
        << "expected runtime error " << code;
}

TEST(CycleExtractionGuards, TooFewPointsAndTooManyBreakPoints) {
    Extraction e;
    expectRuntimeError(18, [&] { e.run({}, false, 10); });
    expectRuntimeError(18, [&] { e.run({st(3)}, false, 10); });
    // 0, 10, 5, 8 needs 10 break points: room for 3 raw time points is 4*3 - 2 = 10.
    EXPECT_EQ(e.run({st(0), st(10), st(5), st(8)}, true, 3).size(), 4u);
    expectRuntimeError(24, [&] { e.run({st(0), st(10), st(5), st(8)}, true, 2); });
    EXPECT_LE(e.scratch.pathPoints.size(), 6u);
}

TEST(CycleExtractionStart, FirstOfTiedLargestPoints) {
    Extraction e;
    // 3*3 + 3*3*3 = 6*6
    EXPECT_EQ(e.run({st(1), st(3, 3), st(-6), st(6), st(0)})[0].sigA, st(3, 3));
    EXPECT_EQ(e.run({st(1), st(-6), st(3, 3), st(6), st(0)})[0].sigA, st(-6));
}

TEST(CycleExtractionSurface, EndingExactlyOnARangeSurfaceDoesNotExtend) {
    // 10, 0, 5, 0: the segment 5 -> 0 ends on the surface of 10 -> 0, the
    // segment 0 -> 10 on the surface of 5 -> 0, which is ended by the
    // growth of 0 -> 5 into 0 -> 10.
    Extraction e;
    const auto& c = e.run({st(10), st(0), st(5), st(0)});
    ASSERT_EQ(c.size(), 4u);
    expectHalfCycle(c[0], st(10), st(0), 100, false, 50);
    expectHalfCycle(c[1], st(0), st(10), 100, false, 12.5 + 37.5);
    expectHalfCycle(c[2], st(5), st(0), 25, true, 12.5);
    expectHalfCycle(c[3], st(0), st(5), 25, true, 12.5);
    EXPECT_EQ(e.scratch.pathPointCount, 10);
}

TEST(CycleExtractionSurface, CrossingAtFractionZeroCreatesClosedZeroRange) {
    // 10, 0, -5: the segment 0 -> -5 continues 10 -> 0 over its whole length.
    Extraction e;
    const auto& c = e.run({st(10), st(0), st(-5)});
    ASSERT_EQ(c.size(), 3u);
    expectHalfCycle(c[0], st(10), st(-5), 225, false, 50 - 12.5);
    expectHalfCycle(c[1], st(0), st(0), 0, true, 0);
    expectHalfCycle(c[2], st(-5), st(10), 225, false, 15 * 5 / 2.0);
}

TEST(CycleExtractionMultiaxial, SegmentLeavingTwoNestedRanges) {
    // Closed path S, A, B, D, S. The shear segment B -> D leaves the range of
    // S -> A at its middle (q = 16 + 3*(8*lambda)^2 = 64) and the range of
    // A -> B at once; A -> B takes the first half, S -> A the second.
    const Stress6 s = st(-30), a = st(-22), b = st(-26), d = st(-26, 8), half = st(-26, 4);
    const double r = std::sqrt(208.0);
    Extraction e;
    const auto& c = e.run({b, d, s, a});
    ASSERT_EQ(c.size(), 4u);
    expectHalfCycle(c[0], s, d, 208, false, -208 + (r - 8) * (-26 * 1.5 + -26 * 0.5) / 2);
    expectHalfCycle(c[1], a, half, 64, true, -96 + (8 - 4) * (-26 * 0.5 + -26 * 1.5) / 2);
    expectHalfCycle(c[2], b, b, 0, true, 0);
    expectHalfCycle(c[3], d, s, 208, false, r * (-30 + -26) / 2);
}

TEST(CycleExtractionPathCorrection, RangeLengthenedThroughBreakPoint) {
    // Closed path X1, 0, X3, X1 with X1 = (4, t=2), X3 = (4, 0): the half-cycle
    // 0 -> X3 grows to X1; through X3 its two-leg range is 4 + sqrt(12).
    const Stress6 x1 = st(4, 2), x3 = st(4);
    const double mean1 = std::sqrt(28.0) * 4 / 2;
    const double mean2 = 8 + (std::sqrt(28.0) - 4) * 8 / 2;
    Extraction plain, corrected;
    const auto& c = plain.run({Stress6{}, x3, x1});
    const auto& k = corrected.run({Stress6{}, x3, x1}, true);
    ASSERT_EQ(c.size(), 3u);
    ASSERT_EQ(k.size(), 3u);
    expectHalfCycle(c[1], Stress6{}, x1, 28, false, mean2);
    expectHalfCycle(k[0], x1, Stress6{}, 28, false, mean1);
    const double twoLegs = 4 + std::sqrt(12.0);
    expectHalfCycle(k[1], Stress6{}, x1, twoLegs * twoLegs, false, mean2);
    expectHalfCycle(k[2], x3, x3, 0, true, 0);
    EXPECT_EQ(corrected.scratch.pathPoints.size(), 8u);
}

TEST(CycleExtractionScratch, WarmScratchKeepsItsStorage) {
    Extraction e;
    e.run({st(0), st(10), st(5), st(8)}, true);
    const void* stored[] = {e.scratch.closedPath.data(), e.scratch.pathPoints.data(),
                            e.scratch.openHalfCycles.data(), e.cycles.data()};
    e.run({st(1), st(-3), st(2), st(6)}, true);
    const void* again[] = {e.scratch.closedPath.data(), e.scratch.pathPoints.data(),
                           e.scratch.openHalfCycles.data(), e.cycles.data()};
    EXPECT_TRUE(std::equal(stored, stored + 4, again));
}

// Reference: four-point rainflow of the periodic history started at its
// first largest absolute value; every full cycle is two half-cycles, the
// residue gives one half-cycle per reversal.
std::vector<double> rainflowHalfRanges(const std::vector<double>& history) {
    std::size_t start = 0;
    for (std::size_t k = 0; k < history.size(); ++k)
        if (std::abs(history[k]) > std::abs(history[start])) start = k;
    std::vector<double> stack, ranges;
    for (std::size_t i = 0; i <= history.size(); ++i) {
        const double x = history[(start + i) % history.size()];
        const std::size_t n = stack.size();
        if (n >= 2 && (stack[n - 1] - stack[n - 2]) * (x - stack[n - 1]) >= 0) {
            stack.back() = x;  // not a reversal
        } else if (n == 0 || x != stack.back()) {
            stack.push_back(x);
        }
        while (stack.size() >= 4) {
            const std::size_t m = stack.size();
            const double inner = std::abs(stack[m - 2] - stack[m - 3]);
            if (inner > std::abs(stack[m - 3] - stack[m - 4]) ||
                inner > std::abs(stack[m - 1] - stack[m - 2]))
                break;
            ranges.insert(ranges.end(), 2, inner);
            stack.erase(stack.end() - 3, stack.end() - 1);
        }
    }
    for (std::size_t k = 1; k < stack.size(); ++k) ranges.push_back(std::abs(stack[k] - stack[k - 1]));
    std::erase_if(ranges, [](double range) { return !(range / 2 > 0.0001); });
    std::sort(ranges.begin(), ranges.end());
    return ranges;
}

TEST(CycleExtractionUniaxial, SameRangesAsFourPointRainflow) {
    std::vector<std::vector<double>> histories = {
        {0, 10, 5, 8}, {3, -2, 7, 1, 4, -6, 2, 9, -1}, {1, 2, 3, 2, 1, 5, 4, 6, 6, 0, 1}};
    unsigned seed = 12345;
    for (int h = 0; h < 20; ++h) {
        std::vector<double> values;
        for (int k = 0; k < 40; ++k) {
            seed = seed * 1103515245u + 12345u;
            values.push_back(static_cast<double>(static_cast<int>((seed >> 16) % 41) - 20));
        }
        histories.push_back(values);
    }
    for (const std::vector<double>& values : histories) {
        std::vector<Stress6> path;
        for (double x : values) path.push_back(st(x));
        std::vector<unsigned char> marks;
        compactPath(bestSimdLevel(), path, marks);
        Extraction e;
        std::vector<double> ranges;
        for (const HalfCycle& c : e.run(path, false, static_cast<std::int64_t>(values.size())))
            if (std::sqrt(c.rangeSquared) / 2 > 0.0001) ranges.push_back(std::sqrt(c.rangeSquared));
        std::sort(ranges.begin(), ranges.end());
        const std::vector<double> expected = rainflowHalfRanges(values);
        ASSERT_EQ(ranges.size(), expected.size());
        for (std::size_t k = 0; k < ranges.size(); ++k) EXPECT_NEAR(ranges[k], expected[k], 1e-9);
    }
}


// The extraction written plainly, step by step as specified, with the
// half-cycle table and the open list as simple vectors: the walk keeps
// some values in columns and carries others from segment to segment, and
// must give the same bits as this.
struct PlainExtraction {
    std::vector<HalfCycle> cycles;
    std::vector<PathPoint> pathPoints;
    std::int64_t pathPointCount = 0;

    void add(const Stress6& from, const Stress6& to, std::int64_t owner) {
        pathPointCount += 2;
        pathPoints.push_back(PathPoint{from, owner});
        pathPoints.push_back(PathPoint{to, owner});
    }

    void run(const std::vector<Stress6>& path, bool correction) {
        std::size_t start = 0;
        double largest = -1.0;
        for (std::size_t k = 0; k < path.size(); ++k)
            if (vonMisesSquared(path[k]) > largest) {
                largest = vonMisesSquared(path[k]);
                start = k;
            }
        std::vector<Stress6> r;
        for (std::size_t k = 0; k < path.size(); ++k) r.push_back(path[(start + k) % path.size()]);
        r.push_back(r[0]);
        std::vector<double> i1;
        for (const Stress6& x : r) i1.push_back(firstInvariant(x));

        HalfCycle first{r[0], r[1], vonMisesSquared(r[1] - r[0]), false, 0.0};
        first.meanIntegral = std::sqrt(first.rangeSquared) * (i1[1] + i1[0]) / 2.0;
        cycles.push_back(first);
        add(r[0], r[1], 0);
        for (std::size_t pos = 2; pos < r.size(); ++pos) {
            const Stress6 prev = r[pos - 1], cur = r[pos], v = cur - prev;
            double lmin = 1.0;
            std::int64_t jmin = 1000000000000;
            for (std::size_t j = 0; j < cycles.size(); ++j) {
                HalfCycle& c = cycles[j];
                if (c.closed) continue;
                const double dNew = vonMisesSquared(cur - c.sigA);
                if (!(dNew > c.rangeSquared)) continue;
                const double dOld = vonMisesSquared(prev - c.sigA);
                const double dMirror = vonMisesSquared((2.0 * prev - cur) - c.sigA);
                const double a = (dNew + dMirror) / 2.0 - dOld;
                if (!(a > 0.0)) continue;
                const double h = (dNew - dMirror) / 2.0;
                double disc = h * h - (4.0 * a) * (dOld - c.rangeSquared);
                if (disc < 0.0) disc = 0.0;
                const double lambda =
                    maxOf((std::sqrt(disc) - h) / (2.0 * a), (-h - std::sqrt(disc)) / (2.0 * a));
                if (lambda >= lmin) {
                    if (lambda < 1.0) c.closed = true;
                    continue;
                }
                jmin = minOf(jmin, static_cast<std::int64_t>(j));
                const double r0 = c.rangeSquared;
                c.rangeSquared = (dOld + (lmin * lmin) * a) + h * lmin;
                c.sigB = prev + lmin * v;
                add(prev + lambda * v, c.sigB, static_cast<std::int64_t>(j));
                const double invariants =
                    i1[pos] * (lambda + lmin) + i1[pos - 1] * ((2.0 - lambda) - lmin);
                c.meanIntegral = c.meanIntegral +
                                 ((std::sqrt(c.rangeSquared) - std::sqrt(r0)) * invariants) / 2.0;
                if (lmin < 1.0) c.closed = true;
                lmin = lambda;
            }
            for (std::size_t j = 0; j < cycles.size(); ++j)
                if (static_cast<std::int64_t>(j) > jmin) cycles[j].closed = true;
            HalfCycle fresh{prev, prev + lmin * v, (lmin * lmin) * vonMisesSquared(v),
                            !(lmin == 1.0), 0.0};
            const double invariants = lmin * i1[pos] + (2.0 - lmin) * i1[pos - 1];
            fresh.meanIntegral = (std::sqrt(fresh.rangeSquared) * invariants) / 2.0;
            add(prev, fresh.sigB, static_cast<std::int64_t>(cycles.size()));
            cycles.push_back(fresh);
        }
        if (!correction) return;
        for (const PathPoint& p : pathPoints) {
            HalfCycle& c = cycles[p.owner];
            const double range = pathRange(c.sigA, c.sigB, p.point, std::sqrt(c.rangeSquared));
            c.rangeSquared = range * range;
        }
    }
};

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool sameBits(const Stress6& a, const Stress6& b) {
    for (int k = 0; k < 6; ++k)
        if (!sameBits(a[k], b[k])) return false;
    return true;
}

// Deterministic paths of several kinds: smooth multiaxial load histories,
// random walks, and coarse uniaxial and biaxial values (ties, points on a
// range surface, repeated ranges).
std::vector<Stress6> testPath(unsigned kind, unsigned seed, std::size_t points) {
    unsigned state = seed * 2654435761u + 1u;
    auto uniform = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<double>((state >> 8) & 0xFFFF) / 65536.0;
    };
    std::vector<Stress6> path;
    Stress6 walk;
    for (std::size_t t = 0; t < points; ++t) {
        Stress6 x;
        if (kind == 0) {
            for (int k = 0; k < 6; ++k)
                x[k] = 120.0 * std::sin(0.05 * static_cast<double>(t) * (k + 1) + k) +
                       40.0 * (uniform() - 0.5);
        } else if (kind == 1) {
            for (int k = 0; k < 6; ++k) walk[k] = walk[k] + 10.0 * (uniform() - 0.5);
            x = walk;
        } else if (kind == 2) {
            x[0] = std::floor(uniform() * 9.0) - 4.0;
        } else {
            x[0] = std::floor(uniform() * 5.0);
            x[3] = std::floor(uniform() * 3.0) * 0.5;
        }
        path.push_back(x);
    }
    return path;
}

// Extracts `path` (already compacted) and expects every bit of the plain
// step-by-step walk: half-cycles, break-point count and break points.
void expectSameAsPlainWalk(Extraction& e, const std::vector<Stress6>& path, bool correction,
                           std::int64_t timePoints) {
    PlainExtraction plain;
    plain.run(path, correction);
    const auto& c = e.run(path, correction, timePoints);
    ASSERT_EQ(c.size(), plain.cycles.size());
    for (std::size_t j = 0; j < c.size(); ++j) {
        SCOPED_TRACE(testing::Message() << "half-cycle " << j);
        EXPECT_TRUE(sameBits(c[j].sigA, plain.cycles[j].sigA));
        EXPECT_TRUE(sameBits(c[j].sigB, plain.cycles[j].sigB));
        EXPECT_TRUE(sameBits(c[j].rangeSquared, plain.cycles[j].rangeSquared));
        EXPECT_EQ(c[j].closed, plain.cycles[j].closed);
        EXPECT_TRUE(sameBits(c[j].meanIntegral, plain.cycles[j].meanIntegral));
    }
    EXPECT_EQ(e.scratch.pathPointCount, plain.pathPointCount);
    if (correction) {
        ASSERT_EQ(e.scratch.pathPoints.size(), plain.pathPoints.size());
        for (std::size_t k = 0; k < plain.pathPoints.size(); ++k) {
            const PathPoint& p = e.scratch.pathPoints[k];
            EXPECT_EQ(p.owner, plain.pathPoints[k].owner);
            EXPECT_TRUE(sameBits(p.point, plain.pathPoints[k].point));
        }
    }
}

TEST(CycleExtractionBits, SameAsPlainStepByStepWalk) {
    Extraction e;  // one scratch for every path, as in the node loop
    for (SimdLevel level : availableSimdLevels()) {
        for (unsigned kind = 0; kind < 4; ++kind)
            for (unsigned seed = 1; seed <= 12; ++seed)
                for (bool correction : {false, true}) {
                    const std::size_t points = 2 + (seed * 37) % 300;
                    std::vector<Stress6> path = testPath(kind, seed, points);
                    std::vector<unsigned char> marks;
                    compactPath(bestSimdLevel(), path, marks);
                    if (path.size() < 2) continue;
                    SCOPED_TRACE(testing::Message() << simdLevelName(level) << " kind " << kind
                                                    << " seed " << seed);
                    e.level = level;
                    expectSameAsPlainWalk(e, path, correction, static_cast<std::int64_t>(points));
                }
    }
}

TEST(CycleExtractionBits, RepeatedHistoriesGroupedByKeySameAsPlainWalk) {
    // Blocks repeated many times, constant amplitude and exact ties keep
    // hundreds of half-cycles open under a few keys: the walk then holds
    // them in key groups, and must still give every bit of the plain walk.
    auto repeat = [](std::vector<Stress6> block, int times) {
        std::vector<Stress6> path;
        for (int r = 0; r < times; ++r) path.insert(path.end(), block.begin(), block.end());
        return path;
    };
    std::vector<Stress6> sine;
    for (int t = 0; t < 16; ++t) {
        const double x = std::sin(0.39269908169872414 * t);  // 2 pi / 16
        sine.push_back(Stress6{{100 * x, 40 * x + 5, 0, 30 * x, 0, -10 * x}});
    }
    const std::vector<std::vector<Stress6>> paths = {
        repeat(testPath(0, 3, 40), 60),   // a multiaxial block
        repeat(testPath(0, 42, 9), 60),   // leaves a key's range only beyond the segment's end
        repeat(testPath(2, 5, 25), 80),   // a uniaxial block of integers (ties)
        repeat(sine, 150),                // constant amplitude
        repeat({st(10), st(-10)}, 400),   // two points
        testPath(3, 7, 3000),             // ties without repetition
    };
    Extraction e;
    for (std::size_t h = 0; h < paths.size(); ++h)
        for (bool correction : {false, true}) {
            std::vector<Stress6> path = paths[h];
            std::vector<unsigned char> marks;
            compactPath(bestSimdLevel(), path, marks);
            SCOPED_TRACE(testing::Message() << "history " << h);
            expectSameAsPlainWalk(e, path, correction, static_cast<std::int64_t>(paths[h].size()));
            EXPECT_FALSE(e.scratch.openKeyGroups.empty());
        }
}

TEST(CycleExtractionBits, DecayingOscillationKeepsHundredsOpen) {
    // Each reversal lies inside every earlier range, so every half-cycle
    // stays open until the path closes back to its start: the open list
    // grows to hundreds of entries, odd and even counts alike.
    std::vector<Stress6> path;
    for (int t = 0; t < 401; ++t) {
        const double amplitude = 500.0 - t;
        const double sign = (t % 2 == 0) ? 1.0 : -1.0;
        path.push_back(Stress6{
            {sign * amplitude, 0.3 * sign * amplitude, 0.01 * t, 0.1 * (t % 7), 0, -0.05 * t}});
    }
    PlainExtraction plain;
    plain.run(path, false);
    Extraction e;
    const auto& c = e.run(path);
    ASSERT_EQ(c.size(), plain.cycles.size());
    for (std::size_t j = 0; j < c.size(); ++j) {
        EXPECT_TRUE(sameBits(c[j].sigB, plain.cycles[j].sigB));
        EXPECT_TRUE(sameBits(c[j].rangeSquared, plain.cycles[j].rangeSquared));
        EXPECT_TRUE(sameBits(c[j].meanIntegral, plain.cycles[j].meanIntegral));
        EXPECT_EQ(c[j].closed, plain.cycles[j].closed);
    }
}

// Two extractions walked in turns give each path what it gets alone, for
// paths of unequal length, with and without the path correction and key
// groups, and a stop in one (a constant path, too many break points) ends
// only that one.
TEST(CycleExtractionInTurns, EachPathAsAlone) {
    std::vector<Stress6> repeated;
    for (int r = 0; r < 60; ++r) {
        const std::vector<Stress6> block = testPath(0, 3, 40);
        repeated.insert(repeated.end(), block.begin(), block.end());
    }
    struct Case {
        std::vector<Stress6> path;
        std::int64_t timePoints;
    };
    const std::vector<Case> cases = {
        {testPath(0, 1, 300), 300}, {testPath(1, 2, 17), 17}, {repeated, 2400},
        {{st(5)}, 1},               // constant: stops
        {testPath(0, 4, 50), 2},    // too many break points for its time points: stops
    };
    for (bool correction : {false, true})
        for (std::size_t a = 0; a < cases.size(); ++a)
            for (std::size_t b = 0; b < cases.size(); ++b) {
                SCOPED_TRACE(testing::Message() << "paths " << a << " and " << b);
                Extraction alone[2];
                std::optional<FatalStop> aloneStop[2];
                for (int k = 0; k < 2; ++k) {
                    const Case& c = cases[k == 0 ? a : b];
                    try {
                        alone[k].run(c.path, correction, c.timePoints);
                    } catch (const FatalStop& stop) {
                        aloneStop[k] = stop;
                    }
                }
                Extraction inTurns[2];
                std::array<PathToExtract, 2> paths;
                for (int k = 0; k < 2; ++k) {
                    const Case& c = cases[k == 0 ? a : b];
                    paths[k] = PathToExtract{c.path, c.timePoints, &inTurns[k].scratch,
                                             &inTurns[k].cycles, std::nullopt};
                }
                extractHalfCyclesInTurns(bestSimdLevel(), correction, paths);
                extractHalfCyclesInTurns(bestSimdLevel(), correction, {});  // no path: returns
                for (int k = 0; k < 2; ++k) {
                    ASSERT_EQ(paths[k].stop.has_value(), aloneStop[k].has_value());
                    if (aloneStop[k]) {
                        EXPECT_EQ(paths[k].stop->consoleLines, aloneStop[k]->consoleLines);
                        continue;
                    }
                    const auto& got = inTurns[k].cycles;
                    const auto& want = alone[k].cycles;
                    ASSERT_EQ(got.size(), want.size());
                    for (std::size_t j = 0; j < got.size(); ++j) {
                        EXPECT_TRUE(sameBits(got[j].sigB, want[j].sigB));
                        EXPECT_TRUE(sameBits(got[j].rangeSquared, want[j].rangeSquared));
                        EXPECT_TRUE(sameBits(got[j].meanIntegral, want[j].meanIntegral));
                        EXPECT_EQ(got[j].closed, want[j].closed);
                    }
                }
            }
}

}  // namespace
}  // namespace korvanel
