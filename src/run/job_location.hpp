#pragma once

#include <string>
#include <string_view>

namespace korvanel {

// The job named by the job control file: every other file of the job is
// <directory>/<name><extension>.
struct JobLocation {
    std::string directory;
    std::string name;
};

// Reads the job directory and the job name (two string values, on one line
// separated by a comma or on two lines). A file that cannot be opened is
// the stop "Cannot open the input file <path>".
JobLocation readJobControlFile(const std::string& path);

// The path of a job file: directory, "/", name and extension (".inp"...).
// Nothing else of the path is changed: a directory ending in "/" gives a
// doubled separator, an empty directory a path beginning with "/".
std::string jobFilePath(const JobLocation& job, std::string_view extension);

// Removes the hidden temporaries of the job's result files (.cyc, .cif,
// .sep, .ndd, .ans, .sum) that a run killed while writing them left behind
// (see output_temporaries.hpp). Only a run holding the job's lock calls it.
void removeLeftResultTemporaries(const JobLocation& job);

}  // namespace korvanel
