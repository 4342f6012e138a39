#include "browser/directory_reply.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "character/server_port.h"
#include "ui/utf8.h"

namespace vobu {

bool isWebSocketUrl(const std::string& text) {
    bool scheme = text.rfind("ws://", 0) == 0 || text.rfind("wss://", 0) == 0;
    return scheme && !hasControlByte(text) && hasValidPort(text);
}

namespace {

using nlohmann::json;

// The parsed reply when it is a directory reply, else null; the servers
// array checked for its type and count.
std::optional<json> directoryServers(const char* text, size_t length) {
    if (length > kMaxDirectoryReplyBytes) throw std::runtime_error("ERR_DIRECTORY_BYTES");
    json document = json::parse(text, text + length);
    if (document.value("type", std::string()) != "directory") return std::nullopt;
    json& servers = document.at("servers");
    if (!servers.is_array() || servers.size() > kMaxDirectoryServers) throw std::runtime_error("ERR_DIRECTORY");
    return std::move(servers);
}

std::string limitedString(const json& entry, const char* key, size_t limit) {
    std::string value = entry.at(key).get<std::string>();
    if (value.size() > limit) throw std::runtime_error("ERR_DIRECTORY_BYTES");
    return value;
}

}  // namespace

std::optional<std::vector<ServerEntry>> readDirectoryReply(const char* text, size_t length,
                                                           const std::string& directoryUrl) {
    std::optional<json> servers = directoryServers(text, length);
    if (!servers) return std::nullopt;
    std::vector<ServerEntry> entries;
    for (const json& server : *servers) {
        ServerEntry entry;
        entry.title = limitedString(server, "title", kMaxServerTitleBytes);
        entry.motd = limitedString(server, "motd", kMaxServerMotdBytes);
        entry.url = limitedString(server, "url", kMaxServerUrlBytes);
        if (entry.url.empty()) {
            entry.url = directoryUrl;
        } else if (!isWebSocketUrl(entry.url)) {
            throw std::runtime_error("ERR_DIRECTORY_URL");
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<ServerInfo> readServerInfoReply(const char* text, size_t length) {
    std::optional<json> servers = directoryServers(text, length);
    if (!servers) return std::nullopt;
    for (const json& server : *servers) {
        if (!server.at("url").get<std::string>().empty()) continue;
        ServerInfo info;
        info.title = limitedString(server, "title", kMaxServerTitleBytes);
        info.motd = limitedString(server, "motd", kMaxServerMotdBytes);
        return info;
    }
    throw std::runtime_error("ERR_DIRECTORY");
}

}  // namespace vobu
