#include "base/simd_level.hpp"

namespace korvanel {

const char* simdLevelName(SimdLevel level) {
    switch (level) {
        case SimdLevel::plain: return "plain";
        case SimdLevel::sse2: return "sse2";
        case SimdLevel::avx2: return "avx2";
        case SimdLevel::avx512: return "avx512";
    }
    return "plain";
}

std::optional<SimdLevel> parseSimdLevel(std::string_view name) {
    for (SimdLevel level : {SimdLevel::plain, SimdLevel::sse2, SimdLevel::avx2, SimdLevel::avx512})
        if (name == simdLevelName(level)) return level;
    return std::nullopt;
}

bool simdLevelAvailable(SimdLevel level) {
    switch (level) {
        case SimdLevel::plain: return true;
#if defined(__SSE2__)
        case SimdLevel::sse2: return true;
#else
        case SimdLevel::sse2: return false;
#endif
#if defined(KORVANEL_X86_SIMD)
        case SimdLevel::avx2: return __builtin_cpu_supports("avx2");
        case SimdLevel::avx512: return __builtin_cpu_supports("avx512f");
#else
        case SimdLevel::avx2:
        case SimdLevel::avx512: return false;
#endif
    }
    return false;
}

// AVX2 before AVX-512: the open list of an ordinary history holds about
// five half-cycles, one register of either width, and the AVX2 forms ran
// the whole run a few per cent faster on the processors measured.
SimdLevel bestSimdLevel() {
    for (SimdLevel level : {SimdLevel::avx2, SimdLevel::avx512, SimdLevel::sse2})
        if (simdLevelAvailable(level)) return level;
    return SimdLevel::plain;
}

}  // namespace korvanel
