#pragma once
// One of the client's own files in the per-user folder, as its owner in
// this window last saw it. Two windows (or a second start by mistake) may
// share the folder, so every change is applied to what is on disk now:
// under a lock the other windows respect, a file another window wrote since
// it was read here is read again and the owner's view refreshed from it, or
// kept aside whole when it is no document the owner can take, and only then
// is the change made and the file replaced.
//
// This is the one keeper of broken files: a file that could not be read
// whole, or that its owner could not take whole (a broken entry, more
// entries than it holds), is kept aside under a free unread backup name,
// by a second name or else a byte-for-byte copy, before it is first
// replaced.

#include <cstdint>
#include <functional>
#include <string>

#include "character/user_files.h"
#include "platform/atomic_file.h"

namespace vobu {

// What a screen says when another game window held the per-user folder's
// lock for longer than a change waits.
inline constexpr char kUserFilesBusyText[] = "Another game window is using your files.";

class WatchedFile {
public:
    // The file <per-user folder>/characters.json + `suffix`, read in reads
    // of `chunk` bytes up to `limit` bytes. `label` starts its log lines
    // ("Saved characters: the characters file").
    WatchedFile(std::string suffix, std::string label, size_t chunk, uint64_t limit);

    // Reads the file and remembers it as seen. A file that is there but
    // was not read whole is kept aside before it is first replaced.
    FileRead read();
    // The owner could not take all of what it read: the file is kept aside
    // before it is first replaced.
    void keepAsideBeforeWrite() { keepAside_ = true; }

    struct Edit {
        bool write = false;  // false: the file already says what the change asks
        std::string bytes;
    };
    enum class Result {
        Written,         // the change is in the file
        NothingToWrite,  // the change asked for no write
        Refused,         // the owner refused the change (and said why)
        Locked,          // another window kept the lock too long; nothing done
        NotKept,         // a file that had to be kept aside could not be
        NotWritten,      // the write or the move failed; the file is as it was
    };
    // Applies one change under the lock. When the file changed since it was
    // read or written here, it is read again and handed to `adopt`, which
    // refreshes the owner's view and returns true, or returns false when it
    // is no document the owner takes whole. A file that is gone or empty
    // now is not handed over: the owner's view is what it writes. `change`
    // then gives the new content from the owner's view, or returns false to
    // refuse. Before the file is replaced, a changed file that was not
    // adopted, or one that could not be taken whole, is kept aside.
    Result apply(const std::function<bool(const std::string& bytes)>& adopt,
                 const std::function<bool(Edit& edit)>& change);

    // Runs `work` under the lock (at once when it is held here already);
    // false without running it when another window held the lock past the
    // wait.
    bool whileLocked(const std::function<bool()>& work);
    // Inside apply or whileLocked: the folder's lock is held, so no other
    // window writes the folder's temporary files (false where no lock can
    // be had and the change goes ahead without it).
    bool holdsLock() const { return holdsLock_; }

    std::string path() const;

    // How files are written and kept (tests fake a full disk or a file
    // system without links), and how long the lock is waited for.
    FileCalls calls = systemFileCalls();
    int lockWaitMs = kUserFolderLockWaitMs;

private:
    // The file as it is now, against what was seen here.
    enum class Now {
        Seen,     // as it was read or written here
        Taken,    // changed, and the owner took it whole
        Lost,     // gone, or emptied: nothing of it left to keep
        Refused,  // changed into something the owner does not take whole
    };
    Now lookAtFileNow(const std::string& path, const std::function<bool(const std::string&)>& adopt);
    bool keepBeforeReplacing(const std::string& path, bool changed);
    // Keeps `path`, which is the file `file`, under a free unread backup name.
    bool keepAside(const std::string& path, const FileIdentity& file, const char* why);
    void wrote(const Replacement& written);
    Result locked(const std::function<Result()>& work);

    std::string suffix_;
    std::string label_;
    size_t chunk_;
    uint64_t limit_;
    // The file as it was last read or written here.
    FileIdentity seen_;
    bool keepAside_ = false;
    int lockDepth_ = 0;
    bool holdsLock_ = false;
};

// The characters file and the saved-server list, as their owners watch them.
WatchedFile watchedCharactersFile();
WatchedFile watchedServersFile();

}  // namespace vobu
