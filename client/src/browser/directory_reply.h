#pragma once
// The reply to the one-message directory request {"type":"directory"}: a
// server directory lists up to 32 servers, a single game server lists itself
// under an empty "url". Both readers throw "ERR_DIRECTORY_BYTES",
// "ERR_DIRECTORY", "ERR_DIRECTORY_URL" or the JSON library's own errors.

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "browser/server_entry.h"

namespace vobu {

inline constexpr const char* kDirectoryRequest = R"({"type":"directory"})";
inline constexpr size_t kMaxDirectoryReplyBytes = 16384;
inline constexpr size_t kMaxDirectoryServers = 32;
inline constexpr size_t kMaxServerTitleBytes = 320;
inline constexpr size_t kMaxServerMotdBytes = 640;
inline constexpr size_t kMaxServerUrlBytes = 512;

// An entry that refuses the whole reply. what() is the reader's code or the
// JSON library's message; `entry` counts from 1 among `entries`.
class DirectoryEntryError : public std::runtime_error {
public:
    // `address` is the entry's address when that is what refused it.
    DirectoryEntryError(const std::string& what, size_t entry, size_t entries, std::string address);

    size_t entry;
    size_t entries;
    std::string address;
};

// The servers of a directory reply in reply order, an empty "url" replaced
// by `directoryUrl`. Nothing (no value) for a message of another "type". A
// fault in an entry throws DirectoryEntryError.
std::optional<std::vector<ServerEntry>> readDirectoryReply(const char* text, size_t length,
                                                           const std::string& directoryUrl);

// Why a reply was refused, for one log line: the entry and, for an address
// that cannot be dialled, why and the address (quoted, cut and escaped).
std::string describeDirectoryRefusal(const std::exception& error);

// What a saved server says about itself: the first entry with an empty
// "url". Nothing for a message of another "type".
std::optional<ServerInfo> readServerInfoReply(const char* text, size_t length);

}  // namespace vobu
