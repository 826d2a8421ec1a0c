#include "model/analysis_modes.hpp"

namespace korvanel {

const char* toString(StressInputFormat format) {
    switch (format) {
        case StressInputFormat::singleHistory: return "single stress history";
        case StressInputFormat::nodeCombination: return "node stresses with load-case combination";
        case StressInputFormat::blockSpectrum: return "node stresses with block spectrum";
    }
    return "unknown stress-input format";
}

const char* toString(SnCurveType type) {
    switch (type) {
        case SnCurveType::palmgren: return "Palmgren";
        case SnCurveType::weibull: return "Weibull";
        case SnCurveType::multilinear: return "multilinear";
    }
    return "unknown S-N curve type";
}

const char* toString(StaticFailureCode code) {
    switch (code) {
        case StaticFailureCode::none: return "none";
        case StaticFailureCode::type1: return "type 1";
        case StaticFailureCode::type2: return "type 2";
        case StaticFailureCode::both: return "types 1 and 2";
    }
    return "unknown static failure";
}

}  // namespace korvanel
