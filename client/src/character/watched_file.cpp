#include "character/watched_file.h"

#include <utility>

#include <SDL.h>

namespace vobu {

WatchedFile::WatchedFile(std::string suffix, std::string label, size_t chunk, uint64_t limit)
    : suffix_(std::move(suffix)), label_(std::move(label)), chunk_(chunk), limit_(limit) {}

std::string WatchedFile::path() const {
    std::string base = storagePath();
    return base.empty() ? base : base + suffix_;
}

FileRead WatchedFile::read() {
    FileRead read;
    std::string path = this->path();
    if (path.empty()) {
        read.whole = true;  // no per-user folder: nothing there to lose
        return read;
    }
    read = readRegularFile(path, chunk_, limit_);
    seen_ = read.identity;
    // A file that is there but cannot be read must not be replaced by the
    // next write as if there had been none.
    keepAside_ = !read.whole;
    return read;
}

bool WatchedFile::whileLocked(const std::function<bool()>& work) {
    return locked([&] { return work() ? Result::Written : Result::Refused; }) == Result::Written;
}

WatchedFile::Result WatchedFile::locked(const std::function<Result()>& work) {
    if (lockDepth_ > 0) {
        return work();
    }
    FileLock lock = lockUserFolder(lockWaitMs);
    if (!lock.held()) {
        SDL_Log("%s is not changed: the per-user folder could not be locked against other game windows",
                label_.c_str());
        return Result::Locked;
    }
    struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(d) { ++depth; }
        ~Depth() { --depth; }
    } depth(lockDepth_);
    return work();
}

// The file is replaced whole, so what another window wrote since it was read
// here would be lost: it is read again and the change made to it. Only a
// file that cannot be taken that way is kept under a backup name first, and
// only when the change really replaces it.
WatchedFile::Result WatchedFile::apply(const std::function<bool(const std::string&)>& adopt,
                                       const std::function<bool(Edit&)>& change) {
    const std::string path = this->path();
    if (path.empty()) {
        return Result::NotWritten;  // no per-user folder: nothing is touched
    }
    return locked([&] {
        const FileIdentity now = identifyFile(path);
        const bool changed = now != seen_;
        const bool adopted = changed && now.exists && adoptFileAsItIsNow(path, adopt);
        Edit edit;
        if (!change(edit)) {
            return Result::Refused;
        }
        if (!edit.write) {
            return Result::NothingToWrite;
        }
        if (!adopted && (changed || keepAside_) && !keepBeforeReplacing(path, changed)) {
            return Result::NotKept;
        }
        // Under the lock no one else writes the temporary file.
        FileIdentity written;
        if (!replaceFileAtomically(path, path + ".tmp", edit.bytes, &written, calls)) {
            return Result::NotWritten;
        }
        seen_ = written;
        keepAside_ = false;
        return Result::Written;
    });
}

bool WatchedFile::adoptFileAsItIsNow(const std::string& path, const std::function<bool(const std::string&)>& adopt) {
    FileRead fresh = readRegularFile(path, chunk_, limit_);
    if (!fresh.whole || !fresh.identity.exists || !adopt(fresh.bytes)) {
        return false;
    }
    SDL_Log("%s changed since it was read; the change is made to it as it is now", label_.c_str());
    seen_ = fresh.identity;
    keepAside_ = false;
    return true;
}

bool WatchedFile::keepBeforeReplacing(const std::string& path, bool changed) {
    const FileIdentity now = identifyFile(path);
    if (!now.exists) {
        return true;  // gone meanwhile: nothing left to lose
    }
    if (!keepAside(path, changed ? "changed since it was read" : "could not be read")) {
        return false;
    }
    seen_ = now;
    keepAside_ = false;
    return true;
}

bool WatchedFile::keepAside(const std::string& path, const char* why) {
    for (int n = 1; n <= kMaxUnreadBackups; ++n) {
        const std::string backup = unreadBackupName(path, n);
        if (pathExists(backup)) {
            continue;
        }
        if (keepFileWithoutReplacing(path, backup, calls)) {
            SDL_Log("%s %s and is kept as %s", label_.c_str(), why, backup.c_str());
            return true;
        }
        if (!pathExists(path)) {
            return true;  // gone meanwhile: nothing left to lose
        }
        // Only a name taken meanwhile is worth the next try.
        if (!pathExists(backup)) {
            break;
        }
    }
    SDL_Log("%s %s and could not be kept aside, so it is not replaced", label_.c_str(), why);
    return false;
}

WatchedFile watchedCharactersFile() {
    return WatchedFile("", "Saved characters: the characters file", 4096, kMaxCharactersFileBytes);
}

WatchedFile watchedServersFile() {
    return WatchedFile(".servers", "Saved servers: the list file", 1024, kMaxServersFileBytes);
}

}  // namespace vobu
