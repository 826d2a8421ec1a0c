// Fuzz target: the block spectrum file reader (.blc). The first line of
// the input holds the load-case count; the rest is the file.

#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "input/blocks_file.hpp"

using namespace korvanel;
using korvanel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text = fuzz::asText(data, size);
    std::string_view header = fuzz::takeHeaderLine(text);
    const std::int64_t loadCaseCount = fuzz::nextHeaderNumber(header);
    InputText in = inputTextFromString("job/j.blc", std::string(text));
    try {
        BlockSpectrum s = readBlockSpectrumFile(in, loadCaseCount);
        require(loadCaseCount >= 0, "negative load-case count accepted");
        require(s.blockCount >= 1, "spectrum without a block");
        const auto blocks = static_cast<std::uint64_t>(s.blockCount);
        const auto cases = static_cast<std::uint64_t>(loadCaseCount);
        require(s.blockFrom.size() == blocks * cases && s.blockTo.size() == blocks * cases,
                "from/to table size");
        require(s.blockCycles.size() == blocks, "cycle table size");
    } catch (const FatalStop& stop) {
        fuzz::checkStop(stop);
    }
    return 0;
}
