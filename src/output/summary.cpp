#include "output/summary.hpp"
#include "model/fixed_settings.hpp"

namespace korvanel {

namespace {

constexpr std::string_view title = config::kVersionTitle;

void labelledReal(OutputChannel& ch, std::string_view label, double value) {
    putText(ch, label);
    putZone(ch);
    putDouble(ch, value);
    putLineEnd(ch);
}

void labelledInteger(OutputChannel& ch, std::string_view label, std::int64_t value) {
    putText(ch, label);
    putZone(ch);
    putInteger(ch, value);
    putLineEnd(ch);
}

// "<label>", zone, node ID, zone, "<verb>", zone, value.
void nodeValueLine(OutputChannel& ch, std::string_view label, std::int64_t nodeId,
                   std::string_view verb, double value) {
    putText(ch, label);
    putZone(ch);
    putInteger(ch, nodeId);
    putZone(ch);
    putText(ch, verb);
    putZone(ch);
    putDouble(ch, value);
    putLineEnd(ch);
}

void writeMaterialBlock(OutputChannel& ch, const MaterialValues& m) {
    putTextLine(ch, "The following parameters define the elasto-plastic behavior of the material:");
    labelledReal(ch, "Yielding stress ", m.yieldStress);
    labelledReal(ch, "Young's modulus ", m.youngsModulus);
    labelledReal(ch, "Static strength ", m.staticStrength);
    labelledReal(ch, "Total strain at failure (%)", m.strainAtFailurePercent);
}

void writeCorrectionLine(OutputChannel& ch, const AnalysisParameters& p) {
    if (!isOn(p.elastoPlastic))
        putTextLine(ch, "Analysis performed without elasto-plastic correction");
    else if (p.elastoPlasticMethod == CorrectionMethod::neuberLinear)
        putTextLine(ch, "The elasto-plastic correction with Neuber Linear has been applied");
    else
        putTextLine(ch, "The elasto-plastic correction with Neuber Non-Linear has been applied");
}

void writeCurveBlock(OutputChannel& ch, const MaterialValues& m) {
    putTextLine(ch, " ");
    putTextLine(ch,
                "The following unique set of material properties has been used for the analysis:");
    if (m.snCurveType == SnCurveType::palmgren) {
        putTextLine(ch,
                    "The S-N curve format is the Palmgren's equation, with the following parameters:");
        labelledReal(ch, "L1 = ", m.palmgrenL1);
        labelledReal(ch, "p = ", m.palmgrenP);
        labelledReal(ch, "C = ", m.palmgrenC);
        labelledReal(ch, "Endurance limit = ", m.enduranceLimit);
    } else if (m.snCurveType == SnCurveType::weibull) {
        putTextLine(ch,
                    "The S-N curve format is the Weibull's equation, with the following parameters:");
        labelledReal(ch, "Sainf = ", m.weibullSainf);
        labelledReal(ch, "Sault = ", m.weibullSault);
        labelledReal(ch, "alfa = ", m.weibullAlfa);
        labelledReal(ch, "beta = ", m.weibullBeta);
    }
    putTextLine(ch, "Parameters for the mean-stress correction:");
    labelledReal(ch, "Goodman exponent", m.goodmanExponent);
    labelledInteger(ch, "Goodman method", fileNumber(m.goodmanMethod));
    labelledReal(ch, "Goodman SmMAX   ", m.goodmanSmMax);
}

// Material block, correction line and curve block; the material data are
// only shown when one material serves every node.
void writeAnalysisSetup(OutputChannel& ch, const AnalysisParameters& p) {
    const bool oneMaterial = p.materialsMode == MaterialsMode::one;
    if (oneMaterial) writeMaterialBlock(ch, p.material);
    writeCorrectionLine(ch, p);
    if (oneMaterial) writeCurveBlock(ch, p.material);
}

void writeResult(OutputChannel& ch, const AnalysisParameters& p, const SingleHistoryResult& history) {
    if (history.lastStaticType != StaticFailureCode::none)
        putTextLine(ch, "Static Failure occurred, see file .cyc for details");
    // A damage at the floor itself also reads "< 1e-18", as it always has.
    if (history.totalDamage <= config::kDamageFloor) {
        putTextLine(ch, "Total damage is < 1e-18");
        putTextLine(ch, "Number of Life Repeats is > 1e18");
        return;
    }
    labelledReal(ch, "Total damage is equal to", history.totalDamage);
    const double lifeRepeats = 1.0 / history.totalDamage;
    labelledReal(ch, "Number of Life Repeats", lifeRepeats);
    labelledReal(ch, "Total Fatigue Life", p.lifeUnitsPerRepeat * lifeRepeats);
}

void writeResult(OutputChannel& ch, const AnalysisParameters& p, const ModelResult& d) {
    const MaxDamageNode& maxNode = d.maxDamageNode;
    const std::int64_t node = maxNode.nodeId;

    putTextLine(ch, " ");
    labelledInteger(ch, "Number of nodes ", p.nodeCount);
    labelledInteger(ch, "Number of load cases ", p.loadCaseCount);
    if (d.steps == ModelResult::Steps::timePoints)
        labelledInteger(ch, "Number of time points ", d.stepCount);
    else
        labelledInteger(ch, "Number of blocks ", d.stepCount);
    if (!d.detailNodeLine.empty()) putTextLine(ch, d.detailNodeLine);
    putTextLine(ch, "For the damage summary on all the nodes see file .ndd");
    if (d.staticFailureAtSomeNode)
        putTextLine(ch,
                    "Static Failure occurred at least at one node, see file .ndd for the details at the nodes");
    labelledInteger(ch, "Max damage is at node ", node);
    nodeValueLine(ch, "Damage at node ", node, "is = ", maxNode.damage);
    nodeValueLine(ch, "Life Repeats at node ", node, "are = ", maxNode.lifeRepeats);
    nodeValueLine(ch, "Total Fatigue Life at node ", node, "is = ",
                  p.lifeUnitsPerRepeat * maxNode.lifeRepeats);
    switch (maxNode.staticFailureCode) {
        case StaticFailureCode::type1:
            labelledInteger(ch, "Static failure of type 1 occurred at node ", node);
            break;
        case StaticFailureCode::type2:
            labelledInteger(ch, "Static failure of type 2 occurred at node ", node);
            break;
        case StaticFailureCode::both:
            labelledInteger(ch, "Static failures of both type 1 and 2 occurred at node ", node);
            break;
        default: break;
    }
}

void writeResult(OutputChannel& ch, const SummaryData& d) {
    std::visit([&](const auto& result) { writeResult(ch, d.parameters, result); }, d.result);
}

}  // namespace

void writeSummaryFile(OutputChannel& file, const SummaryData& d) {
    putTextLine(file, title);
    putTextLine(file, " ");  // only the .sum has this line of one blank; the console never had it
    writeAnalysisSetup(file, d.parameters);
    writeResult(file, d);
}

void writeSummaryFile(const std::string& path, const SummaryData& d, char decimalSeparator) {
    writeOutputFile(path, decimalSeparator, [&](OutputChannel& file) { writeSummaryFile(file, d); });
}

void writeConsoleSummary(OutputChannel& console, const SummaryData& d) {
    putTextLine(console, title);
    writeAnalysisSetup(console, d.parameters);
    writeResult(console, d);
    const auto* model = std::get_if<ModelResult>(&d.result);
    if (model != nullptr && !model->completeOutputNodeFound) {
        // Worded unlike the .cyc's line (writeMissingNodeLine), as it always has been.
        putText(console,
                "The node where complete output was requested looks not existing! please chek node ID: ");
        putZone(console);
        putInteger(console, d.parameters.completeOutputNode);
        putLineEnd(console);
    }
}

}  // namespace korvanel
