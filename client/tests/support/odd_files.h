#pragma once
// What a user's folder may hold besides plain files, for the tests of the
// code that reads and keeps the client's own files: a FIFO that catches a
// reader waiting on it, links to devices, a file system without hard links,
// a disk that fills up part of the way through a write, and flushes or
// closes that fail.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/atomic_file.h"

namespace vobu::testing {

// A FIFO under `path` for the test's lifetime. A reader that opens it waits
// until a writer comes; after a few seconds of that a writer opens and
// closes it, which lets the reader go with an empty file, and `readerWaited`
// tells the test, so that the fault fails the test instead of hanging it.
class Fifo {
public:
    explicit Fifo(std::string path) : path_(std::move(path)) {
        made_ = ::mkfifo(path_.c_str(), 0644) == 0;
        watchdog_ = std::thread([this] { watch(); });
    }
    ~Fifo() {
        done_ = true;
        watchdog_.join();
    }
    Fifo(const Fifo&) = delete;
    Fifo& operator=(const Fifo&) = delete;

    bool made() const { return made_; }
    bool readerWaited() const { return waited_; }

private:
    void watch() {
        using namespace std::chrono;
        const auto patience = steady_clock::now() + seconds(3);
        while (!done_) {
            std::this_thread::sleep_for(milliseconds(20));
            if (steady_clock::now() < patience) continue;
            // Opens only while a reader is there; the FIFO may be gone or
            // kept under another name by then, which is no reader.
            int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                waited_ = true;
                ::close(fd);
            }
        }
    }

    std::string path_;
    bool made_ = false;
    std::atomic<bool> done_{false};
    std::atomic<bool> waited_{false};
    std::thread watchdog_;
};

inline bool isFifo(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

inline bool isSymlinkTo(const std::string& path, const std::string& target) {
    char buffer[256];
    ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer);
    return length >= 0 && std::string(buffer, size_t(length)) == target;
}

// The calls of a file system that refuses hard links (vfat, exFAT, many FUSE
// mounts) as the kernel's protected_hardlinks does: EPERM.
inline FileCalls withoutHardLinks() {
    FileCalls calls = systemFileCalls();
    calls.link = [](const std::string&, const std::string&) {
        errno = EPERM;
        return false;
    };
    return calls;
}

// A disk that fills up once `room` bytes have been written through these
// calls: the write that would pass that point writes what still fits, and
// every later one fails with ENOSPC, as write(2) does on a full disk.
inline FileCalls diskFullAfter(size_t room) {
    FileCalls calls = systemFileCalls();
    auto left = std::make_shared<size_t>(room);
    calls.write = [left](int fd, const char* data, size_t length) -> long {
        if (*left == 0) {
            errno = ENOSPC;
            return -1;
        }
        long written = long(::write(fd, data, std::min(length, *left)));
        if (written > 0) *left -= size_t(written);
        return written;
    };
    return calls;
}

inline bool isFolder(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
}

// fsync(2) fails with EIO, as on a disk that reports a write error late:
// for files or, with `folders`, for folders only.
inline FileCalls failingFlush(bool folders) {
    FileCalls calls = systemFileCalls();
    calls.fsync = [folders](int fd) {
        if (isFolder(fd) != folders) return ::fsync(fd);
        errno = EIO;
        return -1;
    };
    return calls;
}

// close(2) of a file reports EIO (as NFS does for a write it could not
// send); the descriptor is closed all the same.
inline FileCalls failingClose() {
    FileCalls calls = systemFileCalls();
    calls.close = [](int fd) {
        const bool folder = isFolder(fd);
        const int closed = ::close(fd);
        if (folder) return closed;
        errno = EIO;
        return -1;
    };
    return calls;
}

}  // namespace vobu::testing
