#include "run/analysis_parameters_file.hpp"

#include "base/fatal_stop.hpp"

namespace korvanel {
namespace {

void skipComments(InputText& in, int lines) {
    for (int i = 0; i < lines; ++i) readWholeLine(in);
}

}  // namespace

AnalysisParameters readAnalysisParameters(InputText& in) {
    AnalysisParameters p;
    MaterialValues& m = p.material;

    skipComments(in, 1);
    m.yieldStress = readReal(in);
    m.youngsModulus = readReal(in);
    m.staticStrength = readReal(in);
    m.strainAtFailurePercent = readReal(in);
    skipComments(in, 1);
    p.elastoPlastic = Switch{readInteger(in)};
    skipComments(in, 1);
    p.elastoPlasticMethod = CorrectionMethod{readInteger(in)};
    skipComments(in, 1);
    p.stressPathCorrection = Switch{readInteger(in)};
    skipComments(in, 1);
    m.snCurveType = SnCurveType{readInteger(in)};
    skipComments(in, 2);
    m.palmgrenL1 = readReal(in);
    m.palmgrenP = readReal(in);
    m.palmgrenC = readReal(in);
    m.enduranceLimit = readReal(in);
    skipComments(in, 2);
    m.weibullSainf = readReal(in);
    m.weibullSault = readReal(in);
    m.weibullAlfa = readReal(in);
    m.weibullBeta = readReal(in);
    skipComments(in, 2);
    p.multilinearReal = readReal(in);
    for (auto& value : p.multilinearInts) value = readInteger(in);
    skipComments(in, 1);
    m.goodmanExponent = readReal(in);
    m.goodmanMethod = GoodmanMethod{readInteger(in)};
    m.goodmanSmMax = readReal(in);
    skipComments(in, 1);
    p.stressInputFormat = StressInputFormat{readInteger(in)};
    skipComments(in, 1);
    p.stressScaleFactor = readReal(in);
    p.loadCaseScaleFactor = readReal(in);
    skipComments(in, 1);
    p.completeOutputNode = readInteger(in);
    skipComments(in, 1);
    p.materialsMode = MaterialsMode{readInteger(in)};
    skipComments(in, 1);
    p.nodeCount = readInteger(in);
    p.loadCaseCount = readInteger(in);
    skipComments(in, 1);
    p.loadVariabilityFactor = readReal(in);
    skipComments(in, 1);
    p.groundAirGround = Switch{readInteger(in)};
    skipComments(in, 1);
    p.cyclesExtraction = Switch{readInteger(in)};
    skipComments(in, 1);
    p.blocksDamageType = BlocksDamageType{readInteger(in)};
    skipComments(in, 1);
    p.lifeUnitsPerRepeat = readReal(in);
    return p;
}

void checkAnalysisParameters(const AnalysisParameters& p) {
    auto oneOf = [](auto mode, std::int64_t low, std::int64_t high) {
        return fileNumber(mode) >= low && fileNumber(mode) <= high;
    };
    if (!oneOf(p.blocksDamageType, 0, 2))
        throw fatalStop("Please put 0, 1 or 2 for type of damage in the Blocks analysis");
    if (!oneOf(p.cyclesExtraction, 0, 1))
        throw fatalStop("Please put 0 or 1 for the cycles extraction");
    if (p.loadVariabilityFactor < 0.0)
        throw fatalStop("The Load Variability Factor must be > 0");
    if (!oneOf(p.groundAirGround, 0, 1))
        throw fatalStop("Please put 0 or 1 for the Ground-Air-Ground analysis");
    if (!oneOf(p.stressPathCorrection, 0, 1))
        throw fatalStop("Please put 0 or 1 for the stress-path based correction");
    if (!oneOf(p.elastoPlasticMethod, 1, 2))
        throw fatalStop("Please put 1 or 2 for the method of elastoplastic correction");
    if (!oneOf(p.materialsMode, 1, 2))
        throw fatalStop("Please put 1 or 2 for analysis with one or multiple materials");
    if (!oneOf(p.material.goodmanMethod, 1, 3))
        throw fatalStop("Please put 1, 2 or 3 for the method of mean-stress correction");
    if (!oneOf(p.elastoPlastic, 0, 1))
        throw fatalStop("Please put 0 or 1 concerning the elasto-plastic correction");
    if (!oneOf(p.stressInputFormat, 1, 3))
        throw fatalStop("Please put 1, 2 or 3 concerning the choice of the stress-input format");
}

}  // namespace korvanel
