#include "character/user_files.h"

#include <utility>

#include <SDL.h>

#include "platform/atomic_file.h"

namespace vobu {
namespace {

constexpr int kMaxUnreadBackups = 100;

// Reads in chunks until the end or until more than `limit` bytes are there;
// `whole` tells whether the end was reached within the limit without a read
// error, or the file does not exist at all (nothing to lose). Without a
// per-user folder there is nothing to read either.
FileRead readChunks(const std::string& path, size_t chunk, uint64_t limit) {
    if (path.empty()) {
        FileRead none;
        none.whole = true;
        return none;
    }
    return readRegularFile(path, chunk, limit);
}

// Hands a read's bytes and identity to the caller; whether it was whole.
bool takeRead(FileRead read, std::string& bytes, FileIdentity* seen) {
    bytes = std::move(read.bytes);
    if (seen) {
        *seen = read.identity;
    }
    return read.whole;
}

std::string unreadBackupSuffix(int n) {
    return n == 1 ? std::string(".unread.bak") : ".unread-" + std::to_string(n) + ".bak";
}

bool sameContent(const std::string& path, const std::string& bytes) {
    // A backup holds one characters file, so a longer one is another.
    FileRead existing = readRegularFile(path, 4096, bytes.size());
    return existing.whole && existing.identity.exists && existing.bytes == bytes;
}

// Keeps `path` under the first free unread backup name beside it. True with
// that name in `keptAs`, or with `keptAs` empty when nothing has the name
// `path` any more; false when it cannot be kept.
bool keepUnreadable(const std::string& path, const FileCalls& calls, std::string& keptAs) {
    keptAs.clear();
    if (!pathExists(path)) {
        return true;  // gone meanwhile: nothing left to lose
    }
    for (int n = 1; n <= kMaxUnreadBackups; ++n) {
        std::string backup = path + unreadBackupSuffix(n);
        if (pathExists(backup)) {
            continue;
        }
        if (keepFileWithoutReplacing(path, backup, calls)) {
            keptAs = backup;
            return true;
        }
        // Only a name taken meanwhile is worth the next try.
        if (!pathExists(backup)) {
            return false;
        }
    }
    return false;
}

std::string serversPath() {
    std::string path = storagePath();
    return path.empty() ? path : path + ".servers";
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

std::string readCharactersFile() { return readChunks(storagePath(), 4096, kMaxCharactersFileBytes).bytes; }

bool readCharactersFileWhole(std::string& bytes, FileIdentity* seen) {
    return takeRead(readChunks(storagePath(), 4096, kMaxCharactersFileBytes), bytes, seen);
}

bool writeCharactersFile(const std::string& bytes, FileIdentity* written) {
    std::string path = storagePath();
    if (path.empty()) {
        return false;
    }
    return replaceFileAtomically(path, path + ".tmp", bytes, written);
}

FileIdentity charactersFileIdentity() { return identifyFile(storagePath()); }

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
    return moveFileWithoutReplacing(temporary, backup);
}

bool backupUnreadCharactersFile(const std::string& bytes) {
    std::string path = storagePath();
    if (path.empty()) {
        return false;
    }
    std::string temporary = path + ".backup.tmp";
    bool written = false;
    for (int n = 1; n <= kMaxUnreadBackups; ++n) {
        std::string backup = path + unreadBackupSuffix(n);
        if (pathExists(backup)) {
            if (sameContent(backup, bytes)) {
                return true;
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
            return false;
        }
        if (sameContent(backup, bytes)) {
            return true;
        }
    }
    return false;
}

bool keepUnreadableCharactersFile(std::string& keptAs, const FileCalls& calls) {
    keptAs.clear();
    std::string path = storagePath();
    return !path.empty() && keepUnreadable(path, calls, keptAs);
}

std::string readServersFile() { return readChunks(serversPath(), 1024, kMaxServersFileBytes).bytes; }

bool readServersFileWhole(std::string& text, FileIdentity* seen) {
    return takeRead(readChunks(serversPath(), 1024, kMaxServersFileBytes), text, seen);
}

bool keepUnreadableServersFile(std::string& keptAs, const FileCalls& calls) {
    keptAs.clear();
    std::string path = serversPath();
    return !path.empty() && keepUnreadable(path, calls, keptAs);
}

bool writeServersFile(const std::string& text, FileIdentity* written) {
    std::string path = serversPath();
    if (path.empty()) {
        return false;
    }
    return replaceFileAtomically(path, path + ".tmp", text, written);
}

FileIdentity serversFileIdentity() { return identifyFile(serversPath()); }

}  // namespace vobu
