#include <boost/asio/ssl.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket/ssl.hpp>

#include "ws_session.h"
#include "ws_session_start.h"

namespace vobu::testserver {

void startTlsSession(GameServer& game, boost::asio::ip::tcp::socket socket, boost::asio::ssl::context& tls) {
    using Stream = boost::beast::ssl_stream<boost::beast::tcp_stream>;
    std::make_shared<detail::Session<Stream>>(game, std::move(socket), tls)->run();
}

}  // namespace vobu::testserver
