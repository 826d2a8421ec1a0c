#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "run/command_line.hpp"
#include "run/run_driver.hpp"
#include "run/run_environment.hpp"
#include "model/fixed_settings.hpp"
#ifdef KORVANEL_MPI
#include "run/distributed_run.hpp"
#endif

int main(int argc, char** argv) {
    using korvanel::CommandLine;
    const CommandLine line = korvanel::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.action) {
        case CommandLine::Action::showVersion:
            std::fputs((std::string(korvanel::config::kVersionTitle) + "\r\n").c_str(), stdout);
            return 0;
        case CommandLine::Action::showHelp:
            std::fputs(korvanel::usageText().c_str(), stdout);
            return 0;
        case CommandLine::Action::usageError:
            std::fputs(korvanel::usageText().c_str(), stderr);
            return 2;
        case CommandLine::Action::run:
            break;
    }
    korvanel::RunOptions options;
    options.threads = line.threads > 0 ? line.threads
                                       : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    korvanel::OutputChannel console = korvanel::consoleChannel(korvanel::localeDecimalSeparator());
#ifdef KORVANEL_MPI
    // One run of the job on every process started with this one (mpirun).
    return korvanel::runKorvanelOnProcesses(console, options, line.threads > 0);
#else
    return korvanel::runKorvanel(console, options);
#endif
}
