#pragma once

// Large in-memory tables (node stresses of a whole model, the work tables
// of a history of a million points) are filled once and read many times.
// Backing them with huge pages where the system allows it turns tens of
// thousands of first-touch page faults into a few dozen.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <vector>

#include "base/signal_guard.hpp"

namespace korvanel {

// Memory and swap of the machine together: tables larger than this can never
// be held, however the system hands out memory (it would promise them and
// end the process once they are written).
std::uint64_t machineMemoryBytes();

// Asks the system to back the whole 2 MiB pages inside [p, p + bytes) with
// huge pages. Only advice: nothing changes when the system declines.
void adviseHugePages(const void* p, std::size_t bytes);

// Makes room for `count` rows. New storage is advised for huge pages before
// any row is written to it; it grows at least twofold, so that a work table
// reused for slowly growing counts is not moved each time.
template <class T>
void reserveLargeTable(std::vector<T>& table, std::size_t count) {
    if (count <= table.capacity()) return;
    table.reserve(std::max(count, 2 * table.capacity()));
    adviseHugePages(table.data(), table.capacity() * sizeof(T));
}

// The same for a guess of the rows to come: room that cannot be had is not
// an error here (the table then grows as the rows come), so that a file
// whose size promises more rows than it holds cannot stop the run for
// memory before its own checks have run.
template <class T>
void reserveLargeTableForGuess(std::vector<T>& table, std::size_t count) {
    try {
        reserveLargeTable(table, count);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
}

// Resizes a table to `count` rows (new rows value-initialised) in storage
// made room for as above. New rows are written some megabytes at a time, and
// a stop asked for by a signal stops between them: the first touch of
// gigabytes of new memory takes seconds.
template <class T>
constexpr std::size_t kLargeTableSlice = std::max<std::size_t>(1, (std::size_t{16} << 20) / sizeof(T));

template <class T>
void resizeLargeTable(std::vector<T>& table, std::size_t count) {
    reserveLargeTable(table, count);
    constexpr std::size_t kSlice = kLargeTableSlice<T>;
    while (table.size() < count && count - table.size() > kSlice) {
        table.resize(table.size() + kSlice);
        stopIfInterrupted();
    }
    table.resize(count);
}

// Makes `table` a copy of `rows`, in storage made room for as above, some
// megabytes at a time with the same stops between them.
template <class T>
void copyLargeTable(std::vector<T>& table, const std::vector<T>& rows) {
    table.clear();
    reserveLargeTable(table, rows.size());
    constexpr std::size_t kSlice = kLargeTableSlice<T>;
    for (auto from = rows.begin(); from != rows.end();) {
        const auto to = from + static_cast<std::ptrdiff_t>(
                                   std::min<std::size_t>(kSlice, static_cast<std::size_t>(rows.end() - from)));
        table.insert(table.end(), from, to);
        from = to;
        if (from != rows.end()) stopIfInterrupted();
    }
}

}  // namespace korvanel
