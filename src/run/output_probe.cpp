#include "run/output_probe.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include "base/fatal_stop.hpp"

namespace korvanel {

// A result file is written under a temporary name in its folder and renamed
// over its name, so what counts is the folder; whatever stands at the name
// (a read-only file, a link, a pipe) is replaced, except a directory.
bool outputFileCanBeWritten(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return false;
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(folder.c_str(), W_OK | X_OK) == 0;
}

void probeOutputFile(const std::string& path) {
    if (!outputFileCanBeWritten(path))
        throw fatalStop("Cannot write the output file " + path,
                        "--check: the file could not be created (a directory in its place, or "
                        "its folder missing or not writable)");
}

}  // namespace korvanel
