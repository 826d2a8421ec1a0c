#include "base/value_warnings.hpp"

#include <algorithm>

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

bool atLineStart(const InputText& in) {
    const std::string_view data = in.text();
    const std::size_t pos = in.position();
    return pos == 0 || pos > data.size() || isLineEnd(data[pos - 1]) ||
           (pos == 3 && data.substr(0, 3) == "\xEF\xBB\xBF");
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

}  // namespace korvanel
