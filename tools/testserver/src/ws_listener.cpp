#include "ws_listener.h"

#include <optional>
#include <stdexcept>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/strand.hpp>

#include "ws_session_start.h"

namespace vobu::testserver {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;

struct WsListener::Impl : std::enable_shared_from_this<WsListener::Impl> {
    asio::io_context& io;
    GameServer& game;
    tcp::acceptor acceptor;
    std::optional<asio::ssl::context> ssl;

    Impl(asio::io_context& context, GameServer& server) : io(context), game(server), acceptor(context) {}

    void acceptNext() {
        acceptor.async_accept(asio::make_strand(io), [self = shared_from_this()](error_code ec, tcp::socket socket) {
            if (ec) {
                return;
            }
            socket.set_option(tcp::no_delay(true));
            if (self->ssl) {
                startTlsSession(self->game, std::move(socket), *self->ssl);
            } else {
                startPlainSession(self->game, std::move(socket));
            }
            self->acceptNext();
        });
    }
};

WsListener::WsListener(asio::io_context& io, GameServer& game, const std::string& host, uint16_t port,
                       const std::string& certFile, const std::string& keyFile)
    : impl_(std::make_shared<Impl>(io, game)) {
    if (!certFile.empty()) {
        impl_->ssl.emplace(asio::ssl::context::tls_server);
        try {
            impl_->ssl->use_certificate_chain_file(certFile);
            impl_->ssl->use_private_key_file(keyFile, asio::ssl::context::pem);
        } catch (const std::exception& e) {
            throw std::runtime_error("cannot load the TLS certificate or key: " + std::string(e.what()));
        }
    }
    const tcp::endpoint endpoint(asio::ip::make_address(host), port);
    impl_->acceptor.open(endpoint.protocol());
    impl_->acceptor.set_option(asio::socket_base::reuse_address(true));
    impl_->acceptor.bind(endpoint);
    impl_->acceptor.listen(asio::socket_base::max_listen_connections);
}

WsListener::~WsListener() {
    error_code ignored;
    impl_->acceptor.close(ignored);
}

uint16_t WsListener::port() const { return impl_->acceptor.local_endpoint().port(); }

bool WsListener::tls() const { return impl_->ssl.has_value(); }

void WsListener::start() { impl_->acceptNext(); }

}  // namespace vobu::testserver
