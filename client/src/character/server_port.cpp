#include "character/server_port.h"

#include <cstdint>

namespace vobu {

bool isPortNumber(std::string_view text) {
    if (text.empty() || text.size() > 5) return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + uint32_t(c - '0');
    }
    return value >= 1 && value <= 65535;
}

bool hasValidPort(std::string_view address) {
    const size_t scheme = address.find("://");
    const size_t start = scheme == std::string_view::npos ? 0 : scheme + 3;
    const std::string_view authority = address.substr(start, address.find('/', start) - start);
    size_t hostEnd = 0;
    if (authority.starts_with('[')) {
        const size_t close = authority.find(']');
        if (close != std::string_view::npos) hostEnd = close + 1;
    }
    const size_t colon = authority.find(':', hostEnd);
    return colon == std::string_view::npos || isPortNumber(authority.substr(colon + 1));
}

}  // namespace vobu
