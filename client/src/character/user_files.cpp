#include "character/user_files.h"

#include <SDL.h>

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
    if (lock.state() == FileLock::State::Busy) {
        return false;
    }
    return replaceFileAtomically(path, {path + ".tmp", lock.held()}, bytes).replaced;
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
    return FileLock::acquire(path.empty() ? path : path + ".lock", waitMs);
}

std::string unreadBackupName(const std::string& path, int n) {
    return path + (n == 1 ? std::string(".unread.bak") : ".unread-" + std::to_string(n) + ".bak");
}

std::string readCharactersFile() { return readUpTo(storagePath(), 4096, kMaxCharactersFileBytes); }

bool writeCharactersFile(const std::string& bytes) { return replaceLocked(storagePath(), bytes); }

bool backupCharactersFile(const std::string& bytes, bool locked, const FileCalls& calls) {
    std::string path = storagePath();
    if (path.empty()) {
        return false;
    }
    std::string backup = path + ".pre64.bak";
    if (pathExists(backup)) {
        return true;  // the first backup is never overwritten
    }
    // A backup that appears meanwhile wins.
    return createFileAtomically(backup, {path + ".backup.tmp", locked}, bytes, calls);
}

std::string readServersFile() { return readUpTo(serversPath(), 1024, kMaxServersFileBytes); }

bool writeServersFile(const std::string& text) { return replaceLocked(serversPath(), text); }

}  // namespace vobu
