#include "character/saved_servers.h"

#include <nlohmann/json.hpp>

#include "character/user_files.h"

namespace vobu {
namespace {

bool hasWebSocketScheme(std::string const& text) {
    return text.rfind("ws://", 0) == 0 || text.rfind("wss://", 0) == 0;
}

}  // namespace

std::vector<std::string> parseSavedServers(std::string const& text) {
    std::vector<std::string> servers;
    nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (!document.is_array()) {
        return servers;  // also a parse failure (discarded value)
    }
    for (nlohmann::json const& element : document) {
        if (!element.is_string() || servers.size() == kMaxSavedServers) {
            break;
        }
        std::string const& address = element.get_ref<std::string const&>();
        if (address.size() > kMaxSavedServerBytes || !hasWebSocketScheme(address)) {
            continue;
        }
        servers.push_back(address);
    }
    return servers;
}

bool buildSavedServersDocument(std::vector<std::string> const& servers, std::string& out) {
    try {
        out = nlohmann::json(servers).dump();
        return true;
    } catch (...) {
        return false;
    }
}

std::vector<std::string> readSavedServers() {
    return parseSavedServers(readServersFile());
}

bool writeSavedServers(std::vector<std::string> const& servers) {
    std::string document;
    return buildSavedServersDocument(servers, document) && writeServersFile(document);
}

}  // namespace vobu
