#include "browser/saved_servers.h"

#include <nlohmann/json.hpp>

#include "browser/server_entry.h"
#include "character/user_files.h"

namespace vobu {
namespace {

bool isSavableAddress(const std::string& text) { return text.size() <= kMaxSavedServerBytes && isWebSocketUrl(text); }

}  // namespace

std::vector<std::string> parseSavedServers(const std::string& text) {
    bool tookAll = false;
    return parseSavedServers(text, tookAll);
}

std::vector<std::string> parseSavedServers(const std::string& text, bool& tookAll) {
    std::vector<std::string> servers;
    tookAll = false;
    nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (!document.is_array()) {
        return servers;  // also a parse failure (discarded value)
    }
    tookAll = true;
    for (const nlohmann::json& element : document) {
        if (!element.is_string() || servers.size() == kMaxSavedServers) {
            tookAll = false;
            break;
        }
        const std::string& address = element.get_ref<const std::string&>();
        if (!isSavableAddress(address)) {
            tookAll = false;
            continue;
        }
        servers.push_back(address);
    }
    return servers;
}

bool buildSavedServersDocument(const std::vector<std::string>& servers, std::string& out, size_t maxBytes) {
    std::string document;
    try {
        document = nlohmann::json(servers).dump();
    } catch (...) {
        return false;
    }
    // A document that the reader would cut or thin out must never replace
    // one it takes: the next start would show another list than was saved.
    if (document.size() > maxBytes || parseSavedServers(document) != servers) {
        return false;
    }
    out = std::move(document);
    return true;
}

bool takeWholeSavedServers(const std::string& text, std::vector<std::string>& servers) {
    bool tookAll = false;
    std::vector<std::string> list = parseSavedServers(text, tookAll);
    if (!tookAll && !text.empty()) {
        return false;
    }
    servers = std::move(list);
    return true;
}

SavedServersRead readSavedServers(WatchedFile& file) {
    SavedServersRead read;
    FileRead bytes = file.read();
    bool tookAll = false;
    read.servers = parseSavedServers(bytes.bytes, tookAll);
    read.unreadable = !bytes.whole || (!bytes.bytes.empty() && !tookAll);
    if (read.unreadable) {
        file.keepAsideBeforeWrite();
    }
    return read;
}

bool writeSavedServers(const std::vector<std::string>& servers) {
    std::string document;
    return buildSavedServersDocument(servers, document) && writeServersFile(document);
}

}  // namespace vobu
