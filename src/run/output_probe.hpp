#pragma once

// What --check does in place of writing a result or detail file: it finds
// out, without creating or changing anything, whether the run could create
// the file, and makes the run's stop when it could not.

#include <string>

namespace korvanel {

// True unless a directory stands at `path`, or its folder is missing or
// not writable.
bool outputFileCanBeWritten(const std::string& path);

// The stop "Cannot write the output file <path>" when the file could not
// be written.
void probeOutputFile(const std::string& path);

}  // namespace korvanel
