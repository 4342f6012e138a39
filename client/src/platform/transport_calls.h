#pragma once
// The operating-system calls the socket transport makes, gathered in one
// table so that tests can wrap or replace single entries (a failing connect,
// a stalled send, no random bytes, a clock that jumps).

#include "platform/socket.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vobu {

struct TransportCalls {
    std::function<bool(const std::string& host, const std::string& port, Ipv4Endpoint& out)> resolve;
    std::function<int()> openSocket;
    std::function<ConnectStart(int socket, const Ipv4Endpoint& endpoint)> startConnect;
    std::function<void(int socket)> setNoDelay;
    std::function<ConnectProgress(int socket)> checkConnect;
    std::function<int(int socket)> pendingError;
    std::function<long(int socket, const uint8_t* data, size_t length)> send;
    std::function<long(int socket, uint8_t* data, size_t length)> receive;
    std::function<void(int socket)> shutdownSending;
    std::function<void(int socket)> closeSocket;
    // Blocks until one of the sockets has input or the time is over.
    std::function<void(const std::vector<int>& sockets, uint32_t timeoutMs)> waitForInput;
    std::function<bool(uint8_t* data, size_t length)> randomBytes;
    // Milliseconds of SDL's tick counter.
    std::function<uint32_t()> ticks;
    // The PEM text of the trusted root certificates; false when unreadable.
    std::function<bool(std::string& pem)> readTrustBundle;
};

// The real calls: POSIX sockets, getrandom, SDL_GetTicks, the system bundle.
TransportCalls systemTransportCalls();

}  // namespace vobu
