#pragma once
// The client's own files in the per-user folder: the characters file, its
// backups and the saved-server list. These functions move bytes only; they
// never throw: reads give the empty string, writes false.

#include <string>

namespace vobu {

// Saved-server list reads stop once this many bytes are gathered.
constexpr size_t kMaxServersFileBytes = 16384;

// <per-user folder>/characters.json, or empty when there is no such folder.
std::string storagePath();

// The whole characters file; empty when it cannot be opened.
std::string readCharactersFile();
// Like readCharactersFile, but false when the file exists and could not be
// read whole (opened, but a read failed; or it exists and cannot be opened).
// A missing file is true with empty bytes.
bool readCharactersFileWhole(std::string& bytes);
// Atomic replacement through "characters.json.tmp".
bool writeCharactersFile(const std::string& bytes);
// The one-time backup of an older characters file, "characters.json.pre64.bak":
// an existing backup is never replaced (and then counts as success).
bool backupCharactersFile(const std::string& bytes);
// Keeps the bytes of a characters file that could not be read whole, under
// "characters.json.unread.bak" or, when a different file already holds that
// name, the first free "characters.json.unread-N.bak". Nothing existing is
// ever replaced; true also when a backup with the same bytes exists.
bool backupUnreadCharactersFile(const std::string& bytes);

// Keeps a characters file that could not be read at all under the first free
// unread backup name, as a second name of the same file (nothing is read or
// copied). False when that cannot be done.
bool keepUnreadableCharactersFile();

// At most the first 16384 bytes of "characters.json.servers".
std::string readServersFile();
// Like readServersFile, but false when the file exists and was not read
// whole: a read failed, it cannot be opened, or it is longer than the
// reader takes. A missing file is true with an empty text.
bool readServersFileWhole(std::string& text);
// Keeps a servers file that could not be read under a second name beside
// it, "characters.json.servers.unread.bak" or the first free
// "characters.json.servers.unread-N.bak", without reading or copying it.
// False when that cannot be done; true with `keptAs` empty when there is no
// such file any more.
bool keepUnreadableServersFile(std::string& keptAs);
// Atomic replacement through "characters.json.servers.tmp".
bool writeServersFile(const std::string& text);

}  // namespace vobu
