#include "run/available_cpus.hpp"

#include <sched.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace korvanel {
namespace {

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::optional<long long> wholeNumber(std::string_view text) {
    text = trimmed(text);
    long long value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

// Processors that a quota of CPU time per period allows: ceil(quota / period).
std::optional<int> processorsOf(long long quota, long long period) {
    if (quota <= 0 || period <= 0) return std::nullopt;
    const long long processors = (quota + period - 1) / period;
    return static_cast<int>(std::clamp<long long>(processors, 1, 1 << 20));
}

bool hasToken(std::string_view list, std::string_view token) {
    for (std::string_view part : split(list, ','))
        if (part == token) return true;
    return false;
}

int affinityCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
    return static_cast<int>(std::thread::hardware_concurrency());
}

// The tightest limit of the cgroup and the cgroups above it, up to the
// controller's mount point.
std::optional<int> cgroupLimit(bool unified) {
    std::string directory = cgroupCpuDirectory(fileText("/proc/self/cgroup"),
                                               fileText("/proc/self/mountinfo"), unified);
    std::optional<int> tightest;
    while (!directory.empty()) {
        const std::optional<int> limit =
            unified ? cpuLimitOfCpuMax(fileText(directory + "/cpu.max"))
                    : cpuLimitOfQuota(fileText(directory + "/cpu.cfs_quota_us"),
                                      fileText(directory + "/cpu.cfs_period_us"));
        if (limit && (!tightest || *limit < *tightest)) tightest = limit;
        const std::size_t slash = directory.rfind('/');
        if (slash == std::string::npos || slash == 0) break;
        directory.resize(slash);
    }
    return tightest;
}

}  // namespace

std::optional<int> cpuLimitOfCpuMax(std::string_view text) {
    const std::vector<std::string_view> fields = split(trimmed(text), ' ');
    if (fields.size() != 2 || fields[0] == "max") return std::nullopt;
    const auto quota = wholeNumber(fields[0]);
    const auto period = wholeNumber(fields[1]);
    if (!quota || !period) return std::nullopt;
    return processorsOf(*quota, *period);
}

std::optional<int> cpuLimitOfQuota(std::string_view quota, std::string_view period) {
    const auto q = wholeNumber(quota);
    const auto p = wholeNumber(period);
    if (!q || !p) return std::nullopt;
    return processorsOf(*q, *p);
}

std::string cgroupCpuDirectory(std::string_view cgroupText, std::string_view mountInfoText,
                               bool unified) {
    // The process's path in the hierarchy: "0::/path" (v2) or
    // "4:cpu,cpuacct:/path" (v1).
    std::optional<std::string_view> groupPath;
    for (std::string_view line : split(cgroupText, '\n')) {
        const std::size_t first = line.find(':');
        const std::size_t second = line.find(':', first + 1);
        if (first == std::string_view::npos || second == std::string_view::npos) continue;
        const std::string_view controllers = line.substr(first + 1, second - first - 1);
        const bool match = unified ? (line.substr(0, first) == "0" && controllers.empty())
                                   : hasToken(controllers, "cpu");
        if (match) groupPath = line.substr(second + 1);
    }
    if (!groupPath) return "";
    // The mount of that hierarchy: "id parent dev root mountpoint ... - type source options".
    for (std::string_view line : split(mountInfoText, '\n')) {
        const std::size_t dash = line.find(" - ");
        if (dash == std::string_view::npos) continue;
        const std::vector<std::string_view> fields = split(line.substr(0, dash), ' ');
        const std::vector<std::string_view> tail = split(line.substr(dash + 3), ' ');
        if (fields.size() < 5 || tail.size() < 3) continue;
        const bool match = unified ? tail[0] == "cgroup2"
                                   : tail[0] == "cgroup" && hasToken(tail[2], "cpu");
        if (!match) continue;
        const std::string_view root = fields[3];
        std::string_view relative = *groupPath;
        if (root != "/" && relative.substr(0, root.size()) == root)
            relative.remove_prefix(root.size());
        else if (root != "/")
            relative = {};  // outside the mounted part: its top is the nearest
        std::string directory(fields[4]);
        if (!relative.empty() && relative != "/") directory += relative;
        return directory;
    }
    return "";
}

int availableCpuCount() {
    int count = std::max(1, affinityCount());
    for (bool unified : {true, false})
        if (const std::optional<int> limit = cgroupLimit(unified)) count = std::min(count, *limit);
    return count;
}

}  // namespace korvanel
