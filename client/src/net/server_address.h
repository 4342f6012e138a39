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
// case-sensitively) or a control byte (below 0x20, or DEL) anywhere. An empty
// url means the default server. Host and port are not judged here; the
// name lookup does that.
ServerAddress parseServerAddress(const std::string& url);

}  // namespace vobu
