#pragma once

// Large in-memory tables (node stresses of a whole model) are filled once
// and read many times. Backing them with huge pages where the system allows
// it turns tens of thousands of first-touch page faults into a few dozen.

#include <cstddef>
#include <vector>

namespace korvanel {

// Asks the system to back the whole 2 MiB pages inside [p, p + bytes) with
// huge pages. Only advice: nothing changes when the system declines.
void adviseHugePages(const void* p, std::size_t bytes);

// Resizes a table to `count` value-initialised rows, its storage advised
// for huge pages before the rows are first written.
template <class T>
void resizeLargeTable(std::vector<T>& table, std::size_t count) {
    table.reserve(count);
    adviseHugePages(table.data(), table.capacity() * sizeof(T));
    table.resize(count);
}

}  // namespace korvanel
