#pragma once
// A small WebSocket game client on Boost.Beast for the server's tests. It
// encodes and decodes MessagePack by itself (not through the server's
// codec), so a fault of that codec shows in the tests.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <nlohmann/json.hpp>

#include "character/character.h"

namespace vobu::testserver::test {

using json = nlohmann::json;

struct Download {
    std::string id;
    std::string kind;
    std::vector<uint8_t> bytes;
    std::string hash;
    int material = -1;
};

class TestClient {
public:
    // Plain ws:// unless `trustedCa` is given (wss:// checked against it).
    // Throws on any failure of the opening.
    explicit TestClient(uint16_t port, const std::string& path = "/vobu", const std::string& trustedCa = "");
    ~TestClient();

    void send(const json& message);
    void sendRaw(const std::string& bytes);
    // The next message; throws after `timeoutMs` without one or when the
    // connection ends. Pings are answered by Beast and counted.
    json receive(int timeoutMs = 5000);
    // Skips messages until one of `type`; skipped ones go to `skipped`.
    json receiveType(const std::string& type, int timeoutMs = 5000);
    // Size of the payload of the last message received.
    size_t lastMessageBytes() const { return lastBytes_; }
    int pingsSeen() const { return pings_; }

    // challenge -> hello -> welcome; returns the welcome.
    json joinToWelcome(const Character& character);
    // The whole join up to "ready"; fills `downloads` in request order.
    json joinToReady(const Character& character);

    json challenge;
    json welcome;
    std::vector<Download> downloads;
    std::vector<json> skipped;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    size_t lastBytes_ = 0;
    int pings_ = 0;
};

// A nonce for challenge ":" nonce with at least `bits` leading zero bits
// (or, with `exactlyBelow`, one with fewer than `bits`).
std::string findNonce(const std::string& challenge, int bits, bool exactlyBelow = false);
int zeroBits(const std::string& hashHex);

// The "hello" of a character, with its faces as MessagePack binary.
json helloFor(const Character& character, const std::string& challenge, const std::string& nonce);

// The client's request order: walk mesh, mesh, textures by id, the rest.
std::vector<std::string> requestOrder(const json& assets);

}  // namespace vobu::testserver::test
