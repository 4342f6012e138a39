#include "net/socket_transport.h"

#include "net/base64.h"
#include "net/message_codec.h"
#include "net/server_address.h"
#include "net/socket_drainer.h"
#include "net/websocket_frame.h"
#include "net/websocket_handshake.h"
#include "platform/trust_store.h"

#include <SDL.h>
#include <mbedtls/net_sockets.h>
#include <mbedtls/ssl.h>
#include <mbedtls/x509_crt.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <stdexcept>
#include <vector>

namespace vobu {

namespace {

enum class SocketState { Closed = 0, Connecting = 1, TlsHandshake = 2, Upgrading = 3, Open = 4 };

constexpr uint32_t kHandshakeMilliseconds = 5000;
// Bounds of the work of one close against a peer that keeps sending.
constexpr int kCloseFlushAttempts = 8;
constexpr int kCloseDiscardReads = 128;
constexpr const char* kHeaderEnd = "\r\n\r\n";

[[noreturn]] void raise(const char* code) { throw std::runtime_error(code); }

class PosixSocket final : public SocketTransport {
public:
    PosixSocket(TransportCallbacks&& callbacks, TransportCalls&& calls, SocketDrainer* drainer)
        : callbacks_(std::move(callbacks)), calls_(std::move(calls)), drainer_(drainer) {
        initialiseTls();
    }

    ~PosixSocket() override {
        close();
        freeTls();
    }

    PosixSocket(const PosixSocket&) = delete;
    PosixSocket& operator=(const PosixSocket&) = delete;

    void connect(const std::string& url) override {
        close();
        try {
            openConnection(url);
        } catch (const std::exception& error) {
            fail(error.what());
        }
    }

    void poll() override {
        if (socket_ < 0) return;
        try {
            step();
        } catch (const std::exception& error) {
            fail(error.what());
        }
    }

    void send(const std::string& jsonText) override {
        if (state_ != SocketState::Open) return;
        try {
            queueFrame(kOpcodeBinary, encodeMessage(jsonText));
            flushSend();
        } catch (const std::exception& error) {
            fail(error.what());
        }
    }

    void close() override {
        if (socket_ >= 0) closeSocketGently();
        freeTls();
        initialiseTls();
        socket_ = -1;
        receiveBuffer_.clear();
        receiveOffset_ = 0;
        sendBuffer_.clear();
        message_.clear();
        inMessage_ = false;
        pendingTlsWrite_ = 0;
        state_ = SocketState::Closed;
        // Anything still running inside poll sees the change and stops.
        ++generation_;
    }

private:
    // --- opening ---------------------------------------------------------

    void openConnection(const std::string& url) {
        const ServerAddress address = parseServerAddress(url);
        useTls_ = address.useTls;
        if (useTls_) setUpTls(address.host);

        Ipv4Endpoint endpoint;
        if (!calls_.resolve(address.host, address.port, endpoint)) raise("ERR_DNS");
        socket_ = calls_.openSocket();
        if (socket_ < 0) raise("ERR_SOCKET_CREATE");
        if (useTls_) mbedtls_ssl_set_bio(&ssl_, this, &PosixSocket::tlsSend, &PosixSocket::tlsReceive, nullptr);
        if (calls_.startConnect(socket_, endpoint) == ConnectStart::Failed) raise("ERR_CONNECT");
        calls_.setNoDelay(socket_);

        uint8_t keyBytes[16];
        if (!calls_.randomBytes(keyBytes, sizeof keyBytes)) raise("ERR_RANDOM");
        const std::string key = encodeBase64(keyBytes, sizeof keyBytes);
        expectedAccept_ = computeWebSocketAccept(key);
        const std::string request = buildUpgradeRequest(address.path, address.hostPort, key);
        sendBuffer_.assign(request.begin(), request.end());

        state_ = SocketState::Connecting;
        handshakeDeadline_ = calls_.ticks() + kHandshakeMilliseconds;
    }

    void setUpTls(const std::string& host) {
        std::string pem;
        if (!calls_.readTrustBundle(pem)) raise("ERR_TLS_ROOTS");
        addTrustAnchors(caChain_, pem);
        if (mbedtls_ssl_config_defaults(&sslConfig_, MBEDTLS_SSL_IS_CLIENT, MBEDTLS_SSL_TRANSPORT_STREAM,
                                        MBEDTLS_SSL_PRESET_DEFAULT) != 0) {
            raise("ERR_TLS_INIT");
        }
        mbedtls_ssl_conf_authmode(&sslConfig_, MBEDTLS_SSL_VERIFY_REQUIRED);
        mbedtls_ssl_conf_ca_chain(&sslConfig_, &caChain_, nullptr);
        mbedtls_ssl_conf_rng(&sslConfig_, &PosixSocket::tlsRandom, this);
        if (mbedtls_ssl_setup(&ssl_, &sslConfig_) != 0) raise("ERR_TLS_INIT");
        if (mbedtls_ssl_set_hostname(&ssl_, host.c_str()) != 0) raise("ERR_TLS_INIT");
    }

    // --- polling ---------------------------------------------------------

    void step() {
        const unsigned generation = generation_;
        if (state_ != SocketState::Open && static_cast<int32_t>(calls_.ticks() - handshakeDeadline_) >= 0) {
            raise("ERR_HANDSHAKE_TIMEOUT");
        }
        if (state_ == SocketState::Connecting && !advanceConnect()) return;
        if (state_ == SocketState::TlsHandshake && !advanceTlsHandshake()) return;
        flushSend();
        // The bytes that came with the end of the stream are handled in
        // order before the end is reported: a server may answer and hang up
        // at once, and its last messages must still reach the owner.
        const bool streamOpen = readAvailable();
        if (state_ == SocketState::Upgrading) {
            if (!acceptUpgrade()) {
                if (!streamOpen) raise("ERR_DISCONNECTED");
                return;
            }
            if (callbacks_.onOpen) callbacks_.onOpen();
            if (generation != generation_) return;
        }
        handleFrames(generation, streamOpen);
        if (generation != generation_) return;
        if (!streamOpen) raise("ERR_DISCONNECTED");
    }

    bool advanceConnect() {
        switch (calls_.checkConnect(socket_)) {
            case ConnectProgress::Failed:
                raise("ERR_SOCKET_SELECT");
            case ConnectProgress::Pending:
                return false;
            case ConnectProgress::Ready:
                break;
        }
        const int error = calls_.pendingError(socket_);
        if (error == ECONNREFUSED) raise("ERR_CONNECT_REFUSED");
        if (error != 0) raise("ERR_CONNECT");
        state_ = useTls_ ? SocketState::TlsHandshake : SocketState::Upgrading;
        return true;
    }

    bool advanceTlsHandshake() {
        const int result = mbedtls_ssl_handshake(&ssl_);
        if (result == MBEDTLS_ERR_SSL_WANT_READ || result == MBEDTLS_ERR_SSL_WANT_WRITE) return false;
        if (result != 0) raise("ERR_TLS_CONNECT");
        state_ = SocketState::Upgrading;
        return true;
    }

    // No limit on the buffer as a whole: whether a frame is received must not
    // depend on how the reads fall. Every poll ends with the whole frames cut
    // and at most one partial frame left, whose header (once there) has been
    // checked against kReceiveFrameBytes, so the buffer never holds more than
    // that frame plus one poll's reads (before the upgrade the reply header
    // limit bounds it the same way).
    // False when the peer ended the stream or a read failed; what was read
    // before that stays buffered.
    bool readAvailable() {
        uint8_t chunk[kReadChunkBytes];
        for (int read = 0; read < kReadsPerPoll; ++read) {
            long count;
            if (useTls_) {
                const int result = mbedtls_ssl_read(&ssl_, chunk, sizeof chunk);
                if (result == MBEDTLS_ERR_SSL_WANT_READ || result == MBEDTLS_ERR_SSL_WANT_WRITE) break;
                if (result <= 0) return false;
                count = result;
            } else {
                count = calls_.receive(socket_, chunk, sizeof chunk);
                if (count == kSocketWouldBlock) break;
                if (count <= 0) return false;
            }
            receiveBuffer_.insert(receiveBuffer_.end(), chunk, chunk + count);
        }
        return true;
    }

    // The reply header may be at most kUpgradeHeaderBytes long whichever way
    // the bytes were cut into reads.
    bool acceptUpgrade() {
        const auto begin = receiveBuffer_.begin();
        const auto found = std::search(begin, receiveBuffer_.end(), kHeaderEnd, kHeaderEnd + 4);
        if (found == receiveBuffer_.end()) {
            if (receiveBuffer_.size() > kUpgradeHeaderBytes + 3) raise("ERR_HEADER_BYTES");
            return false;
        }
        const size_t headerBytes = static_cast<size_t>(found - begin);
        if (headerBytes > kUpgradeHeaderBytes) raise("ERR_HEADER_BYTES");
        checkUpgradeReply(std::string(begin, found), expectedAccept_);
        receiveBuffer_.erase(begin, found + 4);
        state_ = SocketState::Open;
        return true;
    }

    // After the end of the stream nothing is written: a pong for a ping that
    // came with it could only fail and hide the disconnect.
    void handleFrames(unsigned generation, bool streamOpen) {
        WebSocketFrame frame;
        size_t consumed = 0;
        while (parseWebSocketFrame(receiveBuffer_.data() + receiveOffset_, receiveBuffer_.size() - receiveOffset_,
                                   frame, consumed)) {
            receiveOffset_ += consumed;
            handleFrame(frame);
            if (generation != generation_) return;
        }
        // Frames are cut by offset and the buffer compacted once, so a read
        // full of tiny frames costs one move instead of one per frame.
        receiveBuffer_.erase(receiveBuffer_.begin(),
                             receiveBuffer_.begin() + static_cast<std::ptrdiff_t>(receiveOffset_));
        receiveOffset_ = 0;
        if (streamOpen) flushSend();
    }

    void handleFrame(WebSocketFrame& frame) {
        switch (frame.opcode) {
            case kOpcodeClose:
                raise("ERR_SERVER_CLOSED");
            case kOpcodePing:
                queueFrame(kOpcodePong, frame.payload);
                return;
            case kOpcodePong:
                return;
            case kOpcodeBinary:
                if (inMessage_) raise("ERR_FRAME_SEQUENCE");
                message_ = std::move(frame.payload);
                break;
            default:  // continuation and text frames both extend the message
                if (!inMessage_) raise("ERR_FRAME_SEQUENCE");
                message_ += frame.payload;
                break;
        }
        inMessage_ = !frame.fin;
        if (message_.size() > kMessageBytes) raise("ERR_MESSAGE_BYTES");
        if (!frame.fin) return;
        const std::string json = decodeMessage(reinterpret_cast<const uint8_t*>(message_.data()), message_.size());
        message_.clear();
        if (callbacks_.onMessage) callbacks_.onMessage(json.c_str(), static_cast<unsigned>(json.size()));
    }

    // --- sending ---------------------------------------------------------

    void queueFrame(uint8_t opcode, const std::string& payload) {
        uint8_t key[4];
        if (!calls_.randomBytes(key, sizeof key)) raise("ERR_RANDOM");
        const std::vector<uint8_t> frame = encodeWebSocketFrame(opcode, payload, key);
        if (sendBuffer_.size() + frame.size() > kSendQueueBytes) raise("ERR_SEND_BYTES");
        sendBuffer_.insert(sendBuffer_.end(), frame.begin(), frame.end());
    }

    void flushSend() {
        if (sendBuffer_.empty()) return;
        long written;
        if (useTls_) {
            // After a would-block mbedtls needs the same length again, even when
            // more frames were queued meanwhile.
            if (pendingTlsWrite_ == 0) pendingTlsWrite_ = static_cast<uint32_t>(sendBuffer_.size());
            const int result = mbedtls_ssl_write(&ssl_, sendBuffer_.data(), pendingTlsWrite_);
            if (result == MBEDTLS_ERR_SSL_WANT_READ || result == MBEDTLS_ERR_SSL_WANT_WRITE) return;
            written = result;
        } else {
            written = calls_.send(socket_, sendBuffer_.data(), sendBuffer_.size());
            if (written == kSocketWouldBlock) return;
        }
        if (written <= 0) raise("ERR_SEND");
        sendBuffer_.erase(sendBuffer_.begin(), sendBuffer_.begin() + written);
        pendingTlsWrite_ = 0;
    }

    // --- closing ---------------------------------------------------------

    // A socket closed while received bytes wait unread makes the kernel reset
    // the connection, and the peer may then lose what was sent last (the
    // "clientError" of a failing game, typically). So: write what is still
    // queued, end TLS and then the sending side in order, and leave the
    // socket to the drainer, which reads on until the peer ends too. Without
    // one, what has arrived is read away and the socket closed now. Nothing
    // here blocks.
    void closeSocketGently() {
        const bool open = state_ == SocketState::Open;
        if (open) {
            flushQueuedForClose();
            if (useTls_) notifyTlsClose();
        }
        discardReceived();
        calls_.shutdownSending(socket_);
        if (open && drainer_ != nullptr) {
            drainer_->adopt(socket_);
            return;
        }
        discardReceived();
        calls_.closeSocket(socket_);
    }

    // The close notification tells a TLS peer that the end is deliberate
    // (not a truncation); it follows anything mbedtls still holds. While an
    // earlier record is partly unsent (a write that had to wait),
    // mbedtls_ssl_close_notify only flushes it and returns 0 without the
    // alert; only a call that starts with nothing pending writes the alert,
    // and a 0 from then on means it is out. mbedtls 2.28 has no call that
    // tells whether output is pending, so out_left (documented in ssl.h as
    // the amount not yet written) is read directly.
    void notifyTlsClose() {
        bool alertWritten = false;
        for (int attempt = 0; attempt < kCloseFlushAttempts; ++attempt) {
            if (ssl_.out_left == 0) alertWritten = true;
            const int result = mbedtls_ssl_close_notify(&ssl_);
            if (result == 0 && alertWritten) return;
            if (result != 0 && result != MBEDTLS_ERR_SSL_WANT_WRITE && result != MBEDTLS_ERR_SSL_WANT_READ) return;
        }
    }

    void flushQueuedForClose() {
        try {
            for (int attempt = 0; attempt < kCloseFlushAttempts && !sendBuffer_.empty(); ++attempt) {
                const size_t before = sendBuffer_.size();
                flushSend();
                if (sendBuffer_.size() == before) break;  // the socket takes no more now
            }
        } catch (const std::exception&) {
            // The connection is going anyway; a failed write has nothing to report.
        }
    }

    void discardReceived() {
        uint8_t chunk[kReadChunkBytes];
        for (int read = 0; read < kCloseDiscardReads; ++read) {
            if (calls_.receive(socket_, chunk, sizeof chunk) <= 0) return;
        }
    }

    // --- failure ---------------------------------------------------------

    void fail(const std::string& text) {
        SDL_Log("%s", text.c_str());
        close();
        // A throwing owner callback must not turn into an exception from
        // connect, poll or send.
        try {
            if (callbacks_.onError) {
                callbacks_.onError(text);
            } else if (callbacks_.onClose) {
                callbacks_.onClose();
            }
        } catch (const std::exception& error) {
            SDL_Log("%s", error.what());
        }
    }

    // --- TLS -------------------------------------------------------------

    void initialiseTls() {
        mbedtls_ssl_init(&ssl_);
        mbedtls_ssl_config_init(&sslConfig_);
        mbedtls_x509_crt_init(&caChain_);
    }

    void freeTls() {
        mbedtls_ssl_free(&ssl_);
        mbedtls_ssl_config_free(&sslConfig_);
        mbedtls_x509_crt_free(&caChain_);
    }

    static int tlsSend(void* context, const unsigned char* data, size_t length) {
        auto* self = static_cast<PosixSocket*>(context);
        const long sent = self->calls_.send(self->socket_, data, length > INT_MAX ? INT_MAX : length);
        if (sent == kSocketWouldBlock) return MBEDTLS_ERR_SSL_WANT_WRITE;
        if (sent < 0) return MBEDTLS_ERR_NET_SEND_FAILED;
        return static_cast<int>(sent);
    }

    static int tlsReceive(void* context, unsigned char* data, size_t length) {
        auto* self = static_cast<PosixSocket*>(context);
        const long received = self->calls_.receive(self->socket_, data, length > INT_MAX ? INT_MAX : length);
        if (received == kSocketWouldBlock) return MBEDTLS_ERR_SSL_WANT_READ;
        if (received < 0) return MBEDTLS_ERR_NET_RECV_FAILED;
        return static_cast<int>(received);
    }

    static int tlsRandom(void* context, unsigned char* data, size_t length) {
        auto* self = static_cast<PosixSocket*>(context);
        return self->calls_.randomBytes(data, length) ? 0 : -1;
    }

    TransportCallbacks callbacks_;
    TransportCalls calls_;
    SocketDrainer* drainer_ = nullptr;
    int socket_ = -1;
    mbedtls_ssl_context ssl_;
    mbedtls_ssl_config sslConfig_;
    mbedtls_x509_crt caChain_;
    bool useTls_ = false;
    uint32_t pendingTlsWrite_ = 0;
    SocketState state_ = SocketState::Closed;
    uint32_t handshakeDeadline_ = 0;
    std::vector<uint8_t> receiveBuffer_;
    size_t receiveOffset_ = 0;
    std::vector<uint8_t> sendBuffer_;
    std::string expectedAccept_;
    std::string message_;
    bool inMessage_ = false;
    unsigned generation_ = 0;
};

}  // namespace

std::unique_ptr<SocketTransport> createSocketTransport(TransportCallbacks&& callbacks) {
    return createSocketTransport(std::move(callbacks), systemTransportCalls());
}

std::unique_ptr<SocketTransport> createSocketTransport(TransportCallbacks&& callbacks, SocketDrainer& drainer) {
    return createSocketTransport(std::move(callbacks), systemTransportCalls(), &drainer);
}

std::unique_ptr<SocketTransport> createSocketTransport(TransportCallbacks&& callbacks, TransportCalls calls,
                                                       SocketDrainer* drainer) {
    return std::make_unique<PosixSocket>(std::move(callbacks), std::move(calls), drainer);
}

}  // namespace vobu
