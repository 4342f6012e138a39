#pragma once
// Sockets of connections this client has ended but not yet let go of.
//
// Closing a socket while received bytes wait unread makes the kernel reset
// the connection, and a peer that notices the reset drops whatever it had
// not read yet: typically the "clientError" a failing game sent last. So a
// closed connection's socket, its sending side already shut, stays here and
// is read and discarded until the peer ends its side too or kDrainMs pass;
// only then is it closed.
//
// The frame loop polls it; nothing here blocks but finish. It is lent to
// transports and must outlive them; the sockets it holds are its own, so the
// transport that handed one over may be destroyed or connect again at once.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/transport_calls.h"

namespace vobu {

class SocketDrainer {
public:
    // Long enough for a busy server to read what came before our end.
    static constexpr uint32_t kDrainMs = 2000;
    // What the program still gives draining sockets when it exits.
    static constexpr uint32_t kExitWaitMs = 500;
    // Beyond this the oldest socket is closed to make room: it has had the
    // most time.
    static constexpr size_t kMaxSockets = 8;

    // The system's socket calls and SDL's tick counter.
    SocketDrainer();
    // Other calls (tests): receive, closeSocket, waitForInput and ticks.
    explicit SocketDrainer(TransportCalls calls);
    SocketDrainer(const SocketDrainer&) = delete;
    SocketDrainer& operator=(const SocketDrainer&) = delete;
    // Closes whatever is left at once.
    ~SocketDrainer();

    // Takes over a connected socket whose sending side is shut.
    void adopt(int socket);
    // Reads what has arrived on every socket (a bounded amount each) and
    // closes those whose peer ended or whose time is over. Never blocks.
    void poll();
    // Polls until every socket is done or waitMs passed, sleeping while
    // nothing arrives; then closes what is left.
    void finish(uint32_t waitMs);
    size_t size() const { return sockets_.size(); }

private:
    struct Draining {
        int socket = -1;
        uint32_t deadline = 0;  // ticks
    };

    // True when the socket is done: its peer ended or reset, or time is over.
    bool drain(const Draining& entry, uint32_t now);
    void closeAll();
    static bool reached(uint32_t now, uint32_t deadline);

    TransportCalls calls_;
    std::vector<Draining> sockets_;  // oldest first
};

}  // namespace vobu
