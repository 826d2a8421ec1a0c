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

#include "base/signal_guard.hpp"

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

// An output channel: the console, a file being written, or (default
// constructed) text rendered in memory only. Text is collected and written
// out in large pieces. A file is written under a temporary name in its own
// directory and takes its name only when it is closed complete, so a file
// at the name is always either whole from this run or untouched from
// before, and a link or a pipe at the name is replaced, never written
// through.
class OutputChannel {
public:
    OutputChannel() = default;
    OutputChannel(OutputChannel&& other) noexcept;
    OutputChannel& operator=(OutputChannel&& other) noexcept;
    OutputChannel(const OutputChannel&) = delete;
    OutputChannel& operator=(const OutputChannel&) = delete;
    // A file still open here (a stop left it unfinished) is removed: the
    // name keeps what it had.
    ~OutputChannel();

    const std::string& path() const { return path_; }   // empty for the console
    char decimalSeparator() const { return decimalSeparator_; }
    std::int64_t column() const { return column_; }      // characters since the last line end
    // The text not yet written out; for a channel without a file, all of it.
    const std::string& text() const { return buffer_; }

private:
    enum class Kind : unsigned char { memory, console, file };

    friend OutputChannel createOutputFile(const std::string& path, char decimalSeparator);
    friend void closeOutputFile(OutputChannel& channel);
    friend void abandonOutputFile(OutputChannel& channel);
    friend OutputChannel consoleChannel(char decimalSeparator);
    friend void flushConsole(OutputChannel& console);
    friend bool consoleWriteFailed(const OutputChannel& console);
// True for the console when standard output is a terminal.
bool consoleIsTerminal(const OutputChannel& console);
    friend bool consoleIsTerminal(const OutputChannel& console);
    friend void flushIfLarge(OutputChannel& channel);
    friend void putText(OutputChannel& ch, std::string_view text);
    friend void putZone(OutputChannel& ch);
    friend void putLineEnd(OutputChannel& ch);
    friend void putDouble(OutputChannel& ch, double value);
    friend void putInteger(OutputChannel& ch, std::int64_t value);
    friend void putFormatted(OutputChannel& ch, double value);
    friend void putWriteStatement(OutputChannel& ch, std::span<const double> values);

    void writeOut();                   // the collected text to the file or console
    [[noreturn]] void failWrite();     // removes the temporary file, reports, stops
    template <class Append> void putItem(Append append);

    std::string buffer_;
    std::int64_t column_ = 0;
    char decimalSeparator_ = '.';      // for formatted doubles
    Kind kind_ = Kind::memory;
    int fd_ = -1;
    int error_ = 0;                    // errno of the first failed write
    std::string path_;
    std::string temporaryPath_;
    TemporaryFileMark temporaryMark_;
};

// Creates the file's temporary in the directory of `path`. Failure is the
// fatal stop "Cannot write the output file <path>".
OutputChannel createOutputFile(const std::string& path, char decimalSeparator);
// Writes out, flushes to the disk and gives the file its name (replacing
// whatever had the name); a failure is the same fatal stop, with the file
// left as it was. The reason of a failure goes to standard error.
void closeOutputFile(OutputChannel& channel);
// Removes the unfinished file without reporting anything: used when a stop
// is already on its way.
void abandonOutputFile(OutputChannel& channel);

// The console: standard output, never closed. A failed write is reported
// on standard error once; the run goes on and the failure is asked for at
// its end.
OutputChannel consoleChannel(char decimalSeparator);
void flushConsole(OutputChannel& console);
bool consoleWriteFailed(const OutputChannel& console);
// True for the console when standard output is a terminal.
bool consoleIsTerminal(const OutputChannel& console);

// Print statement items.
void putText(OutputChannel& ch, std::string_view text);
void putZone(OutputChannel& ch);      // to the next 14-column print zone
void putLineEnd(OutputChannel& ch);   // CR LF
void putDouble(OutputChannel& ch, double value);          // print form
void putInteger(OutputChannel& ch, std::int64_t value);   // print form
void putFormatted(OutputChannel& ch, double value);       // mask form
// Write statement: values in write form separated by "," then CR LF.
void putWriteStatement(OutputChannel& ch, std::span<const double> values);

// Writes the collected text out once it is large; there, a run asked to stop
// by a signal stops.
void flushIfLarge(OutputChannel& channel);

}  // namespace korvanel
