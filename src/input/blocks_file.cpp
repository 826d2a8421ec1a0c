#include "input/blocks_file.hpp"

#include <cmath>
#include <vector>

#include "base/fatal_stop.hpp"
#include "base/value_warnings.hpp"

namespace korvanel {

BlockSpectrum readBlockSpectrumFile(const std::string& path, std::int64_t loadCaseCount,
                                    InputWarnings* warnings) {
    return readInputFile(path, warnings,
                         [&](InputText& in) { return readBlockSpectrumFile(in, loadCaseCount); });
}

BlockSpectrum readBlockSpectrumFile(InputText& in, std::int64_t loadCaseCount) {
    if (loadCaseCount < 0)
        throw fatalStop(
            "Please check number of nodes and loadcases and size of .nds file, they look not "
            "coherent");
    skipByteOrderMark(in);
    const std::size_t firstValue = in.position();
    const std::vector<double> values = readAllReals(in);
    const std::int64_t count = static_cast<std::int64_t>(values.size());
    // count < 2 * loadCaseCount + 1, written so that a huge count of load
    // cases cannot overflow.
    if (count == 0 || loadCaseCount > (count - 1) / 2)
        throw fatalStop(
            "Error: at least one line with from-to coefficient is needed in the block spectrum",
            in.path() + " holds " + std::to_string(count) + " values; one block of 2 x " +
                std::to_string(loadCaseCount) + " load cases + 1 values is needed");
    const std::int64_t valuesPerBlock = 2 * loadCaseCount + 1;  // at most count
    warnAboutLineShapes(in, firstValue, valuesPerBlock, "block",
                        std::to_string(valuesPerBlock) + " values (from and to of " +
                            std::to_string(loadCaseCount) +
                            (loadCaseCount == 1 ? " load case" : " load cases") + ", then the cycles)");
    const std::int64_t leftOver = count % valuesPerBlock;
    if (leftOver != 0 && in.warnings() != nullptr)
        warn(*in.warnings(), WarningKind::incompleteGroup, [&] {
            return in.path() + ": its " + std::to_string(count) +
                   " values are not a whole number of blocks of " +
                   std::to_string(valuesPerBlock) + " (2 x " + std::to_string(loadCaseCount) +
                   " load cases + 1); the last " + std::to_string(leftOver) +
                   (leftOver == 1 ? " value is" : " values are") + " not used";
        });

    BlockSpectrum spectrum;
    spectrum.loadCaseCount = loadCaseCount;
    spectrum.blockCount = static_cast<std::int64_t>(
        std::floor(static_cast<double>(count) / static_cast<double>(valuesPerBlock)));
    const std::size_t blocks = static_cast<std::size_t>(spectrum.blockCount);
    const std::size_t cases = static_cast<std::size_t>(loadCaseCount);
    spectrum.blockFrom.reserve(blocks * cases);
    spectrum.blockTo.reserve(blocks * cases);
    spectrum.blockCycles.reserve(blocks);
    // Reads past the values of the file, should the real quotient ever round
    // up, give 0 as reads past the end of a file do.
    std::size_t next = 0;
    auto nextValue = [&]() { return next < values.size() ? values[next++] : 0.0; };
    for (std::size_t b = 0; b < blocks; ++b) {
        for (std::size_t lc = 0; lc < cases; ++lc) {
            spectrum.blockFrom.push_back(nextValue());
            spectrum.blockTo.push_back(nextValue());
        }
        spectrum.blockCycles.push_back(nextValue());
    }
    return spectrum;
}

}  // namespace korvanel
