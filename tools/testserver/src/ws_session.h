#pragma once
// One WebSocket connection of the test server over `Next` (a tcp_stream or
// an ssl_stream). Only ws_session_plain.cpp and ws_session_tls.cpp include
// this: each instantiates it for one stream type, so the two heavy
// instantiations compile side by side.

#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <type_traits>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/stream_base.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "game_server.h"

namespace vobu::testserver::detail {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

constexpr const char* kPath = "/vobu";
constexpr size_t kMaxClientMessage = 1048576;

inline bool wantedPath(beast::string_view target) {
    const auto query = target.find('?');
    return target.substr(0, query) == kPath;
}

// One WebSocket connection over `Next` (a tcp_stream or an ssl_stream).
template <class Next>
class Session : public ClientLink, public std::enable_shared_from_this<Session<Next>> {
public:
    template <class... Args>
    Session(GameServer& game, Args&&... args)
        : game_(game), ws_(std::forward<Args>(args)...), readPause_(ws_.get_executor()) {}

    ~Session() override = default;

    void run() {
        beast::get_lowest_layer(ws_).expires_after(std::chrono::seconds(10));
        if constexpr (std::is_same_v<Next, beast::tcp_stream>) {
            readRequest();
        } else {
            ws_.next_layer().async_handshake(asio::ssl::stream_base::server,
                                             [self = this->shared_from_this()](beast::error_code ec) {
                                                 if (!ec) {
                                                     self->readRequest();
                                                 }
                                             });
        }
    }

    void send(Outgoing item) override {
        if (closed_) {
            return;
        }
        queue_.push_back(std::move(item));
        if (!writing_) {
            writeNext();
        }
    }

private:
    void readRequest() {
        http::async_read(ws_.next_layer(), buffer_, request_,
                         [self = this->shared_from_this()](beast::error_code ec, size_t) {
                             if (!ec) {
                                 self->accept();
                             }
                         });
    }

    void accept() {
        if (!websocket::is_upgrade(request_) || !wantedPath(request_.target())) {
            auto response =
                std::make_shared<http::response<http::string_body>>(http::status::not_found, request_.version());
            response->set(http::field::content_type, "text/plain");
            response->body() = "not here\n";
            response->prepare_payload();
            response->keep_alive(false);
            http::async_write(ws_.next_layer(), *response,
                              [self = this->shared_from_this(), response](beast::error_code, size_t) {});
            return;
        }
        beast::get_lowest_layer(ws_).expires_never();
        websocket::stream_base::timeout timeouts{};
        timeouts.handshake_timeout = std::chrono::seconds(10);
        timeouts.idle_timeout = websocket::stream_base::none();
        timeouts.keep_alive_pings = false;
        ws_.set_option(timeouts);
        ws_.binary(true);
        ws_.auto_fragment(false);
        ws_.read_message_max(kMaxClientMessage);
        ws_.control_callback([this](websocket::frame_type kind, beast::string_view payload) {
            if (kind == websocket::frame_type::pong && connection_ > 0) {
                game_.onPong(connection_, std::string(payload));
            }
        });
        ws_.async_accept(request_, [self = this->shared_from_this()](beast::error_code ec) {
            if (ec) {
                return;
            }
            self->connection_ = self->game_.onOpen(self.get());
            self->readMessage();
        });
    }

    void readMessage() {
        ws_.async_read(incoming_, [self = this->shared_from_this()](beast::error_code ec, size_t) {
            if (ec) {
                self->closeWith(ec.message());
                return;
            }
            std::string bytes = beast::buffers_to_string(self->incoming_.data());
            self->incoming_.consume(self->incoming_.size());
            self->game_.onMessage(self->connection_, bytes);
            if (!self->closed_) {
                self->readAfterPause();
            }
        });
    }

    // A server busy elsewhere looks at its input only now and then.
    void readAfterPause() {
        const double pauseMs = game_.readPauseMs();
        if (pauseMs <= 0) {
            readMessage();
            return;
        }
        readPause_.expires_after(std::chrono::microseconds(static_cast<int64_t>(pauseMs * 1000)));
        readPause_.async_wait([self = this->shared_from_this()](beast::error_code ec) {
            if (!ec && !self->closed_) {
                self->readMessage();
            }
        });
    }

    void closeWith(const std::string& reason) {
        if (closed_) {
            return;
        }
        closed_ = true;
        queue_.clear();
        game_.onClosed(connection_, reason);
        beast::error_code ignored;
        beast::get_lowest_layer(ws_).socket().shutdown(tcp::socket::shutdown_both, ignored);
    }

    void writeNext() {
        if (queue_.empty() || closed_) {
            writing_ = false;
            return;
        }
        writing_ = true;
        current_ = std::move(queue_.front());
        queue_.pop_front();
        auto self = this->shared_from_this();
        auto done = [self](beast::error_code ec, size_t = 0) { self->afterWrite(ec); };
        switch (current_.kind) {
            case Outgoing::Kind::Message:
            case Outgoing::Kind::Oversize:
                ws_.async_write(asio::buffer(current_.bytes), done);
                break;
            case Outgoing::Kind::Ping:
                ws_.async_ping(websocket::ping_data(current_.bytes),
                               [self](beast::error_code ec) { self->afterWrite(ec); });
                break;
            case Outgoing::Kind::Fragmented:
                writeFragment(0);
                break;
            case Outgoing::Kind::Close:
                // Posted: the game may still be inside the handler that asked.
                asio::post(ws_.get_executor(), [self] {
                    self->closeWith("closed by the server");
                    self->writing_ = false;
                });
                break;
        }
    }

    // Three frames: the first, a ping, the second, the last.
    void writeFragment(int part) {
        auto self = this->shared_from_this();
        const size_t size = current_.bytes.size();
        const size_t a = size / 3;
        const size_t b = 2 * size / 3;
        if (part == 1) {
            ws_.async_ping(websocket::ping_data("vobu-mid-message"), [self](beast::error_code ec) {
                if (ec) {
                    self->afterWrite(ec);
                } else {
                    self->writeFragment(2);
                }
            });
            return;
        }
        const size_t from = part == 0 ? 0 : part == 2 ? a : b;
        const size_t to = part == 0 ? a : part == 2 ? b : size;
        const bool last = part == 3;
        ws_.async_write_some(last, asio::buffer(current_.bytes.data() + from, to - from),
                             [self, part, last](beast::error_code ec, size_t) {
                                 if (ec || last) {
                                     self->afterWrite(ec);
                                 } else {
                                     self->writeFragment(part + 1);
                                 }
                             });
    }

    void afterWrite(beast::error_code ec) {
        if (ec) {
            closeWith(ec.message());
            writing_ = false;
            return;
        }
        writeNext();
    }

    GameServer& game_;
    websocket::stream<Next> ws_;
    beast::flat_buffer buffer_;
    beast::flat_buffer incoming_;
    http::request<http::string_body> request_;
    asio::steady_timer readPause_;
    std::deque<Outgoing> queue_;
    Outgoing current_;
    bool writing_ = false;
    bool closed_ = false;
    int connection_ = 0;
};

}  // namespace vobu::testserver::detail
