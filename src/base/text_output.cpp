#include "base/text_output.hpp"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include "base/fatal_stop.hpp"
#include "base/output_temporaries.hpp"
#include "base/signal_guard.hpp"
#include "base/standard_error_text.hpp"

namespace korvanel {
namespace {

constexpr std::size_t kFlushThreshold = 1 << 20;
constexpr int kZoneWidth = 14;

// "%.16g" of a finite, non-zero value with the exponent widened to at
// least three digits ("1e+20" becomes "1e+020").
void appendSixteenDigits(std::string& out, double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                std::chars_format::general, 16);
    const char* begin = buffer;
    const char* end = result.ptr;
    const char* e = static_cast<const char*>(std::memchr(buffer, 'e', end - buffer));
    if (e == nullptr) {
        out.append(begin, end);
        return;
    }
    out.append(begin, e + 2);  // mantissa, 'e' and the sign
    const char* digits = e + 2;
    for (auto n = end - digits; n < 3; ++n) out.push_back('0');
    out.append(digits, end);
}

bool appendNonFinite(std::string& out, double value, bool leadingBlank) {
    if (std::isnan(value)) {
        out.append(leadingBlank ? " nan" : "nan");
        return true;
    }
    if (std::isinf(value)) {
        out.append(value < 0 ? "-inf" : (leadingBlank ? " inf" : "inf"));
        return true;
    }
    return false;
}

}  // namespace

void appendPrintForm(std::string& out, double value) {
    if (appendNonFinite(out, value, true)) return;
    if (value == 0.0) {  // negative zero prints as zero
        out.append(" 0");
        return;
    }
    if (value > 0) out.push_back(' ');
    appendSixteenDigits(out, value);
}

std::string printForm(double value) {
    std::string out;
    appendPrintForm(out, value);
    return out;
}

void appendPrintForm(std::string& out, std::int64_t value) {
    if (value >= 0) out.push_back(' ');
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, static_cast<std::size_t>(result.ptr - buffer));
}

std::string printForm(std::int64_t value) {
    std::string out;
    appendPrintForm(out, value);
    return out;
}

void appendWriteForm(std::string& out, double value) {
    if (appendNonFinite(out, value, false)) return;
    if (value == 0.0) {
        out.push_back('0');
        return;
    }
    appendSixteenDigits(out, value);
}

std::string writeForm(double value) {
    std::string out;
    appendWriteForm(out, value);
    return out;
}

void appendFormatted(std::string& out, double value, char decimalSeparator) {
    if (appendNonFinite(out, value, false)) return;
    if (value == 0.0) value = 0.0;  // drop the sign of negative zero
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                std::chars_format::scientific, 6);
    for (char* p = buffer; p != result.ptr; ++p)
        if (*p == '.') *p = decimalSeparator;
    out.append(buffer, static_cast<std::size_t>(result.ptr - buffer));
}

std::string formatted(double value, char decimalSeparator) {
    std::string out;
    appendFormatted(out, value, decimalSeparator);
    return out;
}

namespace {

constexpr int kTemporaryAttempts = 1000;

FatalStop cannotWrite(const std::string& path) {
    return fatalStop("Cannot write the output file " + path);
}

// Writes all of the bytes to a file; 0, or the errno of the failure.
int writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return 0;
}

// How often a write to a terminal or pipe that is not ready looks whether
// the run was asked to stop.
constexpr int kStreamWaitMilliseconds = 200;
// A piece that a pipe with room takes without waiting.
constexpr std::size_t kStreamPiece = PIPE_BUF;

// The same for standard output or standard error, which may be a terminal
// or a pipe that nobody reads: once the run was asked to stop, text they do
// not take within a wait is dropped, so that they cannot keep the stopped
// run alive.
int writeAllToStream(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        pollfd ready{fd, POLLOUT, 0};
        const int polled = ::poll(&ready, 1, kStreamWaitMilliseconds);
        if (polled < 0) {
            if (errno != EINTR) return errno;
            continue;
        }
        if (polled == 0) {
            if (stopSignal() != 0) return 0;
            continue;
        }
        const ssize_t done = ::write(fd, data, std::min(size, kStreamPiece));
        if (done < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return errno;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return 0;
}

// The reason of a failed write, on standard error: "<name>: <reason>".
void reportWriteError(const std::string& name, int error) {
    const std::string line = escapedControlCharacters(name) + ": " + std::strerror(error) + "\r\n";
    writeAllToStream(STDERR_FILENO, line.data(), line.size());
}

// The directory part of a path with its last "/" ("" for a bare name) and
// the name after it.
std::pair<std::string, std::string> splitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// A file system that cannot flush a directory (or a file) says so with one
// of these; the data is then as safe as the system makes it.
bool flushNotSupported(int error) { return error == EINVAL || error == EROFS || error == ENOTSUP; }

// Makes the new name of a file last: flushes its directory.
void flushDirectory(const std::string& directory) {
    const int fd = ::open(directory.empty() ? "." : directory.c_str(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // best effort: the rename itself has been made
    ::close(fd);
}

}  // namespace

OutputChannel::OutputChannel(OutputChannel&& other) noexcept { *this = std::move(other); }

OutputChannel& OutputChannel::operator=(OutputChannel&& other) noexcept {
    if (this != &other) {
        abandonOutputFile(*this);
        buffer_ = std::move(other.buffer_);
        column_ = other.column_;
        decimalSeparator_ = other.decimalSeparator_;
        kind_ = other.kind_;
        fd_ = other.fd_;
        error_ = other.error_;
        path_ = std::move(other.path_);
        temporaryPath_ = std::move(other.temporaryPath_);
        temporaryMark_ = std::move(other.temporaryMark_);
        other.kind_ = Kind::memory;
        other.fd_ = -1;
        other.temporaryPath_.clear();
    }
    return *this;
}

OutputChannel::~OutputChannel() { abandonOutputFile(*this); }

void OutputChannel::writeOut() {
    if (kind_ == Kind::memory || buffer_.empty()) return;
    if (error_ == 0) {
        error_ = kind_ == Kind::file ? writeAll(fd_, buffer_.data(), buffer_.size())
                                     : writeAllToStream(fd_, buffer_.data(), buffer_.size());
        if (error_ != 0 && kind_ == Kind::console) reportWriteError("standard output", error_);
    }
    buffer_.clear();
}

void OutputChannel::failWrite() {
    const int error = error_;
    abandonOutputFile(*this);
    // A stop asked for by a signal comes first: the write may have failed
    // because the signal removed the temporary file.
    stopIfInterrupted();
    reportWriteError(path_, error);
    throw cannotWrite(path_);
}

OutputChannel createOutputFile(const std::string& path, char decimalSeparator) {
    OutputChannel ch;
    ch.decimalSeparator_ = decimalSeparator;
    ch.path_ = path;
    const std::string stem = temporaryPrefix(path) + std::to_string(::getpid());
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        std::string temporary = stem + "." + std::to_string(attempt) + ".tmp";
        // Marked before it exists, so that no moment passes in which a
        // signal would leave it behind.
        TemporaryFileMark mark(temporary);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ch.kind_ = OutputChannel::Kind::file;
            ch.fd_ = fd;
            ch.temporaryPath_ = std::move(temporary);
            ch.temporaryMark_ = std::move(mark);
            return ch;
        }
        if (errno != EEXIST) {
            ch.error_ = errno;
            break;
        }
    }
    reportWriteError(path, ch.error_ != 0 ? ch.error_ : EEXIST);
    throw cannotWrite(path);
}

void closeOutputFile(OutputChannel& ch) {
    using Kind = OutputChannel::Kind;
    if (ch.kind_ == Kind::console) flushConsole(ch);
    if (ch.kind_ != Kind::file || ch.fd_ < 0) return;
    ch.writeOut();
    if (ch.error_ == 0 && ::fsync(ch.fd_) != 0 && !flushNotSupported(errno)) ch.error_ = errno;
    if (::close(ch.fd_) != 0 && ch.error_ == 0 && errno != EINTR) ch.error_ = errno;
    ch.fd_ = -1;
    if (ch.error_ == 0 && ::rename(ch.temporaryPath_.c_str(), ch.path_.c_str()) != 0)
        ch.error_ = errno;
    if (ch.error_ != 0) ch.failWrite();
    ch.temporaryPath_.clear();
    ch.temporaryMark_.release();
    ch.kind_ = Kind::memory;
    flushDirectory(splitPath(ch.path_).first);
}

void abandonOutputFile(OutputChannel& ch) {
    if (ch.kind_ != OutputChannel::Kind::file) return;
    if (ch.fd_ >= 0) ::close(ch.fd_);
    ch.fd_ = -1;
    if (!ch.temporaryPath_.empty()) ::unlink(ch.temporaryPath_.c_str());
    ch.temporaryPath_.clear();
    ch.temporaryMark_.release();
    ch.buffer_.clear();
    ch.kind_ = OutputChannel::Kind::memory;
}

OutputChannel memoryChannel(char decimalSeparator) {
    OutputChannel ch;
    ch.decimalSeparator_ = decimalSeparator;
    return ch;
}

OutputChannel consoleChannel(char decimalSeparator) {
    OutputChannel ch;
    ch.decimalSeparator_ = decimalSeparator;
    ch.kind_ = OutputChannel::Kind::console;
    ch.fd_ = STDOUT_FILENO;
    return ch;
}

void flushConsole(OutputChannel& console) { console.writeOut(); }

bool consoleWriteFailed(const OutputChannel& console) {
    return console.kind_ == OutputChannel::Kind::console && console.error_ != 0;
}

bool consoleIsTerminal(const OutputChannel& console) {
    return console.kind_ == OutputChannel::Kind::console && ::isatty(console.fd_) == 1;
}

void putText(OutputChannel& ch, std::string_view text) {
    ch.buffer_.append(text);
    auto lastEnd = text.find_last_of("\r\n");
    if (lastEnd == std::string_view::npos)
        ch.column_ += static_cast<std::int64_t>(text.size());
    else
        ch.column_ = static_cast<std::int64_t>(text.size() - lastEnd - 1);
}

void putZone(OutputChannel& ch) {
    std::int64_t target = kZoneWidth * ((ch.column_ + kZoneWidth) / kZoneWidth);
    ch.buffer_.append(static_cast<std::size_t>(target - ch.column_), ' ');
    ch.column_ = target;
}

void putLineEnd(OutputChannel& ch) {
    ch.buffer_.append("\r\n");
    ch.column_ = 0;
}

// Appends a piece that holds no line end and advances the column.
template <class Append>
void OutputChannel::putItem(Append append) {
    std::size_t before = buffer_.size();
    append(buffer_);
    column_ += static_cast<std::int64_t>(buffer_.size() - before);
}

void putDouble(OutputChannel& ch, double value) {
    ch.putItem([&](std::string& out) { appendPrintForm(out, value); });
}

void putInteger(OutputChannel& ch, std::int64_t value) {
    ch.putItem([&](std::string& out) { appendPrintForm(out, value); });
}

void putFormatted(OutputChannel& ch, double value) {
    ch.putItem([&](std::string& out) { appendFormatted(out, value, ch.decimalSeparator_); });
}

void putWriteStatement(OutputChannel& ch, std::span<const double> values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) ch.buffer_.push_back(',');
        appendWriteForm(ch.buffer_, values[i]);
    }
    putLineEnd(ch);
}

void flushIfLarge(OutputChannel& ch) {
    if (ch.buffer_.size() < kFlushThreshold || ch.kind_ == OutputChannel::Kind::memory) return;
    stopIfInterrupted();
    ch.writeOut();
    if (ch.kind_ == OutputChannel::Kind::file && ch.error_ != 0) ch.failWrite();
}

}  // namespace korvanel
