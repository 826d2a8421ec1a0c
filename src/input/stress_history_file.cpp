#include "input/stress_history_file.hpp"

#include "base/fatal_stop.hpp"
#include "base/large_tables.hpp"

namespace korvanel {

StressHistoryFile readStressHistoryFile(const std::string& path) {
    return readInputFile(path, [&](InputText& in) { return readStressHistoryFile(in); });
}

StressHistoryFile readStressHistoryFile(InputText& in) {
    StressHistoryFile file;
    // About eight bytes per value; the table grows past this guess if needed.
    reserveLargeTableForGuess(file.states, in.size() / 48 + 1);
    while (!atEnd(in)) {
        Stress6 state;
        for (int k = 0; k < 6; ++k) state[k] = readReal(in);
        file.states.push_back(state);
    }
    if (file.states.size() < 2)
        throw fatalStop("At least two values are needed in the stress-history");
    return file;
}

}  // namespace korvanel
