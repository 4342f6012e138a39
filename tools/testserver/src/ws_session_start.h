#pragma once
// Starts one WebSocket session on an accepted connection. Each kind lives
// in a file of its own (ws_session_plain.cpp, ws_session_tls.cpp).

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>

namespace vobu::testserver {

class GameServer;

void startPlainSession(GameServer& game, boost::asio::ip::tcp::socket socket);
void startTlsSession(GameServer& game, boost::asio::ip::tcp::socket socket, boost::asio::ssl::context& tls);

}  // namespace vobu::testserver
