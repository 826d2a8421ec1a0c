#include "stress/plastic_material.hpp"

#include <limits>

#include <gtest/gtest.h>

namespace korvanel {
namespace {

// Sy/E = 0.001, Ep = 200 / 0.099, c = 1/E - 1/Ep = -4.9e-4,
// c*Sy + Su/Ep = -0.098 + 0.198 = 0.1, sigmaU = sqrt(0.1 * 8e7) = sqrt(8e6).
MaterialValues steel() {
    MaterialValues v;
    v.yieldStress = 200.0;
    v.youngsModulus = 200000.0;
    v.staticStrength = 400.0;
    v.strainAtFailurePercent = 10.0;
    return v;
}

TEST(PlasticMaterialTest, DerivedConstantsAndNeuberMaps) {
    const PlasticMaterial m = derivePlasticMaterial(steel());
    EXPECT_NEAR(m.plasticModulus, 2020.2020202020, 1e-9);
    EXPECT_NEAR(m.complianceDifference, -4.9e-4, 1e-15);
    EXPECT_EQ(m.initialSubStep, 4.0);
    EXPECT_NEAR(m.sigmaU, 2828.4271247462, 1e-9);

    EXPECT_EQ(neuberLinear(200.0, m), 200.0);
    EXPECT_NEAR(neuberLinear(m.sigmaU, m), 400.0, 1e-12);
    EXPECT_NEAR(neuberNonLinear(200.0, m), 200.0, 1e-12);
    EXPECT_NEAR(neuberNonLinear(m.sigmaU, m), 400.0, 1e-9);
    // Neuber's rule on the plastic branch: sigma * (sigma/Ep + c*Sy) = x*x/E.
    const double sigma = neuberNonLinear(1000.0, m);
    EXPECT_NEAR(sigma * (sigma / m.plasticModulus - 4.9e-4 * 200.0), 5.0, 1e-12);
}

TEST(PlasticMaterialTest, CorrectionNeedsPositiveFiniteYieldModulusAndPlasticModulus) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(allowsElastoPlasticCorrection(derivePlasticMaterial(steel())));
    const auto refused = [](double MaterialValues::*field, double value) {
        MaterialValues v = steel();
        v.*field = value;
        return !allowsElastoPlasticCorrection(derivePlasticMaterial(v));
    };
    for (double bad : {0.0, -200.0, inf, nan}) {
        EXPECT_TRUE(refused(&MaterialValues::yieldStress, bad)) << bad;
        EXPECT_TRUE(refused(&MaterialValues::youngsModulus, bad)) << bad;
    }
    EXPECT_TRUE(refused(&MaterialValues::staticStrength, 200.0));          // Ep = 0
    EXPECT_TRUE(refused(&MaterialValues::staticStrength, 150.0));          // Ep < 0
    EXPECT_TRUE(refused(&MaterialValues::strainAtFailurePercent, 0.1));    // Ep infinite
}

}  // namespace
}  // namespace korvanel
