#include "base/file_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "base/fatal_stop.hpp"

namespace korvanel {

FileLock::FileLock(FileLock&& other) noexcept { *this = std::move(other); }

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        heldElsewhere_ = other.heldElsewhere_;
    }
    return *this;
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the last descriptor gives the lock back
}

namespace {

// A lock that could not be taken for a reason of its own (no descriptor
// left, a file system that refuses locks): running on without it could let
// two runs write one job's files.
[[noreturn]] void cannotLock(const InputText& file, int error) {
    throw fatalStop("Cannot lock the file " + file.path(),
                    "the lock that keeps a second run of the job out could not be taken: " +
                        std::string(std::strerror(error)));
}

}  // namespace

FileLock lockExclusively(const InputText& file) {
    FileLock lock;
    if (file.descriptor() < 0) return lock;
    // A descriptor of its own, so that the lock outlives the reading of the file.
    const int fd = ::fcntl(file.descriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) cannotLock(file, errno);
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        lock.fd_ = fd;
        return lock;
    }
    const int error = errno;
    ::close(fd);
    if (error != EWOULDBLOCK) cannotLock(file, error);
    lock.heldElsewhere_ = true;
    return lock;
}

}  // namespace korvanel
