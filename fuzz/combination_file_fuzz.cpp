// Fuzz target: the load-case combination file reader (.cmb). The first
// line of the input holds the load-case count; the rest is the file.

#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "input/combination_file.hpp"

using namespace korvanel;
using korvanel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text = fuzz::asText(data, size);
    std::string_view header = fuzz::takeHeaderLine(text);
    const std::int64_t loadCaseCount = fuzz::nextHeaderNumber(header);
    InputText in = inputTextFromString("job/j.cmb", std::string(text));
    try {
        CombinationTable t = readCombinationFile(in, loadCaseCount);
        require(loadCaseCount > 0, "combination without load cases accepted");
        require(t.loadCaseCount == loadCaseCount, "load-case count kept");
        // More load cases than values gives no time point; the node loop then
        // stops on the empty history.
        require(t.timePointCount >= 0, "negative time-point count");
        require(static_cast<std::uint64_t>(t.timePointCount) * static_cast<std::uint64_t>(loadCaseCount) ==
                    t.factor.size(),
                "factor table size");
    } catch (const FatalStop& stop) {
        fuzz::checkStop(stop);
    }
    return 0;
}
