#pragma once

// Support for the tests that hold each vector form of a kernel to its plain
// form; included only by *_test.cpp files.

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "base/simd_level.hpp"

namespace korvanel {

// The levels this processor and build can run, plain first.
inline std::vector<SimdLevel> availableSimdLevels() {
    std::vector<SimdLevel> levels;
    for (SimdLevel level : {SimdLevel::plain, SimdLevel::sse2, SimdLevel::avx2, SimdLevel::avx512})
        if (simdLevelAvailable(level)) levels.push_back(level);
    return levels;
}

// Random doubles, one in four of them awkward: NaN, infinities, signed
// zeros, denormals, the extremes; the others of either sign over forty
// decades.
class AwkwardDoubles {
public:
    explicit AwkwardDoubles(std::uint64_t seed) : engine_(seed) {}
    double operator()() {
        using L = std::numeric_limits<double>;
        static constexpr double kAwkward[] = {
            L::quiet_NaN(), -L::quiet_NaN(), L::infinity(), -L::infinity(), 0.0, -0.0,
            L::denorm_min(), -L::denorm_min(), 3e-310, -3e-310, L::min(), L::max(), -L::max()};
        const std::uint64_t draw = engine_();
        if (draw % 4 == 0) return kAwkward[(draw >> 8) % std::size(kAwkward)];
        const double magnitude = std::ldexp(std::uniform_real_distribution<double>(1.0, 2.0)(engine_),
                                            static_cast<int>((draw >> 8) % 133) - 66);
        return (draw >> 40) % 2 == 0 ? magnitude : -magnitude;
    }

private:
    std::mt19937_64 engine_;
};

// The same bits, every NaN counting as the same NaN.
inline bool sameBitsOrBothNan(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

}  // namespace korvanel
