#pragma once

// With multiple materials the values in effect at a node depend on every
// node before it: a node whose material ID matches no record keeps the
// values of the node before it, and a matching record replaces only the S-N
// parameters of its own curve type. The schedule works this out once, in
// node order, so that nodes can then be analysed in any order.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/input_warnings.hpp"
#include "model/job_tables.hpp"
#include "model/analysis_parameters.hpp"

namespace korvanel {

// The records in effect before a node (-1: the parameter file's values):
// all that the nodes before it hand on to it.
struct MaterialCarry {
    std::int64_t generalRecord = -1;
    std::int64_t palmgrenRecord = -1;
    std::int64_t weibullRecord = -1;
};

// A material ID with no record: the first node that uses it and the record
// of the general values it keeps (-1: the parameter file's).
struct NodeWithoutRecord {
    std::int64_t node = 0;
    std::int64_t generalRecord = -1;
};

struct MaterialSchedule {
    // Per node: the record that last set the general material values, the
    // Palmgren parameters and the Weibull parameters (-1: parameter file).
    std::vector<std::int64_t> generalRecord;
    std::vector<std::int64_t> palmgrenRecord;
    std::vector<std::int64_t> weibullRecord;
    // The first node whose matching records include an unusable curve type:
    // its material selection stops the run. -1 when there is none.
    std::int64_t failingNode = -1;
    // For each material ID that no record has, the first node that uses it,
    // in node order (up to the failing node).
    std::vector<NodeWithoutRecord> withoutRecord;
};

// Empty schedule (nothing recorded) when there is a single material.
// `carriedIn` is what the nodes before `nodes` leave in effect, when
// `nodes` is a run of consecutive nodes taken from a larger table.
MaterialSchedule scheduleMaterials(std::span<const NodeEntry> nodes,
                                   const std::vector<MaterialRecord>& records,
                                   const MaterialCarry& carriedIn = {});

// What is in effect before each node index of `at` (increasing), walking
// every node in order, and the first node that stops the run (-1: none).
// The walk ends at that node: later indexes get what is in effect before it.
struct MaterialCarries {
    std::vector<MaterialCarry> before;   // one per index of `at`
    std::int64_t failingNode = -1;
    std::vector<NodeWithoutRecord> withoutRecord;  // as in the schedule of every node
};
MaterialCarries carriesBefore(const std::vector<NodeEntry>& nodes,
                              const std::vector<MaterialRecord>& records,
                              const std::vector<std::int64_t>& at);

// One warning per material ID without a record in the material file at
// `materialPath`, naming the first node that uses it and whose values it
// keeps.
void warnAboutMaterials(const std::vector<NodeWithoutRecord>& withoutRecord,
                        const std::vector<NodeEntry>& nodes,
                        const std::vector<MaterialRecord>& records,
                        const std::string& materialPath, InputWarnings& warnings);

// The material values in effect at `node`.
MaterialValues materialAt(const MaterialSchedule& schedule, std::int64_t node,
                          const MaterialValues& fromParameterFile,
                          const std::vector<MaterialRecord>& records);

}  // namespace korvanel
