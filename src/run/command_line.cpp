#include "run/command_line.hpp"

#include <charconv>

namespace korvanel {
namespace {

constexpr int kMostThreads = 4096;

bool parseThreadCount(const std::string& text, int& threads) {
    int value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
    if (value < 1 || value > kMostThreads) return false;
    threads = value;
    return true;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--version") {
            line.action = CommandLine::Action::showVersion;
        } else if (a == "--help" || a == "-h") {
            line.action = CommandLine::Action::showHelp;
        } else if (a == "--threads" && i + 1 < arguments.size() &&
                   parseThreadCount(arguments[i + 1], line.threads)) {
            ++i;
        } else if (a.rfind("--threads=", 0) == 0 && parseThreadCount(a.substr(10), line.threads)) {
        } else {
            line.action = CommandLine::Action::usageError;
            return line;
        }
    }
    return line;
}

std::string usageText(const std::string& userGuide) {
    std::string text =
        "usage: korvanel [--threads N] [--version] [--help]\r\n"
        "Runs the fatigue analysis of the job named by korvanel.inp in the working directory.\r\n"
        "  --threads N  analyse the nodes on N threads (default: one per processor that the\r\n"
        "               run may use); the results do not depend on N\r\n"
        "  --version    show the version and stop\r\n"
        "  --help       show this text and stop\r\n"
        "Exit status: 0 after a normal end, 1 when the run stops on an error (the message\r\n"
        "is also written to korvanel.adv), 2 for a wrong command line, 128 + N when signal\r\n"
        "N (SIGINT, SIGTERM, SIGHUP) interrupted the run.\r\n";
    if (userGuide.empty()) {
        text += "User guide: docs/README.md in the korvanel sources; installed with the program\r\n"
                "under <prefix>/share/doc/korvanel/ (first-job.md: a first job step by step).\r\n";
    } else {
        text += "User guide: " + userGuide + "\r\n"
                "First job, step by step: first-job.md beside it.\r\n";
    }
    return text;
}

}  // namespace korvanel
