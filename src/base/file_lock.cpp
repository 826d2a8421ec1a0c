#include "base/file_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

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

FileLock lockExclusively(const InputText& file) {
    FileLock lock;
    if (file.descriptor() < 0) return lock;
    // A descriptor of its own, so that the lock outlives the reading of the file.
    const int fd = ::fcntl(file.descriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return lock;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        lock.fd_ = fd;
        return lock;
    }
    lock.heldElsewhere_ = errno == EWOULDBLOCK;
    ::close(fd);
    return lock;
}

}  // namespace korvanel
