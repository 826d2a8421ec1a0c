#pragma once

// A screen that proves, from a node's path alone, that every half-cycle the
// extraction would find there ends as "no damage", so that the node can
// skip the extraction and take the result the half-cycle analysis would
// give it: no damage, no static failure, the damage floor.
//
// The proof bounds every half-cycle's amplitude and mean as the extraction
// computes them, rounding included (docs/developers.md, "The damage
// screen"); it is tried only on paths whose extraction cannot stop, and it
// answers "not proven" whenever a bound cannot be kept, so a node it passes
// is a node the full analysis gives exactly that result.

#include <span>

#include "base/simd_level.hpp"
#include "fatigue/sn_curve.hpp"
#include "model/analysis_parameters.hpp"
#include "model/stress6.hpp"

namespace korvanel {

// What the screen works out from a path: the bounds it proves on the
// amplitude and the means of every half-cycle, before the S-N curve is
// asked. `usable` is false when the path is outside the range the proof
// covers (a value not finite, a segment of no von Mises length, too short
// a segment for its rounding, magnitudes that the proof does not cover).
struct ScreenBounds {
    bool usable = false;
    double amplitude = 0.0;    // no half-cycle's amplitude Sa is above this
    // Every piece of a half-cycle's mean is a first invariant in
    // [lowWeight, highWeight]; rounding may lower a range while it grows, by
    // at most noiseRatio times the half-cycle's range over all its pieces.
    double lowWeight = 0.0;
    double highWeight = 0.0;
    double noiseRatio = 0.0;
};

// `simd` chooses the vector form of the distances; every level gives the same bounds.
ScreenBounds screenBounds(SimdLevel simd, std::span<const Stress6> path, bool stressPathCorrection);

// Whether every half-cycle of the path (compacted and, where asked,
// corrected; at least two points) is proven to be "no damage" under the
// material values and the prepared S-N curve in effect: the node's result
// is then exactly the floored damage with no static failure.
bool provesNoDamage(SimdLevel simd, std::span<const Stress6> path, bool stressPathCorrection,
                    const MaterialValues& m, const SnCurve& curve);

}  // namespace korvanel
