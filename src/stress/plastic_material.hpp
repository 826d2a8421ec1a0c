#pragma once

// The bilinear material curve of the elasto-plastic correction and the two
// Neuber maps from an elastic equivalent stress to the elasto-plastic one.

#include "model/analysis_parameters.hpp"

namespace korvanel {

// Constants derived per node from the material values in effect. The last
// five fields are sub-expressions of the Neuber maps, formed once per node
// exactly as the maps would form them, so every call gives the same bits.
struct PlasticMaterial {
    double yieldStress = 0.0;           // Sy
    double youngsModulus = 0.0;         // E
    double staticStrength = 0.0;        // Su
    double strainAtFailure = 0.0;       // A / 100
    double plasticModulus = 0.0;        // Ep = (Su - Sy) / (A/100 - Sy/E)
    double complianceDifference = 0.0;  // c = (Ep - E) / (E*Ep)
    double initialSubStep = 0.0;        // h = Sy / 50
    double sigmaU = 0.0;                // sqrt((c*Sy + Su/Ep) * (E*Su))

    double linearSlope = 0.0;           // (Su - Sy) / (sigmaU - Sy)
    double modulusProduct = 0.0;        // E*Ep
    double yieldOffset = 0.0;           // Sy*c
    double yieldOffsetSquared = 0.0;    // ((Sy*Sy)*c)*c
    double halfPlasticModulus = 0.0;    // Ep/2
};

PlasticMaterial derivePlasticMaterial(const MaterialValues& m);

// False when the yield stress or Young's modulus is not a finite positive
// number, or the plastic modulus is not: the correction would divide by zero
// or produce stresses that are not numbers.
bool allowsElastoPlasticCorrection(const PlasticMaterial& m);

// The straight line through (Sy, Sy) and (sigmaU, Su), continued beyond both:
// Sy + ((Su - Sy) / (sigmaU - Sy)) * (x - Sy).
inline double neuberLinear(double x, const PlasticMaterial& m) {
    return m.yieldStress + m.linearSlope * (x - m.yieldStress);
}

// The stress on the plastic branch whose Neuber product equals x*x/E:
// (sqrt((4*(x*x)) / (E*Ep) + ((Sy*Sy)*c)*c) - Sy*c) * (Ep/2).
double neuberNonLinear(double x, const PlasticMaterial& m);

}  // namespace korvanel
