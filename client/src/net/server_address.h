#pragma once
// Splitting a "ws://" or "wss://" address into what the connection needs.

#include <string>

namespace vobu {

// The built-in server, used when no address is given (the server browser's
// directory and a quick join without "--server").
inline constexpr const char* kDefaultServerHost = "play.vobugame.net";
inline constexpr const char* kDefaultServerPath = "/vobu";

struct ServerAddress {
    bool useTls = false;
    std::string hostPort;  // the authority as written, sent as "Host"
    std::string host;
    std::string port;
    std::string path;  // query included
};

std::string defaultServerUrl();

// Throws std::runtime_error("ERR_URL_SCHEME") for another scheme (compared
// case-sensitively), a control byte (below 0x20, or DEL) anywhere, or a
// written port that is not 1 to 5 digits from 1 to 65535 (hasValidPort). An
// empty url means the default server; an address without a port has its
// scheme's (80 or 443). The host is not judged here; the name lookup does
// that.
ServerAddress parseServerAddress(const std::string& url);

}  // namespace vobu
