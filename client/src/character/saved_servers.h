#pragma once
// The saved-server list document: a compact JSON array of "ws://" and
// "wss://" addresses, kept in the per-user file "characters.json.servers".

#include <string>
#include <vector>

namespace vobu {

constexpr size_t kMaxSavedServers = 16;
constexpr size_t kMaxSavedServerBytes = 512;

// The addresses of a list document: nothing for text that is not a JSON
// array; reading stops at the first element that is not a string and once
// 16 are taken; strings over 512 bytes and addresses of any other scheme are
// skipped. Never throws.
std::vector<std::string> parseSavedServers(const std::string& text);

// The compact document of a list. False when it cannot be built (an address
// that is not valid UTF-8); never throws.
bool buildSavedServersDocument(const std::vector<std::string>& servers, std::string& out);

// parseSavedServers of the saved-server file (at most its first 16384 bytes).
std::vector<std::string> readSavedServers();
// Replaces the saved-server file atomically with the list's document.
bool writeSavedServers(const std::vector<std::string>& servers);

}  // namespace vobu
