#include "output/cycle_detail_files.hpp"

#include <cmath>
#include <cstdio>
#include <limits>

#include "base/fatal_stop.hpp"
#include "base/text_output.hpp"
#include "model/fixed_settings.hpp"

namespace korvanel {

namespace {

double amplitudeOf(const HalfCycle& halfCycle) { return std::sqrt(halfCycle.rangeSquared) / 2.0; }

// Listed when the damage accumulation counts it: above the amplitude gate.
bool isListed(const HalfCycle& halfCycle) { return amplitudeOf(halfCycle) > config::kAmplitudeGate; }

}  // namespace

std::string listedCycleCount(double cycles) {
    if (!std::isfinite(cycles)) return printForm(cycles);
    // x - floor(x) is exact for every double, so the tie test is exact too.
    double rounded = std::floor(cycles);
    const double fraction = cycles - rounded;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) rounded += 1.0;
    constexpr double twoTo63 = 9223372036854775808.0;
    if (rounded >= -twoTo63 && rounded < twoTo63) return printForm(static_cast<std::int64_t>(rounded));
    // Doubles this large are whole numbers: all their digits, exactly.
    char digits[400];
    std::snprintf(digits, sizeof digits, rounded < 0 ? "%.0f" : " %.0f", rounded);
    return digits;
}

void writeHalfCycleFile(OutputChannel& file, std::span<const HalfCycle> halfCycles,
                        std::span<const double> halfCycleDamage,
                        std::span<const std::int8_t> staticFailureFlag,
                        const std::int64_t* nodeIdColumn) {
    putTextLine(file, " Fatigue half-cycles");
    if (nodeIdColumn == nullptr)
        putText(file, " Mean Stress  Amplitude     Damage        Static Failure");
    else
        putText(file, " Node ID       Mean Stress  Amplitude     Damage        Static Failure");
    putLineEnd(file);

    for (std::size_t j = 0; j < halfCycles.size(); ++j) {
        const HalfCycle& halfCycle = halfCycles[j];
        if (!isListed(halfCycle)) continue;
        if (nodeIdColumn != nullptr) {
            putInteger(file, *nodeIdColumn);
            putZone(file);
        }
        putFormatted(file, halfCycle.meanIntegral);
        putZone(file);
        putFormatted(file, amplitudeOf(halfCycle));
        putZone(file);
        putFormatted(file, halfCycleDamage[j] / 2.0);
        putZone(file);
        putInteger(file, staticFailureFlag[j]);
        putLineEnd(file);
        file.flushIfLarge();
    }
}

void writeHalfCycleFile(const std::string& path, std::span<const HalfCycle> halfCycles,
                        std::span<const double> halfCycleDamage,
                        std::span<const std::int8_t> staticFailureFlag,
                        const std::int64_t* nodeIdColumn, char decimalSeparator) {
    writeOutputFile(path, decimalSeparator, [&](OutputChannel& file) {
        writeHalfCycleFile(file, halfCycles, halfCycleDamage, staticFailureFlag, nodeIdColumn);
    });
}

void writeHalfCycleEndsFile(OutputChannel& file, std::span<const HalfCycle> halfCycles) {
    putTextLine(file, " Fatigue half-cycles");
    putTextLine(file, " sigA(1,...,6)  ,  sigB(1,...,6)  ");

    for (const HalfCycle& halfCycle : halfCycles) {
        if (!isListed(halfCycle)) continue;
        for (int k = 0; k < 6; ++k) {
            putFormatted(file, halfCycle.sigA[k]);
            putZone(file);
        }
        for (int k = 0; k < 6; ++k) {
            putFormatted(file, halfCycle.sigB[k]);
            if (k < 5) putZone(file);
        }
        putLineEnd(file);
        file.flushIfLarge();
    }
}

void writeHalfCycleEndsFile(const std::string& path, std::span<const HalfCycle> halfCycles,
                            char decimalSeparator) {
    writeOutputFile(path, decimalSeparator,
                    [&](OutputChannel& file) { writeHalfCycleEndsFile(file, halfCycles); });
}

bool writeBlockCycleFile(OutputChannel& file, std::int64_t completeOutputNode,
                         std::span<const double> mean, std::span<const double> amplitude,
                         std::span<const double> blockCycles,
                         std::span<const double> damageOfOneCycle,
                         std::span<const std::int8_t> staticFailureFlag) {
    putTextLine(file, " Fatigue cycles");
    putText(file,
            " Node ID       Mean Stress  Amplitude      No. of cycles              "
            "Damage of 1 cycle        Static Failure");
    putLineEnd(file);

    for (std::size_t b = 0; b < mean.size(); ++b) {
        if (staticFailureFlag[b] > 2) return false;
        putInteger(file, completeOutputNode);
        putZone(file);
        putFormatted(file, mean[b]);
        putZone(file);
        putFormatted(file, amplitude[b]);
        putZone(file);
        putText(file, listedCycleCount(blockCycles[b]));
        putZone(file);
        putText(file, "  ");
        putZone(file);
        putFormatted(file, damageOfOneCycle[b]);
        putZone(file);
        putText(file, "  ");
        putZone(file);
        putInteger(file, staticFailureFlag[b]);
        putLineEnd(file);
        file.flushIfLarge();
    }
    return true;
}

void writeBlockCycleFile(const std::string& path, std::int64_t completeOutputNode,
                         std::span<const double> mean, std::span<const double> amplitude,
                         std::span<const double> blockCycles,
                         std::span<const double> damageOfOneCycle,
                         std::span<const std::int8_t> staticFailureFlag, char decimalSeparator) {
    OutputChannel file = OutputChannel::file(path, decimalSeparator);
    const bool complete = writeBlockCycleFile(file, completeOutputNode, mean, amplitude,
                                              blockCycles, damageOfOneCycle, staticFailureFlag);
    // The lines before an unusable flag stay in the file.
    file.close();
    if (!complete) throw runtimeError(InternalCheck::cycleFileHalfCycleCount);
}

void writeMissingNodeLine(const std::string& path, std::int64_t completeOutputNode,
                          char decimalSeparator) {
    OutputChannel file = OutputChannel::file(path, decimalSeparator);
    // Worded and spelt ("chek") as the .cyc has always had it; the console's
    // line (writeConsoleSummary) differs, and each keeps its own text.
    putText(file,
            "The node where complete output is requested looks not existing: please chek node ID =");
    putZone(file);
    putInteger(file, completeOutputNode);
    putLineEnd(file);
    file.close();
}

}  // namespace korvanel
