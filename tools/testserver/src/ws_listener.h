#pragma once
// The WebSocket side of the test server on Boost.Beast: a listener on one
// port (plain TCP, or TLS when a certificate is given) that upgrades
// requests for "/vobu" and runs one session per connection. Sessions write
// what the GameServer queues, strictly in order, one item at a time.

#include <cstdint>
#include <memory>
#include <string>

#include <boost/asio/io_context.hpp>

namespace vobu::testserver {

class GameServer;

class WsListener {
public:
    // Throws std::runtime_error (bind failure, unreadable certificate).
    WsListener(boost::asio::io_context& io, GameServer& game, const std::string& host, uint16_t port,
               const std::string& certFile, const std::string& keyFile);
    ~WsListener();

    uint16_t port() const;
    bool tls() const;
    void start();

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

}  // namespace vobu::testserver
