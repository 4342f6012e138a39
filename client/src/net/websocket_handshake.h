#pragma once
// The HTTP upgrade that opens a WebSocket: the request text, the accept
// value the server must prove it computed, and the checks of its reply.

#include <string>

namespace vobu {

// base64(SHA-1(key + GUID)); throws "ERR_HANDSHAKE_HASH" when hashing fails.
std::string computeWebSocketAccept(const std::string& key);

std::string buildUpgradeRequest(const std::string& path, const std::string& hostPort, const std::string& key);

// Checks the reply header (the text before the blank line). Throws
// "ERR_UPGRADE_REJECTED" for a status other than 101 and "ERR_BAD_UPGRADE"
// for a wrong accept value, "upgrade" or "connection" header.
void checkUpgradeReply(const std::string& header, const std::string& expectedAccept);

}  // namespace vobu
