#pragma once
// The message transport to every server: a WebSocket client over a
// non-blocking TCP socket, with TLS for "wss://" addresses. Messages are
// JSON text on this side and MessagePack maps on the wire.
//
// Failures never escape connect, poll or send: the transport closes itself,
// logs the code and calls onError (or onClose when onError is empty).

#include "platform/transport_calls.h"

#include <functional>
#include <memory>
#include <string>

namespace vobu {

class SocketDrainer;

struct TransportCallbacks {
    // Once per connection, when the upgrade was accepted (inside poll).
    std::function<void()> onOpen;
    // On failure when onError is empty.
    std::function<void()> onClose;
    // On failure, with the failure text, after the transport closed itself.
    std::function<void(const std::string& text)> onError;
    // Once per complete message, with its JSON text, valid only during the call.
    std::function<void(const char* json, unsigned length)> onMessage;
};

class SocketTransport {
public:
    virtual ~SocketTransport() = default;
    // Drops any earlier connection silently and starts a new one; an empty
    // url means the built-in default server. Returns while TCP connects.
    virtual void connect(const std::string& url) = 0;
    // One non-blocking step: connect progress, TLS, upgrade, writes, reads,
    // frames and message callbacks.
    virtual void poll() = 0;
    // Queues one message and writes what the socket takes now; dropped
    // silently unless the connection is open.
    virtual void send(const std::string& jsonText) = 0;
    // Closes without a callback and without a close frame; may be repeated.
    virtual void close() = 0;
};

// SDL's tick counter must be usable (it is without SDL_Init). Closing ends
// the connection at once: unread input may make the peer see a reset.
std::unique_ptr<SocketTransport> createSocketTransport(TransportCallbacks&& callbacks);

// Closing an open connection hands its socket to the drainer (which must
// outlive the transport), so that what was sent last still reaches the peer.
std::unique_ptr<SocketTransport> createSocketTransport(TransportCallbacks&& callbacks, SocketDrainer& drainer);

// The same over another set of operating-system calls (tests inject faults
// and a clock through it); the drainer may be null.
std::unique_ptr<SocketTransport> createSocketTransport(TransportCallbacks&& callbacks, TransportCalls calls,
                                                       SocketDrainer* drainer = nullptr);

}  // namespace vobu
