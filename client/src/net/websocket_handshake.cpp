#include "net/websocket_handshake.h"

#include "net/base64.h"

#include <mbedtls/sha1.h>

#include <map>
#include <stdexcept>

namespace vobu {

namespace {

constexpr const char* kAcceptGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string trimValue(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    size_t end = text.find_last_not_of(" \t\r");
    if (end == std::string::npos || end < begin) return {};
    return text.substr(begin, end + 1 - begin);
}

std::map<std::string, std::string> readHeaders(const std::string& header, size_t firstLineEnd) {
    std::map<std::string, std::string> headers;
    size_t lineStart = firstLineEnd;
    while (lineStart < header.size()) {
        size_t lineEnd = header.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = header.size();
        const std::string line = header.substr(lineStart, lineEnd - lineStart);
        const size_t colon = line.find(':');
        if (colon != std::string::npos) headers[lowerAscii(line.substr(0, colon))] = trimValue(line.substr(colon + 1));
        lineStart = lineEnd + 1;
    }
    return headers;
}

std::string headerValue(const std::map<std::string, std::string>& headers, const char* name) {
    auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
}

}  // namespace

std::string computeWebSocketAccept(const std::string& key) {
    const std::string input = key + kAcceptGuid;
    unsigned char digest[20];
    if (mbedtls_sha1_ret(reinterpret_cast<const unsigned char*>(input.data()), input.size(), digest) != 0) {
        throw std::runtime_error("ERR_HANDSHAKE_HASH");
    }
    return encodeBase64(digest, sizeof digest);
}

std::string buildUpgradeRequest(const std::string& path, const std::string& hostPort, const std::string& key) {
    return "GET " + path + " HTTP/1.1\r\nHost: " + hostPort +
           "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\nSec-WebSocket-Key: " + key +
           "\r\n\r\n";
}

void checkUpgradeReply(const std::string& header, const std::string& expectedAccept) {
    size_t firstLineEnd = header.find('\n');
    if (firstLineEnd == std::string::npos) firstLineEnd = header.size();
    const std::string statusLine = header.substr(0, firstLineEnd);
    if (statusLine.size() < 13 || statusLine.compare(0, 13, "HTTP/1.1 101 ") != 0) {
        throw std::runtime_error("ERR_UPGRADE_REJECTED");
    }
    const auto headers = readHeaders(header, firstLineEnd + 1);
    const bool acceptMatches = headerValue(headers, "sec-websocket-accept") == expectedAccept;
    const bool upgradeMatches = lowerAscii(headerValue(headers, "upgrade")) == "websocket";
    const bool connectionMatches = lowerAscii(headerValue(headers, "connection")).find("upgrade") != std::string::npos;
    if (!acceptMatches || !upgradeMatches || !connectionMatches) throw std::runtime_error("ERR_BAD_UPGRADE");
}

}  // namespace vobu
