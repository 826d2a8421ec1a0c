#pragma once

// The cycle detail files of one location: the .cyc with every counted
// half-cycle (single history, node stresses) or every block (block spectrum)
// and its mean, amplitude, damage and static-failure flag; the .cif with the
// two end states of every half-cycle of a single history.

#include <cstdint>
#include <span>
#include <string>

#include "base/text_output.hpp"
#include "fatigue/cycle_extraction.hpp"

namespace korvanel {

// The .cyc of half-cycles; a half-cycle whose amplitude sqrt(rangeSquared) / 2
// is not above 0.0001 carries no damage and is not listed. Without a node column (nodeIdColumn == nullptr,
// single history) the heading has no "Node ID"; with it every line starts
// with *nodeIdColumn. Each listed line: mean stress (meanIntegral, which
// holds the mean once the damage is known), amplitude, damage of the
// half-cycle (halfCycleDamage / 2) and the static-failure flag.
// REQUIRES: halfCycleDamage and staticFailureFlag have one entry per half-cycle.
void writeHalfCycleFile(const std::string& path, std::span<const HalfCycle> halfCycles,
                        std::span<const double> halfCycleDamage,
                        std::span<const std::int8_t> staticFailureFlag,
                        const std::int64_t* nodeIdColumn, char decimalSeparator);

// The .cif: the twelve components of sigA and sigB of every listed half-cycle.
void writeHalfCycleEndsFile(const std::string& path, std::span<const HalfCycle> halfCycles,
                            char decimalSeparator);

// The .cyc of a block spectrum, one line per block: mean, amplitude before
// the Load Variability Factor, cycles rounded to the nearest integer, damage
// of one cycle and flag. A flag above 2 is Runtime Error 409; the lines
// before it stay in the file.
// REQUIRES: all spans have one entry per block.
void writeBlockCycleFile(const std::string& path, std::int64_t completeOutputNode,
                         std::span<const double> mean, std::span<const double> amplitude,
                         std::span<const double> blockCycles,
                         std::span<const double> damageOfOneCycle,
                         std::span<const std::int8_t> staticFailureFlag, char decimalSeparator);

// The same three into a channel (the file's text in memory, say); the block
// .cyc stops writing at a flag above 2 and returns false.
void writeHalfCycleFile(OutputChannel& out, std::span<const HalfCycle> halfCycles,
                        std::span<const double> halfCycleDamage,
                        std::span<const std::int8_t> staticFailureFlag,
                        const std::int64_t* nodeIdColumn);
void writeHalfCycleEndsFile(OutputChannel& out, std::span<const HalfCycle> halfCycles);
bool writeBlockCycleFile(OutputChannel& out, std::int64_t completeOutputNode,
                         std::span<const double> mean, std::span<const double> amplitude,
                         std::span<const double> blockCycles,
                         std::span<const double> damageOfOneCycle,
                         std::span<const std::int8_t> staticFailureFlag);

// The .cyc when no node has the complete-output ID: a single line.
void writeMissingNodeLine(const std::string& path, std::int64_t completeOutputNode,
                          char decimalSeparator);

// A cycle count rounded to the nearest integer, ties to even, in the integer
// print form (" 1500", "-2"). A count beyond the 64-bit range is written
// with all its digits rather than cut to the range (" 100000000000000000000");
// one that is not finite in the form of a double (the readers refuse such
// values, so it cannot come from a file).
std::string listedCycleCount(double cycles);

}  // namespace korvanel
