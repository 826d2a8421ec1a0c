#include "base/large_tables.hpp"

#include <sys/mman.h>
#include <sys/sysinfo.h>

#include <cstdint>
#include <limits>

namespace korvanel {

std::uint64_t machineMemoryBytes() {
    struct sysinfo info {};
    if (::sysinfo(&info) != 0) return std::numeric_limits<std::uint64_t>::max();
    const unsigned __int128 bytes =
        (static_cast<unsigned __int128>(info.totalram) + info.totalswap) * info.mem_unit;
    return bytes > std::numeric_limits<std::uint64_t>::max()
               ? std::numeric_limits<std::uint64_t>::max()
               : static_cast<std::uint64_t>(bytes);
}

void adviseHugePages(const void* p, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(p);
    if (p == nullptr || bytes < kHugePage) return;
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
    if (last <= first) return;
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)p;
    (void)bytes;
#endif
}

}  // namespace korvanel
