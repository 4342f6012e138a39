#include "net/server_authority.h"

#include <cstdint>

namespace vobu {
namespace {

bool isPortNumber(std::string_view text) {
    if (text.empty() || text.size() > 5) return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + uint32_t(c - '0');
    }
    return value >= 1 && value <= 65535;
}

}  // namespace

ServerAuthority readServerAuthority(std::string_view address) {
    const size_t scheme = address.find("://");
    const size_t start = scheme == std::string_view::npos ? 0 : scheme + 3;
    const std::string_view authority = address.substr(start, address.find('/', start) - start);
    ServerAuthority read;
    read.text = authority;
    const size_t colon = authority.find(':');
    read.host = authority.substr(0, colon);
    if (colon != std::string_view::npos) read.port = authority.substr(colon + 1);
    // Brackets are judged first: "[::1]:65536" is refused for its host, which
    // no port would make dialable.
    if (authority.find_first_of("[]") != std::string_view::npos) {
        read.fault = AuthorityFault::BracketedHost;
    } else if (colon != std::string_view::npos && !isPortNumber(read.port)) {
        read.fault = AuthorityFault::BadPort;
    }
    return read;
}

const char* describeAuthorityFault(AuthorityFault fault) {
    switch (fault) {
        case AuthorityFault::BracketedHost:
            return "its host is in brackets (an IPv6 address), which cannot be dialled";
        case AuthorityFault::BadPort:
            return "its port is not a number from 1 to 65535";
        case AuthorityFault::None:
            break;
    }
    return "";
}

}  // namespace vobu
