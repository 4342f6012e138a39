#pragma once
// The reply to the one-message directory request {"type":"directory"}: a
// server directory lists up to 32 servers, a single game server lists itself
// under an empty "url". Both readers throw "ERR_DIRECTORY_BYTES",
// "ERR_DIRECTORY", "ERR_DIRECTORY_URL" or the JSON library's own errors.

#include <cstddef>
#include <optional>
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

// The servers of a directory reply in reply order, an empty "url" replaced
// by `directoryUrl`. Nothing (no value) for a message of another "type".
std::optional<std::vector<ServerEntry>> readDirectoryReply(const char* text, size_t length,
                                                           const std::string& directoryUrl);

// What a saved server says about itself: the first entry with an empty
// "url". Nothing for a message of another "type".
std::optional<ServerInfo> readServerInfoReply(const char* text, size_t length);

}  // namespace vobu
