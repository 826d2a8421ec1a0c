#include "run/simd_choice.hpp"

#include <gtest/gtest.h>

namespace korvanel {
namespace {

TEST(SimdChoice, UnsetOrEmptyTakesTheWidestAvailable) {
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        const SimdChoice choice = chooseSimdLevel(value);
        EXPECT_TRUE(choice.problem.empty());
        EXPECT_EQ(choice.level, bestSimdLevel());
        EXPECT_TRUE(simdLevelAvailable(choice.level));
    }
}

TEST(SimdChoice, ForcedLevelIsTakenOrRefused) {
    for (SimdLevel level : {SimdLevel::plain, SimdLevel::sse2, SimdLevel::avx2, SimdLevel::avx512}) {
        const SimdChoice choice = chooseSimdLevel(simdLevelName(level));
        if (simdLevelAvailable(level)) {
            EXPECT_TRUE(choice.problem.empty());
            EXPECT_EQ(choice.level, level);
        } else {
            EXPECT_NE(choice.problem.find("cannot run it"), std::string::npos);
        }
    }
    EXPECT_TRUE(simdLevelAvailable(SimdLevel::plain));
}

TEST(SimdChoice, UnknownNameIsRefused) {
    for (const char* value : {"AVX2", "avx", "sse2 ", "neon"})
        EXPECT_EQ(chooseSimdLevel(value).problem,
                  std::string("KORVANEL_SIMD=") + value + ": unknown; use plain, sse2, avx2 or avx512");
}

}  // namespace
}  // namespace korvanel
