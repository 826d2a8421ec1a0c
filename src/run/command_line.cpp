#include "run/command_line.hpp"

#include <charconv>

namespace korvanel {
namespace {

constexpr int kMostThreads = 4096;

bool parseThreadCount(const std::string& text, CommandLine& line) {
    int value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
    if (value < 1 || value > kMostThreads) return false;
    line.run.threads = value;
    line.threadsGiven = true;
    return true;
}

CommandLine usageError(CommandLine line, std::string problem) {
    line.action = CommandLine::Action::usageError;
    line.problem = std::move(problem);
    return line;
}

std::string badThreadCount(const std::string& got) {
    return "--threads needs a whole number from 1 to " + std::to_string(kMostThreads) + ", got " +
           (got.empty() ? std::string("nothing") : "'" + got + "'");
}

// A node ID as the .nds has it (any 64-bit integer), or "worst".
bool parseDetailNode(const std::string& text, DetailNodeChoice& choice) {
    if (text == "worst") {
        choice = {DetailNodeChoice::Kind::worst, 0};
        return true;
    }
    std::int64_t id = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), id);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
        return false;
    choice = {DetailNodeChoice::Kind::nodeId, id};
    return true;
}

std::string badDetailNode(const std::string& got) {
    return "--detail-node needs a node ID (a whole number) or 'worst', got " +
           (got.empty() ? std::string("nothing") : "'" + got + "'");
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
        } else if (a == "--check") {
            line.run.check = true;
        } else if (a == "--strict") {
            line.run.strict = true;
        } else if (a == "--allow-unloaded-nodes") {
            line.run.allowUnloadedNodes = true;
        } else if (a == "--no-damage-screen") {
            line.run.damageScreen = false;
        } else if (a == "--count-screened-nodes") {
            line.run.countScreenedNodes = true;
        } else if (a == "--threads") {
            const std::string value = i + 1 < arguments.size() ? arguments[++i] : "";
            if (!parseThreadCount(value, line)) return usageError(line, badThreadCount(value));
        } else if (a == "--detail-node") {
            const std::string value = i + 1 < arguments.size() ? arguments[++i] : "";
            if (!parseDetailNode(value, line.run.detailNode))
                return usageError(line, badDetailNode(value));
        } else if (a.rfind("--detail-node=", 0) == 0) {
            if (!parseDetailNode(a.substr(14), line.run.detailNode))
                return usageError(line, badDetailNode(a.substr(14)));
        } else if (a.rfind("--threads=", 0) == 0) {
            if (!parseThreadCount(a.substr(10), line))
                return usageError(line, badThreadCount(a.substr(10)));
        } else if (!a.empty() && a[0] == '-') {
            return usageError(line, "unknown option '" + a + "'");
        } else {
            return usageError(line, "unexpected argument '" + a +
                                        "': the job is named by korvanel.inp in the working "
                                        "directory");
        }
    }
    return line;
}

std::string usageText(const std::string& userGuide) {
    std::string text =
        "usage: korvanel [--threads N] [--check] [--strict] [--allow-unloaded-nodes]\r\n"
        "                [--detail-node ID|worst] [--no-damage-screen] [--count-screened-nodes]\r\n"
        "                [--version] [--help]\r\n"
        "Runs the fatigue analysis of the job named by korvanel.inp in the working directory.\r\n"
        "  --threads N  analyse the nodes on N threads (1 to 4096; default: one per processor\r\n"
        "               that the run may use); the results do not depend on N\r\n"
        "  --check      read and check the job as a run does, analyse nothing, write no\r\n"
        "               file, and show what was read; exit status 1 when the run would stop\r\n"
        "  --strict     make the first warning a fatal stop\r\n"
        "  --allow-unloaded-nodes\r\n"
        "               format 2: a node whose stress path is constant gets no damage\r\n"
        "               instead of stopping the run with Runtime Error Code 018\r\n"
        "  --detail-node ID|worst\r\n"
        "               formats 2 and 3: write the detail files (.cyc, .cif, .sep) for the\r\n"
        "               node ID, or for the most damaged node, instead of the parameter\r\n"
        "               file's complete-output node\r\n"
        "  --no-damage-screen\r\n"
        "               format 2: give every node the whole half-cycle analysis, also the\r\n"
        "               nodes the screen proves to take no damage (the results are the same)\r\n"
        "  --count-screened-nodes\r\n"
        "               write to standard error how many nodes the screen passed\r\n"
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
