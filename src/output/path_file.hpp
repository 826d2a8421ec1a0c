#pragma once

// The elasto-plastic path file (.sep): the corrected stress state of every
// point of a node's path, one comma-separated line per point.

#include <span>
#include <string>

#include "base/text_output.hpp"
#include "model/stress6.hpp"

namespace korvanel {

// Writes the points in path order. The caller passes the points to list
// (without the start state of the corrected path).
void writePathFile(const std::string& path, std::span<const Stress6> correctedPath,
                   char decimalSeparator);
void writePathFile(OutputChannel& out, std::span<const Stress6> correctedPath);

}  // namespace korvanel
