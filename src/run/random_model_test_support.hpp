#pragma once

// Random node stresses of a model for the tests of the node loop: node n
// has ID 1000 + n and material ID materialOf(n), its load-case stresses
// scaled by firstScale + scaleStep * n; the combination's factors and the
// blocks' ends are drawn from [-1, 1), block b runs 1000 * (1 + b % cycleKinds)
// cycles.

#include <cstdint>
#include <random>
#include <utility>

#include "run/run_inputs.hpp"

namespace korvanel {

struct RandomModel {
    std::uint64_t seed = 1;
    std::int64_t nodes = 0;
    std::int64_t loadCases = 0;
    std::int64_t timePoints = 0;
    std::int64_t blocks = 0;
    double firstScale = 0.0;
    double scaleStep = 0.0;
    std::int64_t cycleKinds = 1;
};

// The model under its combination, or under its blocks.
template <class MaterialOf>
StressInput randomModelInput(const RandomModel& m, bool combination, MaterialOf materialOf) {
    std::mt19937_64 random(m.seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    auto state = [&](double scale) {
        Stress6 s;
        for (int k = 0; k < 6; ++k) s[k] = normal(random) * scale * (k < 3 ? 1.0 : 0.4);
        return s;
    };
    NodeStressTable t;
    t.nodeCount = m.nodes;
    t.loadCaseCount = m.loadCases;
    for (std::int64_t n = 0; n < m.nodes; ++n) {
        t.nodes.push_back(NodeEntry{1000 + n, materialOf(n)});
        t.baseStress.push_back(state(20.0));
        for (std::int64_t lc = 0; lc < m.loadCases; ++lc)
            t.loadCaseStress.push_back(state(m.firstScale + m.scaleStep * static_cast<double>(n)));
    }
    std::uniform_real_distribution<double> factor(-1.0, 1.0);
    CombinationTable c{m.timePoints, m.loadCases, {}};
    for (std::int64_t i = 0; i < m.timePoints * m.loadCases; ++i) c.factor.push_back(factor(random));
    BlockSpectrum b;
    b.blockCount = m.blocks;
    b.loadCaseCount = m.loadCases;
    for (std::int64_t i = 0; i < m.blocks * m.loadCases; ++i) {
        b.blockFrom.push_back(factor(random));
        b.blockTo.push_back(factor(random));
    }
    for (std::int64_t i = 0; i < m.blocks; ++i) b.blockCycles.push_back(1000.0 * (1 + i % m.cycleKinds));
    if (combination) return CombinationInput{std::move(t), std::move(c)};
    return SpectrumInput{std::move(t), std::move(b)};
}

}  // namespace korvanel
