#pragma once

// How many processors the run may use: those of its CPU affinity mask,
// fewer when its control group limits its CPU time (a quota of q
// microseconds per period of p allows ceil(q / p) processors).

#include <optional>
#include <string>
#include <string_view>

namespace korvanel {

// The default number of node loop threads: at least 1.
int availableCpuCount();

// The processors a cgroup v2 "cpu.max" text allows ("max 100000": no limit;
// "150000 100000": 2).
std::optional<int> cpuLimitOfCpuMax(std::string_view text);
// The same from the cgroup v1 "cpu.cfs_quota_us" and "cpu.cfs_period_us"
// texts (a quota of -1: no limit).
std::optional<int> cpuLimitOfQuota(std::string_view quota, std::string_view period);

// Where the cgroup of the process lies for the CPU controller, from the
// texts of /proc/self/cgroup and /proc/self/mountinfo: the directory of its
// limit files, or "" when the controller is not mounted. `unified` selects
// cgroup v2, otherwise v1.
std::string cgroupCpuDirectory(std::string_view cgroupText, std::string_view mountInfoText,
                               bool unified);

}  // namespace korvanel
