#include "run/unit_warnings.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <variant>
#include <vector>

#include "base/text_output.hpp"
#include "input/material_selection.hpp"
#include "run/job_location.hpp"

namespace korvanel {
namespace {

struct NamedValue {
    const char* name;
    double value;
};

bool usable(double v) { return std::isfinite(v) && v != 0.0; }

std::string valueText(const NamedValue& v) {
    return std::string(v.name) + " " + writeForm(v.value);
}

std::string listText(const std::vector<NamedValue>& values) {
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out += i + 1 == values.size() ? " and " : ", ";
        out += valueText(values[i]);
    }
    return out;
}

// The power of ten nearest to a ratio, as the message writes it ("10^6").
int powerOfTen(double ratio) { return static_cast<int>(std::lround(std::log10(ratio))); }

// What a warning compares: "the material", "the stresses".
struct Side {
    const char* name;
    bool plural = false;
};

std::string looksLike(const Side& side, const char* unit) {
    return std::string(side.name) + (side.plural ? " look like " : " looks like ") + unit;
}

// The likely cause when the values of `a` are `factor` times what they would
// be in the unit of `b`.
std::string likelyCause(double factor, const Side& a, const Side& b) {
    const int power = powerOfTen(factor);
    auto looks = [&](const char* unitA, const char* unitB) {
        return looksLike(a, unitA) + " while " + looksLike(b, unitB);
    };
    if (power >= 5 && power <= 7) return looks("Pa", "MPa");
    if (power <= -5 && power >= -7) return looks("MPa", "Pa");
    if (power >= 8 && power <= 10) return looks("Pa", "GPa");
    if (power <= -8 && power >= -10) return looks("GPa", "Pa");
    if (power >= 2 && power <= 4) return looks("kPa", "MPa") + " (or MPa against GPa)";
    if (power <= -2 && power >= -4) return looks("GPa", "MPa") + " (or MPa against kPa)";
    return "the values are in different units, or one is mistyped";
}

// The pair of `as` and `bs` furthest apart; a ratio of 1 when none is usable.
struct Extreme {
    NamedValue a{"", 0.0};
    NamedValue b{"", 0.0};
    double ratio = 1.0;  // |a| / |b|
};

Extreme furthestApart(const std::vector<NamedValue>& as, const std::vector<NamedValue>& bs) {
    Extreme e;
    for (const NamedValue& a : as)
        for (const NamedValue& b : bs) {
            const double ratio = std::fabs(a.value) / std::fabs(b.value);
            if (std::fabs(std::log10(ratio)) > std::fabs(std::log10(e.ratio))) e = {a, b, ratio};
        }
    return e;
}

bool apart(double ratio, double low, double high) {
    return std::isfinite(ratio) && (ratio > high || ratio < low);
}

std::vector<NamedValue> usableOf(std::initializer_list<NamedValue> values) {
    std::vector<NamedValue> out;
    for (const NamedValue& v : values)
        if (usable(v.value)) out.push_back(v);
    return out;
}

std::string timesText(double ratio) {
    return "about 10^" + std::to_string(powerOfTen(ratio)) + " times";
}

// Strengths against the stresses of the S-N curve and the mean-stress correction.
void warnStrengthsAgainstCurve(const MaterialValues& m, const std::string& where,
                               InputWarnings& warnings) {
    const std::vector<NamedValue> strengths =
        usableOf({{"yield stress", m.yieldStress}, {"static strength", m.staticStrength}});
    const bool weibull = m.snCurveType == SnCurveType::weibull;
    const std::vector<NamedValue> curve =
        weibull ? usableOf({{"Sainf", m.weibullSainf}, {"Sault", m.weibullSault},
                            {"SmMAX", m.goodmanSmMax}})
                : usableOf({{"endurance limit", m.enduranceLimit}, {"SmMAX", m.goodmanSmMax}});
    const Extreme e = furthestApart(strengths, curve);
    if (!apart(e.ratio, 1.0 / kUnitMismatchRatio, kUnitMismatchRatio)) return;
    warn(warnings, WarningKind::units, [&] {
        return where + ": the " + listText(strengths) + " are " + timesText(e.ratio) +
               " the " + listText(curve) + ", which should be stresses of one order: " +
               likelyCause(e.ratio, {"the material"},
                           {weibull ? "the S-N curve and SmMAX" : "the endurance limit and SmMAX",
                            true});
    });
}

// Metals have a Young's modulus of about 100 to 3,000 times their yield
// stress; a factor of ten beyond either end is taken for a unit.
void warnModulusAgainstYield(const MaterialValues& m, const std::string& where,
                             InputWarnings& warnings) {
    if (!usable(m.youngsModulus) || !usable(m.yieldStress)) return;
    const double ratio = std::fabs(m.youngsModulus) / std::fabs(m.yieldStress);
    if (!apart(ratio, 10.0, 30000.0)) return;
    warn(warnings, WarningKind::units, [&] {
        return where + ": Young's modulus " + writeForm(m.youngsModulus) + " is " +
               writeForm(ratio) + " times the yield stress " + writeForm(m.yieldStress) +
               " (for metals about 100 to 3,000 times): " +
               likelyCause(ratio / 600.0, {"Young's modulus"}, {"the yield stress"});
    });
}

void warnJobAgainstMaterial(const MaterialValues& m, const std::string& where,
                            const StressReach& reach, InputWarnings& warnings) {
    if (!reach.known) return;
    const double low = 1.0 / kUnitMismatchRatio;
    const NamedValue strength = usable(m.staticStrength)
                                    ? NamedValue{"static strength", m.staticStrength}
                                    : NamedValue{"yield stress", m.yieldStress};
    if (usable(strength.value) && usable(reach.largestStress)) {
        const double ratio = reach.largestStress / std::fabs(strength.value);
        if (apart(ratio, low, kUnitMismatchRatio))
            warn(warnings, WarningKind::units, [&] {
                return where + ": the largest stress the job reaches (after the factors) is "
                               "about " + writeForm(reach.largestStress) + ", " +
                       timesText(ratio) + " the " + valueText(strength) + ": " +
                       likelyCause(ratio, {"the stresses", true}, {"the material"});
            });
    }
    const bool weibull = m.snCurveType == SnCurveType::weibull;
    const NamedValue limit = weibull ? NamedValue{"Sainf", m.weibullSainf}
                                     : NamedValue{"endurance limit", m.enduranceLimit};
    if (usable(limit.value) && usable(reach.largestAmplitude)) {
        const double ratio = reach.largestAmplitude / std::fabs(limit.value);
        if (apart(ratio, low, kUnitMismatchRatio))
            warn(warnings, WarningKind::units, [&] {
                return where + ": the largest stress amplitude of the job is about " +
                       writeForm(reach.largestAmplitude) + ", " + timesText(ratio) + " the " +
                       valueText(limit) + ": " +
                       likelyCause(ratio, {"the stresses", true}, {"the S-N curve"});
            });
    }
}

// Per load case, the largest factor in size and half the largest range
// (format 2: over the time points; format 3: over the from- and to-states
// of the blocks).
struct FactorReach {
    std::vector<double> largest;
    std::vector<double> halfRange;
};

FactorReach combinationReach(const CombinationTable& c) {
    const auto cases = static_cast<std::size_t>(c.loadCaseCount);
    FactorReach r{std::vector<double>(cases, 0.0), std::vector<double>(cases, 0.0)};
    for (std::size_t lc = 0; lc < cases; ++lc) {
        double low = 0.0, high = 0.0;
        for (std::int64_t t = 0; t < c.timePointCount; ++t) {
            const double f = c.factor[static_cast<std::size_t>(t) * cases + lc];
            if (t == 0 || f < low) low = f;
            if (t == 0 || f > high) high = f;
        }
        r.largest[lc] = std::max(std::fabs(low), std::fabs(high));
        r.halfRange[lc] = (high - low) / 2.0;
    }
    return r;
}

FactorReach blockReach(const BlockSpectrum& s) {
    const auto cases = static_cast<std::size_t>(s.loadCaseCount);
    FactorReach r{std::vector<double>(cases, 0.0), std::vector<double>(cases, 0.0)};
    for (std::int64_t b = 0; b < s.blockCount; ++b)
        for (std::size_t lc = 0; lc < cases; ++lc) {
            const std::size_t i = static_cast<std::size_t>(b) * cases + lc;
            r.largest[lc] = std::max({r.largest[lc], std::fabs(s.blockFrom[i]), std::fabs(s.blockTo[i])});
            r.halfRange[lc] = std::max(r.halfRange[lc], std::fabs(s.blockTo[i] - s.blockFrom[i]) / 2.0);
        }
    return r;
}

// True when this process holds the stresses of every node of the table, for
// `loadCaseCount` load cases (a count that fits in memory, then).
bool stressesHeld(const NodeStressTable& t, std::int64_t loadCaseCount) {
    return t.nodeCount > 0 && t.loadCaseCount == loadCaseCount && loadCaseCount >= 0 &&
           static_cast<std::int64_t>(t.baseStress.size()) == t.nodeCount &&
           static_cast<std::int64_t>(t.loadCaseStress.size()) == t.nodeCount * t.loadCaseCount;
}

StressReach nodeStressReach(const AnalysisParameters& p, const NodeStressTable& t,
                            const FactorReach& factors) {
    StressReach reach;
    const double f = std::fabs(p.stressScaleFactor);
    const double g = std::fabs(p.loadCaseScaleFactor);
    const auto cases = static_cast<std::size_t>(t.loadCaseCount);
    reach.known = true;
    for (std::int64_t n = 0; n < t.nodeCount; ++n) {
        const Stress6* loadCases = t.loadCasesOf(n);
        for (int k = 0; k < 6; ++k) {
            double stress = 0.0, amplitude = 0.0;
            for (std::size_t lc = 0; lc < cases; ++lc) {
                const double s = std::fabs(loadCases[lc][k]);
                stress += factors.largest[lc] * s;
                amplitude += factors.halfRange[lc] * s;
            }
            const double base = std::fabs(t.baseStress[static_cast<std::size_t>(n)][k]);
            reach.largestStress = std::max(reach.largestStress, f * (base + g * stress));
            reach.largestAmplitude = std::max(reach.largestAmplitude, f * g * amplitude);
        }
    }
    return reach;
}

StressReach historyReach(const StressHistoryFile& h) {
    StressReach reach;
    reach.known = true;
    for (int k = 0; k < 6; ++k) {
        double low = 0.0, high = 0.0;
        for (std::size_t t = 0; t < h.states.size(); ++t) {
            const double s = h.states[t][k];
            if (t == 0 || s < low) low = s;
            if (t == 0 || s > high) high = s;
        }
        reach.largestStress = std::max({reach.largestStress, std::fabs(low), std::fabs(high)});
        reach.largestAmplitude = std::max(reach.largestAmplitude, (high - low) / 2.0);
    }
    return reach;
}

}  // namespace

StressReach stressReachOf(const RunInputs& run) {
    const AnalysisParameters& p = run.parameters;
    if (const auto* h = std::get_if<SingleHistoryInput>(&run.input)) return historyReach(h->history);
    if (const auto* c = std::get_if<CombinationInput>(&run.input)) {
        if (!stressesHeld(c->nodeStress, c->combination.loadCaseCount)) return {};
        return nodeStressReach(p, c->nodeStress, combinationReach(c->combination));
    }
    if (const auto* s = std::get_if<SpectrumInput>(&run.input)) {
        if (!stressesHeld(s->nodeStress, s->spectrum.loadCaseCount)) return {};
        return nodeStressReach(p, s->nodeStress, blockReach(s->spectrum));
    }
    return {};
}

void warnAboutMaterialUnits(const MaterialValues& m, const std::string& where,
                            const StressReach& reach, InputWarnings& warnings) {
    warnStrengthsAgainstCurve(m, where, warnings);
    warnModulusAgainstYield(m, where, warnings);
    warnJobAgainstMaterial(m, where, reach, warnings);
}

void warnAboutUnits(const RunInputs& run, InputWarnings& warnings) {
    const AnalysisParameters& p = run.parameters;
    const StressReach reach = stressReachOf(run);
    const bool perNode = nodeStressOf(run.input) != nullptr &&
                         p.materialsMode == MaterialsMode::multiple;
    if (!perNode) {
        warnAboutMaterialUnits(p.material, jobFilePath(run.job, ".inp"), reach, warnings);
        return;
    }
    const std::string path = jobFilePath(run.job, ".mtr");
    for (std::size_t i = 0; i < run.materials.size(); ++i) {
        MaterialValues m;
        applyMaterialRecord(run.materials[i], m);
        warnAboutMaterialUnits(m,
                               path + " record " + std::to_string(i + 1) + " (material ID " +
                                   std::to_string(run.materials[i].materialId) + ")",
                               reach, warnings);
    }
}

}  // namespace korvanel
