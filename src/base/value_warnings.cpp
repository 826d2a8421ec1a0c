#include "base/value_warnings.hpp"

#include <algorithm>
#include <vector>

#include "base/fatal_stop.hpp"
#include "base/text_output.hpp"

namespace korvanel {
namespace {

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

// Counting resumes where the last count in the same text stopped, so that
// warnings placed in file order cost one pass over the file.
std::int64_t lineNumber(const InputText& in, std::size_t pos) {
    const std::string_view data = in.text();
    const char* text = data.data();
    InputWarnings* memo = in.warnings();
    std::size_t from = 0;
    std::int64_t lines = 0;
    if (memo != nullptr && memo->countedText == text && memo->countedTo <= pos) {
        from = memo->countedTo;
        lines = memo->linesBefore;
    }
    for (std::size_t i = from; i < pos && i < data.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || (c == '\n' && (i == 0 || text[i - 1] != '\r'))) ++lines;
    }
    if (memo != nullptr) {
        memo->countedText = text;
        memo->countedTo = pos;
        memo->linesBefore = lines;
    }
    return lines + 1;
}

namespace {

// The number (from 1) of the value starting at `pos` among the values of its line.
std::int64_t valueNumber(const InputText& in, std::size_t pos) {
    const std::string_view data = in.text();
    std::size_t lineStart = std::min(pos, data.size());
    while (lineStart > 0 && !isLineEnd(data[lineStart - 1])) --lineStart;
    std::string_view line = data.substr(lineStart, pos - lineStart);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    InputText before = inputTextOver(line);
    std::int64_t number = 1;
    while (!atEnd(before)) {
        readValueText(before);
        ++number;
    }
    return number;
}

// A value read at the end of the file belongs to a group cut short, which
// the reader reports.
bool worthWarning(const InputText& in, std::string_view text, std::size_t start) {
    return in.warnings() != nullptr && start < in.size() && !isWhollyNumber(text);
}

void warnNotANumber(InputText& in, std::string_view text, std::size_t start, std::string_view name,
                    const std::string& valueRead) {
    warn(*in.warnings(), WarningKind::notANumber, [&] {
        std::string message = placeText(in, start);
        if (!name.empty()) message += " (" + std::string(name) + ")";
        message += ": ";
        message += text.empty() ? std::string("an empty value")
                                : quotedForMessage(text) + " is not wholly a number";
        return message + "; read as " + valueRead;
    });
}

FatalStop outOfRange(const InputText& in, std::string_view text, std::size_t start) {
    return fatalStop("Number out of range in the file " + in.path(),
                     placeText(in, start) + ": " + quotedForMessage(text) +
                         " is too large for its field");
}

}  // namespace

void attachWarnings(InputText& in, InputWarnings& warnings) {
    in.setWarnings(&warnings);
    warnings.countedText = nullptr;  // a new text: its lines are not counted yet
    warnings.countedTo = 0;
    warnings.linesBefore = 0;
}

double realFromText(InputText& in, std::string_view text, std::size_t start, std::string_view name) {
    double value = 0.0;
    if (!convertReal(text, value)) throw outOfRange(in, text, start);
    if (worthWarning(in, text, start)) warnNotANumber(in, text, start, name, writeForm(value));
    return value;
}

std::int64_t integerFromText(InputText& in, std::string_view text, std::size_t start,
                             std::string_view name) {
    std::int64_t value = 0;
    if (!convertInteger(text, value)) throw outOfRange(in, text, start);
    if (worthWarning(in, text, start)) warnNotANumber(in, text, start, name, std::to_string(value));
    return value;
}

std::string placeText(const InputText& in, std::size_t pos) {
    return lineText(in, pos) + ", value " + std::to_string(valueNumber(in, pos));
}

std::string lineText(const InputText& in, std::size_t pos) {
    return in.path() + " line " + std::to_string(lineNumber(in, pos));
}

std::int64_t countValuesFrom(InputText& in, std::size_t from, std::int64_t most) {
    const std::size_t saved = in.position();
    in.moveTo(from);
    std::int64_t count = 0;
    for (; count < most && !atEnd(in); ++count) readValueText(in);
    in.moveTo(saved);
    return count;
}

std::string_view restOfLine(const InputText& in) {
    const std::string_view data = in.text();
    const std::size_t from = std::min(in.position(), data.size());
    std::size_t end = from;
    while (end < data.size() && !isLineEnd(data[end])) ++end;
    return data.substr(from, end - from);
}

void warnIfLastGroupShort(InputText& in, std::size_t lastGroupStart, std::int64_t groups,
                          std::int64_t groupSize, std::string_view groupName) {
    if (in.warnings() == nullptr || groups == 0) return;
    const std::int64_t present = countValuesFrom(in, lastGroupStart, groupSize);
    if (present >= groupSize) return;
    warn(*in.warnings(), WarningKind::incompleteGroup, [&] {
        const std::int64_t total = (groups - 1) * groupSize + present;
        const std::string name(groupName);
        return lineText(in, lastGroupStart) + ": the last " + name + " has " +
               std::to_string(present) + " of its " + std::to_string(groupSize) + " values (the " +
               std::to_string(total) + " values of the file are not a whole number of " + name +
               "s); the other " + std::to_string(groupSize - present) + " read as 0";
    });
}

namespace {

// The values of one line of a file read as a stream of values.
struct LineOfValues {
    std::size_t start = 0;  // where its first value starts
    std::size_t end = 0;    // where its last value ends
    std::int64_t count = 0;
    bool allEmpty = true;
};

bool endsLineBetween(std::string_view data, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to && i < data.size(); ++i)
        if (isLineEnd(data[i])) return true;
    return false;
}

// The lines of the values read from `from` on; with `firstOnly`, the first line only.
std::vector<LineOfValues> linesOfValues(std::string_view data, std::size_t from, bool firstOnly) {
    std::vector<LineOfValues> lines;
    InputText rest = inputTextOver(data.substr(std::min(from, data.size())));
    std::size_t lastEnd = from;
    while (!atEnd(rest)) {
        const std::size_t start = from + skipToValue(rest);
        const bool newLine = lines.empty() || endsLineBetween(data, lastEnd, start);
        if (newLine && firstOnly && !lines.empty()) break;
        const std::string_view text = readValueText(rest);
        if (newLine) lines.push_back({start, start});
        LineOfValues& line = lines.back();
        ++line.count;
        line.allEmpty = line.allEmpty && text.empty();
        lastEnd = start + text.size();
        line.end = lastEnd;
    }
    return lines;
}

std::string lineShapeText(const InputText& in, const LineOfValues& line,
                          std::string_view groupName, std::string_view sizeText) {
    const std::string_view text = in.text().substr(line.start, line.end - line.start);
    return lineText(in, line.start) + " holds " + std::to_string(line.count) +
           (line.count == 1 ? " value (" : " values (") + quotedForMessage(text) + "), but a " +
           std::string(groupName) + " is " + std::string(sizeText) +
           ": the file is read as a stream of values, so this line is not one " +
           std::string(groupName) + " (a decimal comma, or a value too many or too few?)";
}

// True when a value follows a line end: the text has more than one line of values.
bool severalLinesOfValues(std::string_view data) {
    const std::size_t firstEnd = data.find_first_of("\r\n");
    return firstEnd != std::string_view::npos &&
           data.find_first_not_of(" \t\r\n", firstEnd) != std::string_view::npos;
}

}  // namespace

void warnAboutLineShapes(InputText& in, std::size_t from, std::int64_t groupSize,
                         std::string_view groupName, std::string_view sizeText) {
    if (in.warnings() == nullptr) return;
    std::vector<LineOfValues> lines = linesOfValues(in.text(), from, false);
    std::erase_if(lines, [](const LineOfValues& line) { return line.allEmpty; });
    if (lines.size() < 2) return;  // one line, or none: not written a group per line
    std::int64_t values = 0;
    for (const LineOfValues& line : lines) values += line.count;
    if (values < groupSize) return;  // not one group: the reader's stop or warning says it
    for (const LineOfValues& line : lines) {
        if (line.count == groupSize) continue;
        warn(*in.warnings(), WarningKind::lineShape,
             [&] { return lineShapeText(in, line, groupName, sizeText); });
    }
}

void warnIfGroupLeftItsLine(InputText& in, std::size_t groupStart, std::string_view groupName,
                            std::string_view sizeText) {
    if (in.warnings() == nullptr || atLineStart(in) || atEnd(in)) return;
    InputWarnings& w = *in.warnings();
    if (!warningShown(w, WarningKind::lineShape)) {
        ++w.counts[static_cast<std::size_t>(WarningKind::lineShape)];
        return;
    }
    // All values on one line is not a file written a group per line.
    if (!severalLinesOfValues(in.text())) return;
    const std::vector<LineOfValues> line = linesOfValues(in.text(), groupStart, true);
    if (line.empty() || line.front().allEmpty) return;
    warn(w, WarningKind::lineShape,
         [&] { return lineShapeText(in, line.front(), groupName, sizeText); });
}

}  // namespace korvanel
