#include "run/simd_choice.hpp"

namespace korvanel {

SimdChoice chooseSimdLevel(const char* forced) {
    SimdChoice choice;
    if (forced == nullptr || *forced == '\0') {
        choice.level = bestSimdLevel();
        return choice;
    }
    const std::optional<SimdLevel> level = parseSimdLevel(forced);
    if (!level) {
        choice.problem = std::string("KORVANEL_SIMD=") + forced +
                         ": unknown; use plain, sse2, avx2 or avx512";
    } else if (!simdLevelAvailable(*level)) {
        choice.problem = std::string("KORVANEL_SIMD=") + forced +
                         ": this processor or build cannot run it";
    } else {
        choice.level = *level;
    }
    return choice;
}

}  // namespace korvanel
