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

// What tells a file from another, or from itself rewritten, so that every
// process reads the file the first one indexed: its identity (device and
// inode), size, modification time and status-change time (which every
// write, and every change of the times, sets), and the machine it was taken
// on. All zero: no file at the path.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    std::int64_t changedSeconds = 0;
    std::int64_t changedNanoseconds = 0;
    char machine[64] = {};  // the host name, cut to 63 characters

    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at `path` now.
FileStamp fileStampOf(const std::string& path);

// Whether two stamps, taken by processes on the same machine or on two
// machines sharing a file system, are of the same unchanged file. A device
// number is the machine's own name for a mounted file system: it is compared
// only between stamps of one machine; the inode number is the file
// system's, the same on every machine.
bool sameFile(const FileStamp& a, const FileStamp& b);

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
