// Once a node's work tables have grown to the largest node, analysing more
// nodes allocates nothing. This file replaces the global operator new to
// count allocations, so it is built as a test program of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>

#include "run/node_analysis.hpp"
#include "run/random_model_test_support.hpp"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// Kept out of line: inlined into a caller, free() would meet the pointer
// that operator new returned, and the compiler reports a mismatched pair.
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace korvanel {
namespace {

constexpr std::int64_t kNodes = 40;
constexpr std::int64_t kLoadCases = 3;
constexpr std::int64_t kTimePoints = 300;
constexpr std::int64_t kBlocks = 50;

// A steel part (yield 355) under three load cases; the worst nodes reach
// about twice the yield stress, so the correction has work to do.
RunInputs makeRun(std::int64_t format, std::int64_t elastoPlastic, std::int64_t method,
                  std::int64_t stressPathCorrection) {
    RunInputs run;
    AnalysisParameters& p = run.parameters;
    p.material = MaterialValues{355, 210000, 510, 20, SnCurveType::palmgren, 12.6, -3.5, 0, 40,
                                80, 450, 6.5, 2, 1, GoodmanMethod::signedMean, 600};
    p.elastoPlastic = Switch{elastoPlastic};
    p.elastoPlasticMethod = CorrectionMethod{method};
    p.stressPathCorrection = Switch{stressPathCorrection};
    p.stressInputFormat = StressInputFormat{format};
    p.stressScaleFactor = 1;
    p.loadCaseScaleFactor = 1;
    p.materialsMode = MaterialsMode{1};
    p.nodeCount = kNodes;
    p.loadCaseCount = kLoadCases;
    p.loadVariabilityFactor = 1;
    p.blocksDamageType = BlocksDamageType{1};
    p.lifeUnitsPerRepeat = 1000;
    run.input = randomModelInput(RandomModel{7, kNodes, kLoadCases, kTimePoints, kBlocks, 30.0, 10.0, 7},
                                 format == 2, [](std::int64_t) { return std::int64_t{1}; });
    return run;
}

// Allocations while every node is analysed once over `scratch`.
long allocationsOfOneRound(const RunInputs& run, NodeScratch& scratch) {
    allocations = 0;
    counting = true;
    for (std::int64_t n = 0; n < kNodes; ++n)
        analyseNode(run, n, run.parameters.material, false, scratch);
    counting = false;
    return allocations.load();
}

TEST(NodeAnalysis, NoAllocationOnceTheWorkTablesHaveGrown) {
    struct Variant {
        std::int64_t format, elastoPlastic, method, stressPathCorrection;
    };
    for (const Variant v : {Variant{2, 0, 1, 0}, Variant{2, 0, 1, 1}, Variant{2, 1, 1, 0},
                            Variant{2, 1, 2, 1}, Variant{3, 0, 1, 0}, Variant{3, 1, 2, 0}}) {
        const RunInputs run = makeRun(v.format, v.elastoPlastic, v.method, v.stressPathCorrection);
        NodeScratch scratch;
        EXPECT_GT(allocationsOfOneRound(run, scratch), 0);  // the tables grow: counting works
        EXPECT_EQ(allocationsOfOneRound(run, scratch), 0)
            << "format " << v.format << ", correction " << v.elastoPlastic << " method "
            << v.method << ", stress-path correction " << v.stressPathCorrection;
    }
}

}  // namespace
}  // namespace korvanel
