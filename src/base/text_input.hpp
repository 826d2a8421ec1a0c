#pragma once

// Reading side of the text conventions shared by every input file.
// A file is read whole into memory and tokenized from there.
//
// Line ends: CR LF, a lone CR and a lone LF each count as one line end.
// Value read: skip blanks and tabs; a value ends at a comma, blank, tab,
// line end or the end of the file; a value whose first character is a
// double quote runs to the next double quote (line ends inside belong to
// it) or to the end of the file. After the value, blanks and tabs are
// skipped and then one comma or one line end is consumed if it is there.
// A value read at a line end or at the end of the file is empty (0).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/numeric_conversion.hpp"

namespace korvanel {

struct InputWarnings;

struct InputText {
    std::string path;         // as built; named in error messages
    std::string_view data;    // the whole file
    std::size_t pos = 0;
    // Where the warnings about the values read go; none when null (see
    // value_warnings.hpp).
    InputWarnings* warnings = nullptr;

    InputText() = default;
    InputText(InputText&& other) noexcept;
    InputText& operator=(InputText&& other) noexcept;
    InputText(const InputText&) = delete;
    InputText& operator=(const InputText&) = delete;
    ~InputText();

    // Where `data` lives: a text given in memory, or the file mapped read-only.
    std::string owned;
    void* mapped = nullptr;
    std::size_t mappedSize = 0;
    std::size_t released = 0;   // bytes of the mapping already given back
};

// Reads the whole file. A file that cannot be opened (or names a
// directory) is the fatal stop "Cannot open the input file <path>".
InputText openInputText(const std::string& path);

// An input text over bytes already in memory (tests, fuzzing).
InputText inputTextFromString(std::string path, std::string data);

// Gives back the memory of the part of a mapped file already read (whole
// pages before the position), so that reading a large file does not keep
// all of it resident. Reads of that part must not happen again.
void releaseConsumedText(InputText& in);

// True when no character is left.
inline bool atEnd(const InputText& in) { return in.pos >= in.data.size(); }

// Whole-line read: discards the characters up to the next line end and
// the line end itself.
void readWholeLine(InputText& in);

// Value read: the text of the next value (the quoted text without its
// quotes); empty at a line end or at the end of the file.
std::string_view readValueText(InputText& in);

// String value read: like a value read, but blanks and tabs inside the
// value and before the ending comma or line end belong to it; at most
// 4096 characters are kept.
std::string readStringValue(InputText& in);

// Value read converted to a double or to a 64-bit integer. A value that
// does not fit is the fatal stop "Number out of range in the file <path>".
// Text that is not wholly a number is a warning (value_warnings.hpp).
double readReal(InputText& in);
std::int64_t readInteger(InputText& in);

// Every value up to the end of the file, each read as a real.
std::vector<double> readAllReals(InputText& in);

}  // namespace korvanel
