#pragma once
// Splitting a "ws://" or "wss://" address into what the connection needs.

#include <string>
#include <string_view>

namespace vobu {

// The built-in server, used when no address is given (the server browser's
// directory and a quick join without "--server").
inline constexpr const char* kDefaultServerHost = "play.vobugame.net";
inline constexpr const char* kDefaultServerPath = "/vobu";

// What the screens say of an address that serverAddressFault refuses: no
// server was reached, so none can be named as having said anything.
inline constexpr const char* kInvalidServerAddress = "Invalid server address";

struct ServerAddress {
    bool useTls = false;
    std::string hostPort;  // the authority as written, sent as "Host"
    std::string host;
    std::string port;
    std::string path;  // query included
};

std::string defaultServerUrl();

// Why the connection refuses `url` before any name lookup, in words for a
// log line: another scheme (compared case-sensitively), a control byte
// (below 0x20, or DEL) anywhere, or an authority that cannot be dialled
// (readServerAuthority). Empty when it is taken; an empty url means the
// default server and is taken. The host itself is the name lookup's to
// judge.
std::string serverAddressFault(const std::string& url);

// Throws std::runtime_error("ERR_URL_SCHEME") when serverAddressFault finds
// a fault. An address without a port has its scheme's (80 or 443).
ServerAddress parseServerAddress(const std::string& url);

// `text` in double quotes for a log line: control bytes, quotes and
// backslashes escaped ("\x0a", "\"", "\\"), so that the line stays one line
// and shows where the text ends; at most 96 bytes of it, then "..." after
// the closing quote.
std::string quotedAddress(std::string_view text);

}  // namespace vobu
