#include "fatigue/sn_curve.hpp"

#include <cmath>
#include <string>

#include "base/fatal_stop.hpp"
#include "stress/stress_measures.hpp"
#include "model/fixed_settings.hpp"

namespace korvanel {

namespace {

// 1, -1, or 0 (for zeros and NaN); without a branch, as the sign of a
// mean is as random as the history.
double signOf(double x) {
    return static_cast<double>(static_cast<int>(x > 0.0) - static_cast<int>(x < 0.0));
}

}  // namespace

SnCurve prepareSnCurve(const MaterialValues& m, bool blocksAnalysis) {
    SnCurve curve;
    curve.type = m.snCurveType;
    if (m.snCurveType == SnCurveType::palmgren) {
        curve.staticLimit =
            m.enduranceLimit + std::pow(10.0, (decimalLog(m.palmgrenC) - m.palmgrenL1) / m.palmgrenP);
        return curve;
    }
    if (m.snCurveType == SnCurveType::weibull) {
        curve.staticLimit = m.weibullSault;
        return curve;
    }
    // The multilinear curve is read but never evaluated; its stop keeps the
    // original text it has always had.
    const std::string detail = "the S-N curve type in effect is " +
                               std::to_string(fileNumber(m.snCurveType)) +
                               " (record 5 of the parameter file); only 1 (Palmgren) and 2 "
                               "(Weibull) are evaluated";
    if (blocksAnalysis && m.snCurveType == SnCurveType::multilinear)
        throw fatalStop("ARRIVATO QUA CON LA CURVA MULTILINEARE !!!", detail);
    throw fatalStop("Type of SN curve definition needs values 1, 2 or 3", detail);
}

double equivalentAmplitude(double amplitude, double mean, const MaterialValues& m) {
    const double k = m.goodmanExponent;
    const double smMax = m.goodmanSmMax;
    if (m.goodmanMethod == GoodmanMethod::signedMean) {
        // A compressive mean lowers the amplitude, a tensile one raises it.
        if (std::fabs(mean) <= config::kMeanGate) return amplitude;
        return amplitude / (1.0 - signOf(mean) * powerOf(std::fabs(mean) / smMax, k));
    }
    if (m.goodmanMethod == GoodmanMethod::tensileMeanOnly) {
        // Compressive means are not corrected.
        if (mean >= config::kMeanGate) return amplitude / (1.0 - powerOf(mean / smMax, k));
        return amplitude;
    }
    // Method 3 and any other value: tension and compression count alike. A
    // material record's method is never checked, so any value may reach here.
    if (std::fabs(mean) <= config::kMeanGate) return amplitude;
    return amplitude / (1.0 - powerOf(std::fabs(mean) / smMax, k));
}

CycleVerdict cycleVerdict(double equivalentAmp, double mean, const MaterialValues& m,
                          const SnCurve& curve) {
    const double testedMean =
        (m.goodmanMethod == GoodmanMethod::signedMean ||
         m.goodmanMethod == GoodmanMethod::tensileMeanOnly)
            ? mean
            : std::fabs(mean);
    if (testedMean >= m.goodmanSmMax) return {Verdict::staticFailureType1, 0.0};

    const double seq = equivalentAmp;
    if (curve.type == SnCurveType::palmgren) {
        if (seq >= curve.staticLimit) return {Verdict::staticFailureType2, 0.0};
        if (seq <= m.enduranceLimit) return {Verdict::noDamage, 0.0};
        const double n =
            std::pow(10.0, m.palmgrenL1 + m.palmgrenP * decimalLog(seq - m.enduranceLimit)) -
            m.palmgrenC;
        return {Verdict::cyclesToFailure, n};
    }
    // Weibull (the only other type that curve preparation lets through).
    const double sainf = m.weibullSainf;
    const double sault = m.weibullSault;
    if (seq >= sault) return {Verdict::staticFailureType2, 0.0};
    if (seq <= sainf) return {Verdict::noDamage, 0.0};
    const double n = std::pow(
        10.0, m.weibullAlfa * powerOf(-std::log((seq - sainf) / (sault - sainf)), 1.0 / m.weibullBeta));
    return {Verdict::cyclesToFailure, n};
}

}  // namespace korvanel
