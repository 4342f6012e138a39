#include "platform/file_lock.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vobu {
namespace {

double monotonicMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

void sleepMs(long ms) {
    timespec pause{0, ms * 1000000L};
    while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {}
}

// Opened for writing, so that file systems which carry flock(2) over to
// record locks (NFS) take it too; never a FIFO or a device.
int openLockFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

FileLock FileLock::acquire(const std::string& path, int waitMs) {
    FileLock lock;
    if (path.empty()) {
        return lock;
    }
    lock.fd_ = openLockFile(path);
    if (lock.fd_ < 0) {
        return lock;
    }
    // Whoever holds it is replacing a small file and lets go within
    // milliseconds; a holder that stopped (a debugger, SIGSTOP) must not
    // stop this window for ever, so the wait has an end.
    const double deadline = monotonicMs() + waitMs;
    for (;;) {
        if (::flock(lock.fd_, LOCK_EX | LOCK_NB) == 0) {
            lock.held_ = true;
            return lock;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == ENOLCK || errno == EINVAL || errno == EOPNOTSUPP) {
            lock.held_ = true;  // no locks on this file system: nobody can hold one
            return lock;
        }
        if (errno != EWOULDBLOCK || monotonicMs() >= deadline) {
            lock.release();
            return lock;
        }
        sleepMs(2);
    }
}

FileLock::~FileLock() { release(); }

FileLock::FileLock(FileLock&& other) noexcept : fd_(other.fd_), held_(other.held_) {
    other.fd_ = -1;
    other.held_ = false;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = other.fd_;
        held_ = other.held_;
        other.fd_ = -1;
        other.held_ = false;
    }
    return *this;
}

void FileLock::release() {
    if (fd_ >= 0) {
        ::close(fd_);  // lets the lock go with the last descriptor of it
    }
    fd_ = -1;
    held_ = false;
}

}  // namespace vobu
