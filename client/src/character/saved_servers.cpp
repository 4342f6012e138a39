#include "character/saved_servers.h"

#include <nlohmann/json.hpp>

#include "character/user_files.h"

namespace vobu {
namespace {

bool hasWebSocketScheme(const std::string& text) { return text.rfind("ws://", 0) == 0 || text.rfind("wss://", 0) == 0; }

}  // namespace

std::vector<std::string> parseSavedServers(const std::string& text) {
    std::vector<std::string> servers;
    nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (!document.is_array()) {
        return servers;  // also a parse failure (discarded value)
    }
    for (const nlohmann::json& element : document) {
        if (!element.is_string() || servers.size() == kMaxSavedServers) {
            break;
        }
        const std::string& address = element.get_ref<const std::string&>();
        if (address.size() > kMaxSavedServerBytes || !hasWebSocketScheme(address)) {
            continue;
        }
        servers.push_back(address);
    }
    return servers;
}

bool buildSavedServersDocument(const std::vector<std::string>& servers, std::string& out) {
    try {
        out = nlohmann::json(servers).dump();
        return true;
    } catch (...) {
        return false;
    }
}

std::vector<std::string> readSavedServers() { return parseSavedServers(readServersFile()); }

bool writeSavedServers(const std::vector<std::string>& servers) {
    std::string document;
    return buildSavedServersDocument(servers, document) && writeServersFile(document);
}

}  // namespace vobu
