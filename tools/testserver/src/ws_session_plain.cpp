#include "ws_session.h"
#include "ws_session_start.h"

namespace vobu::testserver {

void startPlainSession(GameServer& game, boost::asio::ip::tcp::socket socket) {
    std::make_shared<detail::Session<boost::beast::tcp_stream>>(game, std::move(socket))->run();
}

}  // namespace vobu::testserver
