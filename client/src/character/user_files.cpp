#include "character/user_files.h"

#include <unistd.h>

#include <SDL.h>

#include "platform/atomic_file.h"

namespace vobu {
namespace {

std::string serversPath() {
    std::string path = storagePath();
    return path.empty() ? path : path + ".servers";
}

// Nothing of the file, or without a per-user folder nothing to read.
std::string readUpTo(const std::string& path, size_t chunk, uint64_t limit) {
    return path.empty() ? std::string() : readRegularFile(path, chunk, limit).bytes;
}

bool replaceLocked(const std::string& path, const std::string& bytes) {
    if (path.empty()) {
        return false;
    }
    FileLock lock = lockUserFolder(kUserFolderLockWaitMs);
    return lock.held() && replaceFileAtomically(path, path + ".tmp", bytes);
}

bool sameContent(const std::string& path, const std::string& bytes) {
    // A backup holds one characters file, so a longer one is another.
    FileRead existing = readRegularFile(path, 4096, bytes.size());
    return existing.whole && existing.identity.exists && existing.bytes == bytes;
}

}  // namespace

std::string storagePath() {
    char* folder = SDL_GetPrefPath("VobuOrchard", "VobuOrchard");
    if (!folder) {
        return {};
    }
    std::string path = std::string(folder) + "characters.json";
    SDL_free(folder);
    return path;
}

FileLock lockUserFolder(int waitMs) {
    std::string path = storagePath();
    return path.empty() ? FileLock() : FileLock::acquire(path + ".lock", waitMs);
}

std::string unreadBackupName(const std::string& path, int n) {
    return path + (n == 1 ? std::string(".unread.bak") : ".unread-" + std::to_string(n) + ".bak");
}

std::string readCharactersFile() { return readUpTo(storagePath(), 4096, kMaxCharactersFileBytes); }

bool writeCharactersFile(const std::string& bytes) { return replaceLocked(storagePath(), bytes); }

bool backupCharactersFile(const std::string& bytes) {
    std::string path = storagePath();
    if (path.empty()) {
        return false;
    }
    std::string backup = path + ".pre64.bak";
    if (pathExists(backup)) {
        return true;  // the first backup is never overwritten
    }
    std::string temporary = path + ".backup.tmp";
    if (!writeFileDurably(temporary, bytes)) {
        return false;
    }
    if (!moveFileWithoutReplacing(temporary, backup)) {
        ::unlink(temporary.c_str());  // a backup that appeared meanwhile wins
        return false;
    }
    return true;
}

bool backupUnreadCharactersFile(const std::string& bytes) {
    std::string path = storagePath();
    if (path.empty()) {
        return false;
    }
    std::string temporary = path + ".backup.tmp";
    bool written = false;
    // The temporary file holds nothing anyone reads once this is over.
    auto finish = [&](bool kept) {
        if (written) {
            ::unlink(temporary.c_str());
        }
        return kept;
    };
    for (int n = 1; n <= kMaxUnreadBackups; ++n) {
        std::string backup = unreadBackupName(path, n);
        if (pathExists(backup)) {
            if (sameContent(backup, bytes)) {
                return finish(true);
            }
            continue;
        }
        if (!written) {
            if (!writeFileDurably(temporary, bytes)) {
                return false;
            }
            written = true;
        }
        if (moveFileWithoutReplacing(temporary, backup)) {
            return true;
        }
        // A backup appeared under this name meanwhile: it wins; try the next.
        if (!pathExists(backup)) {
            return finish(false);
        }
        if (sameContent(backup, bytes)) {
            return finish(true);
        }
    }
    return finish(false);
}

std::string readServersFile() { return readUpTo(serversPath(), 1024, kMaxServersFileBytes); }

bool writeServersFile(const std::string& text) { return replaceLocked(serversPath(), text); }

}  // namespace vobu
