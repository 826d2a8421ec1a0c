#include "base/text_input.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/fatal_stop.hpp"
#include "base/large_tables.hpp"
#include "base/short_number_scan.hpp"
#include "base/value_warnings.hpp"

namespace korvanel {
namespace {

constexpr std::size_t kMaxStringValue = 4096;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

void skipBlanks(InputText& in) {
    while (in.pos < in.data.size() && isBlank(in.data[in.pos])) ++in.pos;
}

// Consumes one line end (CR LF, CR or LF) if one is at the position.
bool consumeLineEnd(InputText& in) {
    if (in.pos >= in.data.size()) return false;
    char c = in.data[in.pos];
    if (c == '\n') {
        ++in.pos;
        return true;
    }
    if (c == '\r') {
        ++in.pos;
        if (in.pos < in.data.size() && in.data[in.pos] == '\n') ++in.pos;
        return true;
    }
    return false;
}

// After a value: blanks and tabs, then one comma or one line end.
void finishValue(InputText& in) {
    skipBlanks(in);
    if (in.pos < in.data.size() && in.data[in.pos] == ',') {
        ++in.pos;
        return;
    }
    consumeLineEnd(in);
}

// The quoted text from the opening quote at in.pos to the next quote (or
// the end of the file); the position ends after the closing quote.
std::string_view quotedText(InputText& in) {
    std::size_t start = in.pos + 1;
    std::size_t close = in.data.find('"', start);
    if (close == std::string::npos) {
        in.pos = in.data.size();
        return in.data.substr(start);
    }
    in.pos = close + 1;
    return in.data.substr(start, close - start);
}

}  // namespace

InputText::InputText(InputText&& other) noexcept { *this = std::move(other); }

InputText& InputText::operator=(InputText&& other) noexcept {
    if (this == &other) return *this;
    if (mapped != nullptr) ::munmap(mapped, mappedSize);
    const bool inOwned = other.mapped == nullptr;
    path = std::move(other.path);
    warnings = other.warnings;
    owned = std::move(other.owned);
    mapped = other.mapped;
    mappedSize = other.mappedSize;
    released = other.released;
    data = inOwned ? std::string_view(owned) : other.data;
    pos = other.pos;
    other.mapped = nullptr;
    other.mappedSize = 0;
    other.data = {};
    other.pos = 0;
    return *this;
}

InputText::~InputText() {
    if (mapped != nullptr) ::munmap(mapped, mappedSize);
}

InputText inputTextFromString(std::string path, std::string data) {
    InputText in;
    in.path = std::move(path);
    in.owned = std::move(data);
    in.data = in.owned;
    return in;
}

namespace {

// Reads a file that cannot be mapped (a pipe, a device) to its end.
bool readWhole(int fd, std::string& out) {
    std::size_t used = 0;
    out.resize(65536);
    for (;;) {
        if (used == out.size()) out.resize(out.size() * 2);
        ssize_t got = ::read(fd, out.data() + used, out.size() - used);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
    }
    out.resize(used);
    return true;
}

}  // namespace

InputText openInputText(const std::string& path) {
    FatalStop cannotOpen = fatalStop("Cannot open the input file " + path);
    // Non-blocking open: a named pipe that no program writes to would block
    // the open for ever; opened this way it reads as an empty file. Reads
    // block again, so a pipe that a program does write is read to its end.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw cannotOpen;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
        ::close(fd);
        throw cannotOpen;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        throw cannotOpen;
    }
    InputText in;
    in.path = path;
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
        // Mapped read-only: the text is read straight from the page cache,
        // with no copy and no zero-filled buffer.
        const auto size = static_cast<std::size_t>(info.st_size);
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p != MAP_FAILED) {
            ::madvise(p, size, MADV_SEQUENTIAL);
            in.mapped = p;
            in.mappedSize = size;
            in.data = std::string_view(static_cast<const char*>(p), size);
            ::close(fd);
            return in;
        }
    }
    bool ok;
    try {
        ok = readWhole(fd, in.owned);
    } catch (const std::bad_alloc&) {
        ::close(fd);
        throw outOfMemory();
    }
    ::close(fd);
    if (!ok) throw cannotOpen;
    in.data = in.owned;
    return in;
}

void releaseConsumedText(InputText& in) {
    if (in.mapped == nullptr) return;
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    constexpr std::size_t kReleaseStep = std::size_t{8} << 20;
    std::size_t upTo = in.pos / page * page;
    if (upTo < in.released + kReleaseStep) return;
    ::madvise(static_cast<char*>(in.mapped) + in.released, upTo - in.released, MADV_DONTNEED);
    in.released = upTo;
}

void readWholeLine(InputText& in) {
    while (in.pos < in.data.size() && !isLineEnd(in.data[in.pos])) ++in.pos;
    consumeLineEnd(in);
}

std::string_view readValueText(InputText& in) {
    skipBlanks(in);
    if (in.pos >= in.data.size()) return {};
    std::string_view value;
    if (in.data[in.pos] == '"') {
        value = quotedText(in);
    } else {
        std::size_t start = in.pos;
        const char* p = in.data.data();
        std::size_t n = in.data.size(), i = start;
        while (i < n) {
            char c = p[i];
            if (c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n') break;
            ++i;
        }
        in.pos = i;
        value = in.data.substr(start, i - start);
    }
    finishValue(in);
    return value;
}

std::string readStringValue(InputText& in) {
    skipBlanks(in);
    std::string_view value;
    if (in.pos < in.data.size() && in.data[in.pos] == '"') {
        value = quotedText(in);
        finishValue(in);
    } else {
        std::size_t start = in.pos;
        while (in.pos < in.data.size() && in.data[in.pos] != ',' && !isLineEnd(in.data[in.pos]))
            ++in.pos;
        value = in.data.substr(start, in.pos - start);
        if (in.pos < in.data.size() && in.data[in.pos] == ',')
            ++in.pos;
        else
            consumeLineEnd(in);
    }
    return std::string(value.substr(0, kMaxStringValue));
}

namespace {

// A value read for the common short number: `scan` reads and converts it
// in one pass, then the rest of the value read follows. False, with nothing
// read, for any other value.
template <class Number>
bool readShortNumber(InputText& in, Number& value,
                     bool (*scan)(const char*, const char*, const char*&, Number&)) {
    const char* const begin = in.data.data();
    const char* next = nullptr;
    if (!scan(begin + in.pos, begin + in.data.size(), next, value)) return false;
    in.pos = static_cast<std::size_t>(next - begin);
    finishValue(in);
    return true;
}

}  // namespace

double readReal(InputText& in) {
    double value = 0.0;
    skipBlanks(in);
    if (readShortNumber(in, value, scanShortReal)) return value;
    const std::size_t start = in.pos;
    return realFromText(in, readValueText(in), start);
}

std::vector<double> readAllReals(InputText& in) {
    std::vector<double> values;
    reserveLargeTableForGuess(values, in.data.size() / 8 + 1);  // about eight bytes per value
    while (!atEnd(in)) values.push_back(readReal(in));
    return values;
}

std::int64_t readInteger(InputText& in) {
    std::int64_t value = 0;
    skipBlanks(in);
    if (readShortNumber(in, value, scanShortInteger)) return value;
    const std::size_t start = in.pos;
    return integerFromText(in, readValueText(in), start);
}

}  // namespace korvanel
