// Micro-benchmarks of the per-node kernels: history combination, compaction,
// path correction (both Neuber methods), half-cycle extraction and damage
// accumulation. Every input is built from a fixed seed, so two runs time
// the same work.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "fatigue/cycle_extraction.hpp"
#include "fatigue/damage.hpp"
#include "fatigue/sn_curve.hpp"
#include "input/node_stress_file.hpp"
#include "model/analysis_parameters.hpp"
#include "base/text_input.hpp"
#include "stress/history_assembly.hpp"
#include "stress/path_compaction.hpp"
#include "stress/path_correction.hpp"
#include "stress/plastic_material.hpp"
#include "model/stress6.hpp"

namespace korvanel {
namespace {

constexpr std::int64_t kLoadCases = 6;

// splitmix64: the same numbers on every platform.
struct Random {
    std::uint64_t state;

    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Uniform in [-scale, scale).
    double symmetric(double scale) { return scale * (2.0 * uniform() - 1.0); }
};

Stress6 randomState(Random& rng, double scale) {
    Stress6 s;
    for (int k = 0; k < 3; ++k) s[k] = rng.symmetric(scale);
    for (int k = 3; k < 6; ++k) s[k] = rng.symmetric(0.4 * scale);
    return s;
}

// One node of a load-case combination job: a base stress, six unit load
// cases and their factors at every time point (slow sines plus noise), so
// that the combined path is a realistic multiaxial history of a steel part.
struct CombinationNode {
    Stress6 base;
    std::vector<Stress6> loadCases;
    std::vector<double> factors;  // [t * kLoadCases + lc]
    std::int64_t timePoints = 0;
};

CombinationNode makeCombinationNode(std::int64_t timePoints, std::uint64_t seed) {
    Random rng{seed};
    CombinationNode node;
    node.timePoints = timePoints;
    node.base = randomState(rng, 20.0);
    for (std::int64_t lc = 0; lc < kLoadCases; ++lc)
        node.loadCases.push_back(randomState(rng, 70.0));
    double period[kLoadCases];
    double phase[kLoadCases];
    for (std::int64_t lc = 0; lc < kLoadCases; ++lc) {
        period[lc] = 20.0 + 180.0 * rng.uniform();
        phase[lc] = 6.283185307179586 * rng.uniform();
    }
    for (std::int64_t t = 0; t < timePoints; ++t)
        for (std::int64_t lc = 0; lc < kLoadCases; ++lc)
            node.factors.push_back(
                std::sin(6.283185307179586 * static_cast<double>(t) / period[lc] + phase[lc]) +
                rng.symmetric(0.35));
    return node;
}

std::vector<Stress6> combinedHistory(const CombinationNode& node) {
    std::vector<Stress6> history;
    combineLoadCases(bestSimdLevel(),
                     {node.base, node.loadCases.data(), kLoadCases, node.factors.data(), node.timePoints},
                     history);
    return history;
}

// A steel part: yield 355, Palmgren curve, Goodman method 1.
MaterialValues steel() {
    MaterialValues m;
    m.yieldStress = 355.0;
    m.youngsModulus = 210000.0;
    m.staticStrength = 510.0;
    m.strainAtFailurePercent = 20.0;
    m.snCurveType = SnCurveType{1};
    m.palmgrenL1 = 12.6;
    m.palmgrenP = -3.5;
    m.palmgrenC = 0.0;
    m.enduranceLimit = 40.0;
    m.goodmanExponent = 1.0;
    m.goodmanMethod = GoodmanMethod{1};
    m.goodmanSmMax = 600.0;
    return m;
}

void BM_CombineLoadCases(benchmark::State& state) {
    const CombinationNode node = makeCombinationNode(state.range(0), 11);
    std::vector<Stress6> history;
    for (auto _ : state) {
        combineLoadCases(bestSimdLevel(),
                         {node.base, node.loadCases.data(), kLoadCases, node.factors.data(), node.timePoints},
                         history);
        benchmark::DoNotOptimize(history.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CombineLoadCases)->Arg(1000);

void BM_CompactPath(benchmark::State& state) {
    const std::vector<Stress6> history = combinedHistory(makeCombinationNode(state.range(0), 12));
    std::vector<Stress6> work;
    std::vector<unsigned char> marks;
    for (auto _ : state) {
        work.assign(history.begin(), history.end());
        compactPath(bestSimdLevel(), work, marks);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CompactPath)->Arg(1000);

// Path correction; the first argument is the Neuber method (1 linear, 2
// non-linear), the second scales the stresses: at 1 few segments yield, at 3
// most of them do.
void BM_CorrectPath(benchmark::State& state) {
    const std::int64_t points = 1000;
    std::vector<Stress6> history = combinedHistory(makeCombinationNode(points, 13));
    for (Stress6& s : history) s = static_cast<double>(state.range(1)) * s;
    const PlasticMaterial plastic = derivePlasticMaterial(steel());
    CorrectionScratch scratch;
    std::vector<Stress6> work;
    for (auto _ : state) {
        work.assign(history.begin(), history.end());
        correctPath(work, points, CorrectionMethod{state.range(0)}, plastic, scratch);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * points);
}
BENCHMARK(BM_CorrectPath)->Args({1, 1})->Args({2, 1})->Args({1, 3})->Args({2, 3});

// Half-cycle extraction of a compacted path; the second argument switches
// the stress-path correction on.
void BM_ExtractHalfCycles(benchmark::State& state) {
    const std::int64_t points = state.range(0);
    std::vector<Stress6> path = combinedHistory(makeCombinationNode(points, 14));
    std::vector<unsigned char> marks;
    compactPath(bestSimdLevel(), path, marks);
    ExtractionScratch scratch;
    std::vector<HalfCycle> halfCycles;
    for (auto _ : state) {
        extractHalfCycles(bestSimdLevel(), path, points, state.range(1) != 0, scratch, halfCycles);
        benchmark::DoNotOptimize(halfCycles.data());
    }
    state.SetItemsProcessed(state.iterations() * points);
}
BENCHMARK(BM_ExtractHalfCycles)->Args({1000, 0})->Args({100000, 0})->Args({1000, 1});

void BM_AccumulateHalfCycles(benchmark::State& state) {
    const std::int64_t points = 1000;
    std::vector<Stress6> path = combinedHistory(makeCombinationNode(points, 15));
    std::vector<unsigned char> marks;
    compactPath(bestSimdLevel(), path, marks);
    ExtractionScratch extraction;
    std::vector<HalfCycle> extracted;
    extractHalfCycles(bestSimdLevel(), path, points, false, extraction, extracted);
    const MaterialValues m = steel();
    const SnCurve curve = prepareSnCurve(m, false);
    HalfCycleDamageScratch scratch;
    std::vector<HalfCycle> work;
    for (auto _ : state) {
        // The accumulation replaces each meanIntegral by the mean stress.
        work.assign(extracted.begin(), extracted.end());
        const HistoryDamage d = accumulateHalfCycles(work, true, false, m, curve, 1, scratch);
        benchmark::DoNotOptimize(d.damage);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(extracted.size()));
}
BENCHMARK(BM_AccumulateHalfCycles);

// Node stress file text of `nodes` nodes and six load cases, the stresses
// written with three decimals (argument 0) or as a solver writes them,
// -5.858234E+00 (argument 1). Bytes per second is the reading speed.
std::string nodeStressText(std::int64_t nodes, bool exponentForm) {
    Random rng{21};
    std::string text;
    char line[256];
    for (std::int64_t block = 0; block <= kLoadCases; ++block) {
        for (std::int64_t n = 0; n < nodes; ++n) {
            const Stress6 s = randomState(rng, block == 0 ? 15.0 : 55.0);
            const char* form = exponentForm
                                   ? "%lld, 1, %.6E, %.6E, %.6E, %.6E, %.6E, %.6E\r\n"
                                   : "%lld, 1, %.3f, %.3f, %.3f, %.3f, %.3f, %.3f\r\n";
            std::snprintf(line, sizeof line, form, static_cast<long long>(1000 + n), s[0], s[1],
                          s[2], s[3], s[4], s[5]);
            text += line;
        }
    }
    return text;
}

void BM_ReadNodeStressFile(benchmark::State& state) {
    constexpr std::int64_t kNodes = 20000;
    const std::string text = nodeStressText(kNodes, state.range(0) != 0);
    for (auto _ : state) {
        InputText in = inputTextFromString("bench.nds", text);
        NodeStressTable table = readNodeStressFile(in, kNodes, kLoadCases);
        benchmark::DoNotOptimize(table.loadCaseStress.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ReadNodeStressFile)->Arg(0)->Arg(1);

}  // namespace
}  // namespace korvanel

BENCHMARK_MAIN();
