#pragma once
// The client's own files in the per-user folder: the characters file, its
// backups and the saved-server list. These functions move bytes only; they
// never throw: reads give the empty string, writes false.

#include <cstdint>
#include <string>

#include "platform/atomic_file.h"
#include "platform/file_lock.h"

namespace vobu {

// Saved-server list reads stop once this many bytes are gathered.
constexpr size_t kMaxServersFileBytes = 16384;

// A characters file longer than this is not read: it is no library this
// client wrote. The largest it writes is 16 characters of six 64 x 64 faces
// at six hex digits a texel (147456 bytes a character) with under 1 kB of
// name, id and keys each, about 2.4 MB; a file of the older form, with
// faces of up to 128 texels a side, is four times that at most.
constexpr uint64_t kMaxCharactersFileBytes = 16 * 1024 * 1024;

// <per-user folder>/characters.json, or empty when there is no such folder.
std::string storagePath();

// Changes to the files of the per-user folder are made under one lock on
// "characters.json.lock" beside them, so that two game windows take turns.
// Waits up to `waitMs`. A change goes ahead when the lock is held, and also
// when it is unavailable (a lock file that is no regular file, cannot be
// opened, or a file system without locks): the lock file must never take
// saving away. Only a lock another window holds past the wait stops it.
FileLock lockUserFolder(int waitMs);
// How long a change waits for another window that is changing the folder's
// files; that takes milliseconds, so this is only reached when the other
// one is stopped.
constexpr int kUserFolderLockWaitMs = 5000;

// The characters file, at most its first kMaxCharactersFileBytes; empty when
// it cannot be opened or is no regular file.
std::string readCharactersFile();
// Atomic replacement through "characters.json.tmp", under the folder's lock.
bool writeCharactersFile(const std::string& bytes);
// The one-time backup of an older characters file, "characters.json.pre64.bak":
// an existing backup is never replaced (and then counts as success).
// Written through "characters.json.backup.tmp" when `locked` (the caller
// holds the folder's lock), else through a temporary name of its own.
bool backupCharactersFile(const std::string& bytes, bool locked, const FileCalls& calls = systemFileCalls());

// The names a file that could not be read whole is kept under before it is
// replaced: n = 1 gives `path` + ".unread.bak", n = 2 to kMaxUnreadBackups
// `path` + ".unread-<n>.bak".
constexpr int kMaxUnreadBackups = 100;
std::string unreadBackupName(const std::string& path, int n);

// At most the first 16384 bytes of "characters.json.servers".
std::string readServersFile();
// Atomic replacement through "characters.json.servers.tmp", under the
// folder's lock.
bool writeServersFile(const std::string& text);

}  // namespace vobu
