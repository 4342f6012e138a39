#pragma once
// The client's own files in the per-user folder: the characters file, its
// backups and the saved-server list. These functions move bytes only; they
// never throw: reads give the empty string, writes false.

#include <cstdint>
#include <string>

#include "platform/atomic_file.h"

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

// The characters file, at most its first kMaxCharactersFileBytes; empty when
// it cannot be opened or is no regular file.
std::string readCharactersFile();
// Like readCharactersFile, but false when the file exists and could not be
// read whole: a read failed, it cannot be opened, it is no regular file (a
// FIFO, a device, a folder) or it is longer than kMaxCharactersFileBytes.
// A missing file is true with empty bytes. `seen`, when given, is the
// identity of the file that was read (or of none).
bool readCharactersFileWhole(std::string& bytes, FileIdentity* seen = nullptr);
// Atomic replacement through "characters.json.tmp"; `written`, when given,
// is the identity of the new file.
bool writeCharactersFile(const std::string& bytes, FileIdentity* written = nullptr);
// The identity of what is under the characters file's name now.
FileIdentity charactersFileIdentity();
// The one-time backup of an older characters file, "characters.json.pre64.bak":
// an existing backup is never replaced (and then counts as success).
bool backupCharactersFile(const std::string& bytes);
// Keeps the bytes of a characters file that could not be read whole, under
// "characters.json.unread.bak" or, when a different file already holds that
// name, the first free "characters.json.unread-N.bak". Nothing existing is
// ever replaced; true also when a backup with the same bytes exists.
bool backupUnreadCharactersFile(const std::string& bytes);

// Keeps the characters file as it is now (one that could not be read, or
// one that changed since it was read) under the first free unread backup
// name: a second name of the same file, or where the file system has none,
// a copy of a regular file. False when that cannot be done; true with
// `keptAs` empty when there is no such file any more.
bool keepUnreadableCharactersFile(std::string& keptAs, const FileCalls& calls = systemFileCalls());

// At most the first 16384 bytes of "characters.json.servers".
std::string readServersFile();
// Like readServersFile, but false when the file exists and was not read
// whole: a read failed, it cannot be opened, it is no regular file, or it is
// longer than the reader takes. A missing file is true with an empty text.
// `seen`, when given, is the identity of the file that was read (or of none).
bool readServersFileWhole(std::string& text, FileIdentity* seen = nullptr);
// Keeps the servers file as it is now under a new name beside it,
// "characters.json.servers.unread.bak" or the first free
// "characters.json.servers.unread-N.bak", as the characters file is kept.
// False when that cannot be done; true with `keptAs` empty when there is no
// such file any more.
bool keepUnreadableServersFile(std::string& keptAs, const FileCalls& calls = systemFileCalls());
// Atomic replacement through "characters.json.servers.tmp"; `written`, when
// given, is the identity of the new file.
bool writeServersFile(const std::string& text, FileIdentity* written = nullptr);
// The identity of what is under the servers file's name now.
FileIdentity serversFileIdentity();

}  // namespace vobu
