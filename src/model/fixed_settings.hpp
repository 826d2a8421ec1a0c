#pragma once

// The fixed settings of the analysis and the program's fixed texts, in one
// place. The settings are constants, not parameters: no job can change them.
// They assume stresses of the size of MPa (see the user guide on units).

#include <string_view>

namespace korvanel::config {

// The version the banner, the summary title and --version show. The banner
// spells it two ways ("v25.02", "25.02"), as it always has.
inline constexpr std::string_view kVersion = "25.02";
inline constexpr std::string_view kVersionTitle = "KORVANEL version v25.02";
inline constexpr std::string_view kBannerRunning = "You are running KORVANEL version v25.02";
inline constexpr std::string_view kBannerExecuting = "Executing KORVANEL version 25.02 ...";

// Consecutive path points closer than this (Euclidean, all six components)
// are one point.
inline constexpr double kCompactionDistance = 0.0001;
// Half-cycles whose amplitude is not above this do no damage and are not
// listed in the .cyc.
inline constexpr double kAmplitudeGate = 0.0001;
// Means whose magnitude is not above this count as zero mean.
inline constexpr double kMeanGate = 0.0001;
// The elasto-plastic correction has converged when its measure is not above this.
inline constexpr double kConvergenceLimit = 0.0001;
// A node's damage is never below the floor, its life repeats never above the ceiling.
inline constexpr double kDamageFloor = 1e-18;
inline constexpr double kLifeCeiling = 1e18;

}  // namespace korvanel::config
