#include "base/text_output.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

#include "base/fatal_stop.hpp"

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

void flushToFile(OutputChannel& ch) {
    if (ch.file == nullptr || ch.buffer.empty()) return;
    if (std::fwrite(ch.buffer.data(), 1, ch.buffer.size(), ch.file) != ch.buffer.size())
        ch.failed = true;
    ch.buffer.clear();
}

FatalStop cannotWrite(const std::string& path) {
    return fatalStop("Cannot write the output file " + path);
}

}  // namespace

OutputChannel& OutputChannel::operator=(OutputChannel&& other) noexcept {
    if (this != &other) {
        abandonOutputFile(*this);
        buffer = std::move(other.buffer);
        column = other.column;
        decimalSeparator = other.decimalSeparator;
        file = other.file;
        path = std::move(other.path);
        failed = other.failed;
        other.file = nullptr;
    }
    return *this;
}

OutputChannel::~OutputChannel() { abandonOutputFile(*this); }

OutputChannel createOutputFile(const std::string& path, char decimalSeparator) {
    OutputChannel ch;
    ch.decimalSeparator = decimalSeparator;
    ch.path = path;
    ch.file = std::fopen(path.c_str(), "wb");
    if (ch.file == nullptr) throw cannotWrite(path);
    return ch;
}

void closeOutputFile(OutputChannel& ch) {
    if (ch.file == nullptr) return;
    flushToFile(ch);
    if (std::fclose(ch.file) != 0) ch.failed = true;
    ch.file = nullptr;
    if (ch.failed) throw cannotWrite(ch.path);
}

void abandonOutputFile(OutputChannel& ch) {
    if (ch.file != nullptr && ch.file != stdout) std::fclose(ch.file);
    ch.file = nullptr;
}

OutputChannel consoleChannel(char decimalSeparator) {
    OutputChannel ch;
    ch.decimalSeparator = decimalSeparator;
    ch.file = stdout;
    return ch;
}

void flushConsole(OutputChannel& console) {
    flushToFile(console);
    std::fflush(console.file);
}

void putText(OutputChannel& ch, std::string_view text) {
    ch.buffer.append(text);
    auto lastEnd = text.find_last_of("\r\n");
    if (lastEnd == std::string_view::npos)
        ch.column += static_cast<std::int64_t>(text.size());
    else
        ch.column = static_cast<std::int64_t>(text.size() - lastEnd - 1);
}

void putZone(OutputChannel& ch) {
    std::int64_t target = kZoneWidth * ((ch.column + kZoneWidth) / kZoneWidth);
    ch.buffer.append(static_cast<std::size_t>(target - ch.column), ' ');
    ch.column = target;
}

void putLineEnd(OutputChannel& ch) {
    ch.buffer.append("\r\n");
    ch.column = 0;
}

namespace {
// Appends a piece that holds no line end and advances the column.
template <typename Append>
void putItem(OutputChannel& ch, Append append) {
    std::size_t before = ch.buffer.size();
    append(ch.buffer);
    ch.column += static_cast<std::int64_t>(ch.buffer.size() - before);
}
}  // namespace

void putDouble(OutputChannel& ch, double value) {
    putItem(ch, [&](std::string& out) { appendPrintForm(out, value); });
}

void putInteger(OutputChannel& ch, std::int64_t value) {
    putItem(ch, [&](std::string& out) { appendPrintForm(out, value); });
}

void putFormatted(OutputChannel& ch, double value) {
    putItem(ch, [&](std::string& out) { appendFormatted(out, value, ch.decimalSeparator); });
}

void putWriteStatement(OutputChannel& ch, std::span<const double> values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) ch.buffer.push_back(',');
        appendWriteForm(ch.buffer, values[i]);
    }
    putLineEnd(ch);
}

void flushIfLarge(OutputChannel& ch) {
    if (ch.buffer.size() >= kFlushThreshold) flushToFile(ch);
}

}  // namespace korvanel
