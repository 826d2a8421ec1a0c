#pragma once

// S-N curves with the Goodman-type mean-stress correction: the per-node
// curve preparation, the equivalent amplitude of a cycle and the verdict
// that turns it into a static failure, no damage or a number of cycles.

#include <cmath>
#include <cstdint>

#include "model/analysis_parameters.hpp"

namespace korvanel {

// The curve of one node, prepared after its material selection.
struct SnCurve {
    SnCurveType type = SnCurveType::palmgren;  // Palmgren or Weibull
    double staticLimit = 0.0;   // equivalent amplitude of static failure of type 2
};

// Checks the curve type and computes the static limit: for Palmgren the
// amplitude at which the equation gives 0 cycles, for Weibull Sault.
// Throws FatalStop for any other type (with its own text for the
// multilinear curve in a blocks analysis).
SnCurve prepareSnCurve(const MaterialValues& m, bool blocksAnalysis);

// std::pow(x, k), bit for bit. An exponent of exactly 1 (the Goodman line, a
// Weibull beta of 1) returns x without the call: with the GNU C library the
// call gives x itself for every x but a NaN then (docs/developers.md shows
// why), and the call is most of the time of a half-cycle's mean-stress
// correction. A NaN still goes to pow, which may change its sign.
inline double powerOf(double x, double k) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
    if (k == 1.0 && !std::isnan(x)) return x;
#endif
    return std::pow(x, k);
}

// Mean-stress corrected amplitude of amplitude Sa about the mean stress m.
// The result is meaningless (zero or negative denominator) when the mean
// reaches SmMAX; the verdict then reports static failure of type 1 anyway.
double equivalentAmplitude(double amplitude, double mean, const MaterialValues& m);

enum class Verdict { staticFailureType1, staticFailureType2, noDamage, cyclesToFailure };

struct CycleVerdict {
    Verdict kind = Verdict::noDamage;
    double cyclesToFailure = 0.0;   // set for Verdict::cyclesToFailure only
};

// Verdict for one cycle, tested in this order: mean at or beyond SmMAX,
// amplitude at or beyond the static limit, amplitude at or below the fatigue
// limit, otherwise the cycles to failure of the curve.
CycleVerdict cycleVerdict(double equivalentAmp, double mean, const MaterialValues& m,
                          const SnCurve& curve);

}  // namespace korvanel
