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

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/input_warnings.hpp"
#include "base/numeric_conversion.hpp"
#include "base/signal_guard.hpp"

namespace korvanel {

// An input file being read: its text and the reading position. A regular
// file is mapped read-only (should it be cut short meanwhile, the missing
// part reads as zeros and the file counts as changed); a pipe is read to
// its end into memory.
class InputText {
public:
    InputText() = default;
    InputText(InputText&& other) noexcept;
    InputText& operator=(InputText&& other) noexcept;
    InputText(const InputText&) = delete;
    InputText& operator=(const InputText&) = delete;
    ~InputText();

    const std::string& path() const { return path_; }   // as built; named in messages
    std::size_t size() const { return data_.size(); }   // bytes of the whole text
    std::size_t position() const { return pos_; }
    // The whole text, for messages that quote or place what was read.
    std::string_view text() const { return data_; }
    // True when no character is left.
    bool atEnd() const { return pos_ >= data_.size(); }

    // Whole-line read: discards the characters up to the next line end and
    // the line end itself.
    void readWholeLine();
    // Value read: the text of the next value (the quoted text without its
    // quotes); empty at a line end or at the end of the file.
    std::string_view readValueText();
    // String value read: like a value read, but blanks and tabs inside the
    // value and before the ending comma or line end belong to it; at most
    // 4096 characters are kept.
    std::string readStringValue();
    // Value read converted to a double or to a 64-bit integer. A value that
    // does not fit is the fatal stop "Number out of range in the file <path>".
    // Text that is not wholly a number is a warning (value_warnings.hpp).
    double readReal();
    std::int64_t readInteger();

    // Moves the reading position to `position` (at most the end of the
    // text): a reader that knows where its part of the text begins goes
    // there. Never back to a part already given back.
    void moveTo(std::size_t position);

    // Gives back the memory of the part of a mapped file already read (whole
    // pages before the position), so that reading a large file does not keep
    // all of it resident. A read of that part again reads the file again.
    // Readers call it every so many lines; there, a run asked to stop by a
    // signal stops.
    void releaseConsumedText();

    // The stop "The input file <path> changed while it was being read" when
    // the file's size, modification time, status-change time or identity
    // (device and inode) is no longer what it was when it was opened, or a
    // part of it could not be read. The warnings made about the file since
    // it was given its collector are taken back: they are about a text that
    // is no longer the file (the zeros of a file cut short, for example).
    void stopIfChanged() const;

    // A file opened for reading, for locking; -1 for a text in memory.
    int descriptor() const { return fd_; }

    // Where the warnings about the values read go; none when null (see
    // value_warnings.hpp).
    InputWarnings* warnings() const { return warnings_; }
    void setWarnings(InputWarnings* warnings) {
        warnings_ = warnings;
        if (warnings != nullptr) warningsBefore_ = markWarnings(*warnings);
    }

    // Skips blanks and tabs: the position where the next value read starts.
    std::size_t skipToValue();
    // Skips a UTF-8 byte-order mark (the bytes EF BB BF) at the very start
    // of the text: a file that a spreadsheet saved reads as if it were not
    // there.
    void skipByteOrderMark();

private:
    friend InputText openInputText(const std::string& path);
    friend InputText inputTextFromString(std::string path, std::string data);
    friend InputText inputTextOver(std::string_view text);

    void close();
    void releaseTextBefore(std::size_t position);
    void releaseLongValue(std::size_t start);
    void skipBlanks();
    bool consumeLineEnd();
    void finishValue();
    std::string_view quotedText();
    template <class Number>
    bool readShortNumber(Number& value,
                         bool (*scan)(const char*, const char*, const char*&, Number&));

    std::string path_;
    std::string_view data_;       // the whole text
    std::size_t pos_ = 0;
    std::string owned_;           // the text of a pipe or of a text given in memory
    void* mapped_ = nullptr;      // or the mapped file
    std::size_t mappedSize_ = 0;
    std::size_t released_ = 0;    // bytes of the mapping already given back
    bool viewed_ = false;         // or a text owned elsewhere
    InputWarnings* warnings_ = nullptr;
    WarningsMark warningsBefore_;
    InputMappingMark mappingMark_;
    int fd_ = -1;
    // What the file was when it was opened.
    bool regular_ = false;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    off_t fileSize_ = 0;
    timespec modified_{};
    // Set by every write, and by a time put back: a rewrite of the same
    // size that keeps the modification time still shows here.
    timespec statusChanged_{};
};

// Opens the file for reading. A file that cannot be opened, a directory and
// a device (anything but a regular file or a named pipe) are the fatal stop
// "Cannot open the input file <path>".
InputText openInputText(const std::string& path);

// An input text over bytes already in memory (tests, fuzzing).
InputText inputTextFromString(std::string path, std::string data);

// An input text over bytes owned elsewhere that outlive it, with no path
// (counting the values of a part of a text already read).
InputText inputTextOver(std::string_view text);

// Opens the file, has `read` read it and makes sure that the file did not
// change meanwhile. A change is the stop "The input file <path> changed
// while it was being read", also when `read` stopped on what it found.
template <class Read>
auto readInputFile(const std::string& path, Read&& read) {
    InputText in = openInputText(path);
    try {
        auto result = read(in);
        in.stopIfChanged();
        return result;
    } catch (...) {
        if (stopSignal() == 0) in.stopIfChanged();
        throw;
    }
}

// The reading primitives as free functions, as every reader uses them.
inline bool atEnd(const InputText& in) { return in.atEnd(); }
inline void readWholeLine(InputText& in) { in.readWholeLine(); }
inline std::string_view readValueText(InputText& in) { return in.readValueText(); }
inline std::string readStringValue(InputText& in) { return in.readStringValue(); }
inline double readReal(InputText& in) { return in.readReal(); }
inline std::int64_t readInteger(InputText& in) { return in.readInteger(); }
inline void releaseConsumedText(InputText& in) { in.releaseConsumedText(); }

// Every value up to the end of the file, each read as a real.
std::vector<double> readAllReals(InputText& in);

}  // namespace korvanel
