#include "stress/path_compaction.hpp"

#include <cmath>

#include <gtest/gtest.h>

#include "base/simd_test_values.hpp"

namespace korvanel {
namespace {

Stress6 state(double s1, double s2, double s3, double s4, double s5, double s6) {
    return Stress6{{s1, s2, s3, s4, s5, s6}};
}

std::vector<Stress6> compacted(std::vector<Stress6> history,
                               SimdLevel level = bestSimdLevel()) {
    std::vector<unsigned char> marks;
    compactPath(level, history, marks);
    return history;
}

TEST(CompactionPath, EqualSuccessorsDropped) {
    const Stress6 a = state(1, 0, 0, 0, 0, 0), b = state(2, 0, 0, 0, 0, 0),
                  c = state(0, 0, 0, 0, 3, 0);
    EXPECT_EQ(compacted({a, b, c, a}), (std::vector<Stress6>{a, b, c}));  // last equals first
    EXPECT_EQ(compacted({a, a, b, b, a}), (std::vector<Stress6>{a, b}));   // runs keep their last
    EXPECT_TRUE(compacted({c, c, c}).empty());
    EXPECT_TRUE(compacted({c}).empty());
}

TEST(CompactionPath, EuclideanDistanceOverAllComponents) {
    const Stress6 o = state(5, 5, 5, 5, 5, 5);
    // Each component below the distance, the sum of squares above it.
    EXPECT_EQ(compacted({o, o + state(0.00008, 0, 0, 0, 0.00008, 0)}).size(), 2u);
    EXPECT_EQ(compacted({o, o + state(0, 0, 0, 0.00006, 0.00006, 0.00006)}).size(), 2u);
    // sqrt(2) * 0.00007 and sqrt(3) * 0.00005 stay below it.
    EXPECT_EQ(compacted({o, o + state(0, 0.00007, 0, 0, 0, 0.00007)}).size(), 0u);
    EXPECT_EQ(compacted({o, o + state(0.00005, 0, 0.00005, 0, 0, 0.00005)}).size(), 0u);
    EXPECT_EQ(compacted({Stress6{}, state(0, 0, 0, 0, 0, 0.0001)}).size(), 2u);  // exactly 0.0001
    // Not a von Mises distance: a pure hydrostatic change is kept.
    EXPECT_EQ(compacted({Stress6{}, state(1, 1, 1, 0, 0, 0)}).size(), 2u);
}


// The rule written plainly: mark every point against its successor (the
// first for the last point), then keep the marked ones. Points two at a
// time or one at a time, odd and even lengths alike, must follow it.
TEST(CompactionPath, SameAsPlainRuleNearTheDistance) {
    unsigned seed = 7;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (std::size_t length = 1; length <= 41; ++length) {
        std::vector<Stress6> history;
        Stress6 x = state(3, -2, 1, 0.5, 0, -1);
        for (std::size_t t = 0; t < length; ++t) {
            // Steps of 0 to 1.2e-4 in one or two components: about half of
            // the points fall below the distance.
            x[static_cast<int>(next() % 6)] += 0.00004 * static_cast<double>(next() % 4);
            if (next() % 2 == 0) x[static_cast<int>(next() % 6)] -= 0.00005;
            history.push_back(x);
        }
        std::vector<Stress6> expected;
        for (std::size_t j = 0; j < length; ++j) {
            const Stress6& to = history[(j + 1) % length];
            double sum = 0.0;
            for (int k = 0; k < 6; ++k) {
                const double d = to[k] - history[j][k];
                sum = sum + d * d;
            }
            if (std::sqrt(sum) >= 0.0001) expected.push_back(history[j]);
        }
        for (SimdLevel level : availableSimdLevels())
            EXPECT_EQ(compacted(history, level), expected)
                << simdLevelName(level) << " length " << length;
    }
}

// Steps within a few units in the last place of the compaction distance:
// every vector form keeps exactly the points the square root keeps.
TEST(CompactionPath, VectorFormsKeepWhatTheSquareRootKeeps) {
    for (int component : {0, 3}) {
        double d = 0.0001;
        for (int i = 0; i < 40; ++i) d = std::nextafter(d, 0.0);
        for (int i = 0; i < 80; ++i, d = std::nextafter(d, 1.0)) {
            Stress6 step;
            step[component] = d;
            const std::vector<Stress6> history = {state(0, 0, 0, 0, 0, 0), step, state(1, 1, 1, 1, 1, 1)};
            std::vector<Stress6> expected;
            if (std::sqrt(d * d) >= 0.0001) expected.push_back(history[0]);
            expected.push_back(history[1]);
            expected.push_back(history[2]);
            for (SimdLevel level : availableSimdLevels())
                EXPECT_EQ(compacted(history, level), expected) << simdLevelName(level) << " step " << d;
        }
    }
}

}  // namespace
}  // namespace korvanel
