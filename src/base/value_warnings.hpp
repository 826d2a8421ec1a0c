#pragma once

// Reading with an eye on what was read: the conversion of a value's text
// with its warning, where a value stands in its file (for messages), and the
// small tests readers make to report a shifted layout or a group cut short.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "base/input_warnings.hpp"
#include "base/text_input.hpp"

namespace korvanel {

// Makes the value reads of `in` report to `warnings`.
void attachWarnings(InputText& in, InputWarnings& warnings);

// readInputFile, the reads of `read` reporting to `warnings` (when given).
template <class Read>
auto readInputFile(const std::string& path, InputWarnings* warnings, Read&& read) {
    return readInputFile(path, [&](InputText& in) {
        if (warnings != nullptr) attachWarnings(in, *warnings);
        return read(in);
    });
}

// Skips a UTF-8 byte-order mark (the bytes EF BB BF) at the very start of
// the text: a file that a spreadsheet saved reads as if it were not there.
// Every reader calls it before its first read.
inline void skipByteOrderMark(InputText& in) { in.skipByteOrderMark(); }

// Skips blanks and tabs: the position where the next value read starts.
inline std::size_t skipToValue(InputText& in) { return in.skipToValue(); }

// The conversion of a value read's text, exactly as readReal and
// readInteger make it (the out-of-range stop included). `start` is where
// the value stands, `name` what it is when the reader knows (for messages).
// With a warnings collector, text that is not wholly a number is a warning
// ("3OO" read as 3, "O.5" as 0, an empty value as 0); a value read at the
// end of the file is not, as readers report groups cut short themselves.
double realFromText(InputText& in, std::string_view text, std::size_t start,
                    std::string_view name = {});
std::int64_t integerFromText(InputText& in, std::string_view text, std::size_t start,
                             std::string_view name = {});

// The line (from 1) of position `pos`.
std::int64_t lineNumber(const InputText& in, std::size_t pos);

// Where position `pos` stands, for messages: "<path> line L, value V" (the
// line from 1, and the number on that line of the value that starts there).
std::string placeText(const InputText& in, std::size_t pos);
// "<path> line L".
std::string lineText(const InputText& in, std::size_t pos);

// The number of values that value reads from `from` to the end of the file
// give, counted up to `most`. The reads walk the text itself (a value of
// many megabytes gives back its memory as it is passed); the position is
// left where it was.
std::int64_t countValuesFrom(InputText& in, std::size_t from,
                             std::int64_t most = std::numeric_limits<std::int64_t>::max());

// True at the start of a line (or of the file): the last read ended with a
// line end. Inline: the node stress reader asks it at every group.
inline bool atLineStart(const InputText& in) {
    const std::string_view data = in.text();
    const std::size_t pos = in.position();
    return pos == 0 || pos > data.size() || data[pos - 1] == '\r' || data[pos - 1] == '\n' ||
           (pos == 3 && data.substr(0, 3) == "\xEF\xBB\xBF");
}

// The text from the position to the next line end (not consumed).
std::string_view restOfLine(const InputText& in);

// The readers' warning for a file whose last group of values is cut short
// by the end of the file (the group counts and its missing values read as
// 0): `groups` groups were read, the last starting at `lastGroupStart`;
// `groupName` is what a group is ("time point", "node line").
void warnIfLastGroupShort(InputText& in, std::size_t lastGroupStart, std::int64_t groups,
                          std::int64_t groupSize, std::string_view groupName);

// The readers' warning for a file written one group per line, the usual
// layout (at least two lines hold values), on each line whose number of
// values is not `groupSize`: the file is read as a stream of values, so such
// a line regroups the values into other groups (a decimal comma "1,5" is two
// values, a column too many shifts every later group). `groupName` is what a
// group is called ("time point"), `sizeText` what it holds ("2 load-case
// factors"). Lines whose values are
// all empty are not counted: each empty value has its warning already.
// Values are counted from `from`, where the reader's first value starts.
void warnAboutLineShapes(InputText& in, std::size_t from, std::int64_t groupSize,
                         std::string_view groupName, std::string_view sizeText);

// The same, cheaply, for a reader of large files that reads group after
// group: called after a group that started at a line start (`groupStart`)
// has been read, it warns when the group did not end at a line end (its line
// holds another number of values than a group), unless the file holds all
// its values on one line. A line of more values shifts every later group
// off its line: only the line where a shift begins is named.
void warnIfGroupLeftItsLine(InputText& in, std::size_t groupStart, std::string_view groupName,
                            std::string_view sizeText);

}  // namespace korvanel
