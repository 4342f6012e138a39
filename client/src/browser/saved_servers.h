#pragma once
// The saved-server list document: a compact JSON array of "ws://" and
// "wss://" addresses, kept in the per-user file "characters.json.servers".

#include <string>
#include <vector>

#include "character/user_files.h"
#include "character/watched_file.h"

namespace vobu {

constexpr size_t kMaxSavedServers = 16;
constexpr size_t kMaxSavedServerBytes = 512;

// The addresses of a list document: nothing for text that is not a JSON
// array; reading stops at the first element that is not a string and once
// 16 are taken; strings over 512 bytes and addresses that the transport
// would not take (isWebSocketUrl: any other scheme, a control byte, a
// bracketed host, a port outside 1 to 65535) are skipped. `tookAll` tells
// whether the text was an array and every element of it was taken. Never
// throws.
std::vector<std::string> parseSavedServers(const std::string& text);
std::vector<std::string> parseSavedServers(const std::string& text, bool& tookAll);

// The compact document of a list. False when it cannot be built (an address
// that is not valid UTF-8), when it is longer than `maxBytes` or when the
// reader would not give the same list back from it (an address it skips);
// never throws. Every list the reader takes fits the file's read (at most
// 16353 bytes); the size check keeps that true should the rules change.
bool buildSavedServersDocument(const std::vector<std::string>& servers, std::string& out,
                               size_t maxBytes = kMaxServersFileBytes);

// The list of a file's text when the reader takes every byte of it (an
// empty text is the empty list); false when it would leave something out.
bool takeWholeSavedServers(const std::string& text, std::vector<std::string>& servers);

struct SavedServersRead {
    std::vector<std::string> servers;
    // The file is there but was not taken whole (a read error, more than
    // the reader takes, not a list, or entries skipped): a rewrite would
    // lose what was not taken, so the file is kept aside before it.
    bool unreadable = false;
};

// parseSavedServers of the saved-server file (at most its first 16384 bytes),
// read through `file`, which then keeps aside what was not taken whole.
SavedServersRead readSavedServers(WatchedFile& file);
// Replaces the saved-server file atomically with the list's document.
bool writeSavedServers(const std::vector<std::string>& servers);

}  // namespace vobu
