#include "platform/file_lock.h"

#include <cerrno>
#include <cstring>
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

// flock(2) works on a file opened either way. Opened for writing where it
// can be, so that file systems which carry flock over to record locks (NFS)
// take it too; read-only where it cannot, for a lock file that another user
// made (a start under sudo) or that was made read-only. Never through a
// link, and O_NONBLOCK so that a FIFO under the name is not waited on.
int openLockFile(const std::string& path) {
    constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0600);
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS || errno == EISDIR)) {
        fd = ::open(path.c_str(), O_RDONLY | kFlags);
    }
    return fd;
}

// Whoever can open the lock file can hold it and refuse every change, so it
// is the owner's alone; one made by an older version was readable by all.
void makePrivate(int fd, const struct stat& info) {
    if (info.st_uid == ::geteuid() && (info.st_mode & 077) != 0) {
        ::fchmod(fd, info.st_mode & 0700);
    }
}

}  // namespace

FileLock FileLock::acquire(const std::string& path, int waitMs) {
    FileLock lock;
    if (path.empty()) {
        lock.giveUp("no lock file is named");
        return lock;
    }
    lock.fd_ = openLockFile(path);
    if (lock.fd_ < 0) {
        lock.giveUp(path + " cannot be opened (" + std::strerror(errno) + ")");
        return lock;
    }
    struct stat info {};
    if (::fstat(lock.fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        lock.giveUp(path + " is no regular file");
        return lock;
    }
    makePrivate(lock.fd_, info);
    // Whoever holds it is replacing a small file and lets go within
    // milliseconds; a holder that stopped (a debugger, SIGSTOP) must not
    // stop this window for ever, so the wait has an end.
    const double deadline = monotonicMs() + waitMs;
    for (;;) {
        if (::flock(lock.fd_, LOCK_EX | LOCK_NB) == 0) {
            lock.state_ = State::Held;
            return lock;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            // ENOLCK, EINVAL, EOPNOTSUPP: no locks on this file system;
            // EBADF: none on a file opened read-only (NFS).
            lock.giveUp(path + " cannot be locked (" + std::strerror(errno) + ")");
            return lock;
        }
        if (monotonicMs() >= deadline) {
            lock.release();
            lock.state_ = State::Busy;
            return lock;
        }
        sleepMs(2);
    }
}

void FileLock::giveUp(std::string why) {
    release();
    state_ = State::Unavailable;
    why_ = std::move(why);
}

FileLock::~FileLock() { release(); }

FileLock::FileLock(FileLock&& other) noexcept : fd_(other.fd_), state_(other.state_), why_(std::move(other.why_)) {
    other.fd_ = -1;
    other.state_ = State::Unavailable;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = other.fd_;
        state_ = other.state_;
        why_ = std::move(other.why_);
        other.fd_ = -1;
        other.state_ = State::Unavailable;
    }
    return *this;
}

void FileLock::release() {
    if (fd_ >= 0) {
        ::close(fd_);  // lets the lock go with the last descriptor of it
    }
    fd_ = -1;
    if (state_ == State::Held) {
        state_ = State::Unavailable;
    }
}

}  // namespace vobu
