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
    if (lock.state() == FileLock::State::Busy) {
        SDL_Log("%s is not changed: the per-user folder could not be locked against other game windows",
                label_.c_str());
        return Result::Locked;
    }
    if (!lock.held()) {
        // Refusing every save for a lock file would lose more than the
        // lock protects: the change goes ahead as on a file system without
        // locks, through temporary files of this window's own.
        SDL_Log("%s is changed without the lock against other game windows: %s", label_.c_str(), lock.why().c_str());
    }
    struct Depth {
        WatchedFile& file;
        Depth(WatchedFile& f, bool held) : file(f) {
            ++file.lockDepth_;
            file.holdsLock_ = held;
        }
        ~Depth() {
            --file.lockDepth_;
            file.holdsLock_ = false;
        }
    } depth(*this, lock.held());
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
        const Now now = lookAtFileNow(path, adopt);
        Edit edit;
        if (!change(edit)) {
            return Result::Refused;
        }
        if (!edit.write) {
            return Result::NothingToWrite;
        }
        const bool keep = now == Now::Refused || (now == Now::Seen && keepAside_);
        if (keep && !keepBeforeReplacing(path, now == Now::Refused)) {
            return Result::NotKept;
        }
        Replacement written = replaceFileAtomically(path, {path + ".tmp", holdsLock_}, edit.bytes, calls);
        if (!written.replaced) {
            return Result::NotWritten;
        }
        wrote(written);
        return Result::Written;
    });
}

// The change is in the file whatever else happens: the owner's view goes on
// from it, and there is nothing left here to keep aside.
void WatchedFile::wrote(const Replacement& written) {
    if (!written.flushed) {
        SDL_Log(
            "%s is replaced, but its folder could not be flushed to the disk: a crash before the system "
            "writes it may bring back the earlier file",
            label_.c_str());
    }
    seen_ = written.identity;
    keepAside_ = false;
}

WatchedFile::Now WatchedFile::lookAtFileNow(const std::string& path,
                                            const std::function<bool(const std::string&)>& adopt) {
    if (identifyFile(path) == seen_) {
        return Now::Seen;
    }
    FileRead fresh = readRegularFile(path, chunk_, limit_);
    // No window of this client leaves an empty file: another program cut it
    // (and may be about to write it in place). What this window holds is
    // all there is to write, as when the file was removed.
    if (fresh.whole && fresh.bytes.empty()) {
        SDL_Log("%s is gone or empty since it was read; what this window holds is written", label_.c_str());
        return Now::Lost;
    }
    if (!fresh.whole || !adopt(fresh.bytes)) {
        return Now::Refused;
    }
    SDL_Log("%s changed since it was read; the change is made to it as it is now", label_.c_str());
    seen_ = fresh.identity;
    keepAside_ = false;
    return Now::Taken;
}

bool WatchedFile::keepBeforeReplacing(const std::string& path, bool changed) {
    const FileIdentity now = identifyFile(path);
    if (!now.exists) {
        return true;  // gone meanwhile: nothing left to lose
    }
    if (!keepAside(path, now, changed ? "changed since it was read" : "could not be read")) {
        return false;
    }
    seen_ = now;
    keepAside_ = false;
    return true;
}

bool WatchedFile::keepAside(const std::string& path, const FileIdentity& file, const char* why) {
    for (int n = 1; n <= kMaxUnreadBackups; ++n) {
        const std::string backup = unreadBackupName(path, n);
        if (pathExists(backup)) {
            // A second name of this very file: kept already, by a save here
            // that could then not replace it, or by an earlier start.
            if (identifyFile(backup) == file) {
                return true;
            }
            continue;
        }
        if (keepFileWithoutReplacing(path, backup, calls)) {
            SDL_Log("%s %s and is kept as %s", label_.c_str(), why, backup.c_str());
            return true;
        }
        if (!pathExists(path)) {
            return true;  // gone meanwhile: nothing left to lose
        }
        // Only a name another program took meanwhile is worth the next
        // try; this file's own second name there means the folder could
        // not be flushed, and the next name would not fare better.
        if (!pathExists(backup) || identifyFile(backup) == file) {
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
