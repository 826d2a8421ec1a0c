#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "run/command_line.hpp"
#include "run/run_driver.hpp"
#include "run/run_environment.hpp"
#include "model/fixed_settings.hpp"

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
            std::fputs(("korvanel: " + line.problem + "\r\n").c_str(), stderr);
            std::fputs(korvanel::usageText().c_str(), stderr);
            return 2;
        case CommandLine::Action::run:
            break;
    }
    // On a terminal each line shows as soon as it is written.
    if (::isatty(STDOUT_FILENO) == 1) std::setvbuf(stdout, nullptr, _IOLBF, 0);
    korvanel::RunOptions options;
    options.threads = line.threads > 0 ? line.threads
                                       : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    options.check = line.check;
    options.strict = line.strict;
    options.allowUnloadedNodes = line.allowUnloadedNodes;
    korvanel::OutputChannel console = korvanel::consoleChannel(korvanel::localeDecimalSeparator());
    return korvanel::runKorvanel(console, options);
}
