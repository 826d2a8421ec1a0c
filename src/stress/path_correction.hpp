#pragma once

// Elasto-plastic correction of a stress path: a sub-stepped Neuber walk with
// a von Mises yield surface that moves with the stress (kinematic
// hardening), run as a closed loop pass after pass until two passes agree.

#include <cstdint>
#include <vector>

#include "stress/plastic_material.hpp"
#include "model/stress6.hpp"

namespace korvanel {

// One yield-history entry of the non-linear method, kept in the form its
// only reader needs: the deviatoric normal components (each normal component
// minus the mean of the three) and the shear components.
struct YieldHistoryEntry {
    double deviation[3] = {0.0, 0.0, 0.0};
    double shear[3] = {0.0, 0.0, 0.0};
};

// The history entry of the state `e`.
YieldHistoryEntry makeYieldHistoryEntry(const Stress6& e);

// The sum, oldest entry first, of deviatoricProduct(direction, entry), set
// back to zero after each addition unless it is >= 0. Gives the same bits as
// summing deviatoricProduct itself; the direction's share of each product is
// formed once rather than once per entry.
double yieldHistorySum(const Stress6& direction, const std::vector<YieldHistoryEntry>& history);

// Work tables of the path correction, reused from node to node so that the
// correction allocates only when a node has more points than any before.
// Rows 0..P: row 0 is the state before the first point.
struct CorrectionScratch {
    std::vector<Stress6> elastic;      // Se
    std::vector<Stress6> corrected;    // Sc
    std::vector<Stress6> backStress;   // X
    std::vector<YieldHistoryEntry> yieldHistory;

    // What the last correction did, for inspection.
    std::int64_t attempts = 0;            // attempts made
    std::int64_t lastAttemptPasses = 0;   // passes of the last attempt
    std::int64_t totalPasses = 0;         // passes of all attempts
    double lastSubStep = 0.0;             // sub-step size h of the last attempt
    double convergence = 0.0;             // last convergence measure computed
    std::int64_t yieldHistoryCount = 0;   // entries of the last attempt
};

// Replaces the P points of `path` by the corrected path (method 1: neuber
// linear; any other method: neuber non-linear with yield history and the
// drift shift). `timePointCount` is the node's raw point count, which bounds
// the yield history; exceeding it is an internal error (throws FatalStop,
// code 102). An empty path is left unchanged; a path that does not converge
// keeps the result of the last pass.
void correctPath(std::vector<Stress6>& path, std::int64_t timePointCount, CorrectionMethod method,
                 const PlasticMaterial& m, CorrectionScratch& scratch);

}  // namespace korvanel
