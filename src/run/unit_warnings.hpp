#pragma once

// Warnings about stresses of one job that differ by orders of magnitude
// where they should be of one order: a material in Pa beside stresses and a
// curve in MPa, a Young's modulus in GPa beside a yield stress in MPa. The
// program converts no unit, so such a job runs and its results mean little.

#include <string>

#include "base/input_warnings.hpp"
#include "model/analysis_parameters.hpp"
#include "run/run_inputs.hpp"

namespace korvanel {

// Values further apart than this (either way) do not fit together.
inline constexpr double kUnitMismatchRatio = 1000.0;

// How far the stresses of a job reach: the largest stress component and
// the largest component amplitude (half its range), after the scale factors.
// In formats 2 and 3 they are bounds, each load case taken at its largest
// factor; enough to see a factor of a thousand.
struct StressReach {
    bool known = false;  // not when the node stresses were read by other processes
    double largestStress = 0.0;
    double largestAmplitude = 0.0;
};

StressReach stressReachOf(const RunInputs& run);

// The warnings of one material: its yield stress and static strength
// against its endurance limit (Palmgren) or Sainf and Sault (Weibull) and
// SmMAX; its Young's modulus against its yield stress (metals: about 100 to
// 3,000 times); and, when known, the job's largest stress against the
// static strength and the largest amplitude against the endurance limit or
// Sainf. `where` names the material ("job/j.inp", "job/j.mtr record 2
// (material ID 7)").
void warnAboutMaterialUnits(const MaterialValues& m, const std::string& where,
                            const StressReach& reach, InputWarnings& warnings);

// The same for every material of the run: the parameter file's, or with
// multiple materials each record of the .mtr.
void warnAboutUnits(const RunInputs& run, InputWarnings& warnings);

}  // namespace korvanel
