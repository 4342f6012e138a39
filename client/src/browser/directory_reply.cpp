#include "browser/directory_reply.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "net/server_address.h"

namespace vobu {

bool isWebSocketUrl(const std::string& text) { return !text.empty() && serverAddressFault(text).empty(); }

DirectoryEntryError::DirectoryEntryError(const std::string& what, size_t entry, size_t entries, std::string address)
    : std::runtime_error(what), entry(entry), entries(entries), address(std::move(address)) {}

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
    const size_t count = servers->size();
    for (const json& server : *servers) {
        const size_t number = entries.size() + 1;
        ServerEntry entry;
        try {
            entry.title = limitedString(server, "title", kMaxServerTitleBytes);
            entry.motd = limitedString(server, "motd", kMaxServerMotdBytes);
            entry.url = limitedString(server, "url", kMaxServerUrlBytes);
        } catch (const std::exception& error) {
            throw DirectoryEntryError(error.what(), number, count, "");
        }
        if (entry.url.empty()) {
            entry.url = directoryUrl;
        } else if (!isWebSocketUrl(entry.url)) {
            throw DirectoryEntryError("ERR_DIRECTORY_URL", number, count, entry.url);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string describeDirectoryRefusal(const std::exception& error) {
    const auto* entry = dynamic_cast<const DirectoryEntryError*>(&error);
    if (!entry) return error.what();
    std::string text = "entry " + std::to_string(entry->entry) + " of " + std::to_string(entry->entries);
    if (entry->address.empty()) return text + ": " + error.what();
    return text + " has an address that cannot be dialled (" + serverAddressFault(entry->address) +
           "): " + quotedAddress(entry->address);
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
