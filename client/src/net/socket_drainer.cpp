#include "net/socket_drainer.h"

#include "net/websocket_frame.h"

namespace vobu {

SocketDrainer::SocketDrainer() : SocketDrainer(systemTransportCalls()) {}

SocketDrainer::SocketDrainer(TransportCalls calls) : calls_(std::move(calls)) {}

SocketDrainer::~SocketDrainer() { closeAll(); }

void SocketDrainer::adopt(int socket) {
    if (socket < 0) return;
    if (sockets_.size() >= kMaxSockets) {
        calls_.closeSocket(sockets_.front().socket);
        sockets_.erase(sockets_.begin());
    }
    sockets_.push_back(Draining{socket, calls_.ticks() + kDrainMs});
}

void SocketDrainer::poll() {
    if (sockets_.empty()) return;
    const uint32_t now = calls_.ticks();
    size_t kept = 0;
    for (const Draining& entry : sockets_) {
        if (drain(entry, now)) {
            calls_.closeSocket(entry.socket);
        } else {
            sockets_[kept++] = entry;
        }
    }
    sockets_.resize(kept);
}

void SocketDrainer::finish(uint32_t waitMs) {
    const uint32_t end = calls_.ticks() + waitMs;
    poll();
    while (!sockets_.empty()) {
        const uint32_t now = calls_.ticks();
        if (reached(now, end)) break;
        std::vector<int> waiting;
        for (const Draining& entry : sockets_) waiting.push_back(entry.socket);
        calls_.waitForInput(waiting, end - now);
        poll();
    }
    closeAll();
}

// Reads are bounded like the transport's, so a flooding peer cannot hold a
// frame; what it sends beyond them waits in the kernel until the next poll.
bool SocketDrainer::drain(const Draining& entry, uint32_t now) {
    uint8_t chunk[kReadChunkBytes];
    for (int read = 0; read < kReadsPerPoll; ++read) {
        const long count = calls_.receive(entry.socket, chunk, sizeof chunk);
        if (count == kSocketWouldBlock) break;
        if (count <= 0) return true;  // the peer ended or reset its side
    }
    return reached(now, entry.deadline);
}

void SocketDrainer::closeAll() {
    for (const Draining& entry : sockets_) calls_.closeSocket(entry.socket);
    sockets_.clear();
}

bool SocketDrainer::reached(uint32_t now, uint32_t deadline) { return static_cast<int32_t>(now - deadline) >= 0; }

}  // namespace vobu
