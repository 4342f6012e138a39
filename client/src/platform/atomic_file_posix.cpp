#include "platform/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
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
bool syncFolderOf(const std::string& path) {
    int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
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

}  // namespace

bool writeFileDurably(const std::string& path, const std::string& bytes) {
    if (path.empty()) {
        return false;
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = writeAll(fd, bytes);
    // The data must be on the disk before a rename can make it the file's
    // content; otherwise a crash could leave a renamed but empty file.
    ok = ok && ::fsync(fd) == 0;
    bool closed = ::close(fd) == 0;
    return ok && closed;
}

bool moveFileReplacing(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return false;
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    return syncFolderOf(to);
}

bool moveFileWithoutReplacing(const std::string& from, const std::string& to) {
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
    return syncFolderOf(to);
}

bool linkFileWithoutReplacing(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return false;
    }
    if (::link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    return syncFolderOf(to);
}

bool pathExists(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool replaceFileAtomically(const std::string& target, const std::string& temporary, const std::string& bytes) {
    if (!writeFileDurably(temporary, bytes)) {
        return false;
    }
    return moveFileReplacing(temporary, target);
}

}  // namespace vobu
