#include "run/analysis_parameters_file.hpp"

#include <algorithm>
#include <string_view>

#include "base/fatal_stop.hpp"
#include "base/text_output.hpp"
#include "base/value_warnings.hpp"

namespace korvanel {
namespace {

constexpr int kLastRecord = 19;

const char* const kRecordNames[kLastRecord + 1] = {
    "",
    "material values",
    "elasto-plastic correction",
    "method of elasto-plastic correction",
    "stress-path based correction",
    "S-N curve type",
    "Palmgren's equation",
    "Weibull's equation",
    "multilinear S-N curve",
    "Goodman values",
    "stress-input format",
    "scale factors",
    "complete-output node",
    "materials",
    "numbers of nodes and load cases",
    "load variability factor",
    "Ground-Air-Ground analysis",
    "cycles extraction",
    "type of damage in the blocks analysis",
    "life units per repeat",
};

// The name of each value, by record and position (from 1); records of one
// value are named like the record.
const char* fieldName(int record, int position) {
    static const char* const kFields[kLastRecord + 1][9] = {
        {},
        {"", "yield stress", "Young's modulus", "static strength", "strain at failure"},
        {}, {}, {}, {},
        {"", "Palmgren L1", "Palmgren p", "Palmgren C", "endurance limit"},
        {"", "Weibull Sainf", "Weibull Sault", "Weibull alfa", "Weibull beta"},
        {"", "multilinear value", "multilinear integer 1", "multilinear integer 2",
         "multilinear integer 3", "multilinear integer 4", "multilinear integer 5",
         "multilinear integer 6", "multilinear integer 7"},
        {"", "Goodman exponent", "Goodman method", "Goodman SmMAX"},
        {},
        {"", "stress scale factor", "load-case scale factor"},
        {}, {},
        {"", "number of nodes", "number of load cases"},
    };
    const char* name = kFields[record][position];
    return name != nullptr && *name != '\0' ? name : kRecordNames[record];
}

std::string recordLabel(int record) {
    return "record " + std::to_string(record) + " (" + kRecordNames[record] + ")";
}

// Reads the records in order and notes what it sees on the way.
struct RecordReader {
    InputText& in;
    ParameterOrigins* origins;
    int record = 0;
    int position = 0;
    bool endReported = false;
};

// True when a line holds at least one value and every value is wholly a number.
bool holdsOnlyNumbers(std::string_view line) {
    InputText text = inputTextOver(line);
    bool any = false;
    while (!atEnd(text)) {
        if (!isWhollyNumber(readValueText(text))) return false;
        any = true;
    }
    return any;
}

void startRecord(RecordReader& r, int record, int commentLines) {
    InputText& in = r.in;
    r.record = record;
    r.position = 0;
    for (int i = 0; i < commentLines; ++i) {
        // A whole-line read in the middle of a line takes the rest of that
        // line; finishRecord has already said so.
        const bool wholeLine = atLineStart(in);
        const std::size_t lineStart = in.position();
        const std::string_view line = restOfLine(in);
        readWholeLine(in);
        if (!wholeLine || in.warnings() == nullptr || !holdsOnlyNumbers(line)) continue;
        warn(*in.warnings(), WarningKind::shiftedLayout, [&] {
            return lineText(in, lineStart) + ", read as a comment line of " + recordLabel(record) +
                   ", holds only numbers (" + quotedForMessage(line) +
                   "): a comment line missing or a value line too many? The records from here "
                   "on are read out of place";
        });
    }
    if (atEnd(in) && !r.endReported && in.warnings() != nullptr) {
        r.endReported = true;
        warn(*in.warnings(), WarningKind::shiftedLayout, [&] {
            return in.path() + " ends before the values of " + recordLabel(record) + ": records " +
                   std::to_string(record) + " to 19 read as 0";
        });
    }
}

void noteOrigin(RecordReader& r, std::size_t start, std::string_view text, std::string readAs) {
    if (r.origins == nullptr) return;
    ValueOrigin& o = r.origins->values[r.record][r.position];
    o.line = start < r.in.size() ? lineNumber(r.in, start) : 0;
    o.text = std::string(text);
    o.readAs = std::move(readAs);
}

std::string valueLabel(const RecordReader& r) {
    return std::string(fieldName(r.record, r.position)) + ", record " + std::to_string(r.record);
}

double real(RecordReader& r) {
    ++r.position;
    const std::size_t start = skipToValue(r.in);
    const std::string_view text = readValueText(r.in);
    const double value = realFromText(r.in, text, start, valueLabel(r));
    if (r.origins != nullptr) noteOrigin(r, start, text, writeForm(value));
    return value;
}

std::int64_t integer(RecordReader& r) {
    ++r.position;
    const std::size_t start = skipToValue(r.in);
    const std::string_view text = readValueText(r.in);
    const std::int64_t value = integerFromText(r.in, text, start, valueLabel(r));
    if (r.origins != nullptr) noteOrigin(r, start, text, std::to_string(value));
    return value;
}

// After a record's values the next read should start a line. Otherwise the
// next whole-line read takes the rest of this line in place of a comment
// line, and every later record is read one line early.
void finishRecord(RecordReader& r) {
    InputText& in = r.in;
    if (in.warnings() == nullptr || atEnd(in) || atLineStart(in)) return;
    std::string_view rest = restOfLine(in);
    rest.remove_prefix(std::min(rest.size(), rest.find_first_not_of(" \t")));
    if (r.record == kLastRecord) {
        if (rest.empty()) return;
        warn(*in.warnings(), WarningKind::shiftedLayout, [&] {
            return lineText(in, in.position()) + ": the text " + quotedForMessage(rest) +
                   " after the value of " + recordLabel(r.record) + " is not read";
        });
        return;
    }
    warn(*in.warnings(), WarningKind::shiftedLayout, [&] {
        const std::string what = rest.empty()
                                     ? "a comma after the last value of " + recordLabel(r.record) +
                                           " leaves the end of its line, which"
                                     : "the text " + quotedForMessage(rest) + " after the values of " +
                                           recordLabel(r.record);
        return lineText(in, in.position()) + ": " + what + " is read as the comment line of record " +
               std::to_string(r.record + 1) +
               ": the records after it are read one line earlier than the layout intends";
    });
}

// Reads a record: its comment lines, its values (`values`), the end of its line.
template <class Values>
void readRecord(RecordReader& r, int record, int commentLines, Values&& values) {
    startRecord(r, record, commentLines);
    values();
    finishRecord(r);
}

}  // namespace

AnalysisParameters readAnalysisParameters(InputText& in, ParameterOrigins* origins) {
    AnalysisParameters p;
    MaterialValues& m = p.material;
    skipByteOrderMark(in);
    if (origins != nullptr) origins->path = in.path();
    RecordReader r{in, origins};

    readRecord(r, 1, 1, [&] {
        m.yieldStress = real(r);
        m.youngsModulus = real(r);
        m.staticStrength = real(r);
        m.strainAtFailurePercent = real(r);
    });
    readRecord(r, 2, 1, [&] { p.elastoPlastic = Switch{integer(r)}; });
    readRecord(r, 3, 1, [&] { p.elastoPlasticMethod = CorrectionMethod{integer(r)}; });
    readRecord(r, 4, 1, [&] { p.stressPathCorrection = Switch{integer(r)}; });
    readRecord(r, 5, 1, [&] { m.snCurveType = SnCurveType{integer(r)}; });
    readRecord(r, 6, 2, [&] {
        m.palmgrenL1 = real(r);
        m.palmgrenP = real(r);
        m.palmgrenC = real(r);
        m.enduranceLimit = real(r);
    });
    readRecord(r, 7, 2, [&] {
        m.weibullSainf = real(r);
        m.weibullSault = real(r);
        m.weibullAlfa = real(r);
        m.weibullBeta = real(r);
    });
    readRecord(r, 8, 2, [&] {
        p.multilinearReal = real(r);
        for (auto& value : p.multilinearInts) value = integer(r);
    });
    readRecord(r, 9, 1, [&] {
        m.goodmanExponent = real(r);
        m.goodmanMethod = GoodmanMethod{integer(r)};
        m.goodmanSmMax = real(r);
    });
    readRecord(r, 10, 1, [&] { p.stressInputFormat = StressInputFormat{integer(r)}; });
    readRecord(r, 11, 1, [&] {
        p.stressScaleFactor = real(r);
        p.loadCaseScaleFactor = real(r);
    });
    readRecord(r, 12, 1, [&] { p.completeOutputNode = integer(r); });
    readRecord(r, 13, 1, [&] { p.materialsMode = MaterialsMode{integer(r)}; });
    readRecord(r, 14, 1, [&] {
        p.nodeCount = integer(r);
        p.loadCaseCount = integer(r);
    });
    readRecord(r, 15, 1, [&] { p.loadVariabilityFactor = real(r); });
    readRecord(r, 16, 1, [&] { p.groundAirGround = Switch{integer(r)}; });
    readRecord(r, 17, 1, [&] { p.cyclesExtraction = Switch{integer(r)}; });
    readRecord(r, 18, 1, [&] { p.blocksDamageType = BlocksDamageType{integer(r)}; });
    readRecord(r, 19, 1, [&] { p.lifeUnitsPerRepeat = real(r); });
    return p;
}

namespace {

// Where a value came from, in plain words.
std::string originText(const ParameterOrigins& origins, int record, int position) {
    const ValueOrigin& o = origins.values[record][position];
    const std::string field = std::string(fieldName(record, position)) + ", record " +
                              std::to_string(record);
    if (o.line == 0)
        return origins.path + " (" + field + "): the file ends before this value; read as 0";
    return origins.path + " line " + std::to_string(o.line) + " (" + field + "): " +
           quotedForMessage(o.text) + " read as " + o.readAs;
}

struct ParameterCheck {
    int record;
    int position;
    bool (*fails)(const AnalysisParameters&);
    const char* message;
};

template <typename Mode>
bool outside(Mode mode, std::int64_t low, std::int64_t high) {
    return fileNumber(mode) < low || fileNumber(mode) > high;
}

const ParameterCheck kChecks[] = {
    {18, 1, [](const AnalysisParameters& p) { return outside(p.blocksDamageType, 0, 2); },
     "Please put 0, 1 or 2 for type of damage in the Blocks analysis"},
    {17, 1, [](const AnalysisParameters& p) { return outside(p.cyclesExtraction, 0, 1); },
     "Please put 0 or 1 for the cycles extraction"},
    {15, 1, [](const AnalysisParameters& p) { return p.loadVariabilityFactor < 0.0; },
     "The Load Variability Factor must be > 0"},
    {16, 1, [](const AnalysisParameters& p) { return outside(p.groundAirGround, 0, 1); },
     "Please put 0 or 1 for the Ground-Air-Ground analysis"},
    {4, 1, [](const AnalysisParameters& p) { return outside(p.stressPathCorrection, 0, 1); },
     "Please put 0 or 1 for the stress-path based correction"},
    {3, 1, [](const AnalysisParameters& p) { return outside(p.elastoPlasticMethod, 1, 2); },
     "Please put 1 or 2 for the method of elastoplastic correction"},
    {13, 1, [](const AnalysisParameters& p) { return outside(p.materialsMode, 1, 2); },
     "Please put 1 or 2 for analysis with one or multiple materials"},
    {9, 2, [](const AnalysisParameters& p) { return outside(p.material.goodmanMethod, 1, 3); },
     "Please put 1, 2 or 3 for the method of mean-stress correction"},
    {2, 1, [](const AnalysisParameters& p) { return outside(p.elastoPlastic, 0, 1); },
     "Please put 0 or 1 concerning the elasto-plastic correction"},
    {10, 1, [](const AnalysisParameters& p) { return outside(p.stressInputFormat, 1, 3); },
     "Please put 1, 2 or 3 concerning the choice of the stress-input format"},
};

}  // namespace

void checkAnalysisParameters(const AnalysisParameters& p, const ParameterOrigins* origins) {
    for (const ParameterCheck& check : kChecks) {
        if (!check.fails(p)) continue;
        if (origins == nullptr) throw fatalStop(check.message);
        throw fatalStop(check.message, originText(*origins, check.record, check.position));
    }
}

void warnAboutParameters(const AnalysisParameters& p, const ParameterOrigins& origins,
                         InputWarnings& warnings) {
    if (!(p.lifeUnitsPerRepeat <= 0.0)) return;
    warn(warnings, WarningKind::lifeUnits, [&] {
        return originText(origins, 19, 1) +
               ": life units per repeat of 0 or below make every fatigue life in life units 0 "
               "or negative";
    });
}

}  // namespace korvanel
