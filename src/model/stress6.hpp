#pragma once

// A stress state: three normal stresses (sx, sy, sz) then three engineering
// shear stresses (txy, tyz, txz), in the order of the input files.
// Component k of the input files (1..6) is s[k - 1] here.
// Arithmetic is component by component and kept inline: it sits in the
// innermost loops of the correction and of the cycle extraction.

namespace korvanel {

struct Stress6 {
    double s[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};

    double& operator[](int k) { return s[k]; }
    double operator[](int k) const { return s[k]; }
};

inline Stress6 operator+(const Stress6& a, const Stress6& b) {
    Stress6 r;
    for (int k = 0; k < 6; ++k) r.s[k] = a.s[k] + b.s[k];
    return r;
}

inline Stress6 operator-(const Stress6& a, const Stress6& b) {
    Stress6 r;
    for (int k = 0; k < 6; ++k) r.s[k] = a.s[k] - b.s[k];
    return r;
}

// Scalar times state: each component is factor * component.
inline Stress6 operator*(double factor, const Stress6& a) {
    Stress6 r;
    for (int k = 0; k < 6; ++k) r.s[k] = factor * a.s[k];
    return r;
}

// State divided by a scalar: each component is component / divisor.
inline Stress6 operator/(const Stress6& a, double divisor) {
    Stress6 r;
    for (int k = 0; k < 6; ++k) r.s[k] = a.s[k] / divisor;
    return r;
}

inline bool operator==(const Stress6& a, const Stress6& b) {
    for (int k = 0; k < 6; ++k)
        if (!(a.s[k] == b.s[k])) return false;
    return true;
}

}  // namespace korvanel
