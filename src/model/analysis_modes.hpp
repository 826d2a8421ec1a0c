#pragma once

// The modes of an analysis. The parameter file gives each as an integer;
// the parameter reader turns it into one of these types once, and every
// other part of the program asks the type, never the number. The
// enumerators carry the file's numbers. The underlying type is the file's
// integer, so a value outside the enumerators (a curve type 7 in a material
// record, say) is kept as read and reaches the check that refuses it.

#include <cstdint>

namespace korvanel {

// How the stresses of the job are given.
enum class StressInputFormat : std::int64_t {
    singleHistory = 1,    // .sig: one stress state per time point, one node
    nodeCombination = 2,  // .nds + .cmb: load cases combined over time points
    blockSpectrum = 3,    // .nds + .blc: blocks of constant-amplitude cycles
};

// A record that is either off (0) or on (1) in the parameter file.
enum class Switch : std::int64_t { off = 0, on = 1 };

constexpr bool isOn(Switch s) { return s == Switch::on; }

// The Neuber rule of the elasto-plastic correction.
enum class CorrectionMethod : std::int64_t { neuberLinear = 1, neuberNonLinear = 2 };

enum class SnCurveType : std::int64_t { palmgren = 1, weibull = 2, multilinear = 3 };

// The Goodman-type mean-stress correction. Any value other than the first
// two follows the third.
enum class GoodmanMethod : std::int64_t {
    signedMean = 1,       // a compressive mean lowers the amplitude, a tensile one raises it
    tensileMeanOnly = 2,  // compressive means are not corrected
    absoluteMean = 3,     // tension and compression count alike
};

// Which damage a format-3 node reports.
enum class BlocksDamageType : std::int64_t {
    worstBlock = 0,     // the largest damage of one block
    wholeSpectrum = 1,  // the sum over all blocks
    worstGroup = 2,     // the largest sum over the block groups of the .btf
};

enum class MaterialsMode : std::int64_t { one = 1, multiple = 2 };

// The static failures of a node, as the .ndd prints them; both types are 12,
// the two digits side by side, as the .ndd has always shown them.
enum class StaticFailureCode : std::int64_t { none = 0, type1 = 1, type2 = 2, both = 12 };

// The number a mode has in the job's files.
template <typename Mode>
constexpr std::int64_t fileNumber(Mode mode) {
    return static_cast<std::int64_t>(mode);
}

const char* toString(StressInputFormat format);
const char* toString(SnCurveType type);
const char* toString(StaticFailureCode code);

}  // namespace korvanel
