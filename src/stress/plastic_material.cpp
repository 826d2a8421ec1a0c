#include "stress/plastic_material.hpp"

#include <cmath>

namespace korvanel {

PlasticMaterial derivePlasticMaterial(const MaterialValues& v) {
    PlasticMaterial m;
    const double sy = v.yieldStress;
    const double e = v.youngsModulus;
    const double su = v.staticStrength;
    m.yieldStress = sy;
    m.youngsModulus = e;
    m.staticStrength = su;
    m.strainAtFailure = v.strainAtFailurePercent / 100.0;
    m.plasticModulus = (su - sy) / (m.strainAtFailure - sy / e);
    const double ep = m.plasticModulus;
    m.complianceDifference = (ep - e) / (e * ep);
    const double c = m.complianceDifference;
    m.initialSubStep = sy / 50.0;
    m.sigmaU = std::sqrt((c * sy + su / ep) * (e * su));

    m.linearSlope = (su - sy) / (m.sigmaU - sy);
    m.modulusProduct = e * ep;
    m.yieldOffset = sy * c;
    m.yieldOffsetSquared = ((sy * sy) * c) * c;
    m.halfPlasticModulus = ep / 2.0;
    return m;
}

namespace {

bool isFinitePositive(double x) { return std::isfinite(x) && x > 0.0; }

}  // namespace

bool allowsElastoPlasticCorrection(const PlasticMaterial& m) {
    return isFinitePositive(m.yieldStress) && isFinitePositive(m.youngsModulus) &&
           isFinitePositive(m.plasticModulus);
}

double neuberNonLinear(double x, const PlasticMaterial& m) {
    return (std::sqrt((4.0 * (x * x)) / m.modulusProduct + m.yieldOffsetSquared) -
            m.yieldOffset) *
           m.halfPlasticModulus;
}

}  // namespace korvanel
