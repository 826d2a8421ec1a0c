#include "input/combination_file.hpp"

#include <cmath>
#include <utility>
#include <vector>

#include "base/fatal_stop.hpp"

namespace korvanel {

CombinationTable readCombinationFile(const std::string& path, std::int64_t loadCaseCount) {
    return readInputFile(path,
                         [&](InputText& in) { return readCombinationFile(in, loadCaseCount); });
}

CombinationTable readCombinationFile(InputText& in, std::int64_t loadCaseCount) {
    if (loadCaseCount < 0)
        throw fatalStop(
            "Please check number of nodes and loadcases and size of .nds file, they look not "
            "coherent");
    std::vector<double> values = readAllReals(in);
    const std::int64_t count = static_cast<std::int64_t>(values.size());
    if (count < 2) throw fatalStop("Error: at least two values are needed in the stress-history");
    if (loadCaseCount == 0)
        throw fatalStop("Error: at least one load case is needed for the load-case combination");

    CombinationTable table;
    table.loadCaseCount = loadCaseCount;
    table.timePointCount = static_cast<std::int64_t>(
        std::floor(static_cast<double>(count) / static_cast<double>(loadCaseCount)));
    // Keeps the first timePointCount * loadCaseCount values. Should the real
    // quotient ever round up past the file, the missing values read as 0, as
    // reads past the end of a file do.
    values.resize(static_cast<std::size_t>(table.timePointCount) *
                      static_cast<std::size_t>(loadCaseCount),
                  0.0);
    table.factor = std::move(values);
    return table;
}

}  // namespace korvanel
