#pragma once

// Elasto-plastic correction of a block spectrum: one Neuber step per block
// on the block's equivalent amplitude.

#include <cstdint>
#include <vector>

#include "stress/plastic_material.hpp"
#include "model/stress6.hpp"

namespace korvanel {

// Corrects the from-state A and to-state B of every block in place. A block
// whose equivalent amplitude exceeds the yield stress keeps its mean and its
// direction; its to-state moves to N(amplitude) from the mean and its range
// gets the length N(2*amplitude - Sy) + Sy. Method 1 uses neuberLinear as N,
// any other method neuberNonLinear. Blocks beyond the shorter list are left.
void correctBlocks(std::vector<Stress6>& fromStates, std::vector<Stress6>& toStates,
                   CorrectionMethod method, const PlasticMaterial& m);

}  // namespace korvanel
