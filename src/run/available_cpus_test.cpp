#include "run/available_cpus.hpp"

#include <sched.h>

#include <gtest/gtest.h>

namespace korvanel {
namespace {

TEST(AvailableCpus, QuotasGiveWholeProcessorsRoundedUp) {
    EXPECT_EQ(cpuLimitOfCpuMax("max 100000\n"), std::nullopt);
    EXPECT_EQ(cpuLimitOfCpuMax("150000 100000\n"), 2);
    EXPECT_EQ(cpuLimitOfCpuMax("100000 100000"), 1);
    EXPECT_EQ(cpuLimitOfCpuMax("20000 100000"), 1);
    EXPECT_EQ(cpuLimitOfCpuMax(""), std::nullopt);
    EXPECT_EQ(cpuLimitOfQuota("-1\n", "100000\n"), std::nullopt);
    EXPECT_EQ(cpuLimitOfQuota("400000\n", "100000\n"), 4);
    EXPECT_EQ(cpuLimitOfQuota("", ""), std::nullopt);
}

// The cgroup directory under the controller's mount, the mount's own root
// taken off the process's path (as inside a container).
TEST(AvailableCpus, CgroupDirectoryFromTheProcessPathAndTheMounts) {
    const char* cgroup = "12:cpu,cpuacct:/batch/job7\n0::/user.slice/run-1.scope\n";
    const char* mounts =
        "25 1 0:22 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
        "31 23 0:28 /batch /sys/fs/cgroup/cpu,cpuacct rw,relatime - cgroup cgroup rw,cpu,cpuacct\n";
    EXPECT_EQ(cgroupCpuDirectory(cgroup, mounts, true), "/sys/fs/cgroup/user.slice/run-1.scope");
    EXPECT_EQ(cgroupCpuDirectory(cgroup, mounts, false), "/sys/fs/cgroup/cpu,cpuacct/job7");
    EXPECT_EQ(cgroupCpuDirectory("0::/\n", mounts, false), "");
    EXPECT_EQ(cgroupCpuDirectory("0::/\n", mounts, true), "/sys/fs/cgroup");
}

TEST(AvailableCpus, FollowsTheAffinityMask) {
    cpu_set_t saved;
    ASSERT_EQ(::sched_getaffinity(0, sizeof saved, &saved), 0);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &saved)) {
            CPU_SET(cpu, &one);
            break;
        }
    ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(availableCpuCount(), 1);
    ::sched_setaffinity(0, sizeof saved, &saved);
    EXPECT_GE(availableCpuCount(), 1);
}

}  // namespace
}  // namespace korvanel
