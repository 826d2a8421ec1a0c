#include "input/stress_history_file.hpp"

#include "base/fatal_stop.hpp"
#include "base/large_tables.hpp"
#include "base/signal_guard.hpp"
#include "base/value_warnings.hpp"

namespace korvanel {

StressHistoryFile readStressHistoryFile(const std::string& path, InputWarnings* warnings) {
    return readInputFile(path, warnings, [&](InputText& in) { return readStressHistoryFile(in); });
}

StressHistoryFile readStressHistoryFile(InputText& in) {
    skipByteOrderMark(in);
    const std::size_t firstValue = in.position();
    StressHistoryFile file;
    // About eight bytes per value; the table grows past this guess if needed.
    reserveLargeTableForGuess(file.states, in.size() / 48 + 1);
    std::size_t lastGroupStart = in.position();
    while (!atEnd(in)) {
        lastGroupStart = in.position();
        Stress6 state;
        for (int k = 0; k < 6; ++k) state[k] = readReal(in);
        file.states.push_back(state);
        stopIfInterruptedAtStep(file.states.size());
    }
    const auto groups = static_cast<std::int64_t>(file.states.size());
    warnIfLastGroupShort(in, lastGroupStart, groups, 6, "time point");
    if (groups < 2)
        throw fatalStop("At least two values are needed in the stress-history",
                        in.path() + " holds " + std::to_string(countValuesFrom(in, firstValue)) +
                            " values, " + (groups == 1 ? "one time point" : "no time point") +
                            " of 6 values; a history needs at least 2");
    return file;
}

}  // namespace korvanel
