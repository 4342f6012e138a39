#include "browser/server_address_rules.h"

#include "net/server_authority.h"
#include "ui/utf8.h"

namespace vobu {

namespace {

constexpr const char* kBlanks = " \t\r\n";

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

void completeScheme(std::string& a) {
    if (a.find("://") == std::string::npos) {
        a = "ws://" + a;
    } else if (startsWith(a, "https://")) {
        a = "wss://" + a.substr(8);
    } else if (startsWith(a, "http://")) {
        a = "ws://" + a.substr(7);
    }
}

void completePath(std::string& a, size_t host) {
    size_t slash = a.find('/', host);
    if (slash == std::string::npos) {
        a += "/vobu";
    } else if (slash == a.size() - 1) {
        a += "vobu";
    }
}

}  // namespace

std::string completeServerAddress(const std::string& typed, std::string& out) {
    std::string a = trimmed(typed);
    if (a.empty()) return "Enter an address";
    if (a.size() > kMaxTypedAddressBytes) return "Address is too long";
    if (a.find_first_of(kBlanks) != std::string::npos) return "Address has spaces";
    completeScheme(a);
    size_t separator = a.find("://");
    bool webSocket = startsWith(a, "ws://") || startsWith(a, "wss://");
    if (!webSocket || separator + 3 >= a.size()) return "Use ws:// or wss://";
    size_t host = separator + 3;
    char first = a[host];
    // ":80" alone names no host: the name lookup would fail only at join.
    if (first == '/' || first == '?' || first == '#' || first == ':') return "Enter a host and port";
    if (a.find('@', host) != std::string::npos || a.find('#') != std::string::npos) return "Invalid address";
    // The transport dials no address with a control byte.
    if (hasControlByte(a)) return "Invalid address";
    // What the connection could never dial is not saved: a bracketed host
    // (it looks IPv4 names up only), "host:" and a port that wraps (shown as
    // one server, it would dial another).
    switch (readServerAuthority(a).fault) {
        case AuthorityFault::BracketedHost:
            return "Invalid address";
        case AuthorityFault::BadPort:
            return "Enter a host and port";
        case AuthorityFault::None:
            break;
    }
    completePath(a, host);
    out = std::move(a);
    return {};
}

}  // namespace vobu
