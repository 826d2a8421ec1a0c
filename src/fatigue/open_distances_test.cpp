#include "fatigue/open_distances.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "base/simd_test_values.hpp"

namespace korvanel {
namespace {

// Every level against the plain form: the same distances bit for bit and
// the same first leaving entry, on awkward values and on ordinary ones
// with the range near the distance, for every count across the lane widths.
TEST(OpenDistances, EveryLevelGivesThePlainBits) {
    AwkwardDoubles awkward(19);
    std::mt19937_64 engine(5);
    for (bool ordinary : {false, true}) {
        for (std::size_t count = 0; count <= 27; ++count) {
            const std::size_t room = (count + kOpenColumnLanes - 1) / kOpenColumnLanes * kOpenColumnLanes;
            std::vector<double> columns(6 * room + room);
            for (double& x : columns)
                x = ordinary ? std::uniform_real_distribution<double>(-3.0, 3.0)(engine) : awkward();
            const double* origin[6];
            for (int k = 0; k < 6; ++k) origin[k] = columns.data() + k * room;
            double* rangeSquared = columns.data() + 6 * room;
            double end[6];
            for (double& e : end) e = ordinary ? std::uniform_real_distribution<double>(-3.0, 3.0)(engine) : awkward();
            std::vector<double> expected(room), got(room);
            distancesToEndPlain(origin, end, rangeSquared, count, expected.data());
            // Ranges from just below to just above the plain distance make
            // the first leaving entry fall anywhere.
            if (ordinary)
                for (std::size_t i = 0; i < count; ++i)
                    rangeSquared[i] = std::nextafter(expected[i], engine() % 3 == 0 ? 0.0 : 1e300);
            const std::size_t first = distancesToEndPlain(origin, end, rangeSquared, count, expected.data());
            for (SimdLevel level : availableSimdLevels()) {
                EXPECT_EQ(distancesToEnd(level, origin, end, rangeSquared, count, got.data()), first)
                    << simdLevelName(level) << " count " << count;
                for (std::size_t i = 0; i < count; ++i)
                    EXPECT_TRUE(sameBitsOrBothNan(got[i], expected[i]))
                        << simdLevelName(level) << " count " << count << " entry " << i << ": "
                        << got[i] << " vs " << expected[i];
            }
        }
    }
}

}  // namespace
}  // namespace korvanel
