#include "base/output_temporaries.hpp"

#include <dirent.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

namespace korvanel {
namespace {

// The longest part of a file's name kept in the name of its temporary.
constexpr std::size_t kLongestKeptName = 200;

struct PathParts {
    std::string directory;  // with its last "/", or "" for a bare name
    std::string name;
};

PathParts splitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// Digits up to `stop` at the start of `text`: at least one; the rest after
// `stop` is returned through `text`.
bool takeDigitsThen(std::string_view& text, std::string_view stop) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || text.substr(digits, stop.size()) != stop) return false;
    text.remove_prefix(digits + stop.size());
    return true;
}

// "<process ID>.<n>.tmp" and nothing more.
bool isTemporaryTail(std::string_view tail) {
    return takeDigitsThen(tail, ".") && takeDigitsThen(tail, ".tmp") && tail.empty();
}

}  // namespace

std::string temporaryPrefix(const std::string& path) {
    const PathParts parts = splitPath(path);
    return parts.directory + "." + parts.name.substr(0, kLongestKeptName) + ".";
}

int removeLeftTemporaries(const std::string& path) {
    const PathParts parts = splitPath(path);
    if (parts.name.empty() || parts.name.size() > kLongestKeptName) return 0;
    const std::string start = "." + parts.name + ".";
    DIR* directory = ::opendir(parts.directory.empty() ? "." : parts.directory.c_str());
    if (directory == nullptr) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name = entry->d_name;
        if (name.size() <= start.size() || name.substr(0, start.size()) != start) continue;
        if (!isTemporaryTail(name.substr(start.size()))) continue;
        if (::unlink((parts.directory + std::string(name)).c_str()) == 0) ++removed;
    }
    ::closedir(directory);
    return removed;
}

}  // namespace korvanel
