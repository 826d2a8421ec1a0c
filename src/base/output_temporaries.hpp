#pragma once

// The hidden names under which result files are written before they take
// their own: "<directory>.<name>.<process ID>.<n>.tmp", in the directory of
// the file.

#include <string>

namespace korvanel {

// "<directory>.<name>.": the temporaries of the file at `path` are this
// followed by "<process ID>.<n>.tmp". A name longer than 200 characters is
// cut there, so that the temporary's name stays within the system's limit.
std::string temporaryPrefix(const std::string& path);

// Removes the temporaries of the file at `path` that any process left (a
// process killed while it wrote the file): the names of the directory that
// are the prefix, digits, ".", digits and ".tmp", nothing else. Nothing is
// removed for a name that was cut: its prefix could be another file's too.
// Only the holder of the file's job may call it, so that no temporary of a
// live run is taken. Returns how many were removed.
int removeLeftTemporaries(const std::string& path);

}  // namespace korvanel
