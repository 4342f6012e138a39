#pragma once
// An exclusive lock that other processes respect: two game windows started
// on one per-user folder take turns at changing the files in it.

#include <string>

namespace vobu {

class FileLock {
public:
    enum class State {
        // Ours until released.
        Held,
        // Another process held it for longer than the wait.
        Busy,
        // The lock file gives no lock: its name is taken by something that
        // is no regular file (a folder, a FIFO, a link), it cannot be opened
        // at all, or the file system keeps no locks. Nobody can hold it, so
        // nothing is waited for; see `why`.
        Unavailable,
    };

    // Waits up to `waitMs` for the lock on the file `path`, made (0600) when
    // missing and never removed (a lock file that is removed and made again
    // could be held by two processes at once). A link at that name is
    // never followed.
    static FileLock acquire(const std::string& path, int waitMs);

    FileLock() = default;
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    State state() const { return state_; }
    bool held() const { return state_ == State::Held; }
    // Why the lock is unavailable, for the log; empty otherwise.
    const std::string& why() const { return why_; }

private:
    void release();
    void giveUp(std::string why);

    int fd_ = -1;
    State state_ = State::Unavailable;
    std::string why_;
};

}  // namespace vobu
