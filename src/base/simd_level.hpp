#pragma once

// The vector instructions the numeric kernels use. Every level gives the
// same bits: a wider level only runs more independent lanes at once, each
// lane doing exactly the operations of the plain form.

#include <optional>
#include <string_view>

namespace korvanel {

enum class SimdLevel {
    plain,   // one item at a time; any processor
    sse2,    // two doubles per register (every x86-64)
    avx2,    // four doubles per register
    avx512,  // eight doubles per register (AVX-512F)
};

// The name as KORVANEL_SIMD takes it: "plain", "sse2", "avx2", "avx512".
const char* simdLevelName(SimdLevel level);
std::optional<SimdLevel> parseSimdLevel(std::string_view name);

// Whether this processor (and this build) can run the level.
bool simdLevelAvailable(SimdLevel level);

// The level a run uses unless one is forced: AVX2 where available, else the
// widest available.
SimdLevel bestSimdLevel();

}  // namespace korvanel
