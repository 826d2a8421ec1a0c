#pragma once

// Work spread over threads in chunks of consecutive items. The work knows
// nothing of threads: it is handed chunks and the worker that runs them.

#include <cstdint>
#include <functional>

namespace korvanel {

// Calls work(begin, end, worker) for chunks [begin, end) of `chunk` items
// (the last one shorter) that together cover 0 .. count - 1, on up to
// `threads` threads; with fewer threads to be had, the same calls run, only
// slower. The threads take chunks from one counter, so a slow core never
// holds up the others. Worker 0 is the calling thread: it alone shows the
// progress and takes stop signals. Returns once every chunk is done.
void forEachChunk(std::int64_t count, std::int64_t chunk, int threads,
                  const std::function<void(std::int64_t begin, std::int64_t end, int worker)>& work);

}  // namespace korvanel
