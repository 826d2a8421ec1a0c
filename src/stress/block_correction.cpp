#include "stress/block_correction.hpp"

#include <algorithm>
#include <cmath>

#include "stress/stress_measures.hpp"

namespace korvanel {

void correctBlocks(std::vector<Stress6>& fromStates, std::vector<Stress6>& toStates,
                   CorrectionMethod method, const PlasticMaterial& m) {
    const double sy = m.yieldStress;
    const std::size_t count = std::min(fromStates.size(), toStates.size());
    for (std::size_t b = 0; b < count; ++b) {
        const Stress6& a = fromStates[b];
        const Stress6& bState = toStates[b];
        const Stress6 mean = 0.5 * (a + bState);
        const Stress6 amplitude = 0.5 * (bState - a);
        const double sa = std::sqrt(vonMisesSquared(amplitude));
        if (!(sa > sy)) continue;

        const double r = 2.0 * sa - sy;
        const Stress6 n = amplitude / sa;
        const double saCorrected = method == CorrectionMethod::neuberLinear ? neuberLinear(sa, m) : neuberNonLinear(sa, m);
        const double rCorrected = method == CorrectionMethod::neuberLinear ? neuberLinear(r, m) : neuberNonLinear(r, m);
        const Stress6 to = mean + saCorrected * n;
        const Stress6 from = to - (rCorrected + sy) * n;
        fromStates[b] = from;
        toStates[b] = to;
    }
}

}  // namespace korvanel
