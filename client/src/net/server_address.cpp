#include "net/server_address.h"

#include <stdexcept>

#include "character/server_port.h"
#include "ui/utf8.h"

namespace vobu {

std::string defaultServerUrl() { return std::string("wss://") + kDefaultServerHost + kDefaultServerPath; }

ServerAddress parseServerAddress(const std::string& url) {
    const std::string text = url.empty() ? defaultServerUrl() : url;
    ServerAddress address;
    size_t authorityStart;
    if (text.rfind("wss://", 0) == 0) {
        address.useTls = true;
        authorityStart = 6;
    } else if (text.rfind("ws://", 0) == 0) {
        authorityStart = 5;
    } else {
        throw std::runtime_error("ERR_URL_SCHEME");
    }
    // Line breaks would let an address inject lines into the upgrade request,
    // and a zero byte would cut the host that the name lookup sees short of
    // the one shown: no control byte is dialled.
    if (hasControlByte(text)) throw std::runtime_error("ERR_URL_SCHEME");
    // The name lookup would wrap a port over 65535, dial port 0 for "host:"
    // and look a service name up on this machine: the server dialled would
    // not be the one the address shows.
    if (!hasValidPort(text)) throw std::runtime_error("ERR_URL_SCHEME");

    const size_t slash = text.find('/', authorityStart);
    address.hostPort =
        text.substr(authorityStart, slash == std::string::npos ? std::string::npos : slash - authorityStart);
    address.path = slash == std::string::npos ? "/" : text.substr(slash);
    const size_t colon = address.hostPort.find(':');
    if (colon == std::string::npos) {
        address.host = address.hostPort;
        address.port = address.useTls ? "443" : "80";
    } else {
        address.host = address.hostPort.substr(0, colon);
        address.port = address.hostPort.substr(colon + 1);
    }
    return address;
}

}  // namespace vobu
