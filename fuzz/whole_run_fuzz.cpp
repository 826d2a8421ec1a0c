// Fuzz target: a whole run on a job held in a temporary directory.
//
// The input is split at each "#%#%" into korvanel.inp and then, in this
// order, the job files .inp .sig .nds .cmb .blc .mtr .btf of the job that
// korvanel.inp names; a part that is not there leaves its file missing.
// The run's console goes to /dev/null. Every run must end with status 0
// (and a .sum file) or 1; crashes, hangs and sanitizer findings are caught
// by the fuzzer itself.
//
// Two kinds of input are passed over rather than run:
// - a job location that would put files outside the temporary directory
//   (an empty job directory, ".", "..", or a "/" or NUL in either value);
// - a Neuber Linear correction whose sub-step count makes the run
//   effectively endless: the count 1 + floor(length / h) of a segment is
//   what the rules give, so a yield stress a billion times below the
//   stresses means billions of sub-steps per segment (see
//   tests/hostile_inputs.py for the bound this keeps).

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "input/combination_file.hpp"
#include "input/material_file.hpp"
#include "input/node_stress_file.hpp"
#include "input/stress_history_file.hpp"
#include "run/analysis_parameters_file.hpp"
#include "run/run_driver.hpp"
#include "base/text_input.hpp"

using namespace korvanel;
using korvanel::fuzz::require;
namespace fs = std::filesystem;

namespace {

const char* const kExtensions[] = {".inp", ".sig", ".nds", ".cmb", ".blc", ".mtr", ".btf"};
constexpr double kMostSubSteps = 2e7;

struct WorkDirectory {
    fs::path root;

    WorkDirectory() {
        char pattern[] = "/tmp/korvanel-fuzz-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) fuzz::broken("cannot create the work directory");
        root = pattern;
        if (::chdir(pattern) != 0) fuzz::broken("cannot enter the work directory");
        std::atexit([] { removeAll(); });
    }

    void clear() const {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(root, ignored)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
            fs::remove_all(entry.path(), ignored);
        }
    }

    static void removeAll();
};

WorkDirectory& work() {
    static WorkDirectory directory;
    return directory;
}

void WorkDirectory::removeAll() {
    std::error_code ignored;
    fs::remove_all(work().root, ignored);
}

bool writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool staysInside(const std::string& directory, const std::string& name) {
    if (directory.empty() || directory == "." || directory == "..") return false;
    for (const std::string* s : {&directory, &name})
        if (s->find('/') != std::string::npos || s->find('\0') != std::string::npos) return false;
    return true;
}

double largestMagnitude(const std::vector<Stress6>& states) {
    double m = 0.0;
    for (const Stress6& s : states)
        for (int k = 0; k < 6; ++k) m = std::max(m, std::fabs(s[k]));
    return m;
}

// An upper estimate of the sub-steps a Neuber Linear correction would walk,
// from the input files alone; +inf when it cannot be bounded.
double linearSubStepEstimate(const std::string& jobPath, const AnalysisParameters& p) {
    double smallestYield = std::fabs(p.material.yieldStress);
    double stress = 0.0;
    double points = 0.0;
    double nodes = 1.0;
    try {
        if (p.stressInputFormat == StressInputFormat::singleHistory) {
            StressHistoryFile sig = readStressHistoryFile(jobPath + ".sig");
            stress = largestMagnitude(sig.states);
            points = static_cast<double>(sig.states.size());
        } else if (p.stressInputFormat == StressInputFormat::nodeCombination) {
            if (p.materialsMode == MaterialsMode::multiple)
                for (const MaterialRecord& r : readMaterialFile(jobPath + ".mtr"))
                    smallestYield = std::min(smallestYield, std::fabs(r.yieldStress));
            NodeStressTable t = readNodeStressFile(jobPath + ".nds", p.nodeCount, p.loadCaseCount);
            CombinationTable c = readCombinationFile(jobPath + ".cmb", p.loadCaseCount);
            double factorSum = 0.0;
            for (double f : c.factor) factorSum += std::fabs(f);
            stress = std::fabs(p.stressScaleFactor) *
                     (largestMagnitude(t.baseStress) +
                      std::fabs(p.loadCaseScaleFactor) * factorSum * largestMagnitude(t.loadCaseStress));
            points = static_cast<double>(c.timePointCount);
            nodes = static_cast<double>(t.nodeCount);
        } else {
            return 0.0;  // the block correction takes one step per block
        }
    } catch (const FatalStop&) {
        return 0.0;  // the run stops before the correction
    }
    // sqrt(vonMisesSquared(d)) < 8 * max |d_k| and |d_k| <= 2 * stress; the
    // sub-step size halves twice; five passes in each of three attempts.
    const double perSegment = 1.0 + (16.0 * stress) / (smallestYield / 200.0);
    const double estimate = nodes * points * 15.0 * perSegment;
    return std::isnan(estimate) ? INFINITY : estimate;
}

bool endlessCorrection(const std::string& jobPath) {
    try {
        InputText in = openInputText(jobPath + ".inp");
        AnalysisParameters p = readAnalysisParameters(in);
        if (!isOn(p.elastoPlastic) || p.elastoPlasticMethod != CorrectionMethod::neuberLinear) return false;
        return !(linearSubStepEstimate(jobPath, p) <= kMostSubSteps);
    } catch (const FatalStop&) {
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const WorkDirectory& dir = work();
    dir.clear();
    std::vector<std::string_view> parts = fuzz::splitParts(fuzz::asText(data, size), "#%#%");

    // The job location, read as the run will read it.
    InputText control = inputTextFromString("korvanel.inp", std::string(parts[0]));
    const std::string directory = readStringValue(control);
    const std::string name = readStringValue(control);
    if (!staysInside(directory, name)) return 0;

    if (!writeFile("korvanel.inp", parts[0])) return 0;
    ::mkdir(directory.c_str(), 0755);
    const std::string jobPath = directory + "/" + name;
    for (std::size_t i = 1; i < parts.size() && i <= std::size(kExtensions); ++i)
        writeFile(jobPath + kExtensions[i - 1], parts[i]);
    if (endlessCorrection(jobPath)) return 0;

    OutputChannel console;  // no file: the console text stays in memory
    RunOptions options;
    options.threads = 1;
    const int status = runKorvanel(console, options);
    require(status == 0 || status == 1, "exit status other than 0 or 1");
    if (status == 0) {
        struct stat info {};
        require(::stat((jobPath + ".sum").c_str(), &info) == 0, "a normal end without a .sum file");
    }
    return 0;
}
