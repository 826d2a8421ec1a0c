#pragma once

// The scalar measures of a stress state. Every fatigue quantity is reduced
// to these, and each is evaluated in one fixed order so that its last bits
// are reproducible: do not reorder the arithmetic.

#include <cmath>
#include <cstdint>

#include "model/stress6.hpp"

namespace korvanel {

// Squared von Mises equivalent stress of the state (s1, ..., s6). Normal
// part ((s1*s1 + s2*s2) + s3*s3) - s1*s2 - s2*s3 - s1*s3, shear part
// (s4*s4 + s5*s5) + s6*s6, result 3*shear + normal. On a nearly hydrostatic
// state rounding can push the result below zero; it is then 0, so that its
// square root is always a number. Loops that keep the components of many
// states in separate arrays call this form directly.
inline double vonMisesSquaredOf(double s1, double s2, double s3, double s4, double s5,
                                double s6) {
    const double normal = (s1 * s1 + s2 * s2) + s3 * s3 - s1 * s2 - s2 * s3 - s1 * s3;
    const double shear = (s4 * s4 + s5 * s5) + s6 * s6;
    const double result = 3.0 * shear + normal;
    return result < 0.0 ? 0.0 : result;
}

inline double vonMisesSquared(const Stress6& s) {
    return vonMisesSquaredOf(s.s[0], s.s[1], s.s[2], s.s[3], s.s[4], s.s[5]);
}

// 3/2 times the product of the deviators of a and b (engineering shears
// counted twice): the normal products first, then the shear products,
// multiplied by 3 before the division by 2.
inline double deviatoricProduct(const Stress6& a, const Stress6& b) {
    const double aMean = ((a.s[0] + a.s[1]) + a.s[2]) / 3.0;
    const double bMean = ((b.s[0] + b.s[1]) + b.s[2]) / 3.0;
    const double bracket = (a.s[0] - aMean) * (b.s[0] - bMean) +
                           (a.s[1] - aMean) * (b.s[1] - bMean) +
                           (a.s[2] - aMean) * (b.s[2] - bMean) + 2.0 * a.s[3] * b.s[3] +
                           2.0 * a.s[4] * b.s[4] + 2.0 * a.s[5] * b.s[5];
    return 3.0 * bracket / 2.0;
}

// Sum of the normal stresses (not divided by 3): the mean-stress measure.
inline double firstInvariant(const Stress6& s) { return (s.s[0] + s.s[1]) + s.s[2]; }

// Natural logarithm divided by ln 10, as written (not std::log10).
double decimalLog(double x);

// b when b >= a, otherwise a (so a tie returns b).
inline double maxOf(double a, double b) { return b >= a ? b : a; }

// a when a < b, otherwise b.
inline std::int64_t minOf(std::int64_t a, std::int64_t b) { return a < b ? a : b; }

// The range of the pair (a, b) taken along the path through q: the larger
// of the current range and the two-leg von Mises length a -> q -> b.
inline double pathRange(const Stress6& a, const Stress6& b, const Stress6& q,
                        double currentRange) {
    const double twoLegs = std::sqrt(vonMisesSquared(q - a)) + std::sqrt(vonMisesSquared(b - q));
    return maxOf(currentRange, twoLegs);
}

}  // namespace korvanel
