#pragma once
// The records of the title screen's server list.

#include <string>

namespace vobu {

// One row of the server list, or one server of a directory reply. Title and
// message of the day are colour-coded text, shown as the server sent them.
struct ServerEntry {
    std::string title;
    std::string motd;
    std::string url;
};

// What a saved server announced about itself.
struct ServerInfo {
    std::string title;
    std::string motd;
};

// The text is an address that the transport takes: "ws://" or "wss://",
// no control byte, and an authority it can dial (no bracketed host, no
// port outside 1 to 65535). Empty text is none.
bool isWebSocketUrl(const std::string& text);

}  // namespace vobu
