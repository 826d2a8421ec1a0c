#include "input/combination_file.hpp"

#include <cmath>
#include <utility>
#include <vector>

#include "base/fatal_stop.hpp"
#include "base/value_warnings.hpp"

namespace korvanel {

CombinationTable readCombinationFile(const std::string& path, std::int64_t loadCaseCount,
                                     InputWarnings* warnings) {
    return readInputFile(path, warnings,
                         [&](InputText& in) { return readCombinationFile(in, loadCaseCount); });
}

CombinationTable readCombinationFile(InputText& in, std::int64_t loadCaseCount) {
    if (loadCaseCount < 0)
        throw fatalStop(
            "Please check number of nodes and loadcases and size of .nds file, they look not "
            "coherent");
    skipByteOrderMark(in);
    const std::size_t firstValue = in.position();
    std::vector<double> values = readAllReals(in);
    const std::int64_t count = static_cast<std::int64_t>(values.size());
    if (count < 2)
        throw fatalStop("Error: at least two values are needed in the stress-history",
                        in.path() + " holds " + (count == 1 ? "one value" : "no value") +
                            "; the load-case combination needs at least 2");
    if (loadCaseCount == 0)
        throw fatalStop("Error: at least one load case is needed for the load-case combination",
                        "record 14 of the parameter file gives 0 load cases");
    warnAboutLineShapes(in, firstValue, loadCaseCount, "time point",
                        std::to_string(loadCaseCount) +
                            (loadCaseCount == 1 ? " load-case factor" : " load-case factors"));
    const std::int64_t leftOver = count % loadCaseCount;
    if (leftOver != 0 && in.warnings() != nullptr)
        warn(*in.warnings(), WarningKind::incompleteGroup, [&] {
            return in.path() + ": its " + std::to_string(count) +
                   " values are not a whole number of time points of " +
                   std::to_string(loadCaseCount) + " load-case factors; the last " +
                   std::to_string(leftOver) + (leftOver == 1 ? " value is" : " values are") +
                   " not used";
        });

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
