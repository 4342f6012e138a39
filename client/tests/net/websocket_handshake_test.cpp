#include "net/websocket_handshake.h"
#include "net/server_address.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace vobu {
namespace {

std::string replyError(const std::string& header, const std::string& accept) {
    try {
        checkUpgradeReply(header, accept);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}

TEST(WebSocketHandshake, AcceptValueOfTheRfcExample) {
    EXPECT_EQ(computeWebSocketAccept("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
}

TEST(WebSocketHandshake, RequestHasExactlyTheFourHeaders) {
    EXPECT_EQ(buildUpgradeRequest("/vobu?x=1", "example.org:9000", "KEY"),
              "GET /vobu?x=1 HTTP/1.1\r\nHost: example.org:9000\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: KEY\r\n\r\n");
}

TEST(WebSocketHandshake, ReplyChecks) {
    const std::string accept = "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=";
    struct Case {
        const char* name;
        std::string header;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"plain",
         "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: " +
             accept,
         ""},
        {"mixed case and token list",
         "HTTP/1.1 101 OK\r\nupgrade:\t WebSocket \t\r\nCONNECTION: keep-alive, Upgrade\r\nsec-websocket-accept:" +
             accept + "\r",
         ""},
        {"later header wins",
         "HTTP/1.1 101 x\r\nUpgrade: h2c\r\nUpgrade: websocket\r\nConnection: upgrade\r\nSec-WebSocket-Accept: " +
             accept,
         ""},
        {"line without colon ignored",
         "HTTP/1.1 101 x\r\njunk line\r\nUpgrade: websocket\r\nConnection: upgrade\r\nSec-WebSocket-Accept: " + accept,
         ""},
        {"accept in other case",
         "HTTP/1.1 101 x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: "
         "S3PPLMBITXAQ9KYGZZHZRBK+XOO=",
         "ERR_BAD_UPGRADE"},
        {"no upgrade header", "HTTP/1.1 101 x\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: " + accept,
         "ERR_BAD_UPGRADE"},
        {"no connection header", "HTTP/1.1 101 x\r\nUpgrade: websocket\r\nSec-WebSocket-Accept: " + accept,
         "ERR_BAD_UPGRADE"},
        {"no accept header", "HTTP/1.1 101 x\r\nUpgrade: websocket\r\nConnection: Upgrade", "ERR_BAD_UPGRADE"},
        {"empty header value", "HTTP/1.1 101 x\r\nUpgrade:\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: " + accept,
         "ERR_BAD_UPGRADE"},
        {"space before colon is part of the name",
         "HTTP/1.1 101 x\r\nUpgrade : websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: " + accept,
         "ERR_BAD_UPGRADE"},
        {"status 200",
         "HTTP/1.1 200 OK\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: " + accept,
         "ERR_UPGRADE_REJECTED"},
        {"status without trailing space", "HTTP/1.1 101", "ERR_UPGRADE_REJECTED"},
        {"HTTP/1.0", "HTTP/1.0 101 x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: " + accept,
         "ERR_UPGRADE_REJECTED"},
        {"empty", "", "ERR_UPGRADE_REJECTED"},
    };
    for (const Case& c : cases) EXPECT_EQ(replyError(c.header, accept), c.error) << c.name;
}

TEST(ServerAddressParse, SplitsAddresses) {
    struct Case {
        const char* url;
        bool tls;
        const char* hostPort;
        const char* host;
        const char* port;
        const char* path;
    };
    const std::vector<Case> cases = {
        {"ws://example.org:8080", false, "example.org:8080", "example.org", "8080", "/"},
        {"wss://example.org/game?room=1&x=/y", true, "example.org", "example.org", "443", "/game?room=1&x=/y"},
        {"ws://example.org", false, "example.org", "example.org", "80", "/"},
        {"ws:///p", false, "", "", "80", "/p"},
        {"ws://h:1/a:2/[x]", false, "h:1", "h", "1", "/a:2/[x]"},
        {"", true, "play.vobugame.net", "play.vobugame.net", "443", "/vobu"},
    };
    for (const Case& c : cases) {
        const ServerAddress address = parseServerAddress(c.url);
        EXPECT_EQ(address.useTls, c.tls) << c.url;
        EXPECT_EQ(address.hostPort, c.hostPort) << c.url;
        EXPECT_EQ(address.host, c.host) << c.url;
        EXPECT_EQ(address.port, c.port) << c.url;
        EXPECT_EQ(address.path, c.path) << c.url;
    }
}

TEST(ServerAddressParse, RefusesOtherSchemesAndControlBytes) {
    const std::string urls[] = {"WS://example.org/",    "Wss://example.org/", "http://example.org/",
                                "example.org",          "ws:/example.org",    "ws://example.org/a\nb",
                                "wss://example.org/\r", "ws://exa\rmple.org", std::string("ws://a\0b/", 9),
                                "ws://a\x01/",          "ws://a/\x1f",        "ws://a/\x7f",
                                "ws://a/\tb",           "ws://\x1b[31m/vobu"};
    for (const std::string& url : urls) {
        EXPECT_THROW(parseServerAddress(url), std::runtime_error) << ::testing::PrintToString(url);
    }
    // Bytes from 0x80 up are the name lookup's to judge.
    EXPECT_EQ(parseServerAddress("ws://b\xC3\xBC"
                                 "cher.example/\x80")
                  .host,
              "b\xC3\xBC"
              "cher.example");
}

}  // namespace
}  // namespace vobu
