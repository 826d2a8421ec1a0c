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
    // A channel whose text stays in memory (text()): what a writer writes
    // into it is what the file would hold.
    explicit OutputChannel(char decimalSeparator) : decimalSeparator_(decimalSeparator) {}
    OutputChannel(OutputChannel&& other) noexcept;
    OutputChannel& operator=(OutputChannel&& other) noexcept;
    OutputChannel(const OutputChannel&) = delete;
    OutputChannel& operator=(const OutputChannel&) = delete;
    // A file still open here (a stop left it unfinished) is removed: the
    // name keeps what it had.
    ~OutputChannel();

    // Creates the file's temporary in the directory of `path`. Failure is
    // the fatal stop "Cannot write the output file <path>".
    static OutputChannel file(const std::string& path, char decimalSeparator);
    // The console: standard output, never closed. A failed write is
    // reported on standard error once; the run goes on and the failure is
    // asked for at its end (writeFailed).
    static OutputChannel console(char decimalSeparator);

    const std::string& path() const { return path_; }   // empty for the console
    char decimalSeparator() const { return decimalSeparator_; }
    std::int64_t column() const { return column_; }      // characters since the last line end
    // The text not yet written out; for a channel without a file, all of it.
    const std::string& text() const { return buffer_; }

    // Appends text; the column follows it.
    void put(std::string_view text);
    // Ends the line: CR LF.
    void endLine() {
        buffer_.append("\r\n");
        column_ = 0;
    }
    // Appends what `append` adds to the text: a piece with no line end.
    template <class Append>
    void putPiece(Append append) {
        const std::size_t before = buffer_.size();
        append(buffer_);
        column_ += static_cast<std::int64_t>(buffer_.size() - before);
    }
    // Writes the collected text out once it is large; there, a run asked to
    // stop by a signal stops.
    void flushIfLarge();

    // A file: writes out, flushes to the disk and gives the file its name
    // (replacing whatever had the name); a failure is the same fatal stop,
    // with the file left as it was. The reason of a failure goes to
    // standard error. The console: flushes it.
    void close();
    // Removes the unfinished file without reporting anything: used when a
    // stop is already on its way.
    void abandon();
    // The console: writes out what has been collected.
    void flush();
    bool writeFailed() const;   // a write to the console failed
    bool isTerminal() const;    // the console, and standard output is a terminal

private:
    enum class Kind : unsigned char { memory, console, file };

    void writeOut();                   // the collected text to the file or console
    [[noreturn]] void failWrite();     // removes the temporary file, reports, stops

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

// Creates the file, lets `write` fill the channel, and closes it: the file
// takes its name only when `write` has finished. A stop thrown by `write`
// leaves the name as it was.
template <class Write>
void writeOutputFile(const std::string& path, char decimalSeparator, Write&& write) {
    OutputChannel file = OutputChannel::file(path, decimalSeparator);
    write(file);
    file.close();
}

// Print statement items.
inline void putText(OutputChannel& ch, std::string_view text) { ch.put(text); }
void putZone(OutputChannel& ch);      // to the next 14-column print zone
void putLineEnd(OutputChannel& ch);   // CR LF
void putDouble(OutputChannel& ch, double value);          // print form
void putInteger(OutputChannel& ch, std::int64_t value);   // print form
void putFormatted(OutputChannel& ch, double value);       // mask form
// Write statement: values in write form separated by "," then CR LF.
void putWriteStatement(OutputChannel& ch, std::span<const double> values);

// The text, then CR LF.
inline void putTextLine(OutputChannel& ch, std::string_view text) {
    putText(ch, text);
    putLineEnd(ch);
}

}  // namespace korvanel
