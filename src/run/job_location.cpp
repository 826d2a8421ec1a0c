#include "run/job_location.hpp"

#include "base/output_temporaries.hpp"
#include "base/text_input.hpp"
#include "base/value_warnings.hpp"

namespace korvanel {

JobLocation readJobControlFile(const std::string& path) {
    return readInputFile(path, [](InputText& in) {
        skipByteOrderMark(in);
        JobLocation job;
        job.directory = readStringValue(in);
        job.name = readStringValue(in);
        return job;
    });
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
