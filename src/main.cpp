#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/signal_guard.hpp"
#include "base/standard_error_text.hpp"
#include "run/available_cpus.hpp"
#include "run/command_line.hpp"
#include "run/run_driver.hpp"
#include "run/run_environment.hpp"
#include "run/simd_choice.hpp"
#include "run/user_guide.hpp"
#include "model/fixed_settings.hpp"
#include "run/process_group.hpp"

namespace {

// Text for standard output outside a run (--version, --help): a write that
// fails (a full disk, /dev/full) fails the command.
int printOrFail(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    const int error = errno;
    std::fputs(("korvanel: standard output: " + std::string(std::strerror(error)) + "\r\n").c_str(),
               stderr);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using korvanel::CommandLine;
    // The one reading of KORVANEL_SIMD; the level is passed down from here.
    const korvanel::SimdChoice simd = korvanel::chooseSimdLevel(std::getenv("KORVANEL_SIMD"));
    if (!simd.problem.empty()) {
        std::fputs((simd.problem + "\r\n").c_str(), stderr);
        return 2;
    }
    const CommandLine line = korvanel::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    // KORVANEL_GUIDE_FROM_BINDIR: where the installation puts the user guide,
    // relative to the program's directory (set by the build).
    const auto usage = [] { return korvanel::usageText(korvanel::installedUserGuide(KORVANEL_GUIDE_FROM_BINDIR)); };
    switch (line.action) {
        case CommandLine::Action::showVersion:
            return printOrFail(std::string(korvanel::config::kVersionTitle) + "\r\n");
        case CommandLine::Action::showHelp:
            return printOrFail(usage());
        case CommandLine::Action::usageError:
            std::fputs(("korvanel: " + korvanel::escapedControlCharacters(line.problem) + "\r\n").c_str(),
                       stderr);
            std::fputs(usage().c_str(), stderr);
            return 2;
        case CommandLine::Action::run:
            break;
    }
    korvanel::installSignalHandlers();
    korvanel::RunOptions options = line.run;
    options.simd = simd.level;
    if (!line.threadsGiven) options.threads = korvanel::availableCpuCount();
    korvanel::OutputChannel console = korvanel::OutputChannel::console(korvanel::localeDecimalSeparator());
    // One run of the job on every process started with this one (mpirun).
    return korvanel::runKorvanelOnProcesses(console, options, line.threadsGiven);
}
