#include "character/user_files.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include <SDL.h>

#include "platform/atomic_file.h"

namespace vobu {
namespace {

constexpr int kMaxUnreadBackups = 100;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Reads in chunks until a read returns nothing or at least `limit` bytes
// (0: no limit) are gathered; `complete` tells whether the end was reached
// within the limit without a read error, or the file does not exist at all.
std::string readChunks(const std::string& path, size_t chunk, size_t limit, bool* complete) {
    if (complete) {
        *complete = path.empty();
    }
    if (path.empty()) {
        return {};
    }
    FileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        if (complete) {
            *complete = errno == ENOENT;
        }
        return {};
    }
    std::string bytes;
    std::string buffer(chunk, '\0');
    while (limit == 0 || bytes.size() < limit) {
        size_t got = std::fread(buffer.data(), 1, chunk, file.get());
        if (got == 0) {
            break;
        }
        bytes.append(buffer.data(), got);
    }
    // Whether anything lies beyond the limit; one more byte tells.
    bool cut = limit != 0 && (bytes.size() > limit || (bytes.size() == limit && std::fgetc(file.get()) != EOF));
    if (limit != 0 && bytes.size() > limit) {
        bytes.resize(limit);
    }
    if (complete) {
        *complete = !cut && !std::ferror(file.get());
    }
    return bytes;
}

std::string unreadBackupSuffix(int n) {
    return n == 1 ? std::string(".unread.bak") : ".unread-" + std::to_string(n) + ".bak";
}

bool sameContent(const std::string& path, const std::string& bytes) {
    bool complete = false;
    std::string existing = readChunks(path, 4096, 0, &complete);
    return complete && existing == bytes;
}

// Gives `path` the first free unread backup name beside it; that name, or
// empty when it cannot be done.
std::string keepUnreadable(const std::string& path) {
    for (int n = 1; n <= kMaxUnreadBackups; ++n) {
        std::string backup = path + unreadBackupSuffix(n);
        if (pathExists(backup)) {
            continue;
        }
        if (linkFileWithoutReplacing(path, backup)) {
            return backup;
        }
        if (!pathExists(backup)) {
            return {};
        }
    }
    return {};
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

std::string readCharactersFile() { return readChunks(storagePath(), 4096, 0, nullptr); }

bool readCharactersFileWhole(std::string& bytes) {
    bool complete = false;
    bytes = readChunks(storagePath(), 4096, 0, &complete);
    return complete;
}

bool writeCharactersFile(const std::string& bytes) {
    std::string path = storagePath();
    if (path.empty()) {
        return false;
    }
    return replaceFileAtomically(path, path + ".tmp", bytes);
}

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

bool keepUnreadableCharactersFile() {
    std::string path = storagePath();
    return !path.empty() && !keepUnreadable(path).empty();
}

std::string readServersFile() {
    std::string path = storagePath();
    if (path.empty()) {
        return {};
    }
    return readChunks(path + ".servers", 1024, kMaxServersFileBytes, nullptr);
}

bool readServersFileWhole(std::string& text) {
    std::string path = storagePath();
    bool complete = path.empty();
    text = path.empty() ? std::string() : readChunks(path + ".servers", 1024, kMaxServersFileBytes, &complete);
    return complete;
}

bool keepUnreadableServersFile(std::string& keptAs) {
    keptAs.clear();
    std::string path = storagePath();
    if (path.empty()) {
        return false;
    }
    if (!pathExists(path + ".servers")) {
        return true;  // gone meanwhile: nothing left to lose
    }
    keptAs = keepUnreadable(path + ".servers");
    return !keptAs.empty();
}

bool writeServersFile(const std::string& text) {
    std::string path = storagePath();
    if (path.empty()) {
        return false;
    }
    return replaceFileAtomically(path + ".servers", path + ".servers.tmp", text);
}

}  // namespace vobu
