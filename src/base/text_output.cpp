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

// The reason of a failed write, on standard error: "korvanel: <name>: <reason>".
void reportWriteError(const std::string& name, int error) {
    const std::string line =
        "korvanel: " + escapedControlCharacters(name) + ": " + std::strerror(error) + "\r\n";
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
        abandon();
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

OutputChannel::~OutputChannel() { abandon(); }

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
    abandon();
    // A stop asked for by a signal comes first: the write may have failed
    // because the signal removed the temporary file.
    stopIfInterrupted();
    reportWriteError(path_, error);
    throw cannotWrite(path_);
}

OutputChannel OutputChannel::file(const std::string& path, char decimalSeparator) {
    OutputChannel ch(decimalSeparator);
    ch.path_ = path;
    const std::string stem = temporaryPrefix(path) + std::to_string(::getpid());
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        std::string temporary = stem + "." + std::to_string(attempt) + ".tmp";
        // Marked before it exists, so that no moment passes in which a
        // signal would leave it behind.
        TemporaryFileMark mark(temporary);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ch.kind_ = Kind::file;
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

void OutputChannel::close() {
    if (kind_ == Kind::console) flush();
    if (kind_ != Kind::file || fd_ < 0) return;
    writeOut();
    if (error_ == 0 && ::fsync(fd_) != 0 && !flushNotSupported(errno)) error_ = errno;
    if (::close(fd_) != 0 && error_ == 0 && errno != EINTR) error_ = errno;
    fd_ = -1;
    if (error_ == 0 && ::rename(temporaryPath_.c_str(), path_.c_str()) != 0) error_ = errno;
    if (error_ != 0) failWrite();
    temporaryPath_.clear();
    temporaryMark_.release();
    kind_ = Kind::memory;
    flushDirectory(splitPath(path_).first);
}

void OutputChannel::abandon() {
    if (kind_ != Kind::file) return;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporaryPath_.empty()) ::unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
    temporaryMark_.release();
    buffer_.clear();
    kind_ = Kind::memory;
}

OutputChannel OutputChannel::console(char decimalSeparator) {
    OutputChannel ch(decimalSeparator);
    ch.kind_ = Kind::console;
    ch.fd_ = STDOUT_FILENO;
    return ch;
}

void OutputChannel::flush() { writeOut(); }

bool OutputChannel::writeFailed() const { return kind_ == Kind::console && error_ != 0; }

bool OutputChannel::isTerminal() const { return kind_ == Kind::console && ::isatty(fd_) == 1; }

void OutputChannel::put(std::string_view text) {
    buffer_.append(text);
    const auto lastEnd = text.find_last_of("\r\n");
    if (lastEnd == std::string_view::npos)
        column_ += static_cast<std::int64_t>(text.size());
    else
        column_ = static_cast<std::int64_t>(text.size() - lastEnd - 1);
}

void putZone(OutputChannel& ch) {
    const std::int64_t target = kZoneWidth * ((ch.column() + kZoneWidth) / kZoneWidth);
    const auto blanks = static_cast<std::size_t>(target - ch.column());
    ch.putPiece([&](std::string& out) { out.append(blanks, ' '); });
}

void putLineEnd(OutputChannel& ch) { ch.endLine(); }

void putDouble(OutputChannel& ch, double value) {
    ch.putPiece([&](std::string& out) { appendPrintForm(out, value); });
}

void putInteger(OutputChannel& ch, std::int64_t value) {
    ch.putPiece([&](std::string& out) { appendPrintForm(out, value); });
}

void putFormatted(OutputChannel& ch, double value) {
    ch.putPiece([&](std::string& out) { appendFormatted(out, value, ch.decimalSeparator()); });
}

void putWriteStatement(OutputChannel& ch, std::span<const double> values) {
    ch.putPiece([&](std::string& out) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) out.push_back(',');
            appendWriteForm(out, values[i]);
        }
    });
    putLineEnd(ch);
}

void OutputChannel::flushIfLarge() {
    if (buffer_.size() < kFlushThreshold || kind_ == Kind::memory) return;
    stopIfInterrupted();
    writeOut();
    if (kind_ == Kind::file && error_ != 0) failWrite();
}

}  // namespace korvanel
