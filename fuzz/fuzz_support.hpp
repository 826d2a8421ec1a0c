#pragma once

// Helpers shared by the fuzz targets: splitting an input into parts,
// reading small counts from a header line, and running a piece of the
// program where a fatal stop is a normal outcome.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/fatal_stop.hpp"

namespace korvanel::fuzz {

// Stops the process so that the fuzzer records the input; used when an
// outcome breaks a property every input must keep.
[[noreturn]] inline void broken(const char* what) {
    std::fprintf(stderr, "fuzz property broken: %s\n", what);
    std::abort();
}

inline void require(bool condition, const char* what) {
    if (!condition) broken(what);
}

// The bytes of a fuzz input as text.
inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

// Splits `text` at the first line end: the header line and the rest.
inline std::string_view takeHeaderLine(std::string_view& text) {
    std::size_t end = text.find('\n');
    if (end == std::string_view::npos) {
        std::string_view header = text;
        text = {};
        return header;
    }
    std::string_view header = text.substr(0, end);
    text.remove_prefix(end + 1);
    return header;
}

// The next whole number of a header line: optional "-", then decimal
// digits; saturated to the 64-bit range so that huge and overflowing counts
// reach the program. Returns 0 when the line has no further number.
inline std::int64_t nextHeaderNumber(std::string_view& line) {
    std::size_t i = 0;
    while (i < line.size() && line[i] != '-' && (line[i] < '0' || line[i] > '9')) ++i;
    bool negative = i < line.size() && line[i] == '-';
    if (negative) ++i;
    unsigned __int128 magnitude = 0;
    bool any = false;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        any = true;
        if (magnitude < (static_cast<unsigned __int128>(1) << 64))
            magnitude = magnitude * 10 + static_cast<unsigned>(line[i] - '0');
    }
    line.remove_prefix(i);
    if (!any) return 0;
    if (negative) {
        if (magnitude >= (static_cast<unsigned __int128>(1) << 63)) return INT64_MIN;
        return -static_cast<std::int64_t>(magnitude);
    }
    if (magnitude > static_cast<unsigned __int128>(INT64_MAX)) return INT64_MAX;
    return static_cast<std::int64_t>(magnitude);
}

// Splits `text` into the pieces between occurrences of `marker`.
inline std::vector<std::string_view> splitParts(std::string_view text, std::string_view marker) {
    std::vector<std::string_view> parts;
    for (;;) {
        std::size_t at = text.find(marker);
        if (at == std::string_view::npos) {
            parts.push_back(text);
            return parts;
        }
        parts.push_back(text.substr(0, at));
        text.remove_prefix(at + marker.size());
    }
}

// A fatal stop must carry a console line and an advisory line, none with a
// line end of its own (the console and the advisory file add CR LF).
inline void checkStop(const FatalStop& stop) {
    require(!stop.consoleLines.empty(), "fatal stop without a console line");
    require(!stop.advisoryLines.empty(), "fatal stop without an advisory line");
    for (const auto& line : stop.consoleLines)
        require(line.find_first_of("\r\n") == std::string::npos, "stop line holds a line end");
    for (const auto& line : stop.advisoryLines)
        require(line.find_first_of("\r\n") == std::string::npos, "stop line holds a line end");
}

}  // namespace korvanel::fuzz
