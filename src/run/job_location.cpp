#include "run/job_location.hpp"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "base/fatal_stop.hpp"
#include "base/output_temporaries.hpp"
#include "base/text_input.hpp"
#include "base/value_warnings.hpp"

namespace korvanel {

namespace {

std::string workingDirectory() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (std::size_t{1} << 20)) return "(unknown)";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

}  // namespace

JobLocation readJobControlFile(const std::string& path) {
    try {
        return readInputFile(path, [](InputText& in) {
            skipByteOrderMark(in);
            JobLocation job;
            job.directory = readStringValue(in);
            job.name = readStringValue(in);
            return job;
        });
    } catch (FatalStop& stop) {
        // The usual cause is a run started in another directory than the job's.
        if (stop.details.empty() && stop.consoleLines.size() == 1 &&
            stop.consoleLines[0] == "Cannot open the input file " + path)
            stop.details.push_back("the working directory " + workingDirectory() + " has no readable " +
                                   path + ": the program reads " + path +
                                   " from the directory it is started in; start it in the "
                                   "directory that holds " + path);
        throw;
    }
}

std::string jobFilePath(const JobLocation& job, std::string_view extension) {
    std::string path;
    path.reserve(job.directory.size() + job.name.size() + extension.size() + 1);
    path.append(job.directory).append("/").append(job.name).append(extension);
    return path;
}

void removeLeftResultTemporaries(const JobLocation& job) {
    for (const char* extension : {".cyc", ".cif", ".sep", ".ndd", ".ans", ".sum"})
        removeLeftTemporaries(jobFilePath(job, extension));
}

}  // namespace korvanel
