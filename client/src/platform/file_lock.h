#pragma once
// An exclusive lock that other processes respect: two game windows started
// on one per-user folder take turns at changing the files in it.

#include <string>

namespace vobu {

class FileLock {
public:
    // Waits up to `waitMs` for the lock on the file `path`, made when
    // missing and never removed (a lock file that is removed and made again
    // could be held by two processes at once). Check `held`.
    static FileLock acquire(const std::string& path, int waitMs);

    FileLock() = default;
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // The lock is ours, or the file system keeps no locks at all, where
    // nothing can be waited for.
    bool held() const { return held_; }

private:
    void release();

    int fd_ = -1;
    bool held_ = false;
};

}  // namespace vobu
