// Fuzz target: the stress-history file reader (.sig).

#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "input/stress_history_file.hpp"

using namespace korvanel;
using korvanel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InputText in = inputTextFromString("job/j.sig", std::string(fuzz::asText(data, size)));
    try {
        StressHistoryFile file = readStressHistoryFile(in);
        require(file.states.size() >= 2, "fewer than two time points accepted");
        require(file.states.size() <= size / 2 + 1, "more time points than the file holds");
    } catch (const FatalStop& stop) {
        fuzz::checkStop(stop);
    }
    return 0;
}
