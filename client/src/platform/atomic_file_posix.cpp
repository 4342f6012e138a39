#include "platform/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vobu {
namespace {

std::string folderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    if (slash == 0) {
        return "/";
    }
    return path.substr(0, slash);
}

// A rename is durable only once the folder entry that names the file has
// been flushed too.
bool syncFolderOf(const std::string& path, const FileCalls& calls) {
    int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool synced = calls.fsync(fd) == 0;
    calls.close(fd);
    return synced;
}

bool writeAll(const FileCalls& calls, int fd, const char* data, size_t length) {
    size_t done = 0;
    while (done < length) {
        long written = calls.write(fd, data + done, length - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (written == 0) {
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

// Reads what is there, retrying interrupted reads; -1 on an error.
ssize_t readSome(int fd, char* data, size_t length) {
    for (;;) {
        ssize_t got = ::read(fd, data, length);
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

FileIdentity identityOf(const struct stat& info) {
    FileIdentity identity;
    identity.exists = true;
    identity.device = static_cast<uint64_t>(info.st_dev);
    identity.inode = static_cast<uint64_t>(info.st_ino);
    identity.size = static_cast<uint64_t>(info.st_size);
    identity.modifiedSeconds = static_cast<int64_t>(info.st_mtim.tv_sec);
    identity.modifiedNanoseconds = static_cast<int64_t>(info.st_mtim.tv_nsec);
    return identity;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Opens a regular file for reading, or gives -1. A FIFO opened for reading
// would wait for a writer and a device could have no end, so neither is
// opened at all; and since the name may change between the look and the
// open, the open itself does not wait either and is looked at again.
int openRegularForReading(const std::string& path, struct stat& info) {
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return -1;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    // Reads of a regular file then block as usual, on every file system.
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool copyRegularFileWithoutReplacing(const std::string& from, const std::string& to, const FileCalls& calls) {
    struct stat info {};
    Descriptor in(openRegularForReading(from, info));
    if (in.get() < 0) {
        return false;
    }
    // O_EXCL: an existing name, even a dangling link, always wins.
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 0666);
    if (out < 0) {
        return false;
    }
    constexpr size_t kChunk = 65536;
    std::string buffer(kChunk, '\0');
    bool ok = true;
    for (;;) {
        ssize_t got = readSome(in.get(), buffer.data(), kChunk);
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        if (!writeAll(calls, out, buffer.data(), static_cast<size_t>(got))) {
            ok = false;
            break;
        }
    }
    ok = ok && calls.fsync(out) == 0;
    bool closed = calls.close(out) == 0;
    if (!(ok && closed && syncFolderOf(to, calls))) {
        ::unlink(to.c_str());  // made above, so nobody else's file
        return false;
    }
    return true;
}

// Makes `path` for writing. O_EXCL: nothing that has the name already, not
// even a dangling link or a FIFO, is opened, followed or waited on.
int createNewFile(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644);
}

// Writes, flushes and closes the new file `fd` made under `path`, and
// removes it again when any of that fails.
bool finishNewFile(int fd, const std::string& path, const std::string& bytes, FileIdentity* written,
                   const FileCalls& calls) {
    if (fd < 0) {
        return false;  // nothing was made: whatever has the name is left alone
    }
    bool ok = writeAll(calls, fd, bytes.data(), bytes.size());
    // The data must be on the disk before a rename can make it the file's
    // content; otherwise a crash could leave a renamed but empty file.
    ok = ok && calls.fsync(fd) == 0;
    struct stat info {};
    ok = ok && ::fstat(fd, &info) == 0;
    bool closed = calls.close(fd) == 0;
    if (!(ok && closed)) {
        ::unlink(path.c_str());
        return false;
    }
    if (written) {
        *written = identityOf(info);
    }
    return true;
}

// How many names of its own a process tries before it gives up.
constexpr int kOwnTemporaryNames = 100;

// Makes the temporary file and gives its name in `made`; -1 when none
// could be made.
int createTemporaryFile(const TemporaryFile& temporary, std::string& made) {
    if (temporary.locked) {
        ::unlink(temporary.name.c_str());  // a leftover; a folder stays and takes the name
        made = temporary.name;
        int fd = createNewFile(made);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    for (int n = 1; n <= kOwnTemporaryNames; ++n) {
        made = ownTemporaryName(temporary.name, n);
        int fd = createNewFile(made);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

bool writeTemporaryFile(const TemporaryFile& temporary, const std::string& bytes, std::string& made,
                        FileIdentity& identity, const FileCalls& calls) {
    if (temporary.name.empty()) {
        return false;
    }
    int fd = createTemporaryFile(temporary, made);
    return finishNewFile(fd, made, bytes, &identity, calls);
}

}  // namespace

FileIdentity identifyFile(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        return {};
    }
    return identityOf(info);
}

FileRead readRegularFile(const std::string& path, size_t chunk, uint64_t limit) {
    FileRead read;
    struct stat info {};
    if (path.empty() || chunk == 0) {
        return read;
    }
    if (::stat(path.c_str(), &info) != 0) {
        read.whole = errno == ENOENT;  // nothing there, nothing to lose
        return read;
    }
    read.identity = identityOf(info);
    Descriptor fd(openRegularForReading(path, info));
    if (fd.get() < 0) {
        return read;
    }
    read.identity = identityOf(info);
    // One byte past the limit tells whether anything lies beyond it.
    std::string buffer(chunk, '\0');
    uint64_t total = 0;
    for (;;) {
        uint64_t room = limit - total;
        size_t want = room < chunk ? static_cast<size_t>(room) + 1 : chunk;
        ssize_t got = readSome(fd.get(), buffer.data(), want);
        if (got < 0) {
            return read;
        }
        if (got == 0) {
            read.whole = true;
            return read;
        }
        total += static_cast<uint64_t>(got);
        if (total > limit) {
            read.bytes.append(buffer.data(), static_cast<size_t>(got) - 1);
            return read;
        }
        read.bytes.append(buffer.data(), static_cast<size_t>(got));
    }
}

bool writeNewFileDurably(const std::string& path, const std::string& bytes, FileIdentity* written,
                         const FileCalls& calls) {
    if (path.empty()) {
        return false;
    }
    return finishNewFile(createNewFile(path), path, bytes, written, calls);
}

std::string ownTemporaryName(const std::string& name, int n) {
    const std::string suffix = ".tmp";
    const bool tmp =
        name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    const std::string stem = tmp ? name.substr(0, name.size() - suffix.size()) : name;
    return stem + "." + std::to_string(::getpid()) + "-" + std::to_string(n) + suffix;
}

Replacement replaceFileAtomically(const std::string& target, const TemporaryFile& temporary, const std::string& bytes,
                                  const FileCalls& calls) {
    Replacement result;
    std::string made;
    FileIdentity identity;
    if (target.empty() || !writeTemporaryFile(temporary, bytes, made, identity, calls)) {
        return result;
    }
    if (::rename(made.c_str(), target.c_str()) != 0) {
        ::unlink(made.c_str());  // made above under a name no one else writes
        return result;
    }
    // A rename keeps the identity: it is the file that `target` names now.
    result.replaced = true;
    result.identity = identity;
    result.flushed = syncFolderOf(target, calls);
    return result;
}

bool createFileAtomically(const std::string& target, const TemporaryFile& temporary, const std::string& bytes,
                          const FileCalls& calls) {
    std::string made;
    FileIdentity identity;
    if (target.empty() || !writeTemporaryFile(temporary, bytes, made, identity, calls)) {
        return false;
    }
    if (!moveFileWithoutReplacing(made, target, calls)) {
        ::unlink(made.c_str());  // whatever has the name meanwhile wins
        return false;
    }
    return true;
}

bool moveFileWithoutReplacing(const std::string& from, const std::string& to, const FileCalls& calls) {
    if (from.empty() || to.empty()) {
        return false;
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS) {
            return false;  // EEXIST among them: the existing file wins
        }
        // The file system cannot rename without replacing: a hard link
        // refuses an existing name just the same.
        if (::link(from.c_str(), to.c_str()) != 0) {
            return false;
        }
        ::unlink(from.c_str());
    }
    return syncFolderOf(to, calls);
}

FileCalls systemFileCalls() {
    FileCalls calls;
    calls.link = [](const std::string& from, const std::string& to) { return ::link(from.c_str(), to.c_str()) == 0; };
    calls.write = [](int fd, const char* data, size_t length) { return long(::write(fd, data, length)); };
    calls.fsync = [](int fd) { return ::fsync(fd); };
    calls.close = [](int fd) { return ::close(fd); };
    return calls;
}

bool keepFileWithoutReplacing(const std::string& from, const std::string& to, const FileCalls& calls) {
    if (from.empty() || to.empty()) {
        return false;
    }
    if (calls.link(from, to)) {
        return syncFolderOf(to, calls);
    }
    // No hard links here (vfat, exFAT, many FUSE mounts), or the kernel's
    // protected_hardlinks refuses one: the bytes are kept instead. When the
    // name was taken, the copy is refused the same way.
    return copyRegularFileWithoutReplacing(from, to, calls);
}

bool pathExists(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace vobu
