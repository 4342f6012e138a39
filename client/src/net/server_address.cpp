#include "net/server_address.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include "net/server_authority.h"
#include "ui/utf8.h"

namespace vobu {

namespace {

constexpr size_t kMaxQuotedBytes = 96;

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::string defaultServerUrl() { return std::string("wss://") + kDefaultServerHost + kDefaultServerPath; }

std::string serverAddressFault(const std::string& url) {
    const std::string text = url.empty() ? defaultServerUrl() : url;
    if (!startsWith(text, "wss://") && !startsWith(text, "ws://")) return "it does not begin with ws:// or wss://";
    // Line breaks would let an address inject lines into the upgrade request,
    // and a zero byte would cut the host that the name lookup sees short of
    // the one shown: no control byte is dialled.
    if (hasControlByte(text)) return "it holds a control byte";
    return describeAuthorityFault(readServerAuthority(text).fault);
}

ServerAddress parseServerAddress(const std::string& url) {
    const std::string text = url.empty() ? defaultServerUrl() : url;
    if (!serverAddressFault(text).empty()) throw std::runtime_error("ERR_URL_SCHEME");
    ServerAddress address;
    address.useTls = startsWith(text, "wss://");
    ServerAuthority authority = readServerAuthority(text);
    address.hostPort = std::move(authority.text);
    address.host = std::move(authority.host);
    // "host:" is refused above, so an empty port is one not written.
    address.port = authority.port.empty() ? (address.useTls ? "443" : "80") : std::move(authority.port);
    const size_t slash = text.find('/', text.find("://") + 3);
    address.path = slash == std::string::npos ? "/" : text.substr(slash);
    return address;
}

std::string quotedAddress(std::string_view text) {
    size_t shown = std::min(text.size(), kMaxQuotedBytes);
    // Not inside a UTF-8 sequence: the log shows no broken character.
    if (shown < text.size()) {
        while (shown > 0 && (uint8_t(text[shown]) & 0xC0) == 0x80) --shown;
    }
    std::string quoted = "\"";
    for (char c : text.substr(0, shown)) {
        const auto byte = uint8_t(c);
        if (byte < 0x20 || byte == 0x7f) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", unsigned(byte));
            quoted += escaped;
        } else {
            if (c == '"' || c == '\\') quoted += '\\';
            quoted += c;
        }
    }
    quoted += '"';
    if (shown < text.size()) quoted += "...";
    return quoted;
}

}  // namespace vobu
