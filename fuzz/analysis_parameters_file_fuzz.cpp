// Fuzz target: the analysis parameter file reader (.inp) and its checks.

#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "run/analysis_parameters_file.hpp"

using namespace korvanel;
using korvanel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InputText in = inputTextFromString("job/j.inp", std::string(fuzz::asText(data, size)));
    try {
        AnalysisParameters p = readAnalysisParameters(in);
        checkAnalysisParameters(p);
        // What the checks let through.
        require(fileNumber(p.stressInputFormat) >= 1 && fileNumber(p.stressInputFormat) <= 3, "format passed the checks");
        require(fileNumber(p.materialsMode) == 1 || fileNumber(p.materialsMode) == 2, "materials mode passed the checks");
        require(fileNumber(p.elastoPlasticMethod) == 1 || fileNumber(p.elastoPlasticMethod) == 2, "method passed the checks");
        require(fileNumber(p.blocksDamageType) >= 0 && fileNumber(p.blocksDamageType) <= 2, "blocks type passed the checks");
        require(!(p.loadVariabilityFactor < 0.0), "negative load variability factor passed");
    } catch (const FatalStop& stop) {
        fuzz::checkStop(stop);
    }
    return 0;
}
