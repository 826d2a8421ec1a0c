#pragma once

// An exclusive advisory lock on a file being read, held while the lock
// object lives. It creates no file: the lock belongs to the file itself, and
// other programs that lock the same file wait for it or are refused.

#include "base/text_input.hpp"

namespace korvanel {

class FileLock {
public:
    FileLock() = default;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    // True when another open of the file held the lock: this one holds nothing.
    bool heldElsewhere() const { return heldElsewhere_; }

private:
    friend FileLock lockExclusively(const InputText& file);
    int fd_ = -1;
    bool heldElsewhere_ = false;
};

// Takes the lock without waiting. A text given in memory gives a lock that
// holds nothing. A lock that cannot be taken for any reason but another
// holder (no descriptor left, a file system that refuses locks) is the fatal
// stop "Cannot lock the file <path>", its reason in the details.
FileLock lockExclusively(const InputText& file);

}  // namespace korvanel
