#pragma once

// The messages that the processes of one run send one another, as plain
// bytes: built and read here, so that moving them is all the transport does.
// Every process runs the same program, so values travel in the machine's
// own representation.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/fatal_stop.hpp"
#include "input/node_stress_file.hpp"
#include "run/node_loop.hpp"
#include "run/run_inputs.hpp"

namespace korvanel {

// Size and modification time of a file, to tell that every process reads
// the file the first one indexed.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;

    bool operator==(const FileStamp&) const = default;
};

// What every process needs to read its slice of the node stress file.
struct SliceReading {
    std::string path;
    std::int64_t loadCaseCount = 0;
    FileStamp stamp;
    std::vector<NodeStressSlice> slices;   // one per process, in process order
};

std::string packSliceReading(const SliceReading& reading);
SliceReading unpackSliceReading(std::string_view bytes);

// Everything the node loop reads except the node stresses (their shape
// travels), and the share of every process.
std::string packLoopPlan(const RunInputs& run, const std::vector<SliceWork>& work);
std::pair<RunInputs, std::vector<SliceWork>> unpackLoopPlan(std::string_view bytes);

// A stop and the node index (0-based, -1 for none) at which it happened.
std::string packStop(std::int64_t node, const FatalStop& stop);
std::pair<std::int64_t, FatalStop> unpackStop(std::string_view bytes);

}  // namespace korvanel
