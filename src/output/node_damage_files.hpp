#pragma once

// The per-node result files of a node-stress analysis: the node damage file
// (.ndd: damage per life unit, life in life units and static-failure code of
// every node) and the log-life file (.ans: decimal logarithm of every node's
// life). Both are written once, after the node loop.

#include <cstdint>
#include <string>
#include <vector>

#include "base/text_output.hpp"
#include "model/job_tables.hpp"

namespace korvanel {

// The node of largest damage, found while the .ndd is written. With no node
// at all it keeps these start values, and the summary shows them as they are
// (node 0, damage -123456000), as it always has.
struct MaxDamageNode {
    std::int64_t nodeId = 0;
    double damage = -123456000.0;
    double lifeRepeats = 0.0;
    StaticFailureCode staticFailureCode = StaticFailureCode::none;
};

// Writes the .ndd and returns the node of largest damage: a node replaces the
// running maximum only with a strictly greater damage, so the first of equal
// nodes wins.
// REQUIRES: nodeDamage, lifeRepeats and staticFailureCode have one entry per node.
MaxDamageNode writeNodeDamageFile(const std::string& path, const std::vector<NodeEntry>& nodes,
                                  const std::vector<double>& nodeDamage,
                                  const std::vector<double>& lifeRepeats,
                                  const std::vector<StaticFailureCode>& staticFailureCode,
                                  double lifeUnitsPerRepeat, char decimalSeparator);

// The index of the node writeNodeDamageFile returns (the first of the
// largest damage); -1 with no node.
std::int64_t mostDamagedNode(const std::vector<double>& nodeDamage);

// The same into a channel (the file's text in memory, say).
MaxDamageNode writeNodeDamageFile(OutputChannel& out, const std::vector<NodeEntry>& nodes,
                                  const std::vector<double>& nodeDamage,
                                  const std::vector<double>& lifeRepeats,
                                  const std::vector<StaticFailureCode>& staticFailureCode,
                                  double lifeUnitsPerRepeat);

// Writes the .ans: node ID (as a formatted real), a blank, and the decimal
// logarithm of the life in life units.
// REQUIRES: lifeRepeats has one entry per node.
void writeLogLifeFile(const std::string& path, const std::vector<NodeEntry>& nodes,
                      const std::vector<double>& lifeRepeats, double lifeUnitsPerRepeat,
                      char decimalSeparator);

void writeLogLifeFile(OutputChannel& out, const std::vector<NodeEntry>& nodes,
                      const std::vector<double>& lifeRepeats, double lifeUnitsPerRepeat);

}  // namespace korvanel
