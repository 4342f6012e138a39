#pragma once
// Entry points shared by the title screen's fuzz targets and by the
// regression test that replays their corpora in the ordinary build. They
// return false when something that must hold broke.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "browser/directory_reply.h"
#include "browser/saved_servers.h"
#include "browser/server_address_rules.h"
#include "character/user_files.h"
#include "net/server_address.h"

namespace vobu::fuzz {

// The transport takes the address (the name lookup judges its host).
inline bool transportTakes(const std::string& url) {
    try {
        parseServerAddress(url);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The transport takes the address and it names a host.
inline bool transportDials(const std::string& url) {
    try {
        return !parseServerAddress(url).host.empty();
    } catch (const std::exception&) {
        return false;
    }
}

// A directory address as a reply may give it: empty (the directory itself)
// or one that the transport takes.
inline bool entryUrlIsSound(const std::string& url) {
    return url.empty() || (isWebSocketUrl(url) && transportTakes(url));
}

// The first byte chooses the reader (bit 0: a saved server's answer, else
// a directory reply) and, for the directory, its own address (bit 1: the
// built-in default, which leaves empty addresses empty); the rest is the
// reply. What a reader accepts is within every limit and every address in
// it can be dialled.
inline bool directoryReplyHolds(const uint8_t* data, size_t size) {
    if (size == 0) return true;
    const bool serverInfo = data[0] & 1;
    const std::string directoryUrl = (data[0] & 2) ? "" : "ws://directory.test/vobu";
    const char* text = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;
    try {
        if (serverInfo) {
            std::optional<ServerInfo> info = readServerInfoReply(text, length);
            if (!info) return true;
            return length <= kMaxDirectoryReplyBytes && info->title.size() <= kMaxServerTitleBytes &&
                   info->motd.size() <= kMaxServerMotdBytes;
        }
        std::optional<std::vector<ServerEntry>> entries = readDirectoryReply(text, length, directoryUrl);
        if (!entries) return true;
        if (length > kMaxDirectoryReplyBytes || entries->size() > kMaxDirectoryServers) return false;
        for (const ServerEntry& entry : *entries) {
            if (entry.title.size() > kMaxServerTitleBytes || entry.motd.size() > kMaxServerMotdBytes ||
                entry.url.size() > kMaxServerUrlBytes || !entryUrlIsSound(entry.url)) {
                return false;
            }
        }
        return true;
    } catch (const std::exception&) {
        return true;  // refused: the browser forgets the reply
    }
}

// The bytes are a servers file. What is read from it must be written back
// into a document that fits the read and reads back as the same list, taken
// whole; the transport takes every address read (a file may hold one
// without a host, as "ws://", which only its name lookup refuses).
inline bool savedServersHold(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    bool tookAll = false;
    const std::vector<std::string> servers = parseSavedServers(text, tookAll);
    if (servers.size() > kMaxSavedServers) return false;
    for (const std::string& url : servers) {
        if (url.size() > kMaxSavedServerBytes || !isWebSocketUrl(url) || !transportTakes(url)) return false;
    }
    std::string document;
    if (!buildSavedServersDocument(servers, document)) return false;
    if (document.size() > kMaxServersFileBytes) return false;
    bool again = false;
    return parseSavedServers(document, again) == servers && again;
}

// The bytes are what was typed into the add-server field. Every message is
// one of the dialog's; every accepted address is one the transport dials,
// with a host, and the servers file keeps.
inline bool addressRulesHold(const uint8_t* data, size_t size) {
    static const char* const kMessages[] = {"Enter an address",    "Address is too long",   "Address has spaces",
                                            "Use ws:// or wss://", "Enter a host and port", "Invalid address"};
    const std::string typed(reinterpret_cast<const char*>(data), size);
    std::string address;
    const std::string message = completeServerAddress(typed, address);
    if (!message.empty()) {
        for (const char* known : kMessages) {
            if (message == known) return address.empty();
        }
        return false;
    }
    if (!transportDials(address) || !isWebSocketUrl(address) || address.size() > kMaxSavedServerBytes) return false;
    std::string document;
    if (!buildSavedServersDocument({address}, document)) {
        // Only text that is not UTF-8 cannot be saved ("Could not save").
        try {
            nlohmann::json(address).dump();
            return false;
        } catch (const std::exception&) {
            return true;
        }
    }
    return parseSavedServers(document) == std::vector<std::string>{address};
}

}  // namespace vobu::fuzz
