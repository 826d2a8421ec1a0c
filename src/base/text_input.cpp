#include "base/text_input.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/fatal_stop.hpp"
#include "base/large_tables.hpp"
#include "base/short_number_scan.hpp"
#include "base/value_warnings.hpp"

namespace korvanel {
namespace {

constexpr std::size_t kMaxStringValue = 4096;
// The stretch of one value's text scanned between two looks at the stop
// request and at the memory of the text behind.
constexpr std::size_t kLongValueStretch = std::size_t{16} << 20;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// Files that can be read as text: a regular file or a named pipe. A device
// (a terminal, /dev/zero) is never opened: opening one may act on it, and
// reading one may never end.
bool readableKind(mode_t mode) { return S_ISREG(mode) || S_ISFIFO(mode); }

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// How often a read that waits on a pipe looks whether the run was asked to
// stop.
constexpr int kPipeWaitMilliseconds = 200;

// Reads a file that is not mapped (a pipe, an empty file) to its end, from
// a descriptor that does not wait. False on a read error. A pipe that has a
// writer but no data is waited for, and a stop asked for by a signal stops
// the wait.
bool readWhole(int fd, std::string& out) {
    std::size_t used = 0;
    out.resize(65536);
    for (;;) {
        if (used == out.size()) out.resize(out.size() * 2);
        ssize_t got = ::read(fd, out.data() + used, out.size() - used);
        if (got < 0) {
            if (errno != EAGAIN && errno != EINTR) return false;
            stopIfInterrupted();
            pollfd ready{fd, POLLIN, 0};
            ::poll(&ready, 1, kPipeWaitMilliseconds);
            continue;
        }
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
    }
    out.resize(used);
    return true;
}

}  // namespace

void InputText::skipBlanks() {
    while (pos_ < data_.size() && isBlank(data_[pos_])) ++pos_;
}

// Consumes one line end (CR LF, CR or LF) if one is at the position.
bool InputText::consumeLineEnd() {
    if (pos_ >= data_.size()) return false;
    char c = data_[pos_];
    if (c == '\n') {
        ++pos_;
        return true;
    }
    if (c == '\r') {
        ++pos_;
        if (pos_ < data_.size() && data_[pos_] == '\n') ++pos_;
        return true;
    }
    return false;
}

// After a value: blanks and tabs, then one comma or one line end.
void InputText::finishValue() {
    skipBlanks();
    if (pos_ < data_.size() && data_[pos_] == ',') {
        ++pos_;
        return;
    }
    consumeLineEnd();
}

// The quoted text from the opening quote at the position to the next quote
// (or the end of the file); the position ends after the closing quote.
std::string_view InputText::quotedText() {
    std::size_t start = pos_ + 1;
    std::size_t close = data_.find('"', start);
    if (close == std::string::npos) {
        pos_ = data_.size();
        return data_.substr(start);
    }
    pos_ = close + 1;
    return data_.substr(start, close - start);
}

InputText::InputText(InputText&& other) noexcept { *this = std::move(other); }

InputText& InputText::operator=(InputText&& other) noexcept {
    if (this == &other) return *this;
    close();
    const bool inOwned = other.mapped_ == nullptr && !other.viewed_;
    path_ = std::move(other.path_);
    viewed_ = other.viewed_;
    warnings_ = other.warnings_;
    warningsBefore_ = other.warningsBefore_;
    owned_ = std::move(other.owned_);
    mapped_ = other.mapped_;
    mappedSize_ = other.mappedSize_;
    released_ = other.released_;
    mappingMark_ = std::move(other.mappingMark_);
    data_ = inOwned ? std::string_view(owned_) : other.data_;
    pos_ = other.pos_;
    fd_ = other.fd_;
    regular_ = other.regular_;
    device_ = other.device_;
    inode_ = other.inode_;
    fileSize_ = other.fileSize_;
    modified_ = other.modified_;
    statusChanged_ = other.statusChanged_;
    other.mapped_ = nullptr;
    other.mappedSize_ = 0;
    other.data_ = {};
    other.pos_ = 0;
    other.fd_ = -1;
    return *this;
}

InputText::~InputText() { close(); }

void InputText::close() {
    mappingMark_ = InputMappingMark();
    if (mapped_ != nullptr) ::munmap(mapped_, mappedSize_);
    if (fd_ >= 0) ::close(fd_);
    mapped_ = nullptr;
    fd_ = -1;
}

InputText inputTextFromString(std::string path, std::string data) {
    InputText in;
    in.path_ = std::move(path);
    in.owned_ = std::move(data);
    in.data_ = in.owned_;
    return in;
}

InputText inputTextOver(std::string_view text) {
    InputText in;
    in.viewed_ = true;
    in.data_ = text;
    return in;
}

InputText openInputText(const std::string& path) {
    const FatalStop cannotOpen = fatalStop("Cannot open the input file " + path);
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0 || !readableKind(named.st_mode)) throw cannotOpen;
    // Non-blocking open: a named pipe that no program writes to would block
    // the open for ever; opened this way it reads as an empty file, and a
    // pipe that a program does write is read to its end.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) throw cannotOpen;
    InputText in;
    in.path_ = path;
    in.fd_ = fd;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !readableKind(info.st_mode)) throw cannotOpen;
    in.regular_ = S_ISREG(info.st_mode);
    in.device_ = info.st_dev;
    in.inode_ = info.st_ino;
    in.fileSize_ = info.st_size;
    in.modified_ = info.st_mtim;
    in.statusChanged_ = info.st_ctim;
    if (in.regular_ && info.st_size > 0) {
        // Mapped read-only: the text is read straight from the page cache,
        // with no copy and no zero-filled buffer.
        const auto size = static_cast<std::size_t>(info.st_size);
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p != MAP_FAILED) {
            InputMappingMark mark(p, size);
            if (mark.registered()) {
                ::madvise(p, size, MADV_SEQUENTIAL);
                in.mapped_ = p;
                in.mappedSize_ = size;
                in.mappingMark_ = std::move(mark);
                in.data_ = std::string_view(static_cast<const char*>(p), size);
                return in;
            }
            ::munmap(p, size);
        }
    }
    bool ok;
    try {
        ok = readWhole(fd, in.owned_);
    } catch (const std::bad_alloc&) {
        throw outOfMemory();
    }
    if (!ok) throw cannotOpen;
    in.data_ = in.owned_;
    return in;
}

void InputText::stopIfChanged() const {
    if (fd_ < 0) return;  // a text given in memory
    struct stat now {};
    bool same = ::stat(path_.c_str(), &now) == 0 && now.st_dev == device_ && now.st_ino == inode_;
    if (same && regular_)
        same = now.st_size == fileSize_ && sameTime(now.st_mtim, modified_) &&
               sameTime(now.st_ctim, statusChanged_) && !mappingMark_.cut();
    if (same) return;
    if (warnings_ != nullptr) dropWarningsSince(*warnings_, warningsBefore_);
    throw fatalStop("The input file " + path_ + " changed while it was being read");
}

void InputText::moveTo(std::size_t position) { pos_ = std::min(position, data_.size()); }

void InputText::releaseConsumedText() {
    stopIfInterrupted();
    releaseTextBefore(pos_);
}

void InputText::releaseTextBefore(std::size_t position) {
    if (mapped_ == nullptr) return;
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    constexpr std::size_t kReleaseStep = std::size_t{8} << 20;
    std::size_t upTo = position / page * page;
    if (upTo < released_ + kReleaseStep) return;
    ::madvise(static_cast<char*>(mapped_) + released_, upTo - released_, MADV_DONTNEED);
    released_ = upTo;
}

std::size_t InputText::skipToValue() {
    skipBlanks();
    return pos_;
}

void InputText::skipByteOrderMark() {
    if (pos_ == 0 && data_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
}

void InputText::readWholeLine() {
    while (pos_ < data_.size() && !isLineEnd(data_[pos_])) ++pos_;
    consumeLineEnd();
}

std::string_view InputText::readValueText() {
    skipBlanks();
    if (pos_ >= data_.size()) return {};
    std::string_view value;
    if (data_[pos_] == '"') {
        value = quotedText();
    } else {
        std::size_t start = pos_;
        const char* p = data_.data();
        std::size_t n = data_.size(), i = start;
        for (;;) {
            const std::size_t stretchEnd = std::min(n, i + kLongValueStretch);
            while (i < stretchEnd) {
                char c = p[i];
                if (c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n') break;
                ++i;
            }
            if (i < stretchEnd || i == n) break;
            // A value of many megabytes (a file of zeros, a hole in a sparse
            // file): the text behind the scan is given back as it goes, and
            // a stop asked for by a signal stops it.
            releaseTextBefore(i);
            stopIfInterrupted();
        }
        pos_ = i;
        value = data_.substr(start, i - start);
    }
    finishValue();
    return value;
}

std::string InputText::readStringValue() {
    skipBlanks();
    std::string_view value;
    if (pos_ < data_.size() && data_[pos_] == '"') {
        value = quotedText();
        finishValue();
    } else {
        std::size_t start = pos_;
        while (pos_ < data_.size() && data_[pos_] != ',' && !isLineEnd(data_[pos_])) ++pos_;
        value = data_.substr(start, pos_ - start);
        if (pos_ < data_.size() && data_[pos_] == ',')
            ++pos_;
        else
            consumeLineEnd();
    }
    return std::string(value.substr(0, kMaxStringValue));
}

// A value read for the common short number: `scan` reads and converts it
// in one pass, then the rest of the value read follows. False, with nothing
// read, for any other value.
template <class Number>
bool InputText::readShortNumber(Number& value,
                                bool (*scan)(const char*, const char*, const char*&, Number&)) {
    const char* const begin = data_.data();
    const char* next = nullptr;
    if (!scan(begin + pos_, begin + data_.size(), next, value)) return false;
    pos_ = static_cast<std::size_t>(next - begin);
    finishValue();
    return true;
}

double InputText::readReal() {
    double value = 0.0;
    skipBlanks();
    if (readShortNumber(value, scanShortReal)) return value;
    const std::size_t start = pos_;
    value = realFromText(*this, readValueText(), start);
    releaseLongValue(start);
    return value;
}

std::int64_t InputText::readInteger() {
    std::int64_t value = 0;
    skipBlanks();
    if (readShortNumber(value, scanShortInteger)) return value;
    const std::size_t start = pos_;
    value = integerFromText(*this, readValueText(), start);
    releaseLongValue(start);
    return value;
}

// After the conversion of a value of many megabytes, which went over its
// text again: that text is given back.
void InputText::releaseLongValue(std::size_t start) {
    if (pos_ - start > kLongValueStretch) releaseTextBefore(pos_);
}

std::vector<double> readAllReals(InputText& in) {
    std::vector<double> values;
    reserveLargeTableForGuess(values, in.size() / 8 + 1);  // about eight bytes per value
    while (!in.atEnd()) {
        values.push_back(in.readReal());
        stopIfInterruptedAtStep(values.size());
    }
    return values;
}

}  // namespace korvanel
