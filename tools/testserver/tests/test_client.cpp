#include "test_client.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <stdexcept>

#include <sys/socket.h>

#include "character/character_json.h"
#include "net/sha256.h"

namespace vobu::testserver::test {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

struct TestClient::Impl {
    asio::io_context io;
    std::optional<asio::ssl::context> ssl;
    std::unique_ptr<websocket::stream<tcp::socket>> plain;
    std::unique_ptr<websocket::stream<beast::ssl_stream<tcp::socket>>> secure;

    tcp::socket& socket() { return plain ? plain->next_layer() : beast::get_lowest_layer(*secure); }
};

namespace {}  // namespace

TestClient::TestClient(uint16_t port, const std::string& path, const std::string& trustedCa)
    : impl_(std::make_unique<Impl>()) {
    const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), port);
    if (trustedCa.empty()) {
        impl_->plain = std::make_unique<websocket::stream<tcp::socket>>(impl_->io);
        impl_->plain->next_layer().connect(endpoint);
        impl_->plain->handshake("127.0.0.1:" + std::to_string(port), path);
        impl_->plain->binary(true);
        impl_->plain->read_message_max(4 << 20);
        impl_->plain->control_callback([this](websocket::frame_type kind, beast::string_view) {
            if (kind == websocket::frame_type::ping) {
                ++pings_;
            }
        });
    } else {
        impl_->ssl.emplace(asio::ssl::context::tls_client);
        impl_->ssl->load_verify_file(trustedCa);
        impl_->ssl->set_verify_mode(asio::ssl::verify_peer);
        impl_->secure = std::make_unique<websocket::stream<beast::ssl_stream<tcp::socket>>>(impl_->io, *impl_->ssl);
        beast::get_lowest_layer(*impl_->secure).connect(endpoint);
        SSL_set_tlsext_host_name(impl_->secure->next_layer().native_handle(), "localhost");
        impl_->secure->next_layer().set_verify_callback(asio::ssl::host_name_verification("localhost"));
        impl_->secure->next_layer().handshake(asio::ssl::stream_base::client);
        impl_->secure->handshake("localhost:" + std::to_string(port), path);
        impl_->secure->binary(true);
        impl_->secure->read_message_max(4 << 20);
    }
}

TestClient::~TestClient() {
    beast::error_code ignored;
    impl_->socket().shutdown(tcp::socket::shutdown_both, ignored);
    impl_->socket().close(ignored);
}

void TestClient::send(const json& message) {
    std::vector<uint8_t> bytes = json::to_msgpack(message);
    sendRaw(std::string(bytes.begin(), bytes.end()));
}

void TestClient::sendRaw(const std::string& bytes) {
    if (impl_->plain) {
        impl_->plain->write(asio::buffer(bytes));
    } else {
        impl_->secure->write(asio::buffer(bytes));
    }
}

json TestClient::receive(int timeoutMs) {
    // Asio waits inside blocking reads whatever SO_RCVTIMEO says, so the
    // read runs asynchronously for a bounded time.
    beast::flat_buffer buffer;
    bool done = false;
    beast::error_code result;
    auto handler = [&](beast::error_code ec, size_t) {
        done = true;
        result = ec;
    };
    if (impl_->plain) {
        impl_->plain->async_read(buffer, handler);
    } else {
        impl_->secure->async_read(buffer, handler);
    }
    impl_->io.restart();
    impl_->io.run_for(std::chrono::milliseconds(timeoutMs));
    if (!done) {
        beast::error_code ignored;
        impl_->socket().cancel(ignored);
        impl_->io.restart();
        impl_->io.run();
        throw std::runtime_error("no message in time");
    }
    if (result) {
        throw beast::system_error(result);
    }
    const std::string bytes = beast::buffers_to_string(buffer.data());
    lastBytes_ = bytes.size();
    return json::from_msgpack(bytes, true, true);
}

json TestClient::receiveType(const std::string& type, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            throw std::runtime_error("no \"" + type + "\" in time");
        }
        json message = receive(static_cast<int>(left.count()));
        if (message.value("type", "") == type) {
            return message;
        }
        skipped.push_back(std::move(message));
    }
}

json TestClient::joinToWelcome(const Character& character) {
    challenge = receiveType("challenge");
    const std::string text = challenge.at("challenge").get<std::string>();
    send(helloFor(character, text, findNonce(text, challenge.at("difficulty").get<int>())));
    welcome = receiveType("welcome");
    return welcome;
}

json TestClient::joinToReady(const Character& character) {
    joinToWelcome(character);
    std::map<std::string, Download> byId;
    for (const auto& entry : welcome.at("assets")) {
        Download d;
        d.id = entry.at("id").get<std::string>();
        d.kind = entry.at("kind").get<std::string>();
        d.hash = entry.at("revision").get<std::string>();
        d.material = entry.value("material", -1);
        byId[d.id] = d;
    }
    const auto order = requestOrder(welcome.at("assets"));
    for (const auto& id : order) {
        send({{"type", "assetRequest"}, {"id", id}});
    }
    for (const auto& id : order) {
        Download& d = byId.at(id);
        for (;;) {
            json chunk = receiveType("assetChunk");
            if (chunk.at("id") != id) {
                throw std::runtime_error("chunk of " + chunk.at("id").get<std::string>() + " while " + id);
            }
            if (chunk.at("offset").get<size_t>() != d.bytes.size()) {
                throw std::runtime_error("chunk offset out of order");
            }
            const auto& data = chunk.at("data").get_binary();
            if (data.size() > 12288) {
                throw std::runtime_error("chunk over 12288 bytes");
            }
            d.bytes.insert(d.bytes.end(), data.begin(), data.end());
            if (chunk.at("done").get<bool>()) {
                break;
            }
        }
        downloads.push_back(d);
    }
    send({{"type", "assetsReady"}});
    return receiveType("ready");
}

int zeroBits(const std::string& hashHex) {
    int bits = 0;
    for (char c : hashHex) {
        const int v = c <= '9' ? c - '0' : c - 'a' + 10;
        if (v == 0) {
            bits += 4;
            continue;
        }
        for (int b = 3; b >= 0 && !(v & (1 << b)); --b) {
            ++bits;
        }
        break;
    }
    return bits;
}

std::string findNonce(const std::string& challenge, int bits, bool exactlyBelow) {
    for (uint32_t nonce = 0;; ++nonce) {
        const int got = zeroBits(sha256Hex(challenge + ":" + std::to_string(nonce)));
        if (exactlyBelow ? got < bits : got >= bits) {
            return std::to_string(nonce);
        }
    }
}

json helloFor(const Character& character, const std::string& challenge, const std::string& nonce) {
    json document = json::parse(encodeCharacterJsonRle(character));
    for (auto& face : document.at("faces")) {
        const std::string text = face.get<std::string>();
        std::vector<uint8_t> bytes{static_cast<uint8_t>(text[0])};
        for (size_t i = 1; i + 1 < text.size(); i += 2) {
            bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
        }
        face = json::binary(std::move(bytes));
    }
    return {{"type", "hello"},
            {"protocol", 1},
            {"character", std::move(document)},
            {"pow", {{"challenge", challenge}, {"nonce", nonce}, {"hash", sha256Hex(challenge + ":" + nonce)}}}};
}

std::vector<std::string> requestOrder(const json& assets) {
    auto priority = [](const std::string& kind) {
        return kind == "walkmesh" ? 0 : kind == "mesh" ? 1 : kind == "texture" ? 2 : 3;
    };
    std::vector<std::pair<std::string, int>> entries;
    for (const auto& entry : assets) {
        entries.emplace_back(entry.at("id").get<std::string>(), priority(entry.at("kind").get<std::string>()));
    }
    std::sort(entries.begin(), entries.end());
    std::stable_sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.second < b.second; });
    std::vector<std::string> ids;
    for (auto& e : entries) {
        ids.push_back(e.first);
    }
    return ids;
}

}  // namespace vobu::testserver::test
