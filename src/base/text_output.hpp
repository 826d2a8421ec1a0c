#pragma once

// Writing side of the text conventions: the output channel with its column
// counter, the zone separator, CR LF line ends and the number forms.
// Every result file and the console go through these.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace korvanel {

// Double, print form: "%.16g", exponent with sign and at least three
// digits, "." as decimal point, a leading blank unless negative.
// Non-finite: " inf", "-inf", " nan". Negative zero prints " 0".
void appendPrintForm(std::string& out, double value);
std::string printForm(double value);

// 64-bit integer, print form: " 42", "-7".
void appendPrintForm(std::string& out, std::int64_t value);
std::string printForm(std::int64_t value);

// Double, write form: the print form without the leading blank.
void appendWriteForm(std::string& out, double value);
std::string writeForm(double value);

// Formatted double, mask "0.000000e+00", with the given decimal separator.
// Non-finite: "inf", "-inf", "nan". Negative zero gives "0.000000e+00".
void appendFormatted(std::string& out, double value, char decimalSeparator);
std::string formatted(double value, char decimalSeparator);

// An output channel: the console or a file being written. Text is
// collected in `buffer` and flushed to `file` in large pieces.
struct OutputChannel {
    std::string buffer;
    std::int64_t column = 0;        // characters since the last line end
    char decimalSeparator = '.';    // for formatted doubles
    std::FILE* file = nullptr;
    std::string path;               // empty for the console
    bool failed = false;            // a write to the file failed

    OutputChannel() = default;
    OutputChannel(OutputChannel&& other) noexcept { *this = std::move(other); }
    OutputChannel& operator=(OutputChannel&& other) noexcept;
    OutputChannel(const OutputChannel&) = delete;
    OutputChannel& operator=(const OutputChannel&) = delete;
    // A file still open here (a stop left it unfinished) is closed silently.
    ~OutputChannel();
};

// Creates (or empties) an output file. Failure is the fatal stop
// "Cannot write the output file <path>".
OutputChannel createOutputFile(const std::string& path, char decimalSeparator);
// Flushes and closes; a failed write is the same fatal stop.
void closeOutputFile(OutputChannel& channel);
// Closes without reporting anything: used when a stop is already on its way.
void abandonOutputFile(OutputChannel& channel);

// The console: standard output, never closed.
OutputChannel consoleChannel(char decimalSeparator);
void flushConsole(OutputChannel& console);

// Print statement items.
void putText(OutputChannel& ch, std::string_view text);
void putZone(OutputChannel& ch);      // to the next 14-column print zone
void putLineEnd(OutputChannel& ch);   // CR LF
void putDouble(OutputChannel& ch, double value);          // print form
void putInteger(OutputChannel& ch, std::int64_t value);   // print form
void putFormatted(OutputChannel& ch, double value);       // mask form
// Write statement: values in write form separated by "," then CR LF.
void putWriteStatement(OutputChannel& ch, std::span<const double> values);

// Flushes the buffer to the file once it is large.
void flushIfLarge(OutputChannel& ch);

}  // namespace korvanel
